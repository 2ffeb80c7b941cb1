// The whole puzzle, played through the real play state over the real house
// with the real physics and sound: walking with W and the mouse, E at each
// place, until the sink wins the game.

#include <gtest/gtest.h>

// Game.h brings GLEW, which must come before GLFW's GL header.
#include "app/Game.h"

#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include <glm/geometric.hpp>

#include "ConsoleCapture.h"
#include "PlayingGame.h"
#include "PuzzleRoute.h"
#include "app/GameSettings.h"
#include "app/Gameoverstate.h"
#include "audio/AudioTestSupport.h"
#include "audio/SoundSystem.h"
#include "level/GameObject.h"
#include "level/InteractiveSwitch.h"
#include "level/Item.h"
#include "physics/PhysicsActor.h"
#include "render/Light.h"
#include "render/Mesh.h"
#include "render/TextureCache.h"

namespace vestrel {
namespace {

// The game's sound system is process-wide and opens the first playback
// device it finds; with none listed it falls back to the loopback output,
// which the test can listen to. OpenAL Soft lists none when no back end is
// allowed. Set before main, so before any test of this program makes the
// sound system.
const bool kLoopbackSound = [] {
    setenv("ALSOFT_DRIVERS", "none", 1);
    return true;
}();

glm::vec3 translationOf(const GameObject& object) { return glm::vec3(object.mesh->modelMatrix[3]); }

GameObject* childNamed(GameObject& parent, const std::string& name) {
    for (const auto& child : parent.children) {
        if (child->mesh && child->mesh->name == name) return child.get();
    }
    return nullptr;
}

// How loud `channelName` alone is over the next tenth of a second of the
// silent output: every other channel is muted while it renders.
double loudnessOf(const std::string& channelName) {
    SoundSystem& sounds = SoundSystem::instance();
    std::vector<AudioChannel> others;
    for (const auto& entry : sounds.sounds()) {
        if (entry.first != channelName) others.push_back(sounds.channel(entry.first));
    }
    for (AudioChannel& channel : others) channel.setMute(true);
    const double loudness = test::render(*sounds.audioSystem(), test::framesFor(0.1)).both();
    for (AudioChannel& channel : others) channel.setMute(false);
    return loudness;
}

class PuzzleRouteTest : public ::testing::Test {
protected:
    std::unique_ptr<Game> game;

    bool hasCaption(const std::string& line) const {
        const std::vector<std::string>& captions = game->renderer.hudState.captions;
        return std::find(captions.begin(), captions.end(), line) != captions.end();
    }

