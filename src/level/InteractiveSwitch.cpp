#include "level/InteractiveSwitch.h"

#include <glm/vec3.hpp>

#include "app/GameSettings.h"
#include "level/GameObject.h"
#include "render/Mesh.h"

namespace vestrel {

namespace {

const std::string& nameOf(const GameObject* object) {
    static const std::string empty;
    return object && object->mesh ? object->mesh->name : empty;
}

}  // namespace

InteractiveSwitch::InteractiveSwitch(GameObject* zone, GameObject* movedBox) : box(movedBox) {
    object = zone;
}

InteractiveSwitch::~InteractiveSwitch() = default;

void InteractiveSwitch::activate() {
    if (nameOf(object) == "sink_interactive") {
        GameSettings::instance().playerWon = true;
        return;
    }
    if (box == nullptr) return;
    const std::string& boxName = nameOf(box);
    if (boxName == "Door_box") {
        box->moveBy(glm::vec3(0.0f, -5.0f, 0.0f));
        return;
    }
    if (boxName == "Shower_door_box") {
        box->moveBy(glm::vec3(0.0f, 5.0f, 0.0f));
        return;
    }
    box->removeFromWorld();
}

}  // namespace vestrel
