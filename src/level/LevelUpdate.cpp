// The level's part of one fixed play step.

#include <cmath>
#include <type_traits>
#include <utility>

#include "app/GameSettings.h"
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

// The monster's patrol step and the TV's frame step are built alongside the
// play step; each is called here as soon as its type offers it.
template <typename T, typename = void>
struct HasStepUpdate : std::false_type {};
template <typename T>
struct HasStepUpdate<T, std::void_t<decltype(std::declval<T&>().update(0.0f))>> : std::true_type {};

template <typename T, typename = void>
struct HasTvUpdate : std::false_type {};
template <typename T>
struct HasTvUpdate<T, std::void_t<decltype(std::declval<T&>().updateTv(0.0f))>> : std::true_type {};

template <typename Monster>
void stepMonster(Monster& monster, float dt) {
    if constexpr (HasStepUpdate<Monster>::value) monster.update(dt);
}

template <typename World>
void stepTv(World& world, float dt) {
    if constexpr (HasTvUpdate<World>::value) world.updateTv(dt);
}

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

    player.update(cursorX, cursorY, dt, *camera);

    if (enemy) {
        stepMonster(*enemy, dt);
        const ControllerRecord* monster = enemy->controller;
        if (monster && monster->controller &&
            withinCatchDistance(monster->controller->getPosition(), camera->position)) {
            GameSettings::instance().playerCaught = true;
        }
    }

    stepTv(*this, dt);

    frustum.update(camera->position, camera->direction());

    SoundSystem& sounds = SoundSystem::instance();
    sounds.update();
    if (player.controller && player.controller->controller) {
        sounds.updateListener(glm::vec3(player.controller->controller->getPosition()));
    }

    if (rootObject) rootObject->update(dt);
}

}  // namespace vestrel
