// The level and creature made in Blender (tools/blender/make_sample.py, committed
// under tests/data/blender) played in the real game: lit like the house, its
// item, zone and door working, the creature walking its round in place of the
// monster.

#include <gtest/gtest.h>

// Game.h brings GLEW, which must come before GLFW's GL header.
#include "app/Game.h"

#include <IL/il.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <glm/glm.hpp>

#include "ConsoleCapture.h"
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

struct Picture {
    std::vector<std::uint8_t> rgba;  // bottom row first
    glm::ivec3 at(int x, int y) const {
        const std::size_t i = (static_cast<std::size_t>(y) * kWidth + x) * 4;
        return {rgba[i], rgba[i + 1], rgba[i + 2]};
    }
    // Mean of (r + g + b) / 3 over the picture, 0..255.
    double meanBrightness() const {
        double sum = 0.0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const glm::ivec3 c = at(x, y);
                sum += (c.r + c.g + c.b) / 3.0;
            }
        return sum / (kWidth * kHeight);
    }
    // Share of pixels with every channel at 250 or more: washed out to white.
    double whiteShare() const {
        int white = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const glm::ivec3 c = at(x, y);
                if (c.r >= 250 && c.g >= 250 && c.b >= 250) ++white;
            }
        return static_cast<double>(white) / (kWidth * kHeight);
    }
};

class BlenderLevelPlayTest : public ::testing::Test {
protected:
    std::unique_ptr<Game> game;

    // Starts the game on `level` with `monster` as the monster's model.
    void start(const char* level, const char* monster) {
        GameSettings::instance() = GameSettings{};
        Playstate::instance().levelPath = level;
        game = std::make_unique<Game>();
        Game::registered = game.get();
        test::ConsoleCapture console;
        game->init(kWidth, kHeight, 60, false);
        game->level->enemy = std::make_unique<Enemy>();
        game->level->enemy->modelPath = monster;
        game->startSequence();
        startOutput = console.text();
        Gameoverstate::instance().initialized = false;
        ASSERT_EQ(game->currentState(), &Playstate::instance());
    }
    void TearDown() override {
        Playstate::instance().levelPath = Playstate::kHousePath;
        TextureCache::instance().textures.clear();
        test::ConsoleCapture quiet;
        game.reset();
        GameSettings::instance() = GameSettings{};
    }

    // The picture the play state draws, saved under the build folder. The
    // lights follow the frame before, so the second frame drawn is taken.
    Picture draw(const std::string& name) {
        game->renderer.render(*game->level);
        game->renderer.render(*game->level);
        glFinish();
        Picture picture;
        picture.rgba.resize(static_cast<std::size_t>(kWidth) * kHeight * 4);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, picture.rgba.data());
        const char* dir = std::getenv("VESTREL_BUILD_DIR");
        const std::string folder = std::string(dir ? dir : "/tmp") + "/play-screens";
        if (std::system(("mkdir -p '" + folder + "'").c_str()) == 0) {
            ILuint image = 0;
            ilGenImages(1, &image);
            ilBindImage(image);
            ilTexImage(kWidth, kHeight, 1, 4, IL_RGBA, IL_UNSIGNED_BYTE, picture.rgba.data());
            ilEnable(IL_FILE_OVERWRITE);
            ilSaveImage((folder + "/" + name + ".png").c_str());
            ilDeleteImages(1, &image);
        }
        return picture;
    }

    // Turns the view with the mouse until it looks at `target`.
    void lookAt(test::PuzzleDriver& driver, const glm::vec3& target) {
        for (int i = 0; i < 3; ++i) {
            const Camera& camera = *game->level->camera;
            const glm::vec3 to = target - game->level->player.eyePosition;
            const float yaw = std::atan2(to.z, to.x) * 57.29578f;
            const float pitch = std::atan2(to.y, std::hypot(to.x, to.z)) * 57.29578f;
            const float turn = std::fmod(yaw - camera.yaw + 540.0f, 360.0f) - 180.0f;
            driver.step(
                static_cast<int>(std::lround(turn / game->level->player.lookSensitivity)),
                -static_cast<int>(std::lround((pitch - camera.pitch) / game->level->player.lookSensitivity)));
        }
    }

    std::string startOutput;
};

// The house and the Blender level seen the same way: from the spawn, toward
// the door ahead, landed and still, flashlight not yet found.
TEST_F(BlenderLevelPlayTest, LitLikeTheHouseNotWashedOut) {
    start(Playstate::kHousePath, Enemy::kModelPath);
    test::parkMonster(*game->level);
    test::PuzzleDriver houseDriver(*game);
    houseDriver.standFor(1.0f);
    const Picture house = draw("blender_0_house_spawn");
    game.reset();

    start("tests\\data\\blender\\sample_level.dae", "tests\\data\\blender\\sample_creature.dae");
    EXPECT_NE(startOutput.find("Light colours above 1 read as colour x power"), std::string::npos)
        << startOutput;
    test::PuzzleDriver driver(*game);
    driver.standFor(1.0f);
    const Picture sample = draw("blender_1_sample_spawn");

    const double houseMean = house.meanBrightness();
    const double sampleMean = sample.meanBrightness();
    // Read as written (colours of 1000) the room is white; read as colour x
    // power it is a dim house like ours: within a factor 1.6 of its mean.
    EXPECT_LT(sample.whiteShare(), 0.01);
    EXPECT_GT(sampleMean, houseMean / 1.6) << "house " << houseMean;
    EXPECT_LT(sampleMean, houseMean * 1.6) << "house " << houseMean;
    EXPECT_GT(sampleMean, 8.0);  // not black
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
    lookAt(driver, creature + glm::vec3(0.0f, 2.0f, 0.0f));
    const Picture first = draw("blender_2_creature_a");
    driver.standFor(0.25f);
    const Picture second = draw("blender_3_creature_b");
    int changed = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const glm::ivec3 d = glm::abs(first.at(x, y) - second.at(x, y));
            if (d.r > 8 || d.g > 8 || d.b > 8) ++changed;
        }
    EXPECT_GT(changed, 300);
}

}  // namespace
}  // namespace vestrel
