// Every item and switch of the house, pressed for from just behind its
// nearest wall and then from in front of it, through the real play state,
// physics and house: the trigger spheres reach through walls, E does not.

#include <gtest/gtest.h>

// Game.h brings GLEW, which must come before GLFW's GL header.
#include "app/Game.h"

#include <string>

#include <glm/geometric.hpp>

#include "ConsoleCapture.h"
#include "PlayingGame.h"
#include "PuzzleRoute.h"
#include "app/GameSettings.h"
#include "level/GameObject.h"
#include "level/InteractionSimulationCallback.h"
#include "level/InteractiveSwitch.h"
#include "level/Item.h"
#include "physics/CapsuleController.h"
#include "physics/ControllerRecord.h"

namespace vestrel {
namespace {

struct ReachCase {
    const char* target;
    glm::vec2 behind;    // world x, z: the far side of the nearest wall
    glm::vec2 from;      // where the walk there starts (along the wall)
    bool triggerThere;   // the target's trigger sphere reaches through to there
    glm::vec2 inFront;   // where the puzzle is played from
    const char* answer;  // the console line in front (the switches' items are carried)
};

// The sink last: it ends the game.
const ReachCase kCases[] = {
    {"Flashlight_item", {2.2f, -7.4f}, {4.2f, -7.4f}, true, {1.5f, -1.8f}, "Picked up item: Flashlight_item"},
    {"Banana_item", {-5.0f, -3.0f}, {-3.0f, -3.0f}, false, {-3.5f, -9.6f}, "Picked up item: Banana_item"},
    {"can_item", {18.5f, 7.5f}, {20.5f, 7.5f}, true, {18.5f, 2.5f}, "Picked up item: can_item"},
    // The bathroom, past the shower's glass screen.
    {"file_item", {27.5f, -14.5f}, {25.5f, -14.5f}, false, {33.0f, -16.5f}, "Picked up item: file_item"},
    {"Duck_item", {31.5f, 8.0f}, {29.5f, 8.0f}, false, {31.0f, -0.5f}, "Picked up item: Duck_item"},
    // The corridor.
    {"Suzanne_interactive",
     {7.5f, 6.5f},
     {7.5f, 8.5f},
     true,
     {1.0f, 4.0f},
     "Interacting with: Suzanne_interactive"},
    {"Generator_interactive",
     {25.0f, 2.0f},
     {23.0f, 2.0f},
     false,
     {24.0f, 13.5f},
     "Interacting with: Generator_interactive"},
    {"cabinet_interactive",
     {23.0f, -9.5f},
     {25.0f, -9.5f},
     true,
     {22.0f, -3.5f},
     "Interacting with: cabinet_interactive"},
    // The storage room, against the wall behind the sink, come to from the
    // north: from the east the cabinet's trigger would be entered last.
    {"sink_interactive",
     {16.5f, -6.5f},
     {16.5f, -4.5f},
     true,
     {17.5f, -11.5f},
     "Interacting with: sink_interactive"},
};

class HouseReachTest : public test::HouseInPlayTest {
protected:
    // Puts the player at `from`, lets it land, and walks it to `spot` with W
    // and the mouse, then looks at `target`. The far sides lie near the edge
    // of what the triggers reach; walking along the wall keeps the distance
    // from it exact.
    void walkInTo(test::PuzzleDriver& driver, const glm::vec2& from, const glm::vec2& spot,
                  const glm::vec3& target) {
        CapsuleController& capsule = *game->level->player.controller->controller;
        capsule.setPosition({-40.0, 1.6, 40.0});  // out of every trigger first
        driver.standFor(0.1f);
        capsule.setPosition({from.x, 1.6, from.y});
        driver.standFor(0.25f);
        ASSERT_TRUE(driver.walk(spot)) << "stuck at " << driver.position().x << ", " << driver.position().y;
        driver.lookAt(target);
    }
};

TEST_F(HouseReachTest, NothingCanBeTakenOrUsedThroughAWallAndAllOfItInFront) {
    Level& level = *game->level;
    Player& player = level.player;
    // Every switch's item is carried, so the switches can act in front.
    for (const auto& entry : level.switches) {
        Item* item = entry.second->requiredItem;
        ASSERT_NE(item, nullptr) << entry.first;
        player.inventory[item->name] = item;
    }
    test::PuzzleDriver driver(*game);
    for (const ReachCase& c : kCases) {
        SCOPED_TRACE(c.target);
        GameObject* object = level.targetObject(c.target);
        ASSERT_NE(object, nullptr);
        const glm::vec3 centre = object->boundsCentre();
        Item* item = level.items.count(c.target) ? level.items.at(c.target).get() : nullptr;
        const InteractiveSwitch* zone =
            level.switches.count(c.target) ? level.switches.at(c.target).get() : nullptr;

        walkInTo(driver, c.from, c.behind, centre);
        EXPECT_EQ(player.targetName == c.target, c.triggerThere) << "target " << player.targetName;
        EXPECT_FALSE(level.targetInReach() && player.targetName == c.target);
        test::ConsoleCapture console;
        driver.tapE();
        EXPECT_EQ(console.text(), "");
        // Nothing taken, nothing used.
        EXPECT_EQ(item != nullptr && !item->object->visible, false);
        EXPECT_EQ(zone != nullptr && zone->requiredItem->used, false);

        walkInTo(driver, c.inFront + glm::normalize(glm::vec2(centre.x, centre.z) - c.inFront) * -1.0f,
                 c.inFront, centre);
        ASSERT_EQ(player.targetName, c.target);
        EXPECT_TRUE(level.targetInReach());
        console.clear();
        driver.tapE();
        EXPECT_EQ(console.text(), std::string(c.answer) + "\n");
        EXPECT_EQ(item != nullptr && !item->object->visible, item != nullptr);
        EXPECT_EQ(zone != nullptr && zone->requiredItem->used, zone != nullptr);
    }
    EXPECT_TRUE(GameSettings::instance().playerWon);
}

}  // namespace
}  // namespace vestrel