    void SetUp() override {
        game = test::startPlaying();
        ASSERT_EQ(game->currentState(), &Playstate::instance());
        ASSERT_NE(SoundSystem::instance().audioSystem(), nullptr);
        ASSERT_TRUE(SoundSystem::instance().audioSystem()->isSilentOutput());
    }
    void TearDown() override { test::stopPlaying(game); }
};

TEST_F(PuzzleRouteTest, APlayerSolvesThePuzzleOnFootAndWins) {
    Level& level = *game->level;
    Player& player = level.player;
    test::parkMonster(level);
    ASSERT_EQ(level.switches.size(), 4u);
    ASSERT_EQ(level.itemsInWorld.size(), 5u);
    ASSERT_NE(player.flashlight, nullptr);
    for (const auto& entry : level.items) {
        EXPECT_NE(entry.second->icon, nullptr) << entry.first;
        EXPECT_EQ(entry.second->icon, TextureCache::instance().find(entry.first)) << entry.first;
    }

    InteractiveSwitch& statue = *level.switches.at("Suzanne_interactive");
    InteractiveSwitch& generator = *level.switches.at("Generator_interactive");
    InteractiveSwitch& cabinet = *level.switches.at("cabinet_interactive");
    ASSERT_NE(statue.box, nullptr);
    ASSERT_NE(generator.box, nullptr);
    ASSERT_NE(cabinet.box, nullptr);
    GameObject& door = *statue.box;
    GameObject& showerDoor = *generator.box;
    GameObject* doorHandle = childNamed(door, "DoorHandle");
    GameObject* showerHandle = childNamed(showerDoor, "ShowerDoorHandle");
    ASSERT_NE(doorHandle, nullptr);
    ASSERT_NE(showerHandle, nullptr);
    const glm::vec3 doorStart = translationOf(door);
    const glm::vec3 doorHandleStart = translationOf(*doorHandle);
    const glm::vec3 showerStart = translationOf(showerDoor);
    const glm::vec3 showerHandleStart = translationOf(*showerHandle);
    const glm::vec3 doorColliderStart = door.collisionActor->position();
    const glm::vec3 showerColliderStart = showerDoor.collisionActor->position();

    // The handles never lead their doors: checked at every step of the run.
    float worstHandleLag = 0.0f;
    test::PuzzleDriver driver(*game);
    driver.afterStep = [&] {
        const glm::vec3 d = translationOf(door) - doorStart;
        const glm::vec3 h = translationOf(*doorHandle) - doorHandleStart;
        const glm::vec3 sd = translationOf(showerDoor) - showerStart;
        const glm::vec3 sh = translationOf(*showerHandle) - showerHandleStart;
        worstHandleLag = std::max({worstHandleLag, glm::length(d - h), glm::length(sd - sh)});
    };

    std::vector<std::string> pickedUp;
    int interactions = 0;
    test::ConsoleCapture console;
    for (const test::RouteStep& step : test::puzzleRoute()) {
        if (step.kind == test::RouteStep::Kind::Walk) {
            ASSERT_TRUE(driver.walk(step.point))
                << "stopped at (" << driver.position().x << ", " << driver.position().y << ") on the way to ("
                << step.point.x << ", " << step.point.y << ")";
            continue;
        }
        if (step.kind == test::RouteStep::Kind::Wait) {
            driver.standFor(step.seconds);
            continue;
        }
        const std::string target = step.target;
        SCOPED_TRACE("pressing E at " + target);
        ASSERT_EQ(player.targetName, target);
        const bool flashlightLitBefore = player.flashlight->enabled;
        const AudioChannel engineBefore = SoundSystem::instance().channel("engine");
        const AudioChannel bangBefore = SoundSystem::instance().channel("bang");

        console.clear();
        driver.tapE();
        ++interactions;
        EXPECT_EQ(console.text(), std::string(step.expected) + "\n");

        if (target.size() > 5 && target.compare(target.size() - 5, 5, "_item") == 0) {
            pickedUp.push_back(target);
            // A pick-up clears the target: a second E does nothing.
            EXPECT_TRUE(player.targetName.empty());
            EXPECT_EQ(player.targetKind, 0);
            console.clear();
            driver.tapE();
            EXPECT_EQ(console.text(), "");
            EXPECT_EQ(level.itemsInWorld.count(target), 0u);
            ASSERT_EQ(player.inventory.count(target), 1u);
            EXPECT_FALSE(level.items.at(target)->object->visible);
        }
        if (target == "Flashlight_item") {
            EXPECT_FALSE(flashlightLitBefore);
            EXPECT_TRUE(player.flashlight->enabled);
            EXPECT_TRUE(player.hasFlashlight);
        }
        if (target == "Generator_interactive") {
            // The engine starts on a new channel of its own and is heard.
            const AudioChannel engine = SoundSystem::instance().channel("engine");
            EXPECT_NE(engine, engineBefore);
            bool playing = false;
            engine.isPlaying(playing);
            EXPECT_TRUE(playing);
            EXPECT_GT(loudnessOf("engine"), test::kAudible);
            EXPECT_EQ(showerDoor.moveStepsLeft, 300);
            // Written too, with where it is heard from: the generator ahead.
            driver.step();
            EXPECT_TRUE(hasCaption("AN ENGINE COUGHS INTO LIFE - AHEAD"));
        }
        if (target == "cabinet_interactive") {
            const AudioChannel bang = SoundSystem::instance().channel("bang");
            EXPECT_NE(bang, bangBefore);
            EXPECT_GT(loudnessOf("bang"), test::kAudible);
            driver.step();
            // The rack stands to the right of the cabinet the player faces.
            EXPECT_TRUE(hasCaption("A CRASH - RIGHT")) << game->renderer.hudState.captions.back();
            EXPECT_FALSE(cabinet.box->visible);
            EXPECT_EQ(cabinet.box->collisionActor, nullptr);
        }
    }
    EXPECT_EQ(interactions, 11);

    // Found in this order; carried in name order.
    EXPECT_EQ(pickedUp, (std::vector<std::string>{"Flashlight_item", "Banana_item", "can_item", "file_item",
                                                  "Duck_item"}));
    std::vector<std::string> carried;
    for (const auto& entry : player.inventory) carried.push_back(entry.first);
    EXPECT_EQ(carried, (std::vector<std::string>{"Banana_item", "Duck_item", "Flashlight_item", "can_item",
                                                 "file_item"}));
    for (const auto& entry : player.inventory)
        EXPECT_TRUE(entry.second->used || entry.first == "Flashlight_item");

    // Both doors slid five units and their handles went with them.
    EXPECT_EQ(door.moveStepsLeft, 0);
    EXPECT_NEAR(door.collisionActor->position().z - doorColliderStart.z, 5.0f, 1e-3f);
    EXPECT_NEAR(showerDoor.collisionActor->position().z - showerColliderStart.z, -5.0f, 1e-3f);
    EXPECT_NEAR(glm::distance(translationOf(*doorHandle) - doorHandleStart, glm::vec3(0.0f, 0.0f, 5.0f)),
                0.0f, 1e-3f);
    EXPECT_NEAR(glm::distance(translationOf(*showerHandle) - showerHandleStart, glm::vec3(0.0f, 0.0f, -5.0f)),
                0.0f, 1e-3f);
    EXPECT_LT(worstHandleLag, 1e-3f);

    // The sink won: one more step shows the win screen.
    EXPECT_TRUE(GameSettings::instance().playerWon);
    EXPECT_TRUE(level.items.at("Duck_item")->used);
    driver.step();
    EXPECT_EQ(game->currentState(), &Gameoverstate::instance());
    EXPECT_FALSE(GameSettings::instance().playerCaught);
}

// The reckoning the win demo's autopilot crosses the corridor by: where the
// monster will be while the player walks, turning at the ends of its path.
TEST(CorridorWatchTest, ReckonsTheMonsterWalkingOnAndTurningAtTheEndOfItsPath) {
    Enemy monster;
    monster.addWaypoint("Waypoint_00", {9.0f, 0.0f, -16.0f});
    monster.addWaypoint("Waypoint_01", {9.0f, 0.0f, 16.0f});
    monster.targetIndex = 1;
    monster.forward = true;
    const std::vector<glm::vec2> across = {{9.0f, 0.0f}, {4.0f, 0.0f}};

    // Walking north from z = -6 it is almost at z = 0 when the player is.
    EXPECT_LT(test::closestApproach(monster, {9.0f, -6.0f}, {14.0f, 0.0f}, across, 8.0f), 1.0f);
    // From z = 10 it walks away, turns at 16 and is still far when the
    // player is through: the closest is where both started.
    EXPECT_NEAR(test::closestApproach(monster, {9.0f, 10.0f}, {14.0f, 0.0f}, across, 8.0f), std::sqrt(125.0f),
                0.05f);
    // A player standing at (15, 10) for a second while the monster walks 2
    // to the end and 5 back: closest at z = 11, not at the start (z = 14).
    EXPECT_NEAR(test::closestApproach(monster, {9.0f, 14.0f}, {15.0f, 10.0f}, {{15.0f, 10.0f}}, 8.0f, 1.0f),
                std::sqrt(37.0f), 0.1f);
}

}  // namespace
}  // namespace vestrel
