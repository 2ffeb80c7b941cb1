#pragma once

// The renderer bench's viewpoints in the house, shared with the tests that
// draw the same views: six along the player's route, one facing the monster
// up its path and one reading the hidden writing up close.

#include <cmath>

#include <glm/vec3.hpp>

#include "enemy/Enemy.h"
#include "level/Level.h"
#include "play/Camera.h"
#include "render/Light.h"

namespace vestrel::test {

struct HouseView {
    const char* name;
    glm::vec3 eye;
    float pitch;
    float yaw;                  // degrees; 0 looks along +x, 90 along +z
    bool facesMonster = false;  // eye and yaw are worked out from the monster's path
};

// Eye height: the player's capsule stands on the floor (-1) and is 5 tall.
constexpr float kHouseEyeY = 3.0f;

inline constexpr HouseView kHouseViews[] = {
    {"spawn", {0.0f, kHouseEyeY, 0.0f}, 0.0f, 0.0f},           // living room toward the pocket door
    {"writing", {0.0f, kHouseEyeY, 1.0f}, 5.0f, 270.0f},       // living room's north wall, hidden text
    {"reading", {1.5f, kHouseEyeY, -3.0f}, 5.0f, 270.0f},      // the same writing up close
    {"kitchen", {-5.0f, kHouseEyeY, -9.0f}, -10.0f, 225.0f},   // over the table
    {"corridor", {9.0f, kHouseEyeY, 18.0f}, 0.0f, 270.0f},     // the monster's corridor, full length
    {"bathroom", {16.0f, kHouseEyeY, -11.0f}, -5.0f, 330.0f},  // toward the shower screen
    {"generator", {16.0f, kHouseEyeY, 13.0f}, -5.0f, 0.0f},    // generator room
    {"monster", {0.0f, kHouseEyeY, 0.0f}, -5.0f, 0.0f, true},  // 8 units up its path, facing it
};

// Where the player would stand to see the monster at its first waypoint from
// kMonsterDistance along its path (toward the second waypoint), facing it.
inline bool placeFacingMonster(const Level& level, HouseView& view) {
    constexpr float kMonsterDistance = 8.0f;
    if (!level.enemy || level.enemy->waypoints.size() < 2) return false;
    const glm::vec3 feet(level.enemy->model.modelMatrix[3]);
    glm::vec3 along = level.enemy->waypoints[1].position - level.enemy->waypoints[0].position;
    along.y = 0.0f;
    if (glm::length(along) < 1e-3f) return false;
    along = glm::normalize(along);
    view.eye = glm::vec3(feet.x, kHouseEyeY, feet.z) + along * kMonsterDistance;
    view.yaw = std::atan2(-along.z, -along.x) * 180.0f / 3.14159265f;
    return true;
}

// Puts the camera, the flashlight (held at the eye, along the view) and the
// culling frustum at `view`. False when a monster view finds no path.
inline bool placeView(Level& level, HouseView view) {
    if (view.facesMonster && !placeFacingMonster(level, view)) return false;
    Camera& camera = *level.camera;
    camera.position = view.eye;
    camera.pitch = view.pitch;
    camera.yaw = view.yaw;
    camera.update();
    if (level.player.flashlight) {
        level.player.flashlight->position = view.eye;
        level.player.flashlight->coneDirection = camera.direction();
    }
    level.frustum.update(view.eye, camera.direction());
    return true;
}

}  // namespace vestrel::test
