#include "level/InteractiveObject.h"

#include <iostream>

#include "level/GameObject.h"
#include "level/Item.h"
#include "render/Mesh.h"

namespace vestrel {

InteractiveObject::~InteractiveObject() = default;

InteractOutcome InteractiveObject::interact(const std::map<std::string, Item*>& inventory) {
    if (requiredItem == nullptr || inventory.find(requiredItem->name) == inventory.end()) {
        std::cout << "Can't interact with that target." << std::endl;
        return InteractOutcome::MissingItem;
    }
    if (requiredItem->used) {
        std::cout << "Item has already been used." << std::endl;
        return InteractOutcome::AlreadyUsed;
    }
    std::cout << "Interacting with: " << (object && object->mesh ? object->mesh->name : std::string())
              << std::endl;
    activate();
    requiredItem->used = true;
    return InteractOutcome::Used;
}

}  // namespace vestrel
