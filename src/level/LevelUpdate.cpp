// The level's part of one fixed play step.

#include <cmath>

#include "app/GameSettings.h"
#include "replay/Timedemo.h"
#include "audio/SoundSystem.h"
#include "enemy/Enemy.h"
#include "level/GameObject.h"
#include "level/Level.h"
#include "physics/ControllerRecord.h"
#include "play/Camera.h"

namespace vestrel {

namespace {

// The monster catches the player closer than this, measured in the
// horizontal plane only: a monster on the floor above still counts.
constexpr double kCatchDistance = 3.0;

bool withinCatchDistance(const glm::dvec3& monster, const glm::vec3& eye) {
    const double dx = monster.x - static_cast<double>(eye.x);
    const double dz = monster.z - static_cast<double>(eye.z);
    return std::sqrt(dx * dx + dz * dz) < kCatchDistance;
}

}  // namespace

void Level::update(int cursorX, int cursorY, float dt) {
    // The camera comes with the loading screen; a level without one is not
    // playable yet and has nothing to step.
    if (!camera) return;

    {
        const PhaseTimer timer(StepPhase::Player);
        player.update(cursorX, cursorY, dt, *camera);
    }

    if (enemy) {
        const PhaseTimer timer(StepPhase::Monster);
        enemy->update(dt);
        const ControllerRecord* monster = enemy->controller;
        if (monster && monster->controller &&
            withinCatchDistance(monster->controller->getPosition(), camera->position)) {
            GameSettings::instance().playerCaught = true;
        }
    }

    {
        const PhaseTimer timer(StepPhase::Level);
        updateTv(dt);
        frustum.update(camera->position, camera->direction());
    }

    {
        const PhaseTimer timer(StepPhase::Audio);
        SoundSystem& sounds = SoundSystem::instance();
        sounds.update();
        if (player.controller && player.controller->controller) {
            // The listener looks where the player looks, so the growl is heard
            // from the side the monster is on.
            sounds.updateListener(glm::vec3(player.controller->controller->getPosition()),
                                  camera->direction(), camera->up);
        }
    }

    if (rootObject) {
        const PhaseTimer timer(StepPhase::Level);
        rootObject->update(dt);
    }
}

}  // namespace vestrel
