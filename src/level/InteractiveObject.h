#pragma once

#include <map>
#include <string>

namespace vestrel {

class GameObject;
class Item;

// What one press of the interact key came to, for what the screen shows.
enum class InteractOutcome {
    Nothing,      // no target, or one that answers to nothing
    OutOfReach,   // a target behind something solid: refused, nothing printed
    PickedUp,     // an item went into the inventory
    Used,         // a switch acted with its item
    MissingItem,  // "Can't interact with that target."
    AlreadyUsed,  // "Item has already been used."
};

// A place in the house that reacts to the player once the required item is
// carried. The zone's object is drawn with a green glow by the renderer.
class InteractiveObject {
public:
    Item* requiredItem = nullptr;  // not owning; set after construction
    GameObject* object = nullptr;  // not owning; the interaction zone

    InteractiveObject() = default;
    virtual ~InteractiveObject();
    InteractiveObject(const InteractiveObject&) = delete;
    InteractiveObject& operator=(const InteractiveObject&) = delete;

    // The effect of a successful interaction.
    virtual void activate() = 0;

    // Without the required item in `inventory`: "Can't interact with that
    // target."; with it already used: "Item has already been used.";
    // otherwise "Interacting with: <zone>", activate, and the item is used.
    // Returns which of the three it was.
    InteractOutcome interact(const std::map<std::string, Item*>& inventory);
};

}  // namespace vestrel
