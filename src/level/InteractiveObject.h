#pragma once

#include <map>
#include <string>

namespace vestrel {

class GameObject;
class Item;

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
    void interact(const std::map<std::string, Item*>& inventory);
};

}  // namespace vestrel
