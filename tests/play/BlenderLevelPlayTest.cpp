// The level and creature made in Blender (tools/blender/make_sample.py, committed
// under tests/data/blender) played in the real game: lit like the house, its
// item, zone and door working, the creature walking its round in place of the
// monster.

#include <gtest/gtest.h>

// Game.h brings GLEW, which must come before GLFW's GL header.
#include "app/Game.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <glm/glm.hpp>

#include "ConsoleCapture.h"
#include "PlayPicture.h"
#include "PlayingGame.h"
#include "PuzzleRoute.h"
#include "app/GameSettings.h"
#include "app/Gameoverstate.h"
#include "enemy/Enemy.h"
#include "level/GameObject.h"
#include "level/InteractiveSwitch.h"
#include "play/Camera.h"
#include "render/TextureCache.h"

namespace vestrel {
namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

// Mean of (r + g + b) / 3 over the picture, 0..255.
double meanBrightness(const test::Frame& picture) {
    double sum = 0.0;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const glm::ivec3 c = picture.at(x, y);
            sum += (c.r + c.g + c.b) / 3.0;
        }
    return sum / (picture.width * picture.height);
}

// Share of pixels with every channel at 250 or more: washed out to white.
double whiteShare(const test::Frame& picture) {
    int white = 0;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const glm::ivec3 c = picture.at(x, y);
            if (c.r >= 250 && c.g >= 250 && c.b >= 250) ++white;
        }
    return static_cast<double>(white) / (picture.width * picture.height);
}

class BlenderLevelPlayTest : public ::testing::Test {
protected:
    std::unique_ptr<Game> game;

    // Starts the game on `level` with `monster` as the monster's model.
    void start(const char* level, const char* monster) {
        Playstate::instance().levelPath = level;
        game = test::startPlaying(
            kWidth, kHeight,
            [monster](Game& g) {
                g.level->enemy = std::make_unique<Enemy>();
                g.level->enemy->modelPath = monster;
            },
            &startOutput);
        ASSERT_EQ(game->currentState(), &Playstate::instance());
    }
    void TearDown() override {
        Playstate::instance().levelPath = Playstate::kHousePath;
        test::stopPlaying(game);
    }

    test::Frame draw(const std::string& name) { return test::drawPicture(*game, name); }

    std::string startOutput;
};

// The house and the Blender level seen the same way: from the spawn, toward
// the door ahead, landed and still, flashlight not yet found.
TEST_F(BlenderLevelPlayTest, LitLikeTheHouseNotWashedOut) {
    start(Playstate::kHousePath, Enemy::kModelPath);
    test::parkMonster(*game->level);
    test::PuzzleDriver houseDriver(*game);
    houseDriver.standFor(1.0f);
    const test::Frame house = draw("blender_0_house_spawn");
    test::stopPlaying(game);

    start("tests\\data\\blender\\sample_level.dae", "tests\\data\\blender\\sample_creature.dae");
    EXPECT_NE(startOutput.find("Light colours above 1 read as colour x power"), std::string::npos)
        << startOutput;
    test::PuzzleDriver driver(*game);
    driver.standFor(1.0f);
    const test::Frame sample = draw("blender_1_sample_spawn");

    // Read as written (colours of 1000) the room is white; read as colour x
    // power it is a dim room: a fifth of white or less (lit like the house's
    // own lamps before they were dimmed for the dark house), and not black.
    const double sampleMean = meanBrightness(sample);
    EXPECT_LT(whiteShare(sample), 0.01);
    EXPECT_LT(sampleMean, 0.2 * 255.0) << "house " << meanBrightness(house);
    EXPECT_GT(sampleMean, 8.0);
}

// Banana at the statue opens the door; the creature walks its waypoints.
TEST_F(BlenderLevelPlayTest, ItemZoneDoorAndCreatureWork) {
    start("tests\\data\\blender\\sample_level.dae", "tests\\data\\blender\\sample_creature.dae");
    Level& level = *game->level;
    ASSERT_NE(level.enemy, nullptr);
    ASSERT_NE(level.enemy->controller, nullptr);
    ASSERT_EQ(level.enemy->waypoints.size(), 3u);
    EXPECT_NE(startOutput.find("Done loading enemy"), std::string::npos) << startOutput;
    test::PuzzleDriver driver(*game);
    test::ConsoleCapture console;

    // The monster's round: waypoint 00 to 01 along x, at 7 units a second.
    const glm::dvec3 monsterStart = level.enemy->controller->controller->getPosition();
    EXPECT_NEAR(monsterStart.x, 12.0, 0.05);
    EXPECT_NEAR(monsterStart.z, -5.0, 0.05);
    driver.standFor(0.5f);
    const glm::dvec3 monsterLater = level.enemy->controller->controller->getPosition();
    EXPECT_NEAR(monsterLater.x - monsterStart.x, 3.5, 0.2);
    EXPECT_NEAR(monsterLater.z, -5.0, 0.05);

    // The banana lies at Blender's (-4, 4), the game's (-4, -4); the statue's
    // zone at Blender's (-2, -5.5), the game's (-2, 5.5).
    const std::vector<test::RouteStep> route = {
        test::walkTo(-3.0f, -2.0f),
        test::pressE("Banana_item", "Picked up item: Banana_item"),
        test::walkTo(-2.0f, 2.2f),
        test::pressE("Suzanne_interactive", "Interacting with: Suzanne_interactive"),
        test::waitFor(5.2f),
    };
    for (const test::RouteStep& step : route) {
        if (step.kind == test::RouteStep::Kind::Walk) {
            ASSERT_TRUE(driver.walk(step.point)) << step.point.x << "," << step.point.y;
        } else if (step.kind == test::RouteStep::Kind::Interact) {
            driver.standFor(0.1f);
            EXPECT_EQ(level.player.targetName, step.target);
            driver.tapE();
            driver.step();
            EXPECT_NE(console.text().find(step.expected), std::string::npos) << console.text();
        } else {
            driver.standFor(step.seconds);
        }
    }
    EXPECT_EQ(level.player.inventory.count("Banana_item"), 1u);
    // The door slid 5 along the game's +z, out of the doorway, and the player
    // walks through into the creature's room.
    ASSERT_EQ(level.switches.count("Suzanne_interactive"), 1u);
    GameObject* door = level.switches["Suzanne_interactive"]->box;
    ASSERT_NE(door, nullptr);
    EXPECT_NEAR((*door->bounds)[2], 2.5f, 1e-2f);
    EXPECT_NEAR((*door->bounds)[5], 7.5f, 1e-2f);
    ASSERT_TRUE(driver.walk({4.0f, -1.0f}));
    ASSERT_TRUE(driver.walk({9.0f, -1.0f}));
    EXPECT_FALSE(GameSettings::instance().playerCaught);

    // Seen from the doorway, the creature walks and moves its legs: two
    // pictures a quarter second apart differ around it.
    const glm::vec3 creature(level.enemy->model.modelMatrix[3]);
    driver.lookAt(creature + glm::vec3(0.0f, 2.0f, 0.0f));
    const test::Frame first = draw("blender_2_creature_a");
    driver.standFor(0.25f);
    const test::Frame second = draw("blender_3_creature_b");
    const std::size_t changed = test::changedPixels(first, second).size();
    EXPECT_GT(changed, 300u);
}

}  // namespace
}  // namespace vestrel
