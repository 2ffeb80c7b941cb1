// The monster's warning worked out from plain values: how soon its patrol
// reaches the player, where it is seen from, and the level that follows.

#include <gtest/gtest.h>

#include <glm/geometric.hpp>

#include "play/MonsterWarning.h"

namespace vestrel {
namespace {

// The corridor's path as the house has it: x = 9, from z = -16 to 16.
PatrolView corridor(float z, int target, bool forward) {
    PatrolView patrol;
    patrol.waypoints = {{9.0f, -16.0f}, {9.0f, -6.0f}, {9.0f, 6.0f}, {9.0f, 16.0f}};
    patrol.targetIndex = target;
    patrol.forward = forward;
    patrol.position = {9.0f, z};
    return patrol;
}

TEST(MonsterWarning, ForeseesThePatrolTurningAtItsEnds) {
    struct Case {
        const char* what;
        PatrolView patrol;
        glm::vec2 player;
        float expected;  // seconds, to a step
    };
    const Case cases[] = {
        // Walking straight at the player, past waypoint 1: 14 units to come
        // within 3 at 7 a second.
        {"towards", corridor(-14.0f, 2, true), {9.0f, 3.0f}, 2.0f},
        // Within reach already.
        {"upon", corridor(1.0f, 2, true), {9.5f, 3.0f}, 0.0f},
        // Walking away from z = 10 in steps of 7/60, it turns at the first
        // step closer than half a unit to the end (48 steps, z = 15.6) and
        // walks back until it is 3 from the player (107 steps, z = 3.12):
        // the caught demo's corridor, where nearness alone would say nothing.
        {"turning back at the end", corridor(10.0f, 3, true), {8.55f, 0.22f}, 155.0f / 60.0f},
        // Towards waypoint 0 it comes within 3 of z = -18.4 before it turns
        // (47 steps)...
        {"reached before the turn", corridor(-10.0f, 0, false), {9.0f, -18.4f}, 47.0f / 60.0f},
        // ... but never of z = -18.8: it turns at -15.6.
        {"out of reach past the turn", corridor(-10.0f, 0, false), {9.0f, -18.8f}, 3.0f},
        // A player beside the path but more than 3 away is never reached.
        {"beside the path", corridor(-10.0f, 2, true), {12.1f, 0.0f}, 3.0f},
    };
    for (const Case& c : cases) {
        const float seconds = MonsterWarning::secondsUntilWithin(c.patrol, c.player, 3.0f, 3.0f);
        EXPECT_NEAR(seconds, c.expected, 0.5f / 60.0f) << c.what;
    }
    // A path it cannot walk is never foreseen to reach anyone.
    PatrolView still = corridor(0.0f, 0, true);
    still.waypoints.resize(1);
    EXPECT_EQ(MonsterWarning::secondsUntilWithin(still, {9.0f, 5.0f}, 3.0f, 3.0f), 3.0f);
}

TEST(MonsterWarning, BearingAndBehindnessFollowTheView) {
    const glm::vec2 forward{1.0f, 0.0f};  // looking along +x; +z (y here) is to the right
    struct Case {
        glm::vec2 toMonster;
        Bearing bearing;
        float behind;
    };
    const Case cases[] = {
        {{5.0f, 0.0f}, Bearing::Ahead, 0.0f},
        {{5.0f, 4.9f}, Bearing::Ahead, 0.0f},  // just inside 45 degrees
        {{5.0f, 5.1f}, Bearing::Right, 0.0f},  // just outside
        {{0.0f, 5.0f}, Bearing::Right, 0.0f},
        {{0.0f, -5.0f}, Bearing::Left, 0.0f},
        {{-5.1f, -5.0f}, Bearing::Behind, 0.7141f},  // just inside 45 degrees of the back
        {{-4.9f, -5.0f}, Bearing::Left, 0.6999f},
        {{-5.0f, 0.0f}, Bearing::Behind, 1.0f},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MonsterWarning::bearingOf(forward, c.toMonster), c.bearing)
            << c.toMonster.x << "," << c.toMonster.y;
        EXPECT_NEAR(MonsterWarning::behindness(forward, c.toMonster), c.behind, 1e-3f);
    }
}

TEST(MonsterWarning, LevelRisesFromNearnessAndFromTheSecondsLeft) {
    struct Case {
        float distance, behind, seconds, expected;
    };
    const Case cases[] = {
        {10.01f, 0.0f, 3.0f, 0.0f},  // just beyond reach ahead: nothing
        {9.99f, 0.0f, 3.0f, 0.7f * 0.01f / 7.0f},
        {12.99f, 1.0f, 3.0f, 0.7f * 0.01f / 10.0f},  // from behind it tells further out
        {13.01f, 1.0f, 3.0f, 0.0f},
        {3.0f, 0.0f, 3.0f, 0.7f},            // nearness alone never tells fully
        {20.0f, 0.0f, 2.99f, 0.01f / 3.0f},  // the patrol will be there: imminence
        {20.0f, 0.0f, 0.0f, 1.0f},
        {6.5f, 0.0f, 1.5f, 0.5f},  // the larger of the two
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(MonsterWarning::level(c.distance, c.behind, c.seconds), c.expected, 1e-4f)
            << c.distance << " " << c.behind << " " << c.seconds;
    }
    EXPECT_NEAR(MonsterWarning::beatInterval(0.0f), 1.1f, 1e-6f);
    EXPECT_NEAR(MonsterWarning::beatInterval(0.5f), 0.725f, 1e-6f);
    EXPECT_NEAR(MonsterWarning::beatInterval(1.0f), 0.35f, 1e-6f);
}

}  // namespace
}  // namespace vestrel
