#include "play/MonsterWarning.h"

#include <algorithm>
#include <cmath>

#include <glm/geometric.hpp>

namespace vestrel {

namespace {

constexpr float kStep = 1.0f / 60.0f;  // the game's fixed step
constexpr float kTiny = 1e-6f;

}  // namespace

float MonsterWarning::secondsUntilWithin(const PatrolView& patrol, const glm::vec2& player, float reach,
                                         float horizon) {
    glm::vec2 at = patrol.position;
    if (glm::length(player - at) < reach) return 0.0f;
    const int count = static_cast<int>(patrol.waypoints.size());
    int target = patrol.targetIndex;
    bool forward = patrol.forward;
    if (count < 2 || target < 0 || target >= count) return horizon;
    for (float t = kStep; t <= horizon; t += kStep) {
        const glm::vec2 to = patrol.waypoints[static_cast<std::size_t>(target)] - at;
        const float length = glm::length(to);
        if (length > kTiny) at += to / length * std::min(kSpeed * kStep, length);
        if (glm::length(player - at) < reach) return t;
        if (glm::length(patrol.waypoints[static_cast<std::size_t>(target)] - at) < kArrival) {
            // The turn of Enemy's arrival: on along the path, back at its ends.
            const int current = target;
            target = forward ? current + 1 : current - 1;
            if (target == count) {
                target = current - 1;
                forward = false;
            } else if (target == -1) {
                target = current + 1;
                forward = true;
            }
        }
    }
    return horizon;
}

float MonsterWarning::behindness(const glm::vec2& forward, const glm::vec2& toMonster) {
    const float lengths = glm::length(forward) * glm::length(toMonster);
    if (lengths < kTiny) return 0.0f;
    return std::clamp(-glm::dot(forward, toMonster) / lengths, 0.0f, 1.0f);
}

Bearing MonsterWarning::bearingOf(const glm::vec2& forward, const glm::vec2& toMonster) {
    const float lengths = glm::length(forward) * glm::length(toMonster);
    if (lengths < kTiny) return Bearing::Ahead;
    const float cosine = glm::dot(forward, toMonster) / lengths;
    const float half = std::sqrt(0.5f);  // cos 45 degrees
    if (cosine >= half) return Bearing::Ahead;
    if (cosine <= -half) return Bearing::Behind;
    // x, y are the world's x and z (y up): the view's right is (-forward.y, forward.x).
    const float right = -forward.y * toMonster.x + forward.x * toMonster.y;
    return right > 0.0f ? Bearing::Right : Bearing::Left;
}

float MonsterWarning::level(float distance, float behind, float secondsToReach) {
    const float reach = kNearAhead + (kNearBehind - kNearAhead) * std::clamp(behind, 0.0f, 1.0f);
    const float nearness = std::clamp((reach - distance) / (reach - kCatchDistance), 0.0f, 1.0f);
    const float imminence = std::clamp(1.0f - secondsToReach / kLookAhead, 0.0f, 1.0f);
    return std::max(kNearShare * nearness, imminence);
}

float MonsterWarning::beatInterval(float level) {
    return kSlowestBeat + (kFastestBeat - kSlowestBeat) * std::clamp(level, 0.0f, 1.0f);
}

}  // namespace vestrel
