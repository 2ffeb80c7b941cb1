#include "enemy/Enemy.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iostream>

#include <glm/geometric.hpp>

#include "app/GameSettings.h"
#include "physics/ControllerRecord.h"

namespace vestrel {

namespace {

constexpr std::size_t kNumberOffset = 9;  // length of "Waypoint_"
constexpr float kRadiansToDegrees = 57.29578f;
constexpr float kHalfTurnDegrees = 180.0f;
constexpr float kTiny = 1e-6f;

// The horizontal part of `v`, made unit length; false when it has none.
bool horizontalUnit(const glm::vec3& v, glm::vec2& out) {
    const float length = std::sqrt(v.x * v.x + v.z * v.z);
    if (!(length > kTiny)) return false;
    out = glm::vec2(v.x, v.z) / length;
    return true;
}

}  // namespace

int waypointNumber(const std::string& name) {
    if (name.size() <= kNumberOffset) return 0;
    return std::atoi(name.substr(kNumberOffset, 2).c_str());
}

Enemy::Enemy() = default;

Enemy::~Enemy() = default;

void Enemy::addWaypoint(const std::string& name, const glm::vec3& position) {
    waypoints.push_back(Waypoint{position, name});
}

void Enemy::load(const std::vector<std::shared_ptr<Light>>& lights, Camera* camera, Shader* shader) {
    (void)lights;
    model.load(modelPath, camera, shader);
    model.rotate(kHalfTurnDegrees, 1.0f);
    preparePath();
    // Until its first step the monster stands where its round begins (its
    // capsule is made 3.0 above that point), not at the world's origin,
    // where the player starts.
    if (!waypoints.empty()) {
        const glm::vec3& start = waypoints.front().position;
        model.modelMatrix[3] = glm::vec4(start, 1.0f);
    }

    growl = SoundSystem::instance().createSound(kGrowlPath, kGrowlName, kSound3D, true);
    growl->sound.set3DMinMaxDistance(kGrowlMinDistance, kGrowlMaxDistance);
}

void Enemy::preparePath() {
    for (const Waypoint& waypoint : waypoints) {
        if (waypoint.name.size() <= kNumberOffset) {
            std::cout << "Waypoint " << waypoint.name << " has no number and counts as 0" << std::endl;
        }
    }
    // Equal numbers keep the reverse of the order they were added in.
    std::reverse(waypoints.begin(), waypoints.end());
    std::stable_sort(waypoints.begin(), waypoints.end(), [](const Waypoint& a, const Waypoint& b) {
        return waypointNumber(a.name) < waypointNumber(b.name);
    });

    currentIndex = 0;
    targetIndex = 1;
    forward = true;
    direction = glm::vec3(0.0f);
    if (!canPatrol()) {
        if (!reportedShortPath_) {
            std::cout << "The monster has " << waypoints.size()
                      << " waypoint(s) and needs two to walk; it stands still" << std::endl;
            reportedShortPath_ = true;
        }
        targetIndex = 0;
        return;
    }
    const glm::vec3 leg = waypoints[1].position - waypoints[0].position;
    const float length = glm::length(leg);
    // Waypoints 0 and 1 in one place: no heading yet; the first step arrives
    // at waypoint 1 and aims from there.
    if (length > kTiny) direction = leg / length;
}

void Enemy::update(float dt) {
    if (controller == nullptr || !controller->controller) return;
    CapsuleController& capsule = *controller->controller;
    const bool patrol = canPatrol();

    if (patrol) capsule.move(direction * (kSpeed * dt), controller->minDist, dt, controller->filters);
    const glm::vec3 centre(capsule.getPosition());

    model.modelMatrix[3] = glm::vec4(centre.x, centre.y - kModelBelowCentre, centre.z, 1.0f);

    SoundSystem& sounds = SoundSystem::instance();
    if (growl != nullptr) growl->position = centre;
    AudioChannel growlChannel = sounds.channel(kGrowlName);
    growlChannel.set3DAttributes(&centre, nullptr);
    if (GameSettings::instance().playerCaught) growlChannel.setVolume(0.0f);

    if (!patrol) return;
    const glm::vec3& target = waypoints[static_cast<std::size_t>(targetIndex)].position;
    const float dx = target.x - centre.x;
    const float dz = target.z - centre.z;
    if (std::sqrt(dx * dx + dz * dz) < kArrivalDistance) arrive(centre, dx, dz);
}

void Enemy::arrive(const glm::vec3& centre, float dx, float dz) {
    const auto count = static_cast<std::int32_t>(waypoints.size());
    currentIndex = targetIndex;
    if (forward) {
        targetIndex = currentIndex + 1;
        if (targetIndex == count) {
            targetIndex = currentIndex - 1;
            forward = false;
        }
    } else {
        targetIndex = currentIndex - 1;
        if (targetIndex == -1) {
            targetIndex = currentIndex + 1;
            forward = true;
        }
    }

    // The model faces the way it was walking: towards the waypoint just
    // reached, or along the last heading when it stands right on it.
    glm::vec2 oldHeading;
    const bool haveOld =
        horizontalUnit(glm::vec3(dx, 0.0f, dz), oldHeading) || horizontalUnit(direction, oldHeading);

    const glm::vec3 leg = waypoints[static_cast<std::size_t>(targetIndex)].position - centre;
    const float length = glm::length(leg);
    direction = length > kTiny ? leg / length : glm::vec3(0.0f);

    // The turn is measured between horizontal headings: the new direction
    // also points down to the waypoint on the floor, and its tilt must not
    // shrink the turn (the model would drift off its heading at every end
    // of the path).
    glm::vec2 newHeading;
    if (!haveOld || !horizontalUnit(direction, newHeading)) return;
    const float cosine = std::clamp(glm::dot(oldHeading, newHeading), -1.0f, 1.0f);
    float angle = std::acos(cosine);
    // (x, y) of the 2D headings are the world's x and z.
    if (newHeading.y * oldHeading.x - newHeading.x * oldHeading.y > 0.0f) angle = -angle;
    model.rotate(angle * kRadiansToDegrees, 1.0f);
}

}  // namespace vestrel
