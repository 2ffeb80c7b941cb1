#pragma once

#include <string>

namespace vestrel {

class GameObject;
class Texture;

// An item lying in the house or carried in the inventory. The item only
// points at its object and icon; the level and the texture cache own them.
class Item {
public:
    GameObject* object = nullptr;  // its `visible` flag tells whether it still lies in the house
    std::string name;              // the node name, e.g. "Duck_item"
    Texture* icon = nullptr;       // from the texture cache; null if missing
    bool used = false;             // set once an interactive object consumed it

    Item() = default;
    Item(GameObject* itemObject, std::string itemName);
    virtual ~Item();
};

}  // namespace vestrel
