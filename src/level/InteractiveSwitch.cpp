#include "level/InteractiveSwitch.h"

#include <glm/vec3.hpp>

#include "app/GameSettings.h"
#include "audio/SoundSystem.h"
#include "level/GameObject.h"
#include "render/Mesh.h"

namespace vestrel {

namespace {

const std::string& nameOf(const GameObject* object) {
    static const std::string empty;
    return object && object->mesh ? object->mesh->name : empty;
}

// Plays a one-shot level sound once on the channel of its own name. A level
// without that sound's emitter (reported at set-up) stays silent.
void playOnce(const char* name) {
    SoundSystem& sounds = SoundSystem::instance();
    sounds.playSound(sounds.findSound(name), false, name);
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
    // A level without this switch's box was reported at set-up; the switch
    // then has nothing to act on.
    if (box == nullptr) return;
    const std::string& boxName = nameOf(box);
    if (boxName == "Door_box") {
        box->moveBy(glm::vec3(0.0f, -5.0f, 0.0f));
        return;
    }
    if (boxName == "Shower_door_box") {
        playOnce("engine");
        box->moveBy(glm::vec3(0.0f, 5.0f, 0.0f));
        return;
    }
    if (boxName == "Racking_CrossBeams31_box") playOnce("bang");
    box->removeFromWorld();
}

}  // namespace vestrel
