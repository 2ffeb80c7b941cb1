#pragma once

#include <vector>

#include <glm/vec2.hpp>

namespace vestrel {

// The monster's patrol as the warning reads it, in the horizontal plane
// (world x, z): its waypoints, the one it walks to, which way along the path
// it goes, and where it is.
struct PatrolView {
    std::vector<glm::vec2> waypoints;
    int targetIndex = 0;
    bool forward = true;
    glm::vec2 position{0.0f};
};

// Where the monster is seen from the player's view.
enum class Bearing { Ahead, Left, Right, Behind };

// How the monster's nearness is told to the player, worked out once per step
// from plain values: a level from 0 (nothing to tell) to 1 (about to catch),
// which drives the darkening vignette, the heartbeat and its caption. The
// catch itself (touch, or closer than 3 units) is the level's; this only
// warns ahead of it.
class MonsterWarning {
public:
    static constexpr float kCatchDistance = 3.0f;  // as the level catches
    static constexpr float kNearAhead = 10.0f;     // nearness starts to tell from here when in view
    static constexpr float kNearBehind = 13.0f;    // ... and from further when behind
    static constexpr float kNearShare = 0.7f;      // nearness alone never warns fully
    static constexpr float kLookAhead = 3.0f;      // seconds of patrol foreseen
    static constexpr float kSpeed = 7.0f;          // the monster's, units per second
    static constexpr float kArrival = 0.5f;        // it turns this close to a waypoint
    static constexpr float kSlowestBeat = 1.1f;    // seconds between heartbeats at the first warning
    static constexpr float kFastestBeat = 0.35f;   // ... and when it is upon the player

    // Seconds until the monster, walking on along its path from where it is
    // (turning at each waypoint as it does), first comes within `reach` of
    // `player` standing still; `horizon` when not within `horizon` seconds
    // (also for a path it cannot walk). 0 when it is within reach already.
    static float secondsUntilWithin(const PatrolView& patrol, const glm::vec2& player, float reach,
                                    float horizon);

    // Where `toMonster` lies for a player looking along `forward` (both
    // horizontal, any length): ahead or behind within 45 degrees of the view
    // or its back, else to the left or right.
    static Bearing bearingOf(const glm::vec2& forward, const glm::vec2& toMonster);

    // 0 with the monster ahead .. 1 straight behind: -cos of the angle
    // between the view and the monster, from 0 at the side.
    static float behindness(const glm::vec2& forward, const glm::vec2& toMonster);

    // The warning level from the horizontal distance, how far behind the
    // monster is and the seconds until it reaches the player's place: the
    // larger of nearness (0 at kNearAhead, or up to kNearBehind from behind,
    // rising to kNearShare at the catch distance) and imminence (0 at
    // kLookAhead seconds, 1 at none).
    static float level(float distance, float behind, float secondsToReach);

    // Seconds between two heartbeats at `level` (0 < level <= 1).
    static float beatInterval(float level);
};

}  // namespace vestrel
