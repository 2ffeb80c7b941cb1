// What the player sees in play: the hidden writing under the blue flashlight
// once the flashlight is carried, and the TV's flicker. The real game draws
// the real house; the player gets there on foot (PuzzleRoute.h).

#include <gtest/gtest.h>

// Game.h brings GLEW, which must come before GLFW's GL header.
#include "app/Game.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include <glm/glm.hpp>

#include "ConsoleCapture.h"
#include "PlayPicture.h"
#include "PlayingGame.h"
#include "PuzzleRoute.h"
#include "app/GameSettings.h"
#include "app/Gameoverstate.h"
#include "level/GameObject.h"
#include "render/Light.h"
#include "render/Mesh.h"
#include "render/TextureCache.h"

namespace vestrel {
namespace {

using test::changedPixels;
using test::Frame;

class PlayScreenshotTest : public ::testing::Test {
protected:
    std::unique_ptr<Game> game;
    GameObject* hint = nullptr;

    // The screen rectangle (pixels, origin bottom left) of an object's bounds
    // as the last drawn frame's camera saw it.
    std::pair<glm::vec2, glm::vec2> screenBox(const GameObject& object) {
        const std::array<float, 6>& b = *object.bounds;
        glm::vec2 lo(1e9f), hi(-1e9f);
        for (int corner = 0; corner < 8; ++corner) {
            const glm::vec4 p(b[(corner & 1) ? 3 : 0], b[(corner & 2) ? 4 : 1], b[(corner & 4) ? 5 : 2],
                              1.0f);
            const glm::vec4 clip = game->level->camera->viewProjection * p;
            EXPECT_GT(clip.w, 0.0f);
            const glm::vec2 ndc = glm::vec2(clip) / clip.w;
            const glm::vec2 px = (ndc * 0.5f + 0.5f) * glm::vec2(320.0f, 240.0f);
            lo = glm::min(lo, px);
            hi = glm::max(hi, px);
        }
        return {lo, hi};
    }

    void SetUp() override {
        game = test::startPlaying();
        ASSERT_EQ(game->currentState(), &Playstate::instance());
        test::parkMonster(*game->level);
    }
    void TearDown() override { test::stopPlaying(game); }

    Frame draw(const std::string& name) { return test::drawPicture(*game, name); }

    // Pixels the flashlight's light changes: the picture as it is against
    // the same one with the light switched off for the moment.
    std::size_t litByFlashlight(const std::string& name) {
        Light& flashlight = *game->level->player.flashlight;
        const Frame as = draw(name);
        const bool on = flashlight.enabled;
        flashlight.enabled = false;
        const Frame off = draw(name + "_flashlight_off");
        flashlight.enabled = on;
        return changedPixels(as, off).size();
    }

    // The same picture with and without the hidden-writing objects: what
    // differs is what the writing put on screen.
    std::vector<glm::ivec2> writingShown(const std::string& name) {
        Level& level = *game->level;
        const Frame with = draw(name);
        std::vector<std::shared_ptr<GameObject>> hidden;
        hidden.swap(level.hiddenTextObjects);
        const Frame without = draw(name + "_without_writing");
        hidden.swap(level.hiddenTextObjects);
        std::vector<glm::ivec2> changed = changedPixels(with, without);
        // Light ink tinted (0.55, 0.75, 1.0), drawn over the wall where the
        // beam reaches: the letters brighten the picture, and only on the
        // hint's own plane.
        const auto [lo, hi] = screenBox(*hint);
        int letterPixels = 0;
        glm::ivec2 brightest(-1);
        int brightestGain = 0;
        for (const glm::ivec2& p : changed) {
            EXPECT_TRUE(p.x >= lo.x - 2 && p.x <= hi.x + 2 && p.y >= lo.y - 2 && p.y <= hi.y + 2)
                << p.x << "," << p.y << " is off the hint";
            const glm::ivec3 gain = with.at(p.x, p.y) - without.at(p.x, p.y);
            const int total = gain.r + gain.g + gain.b;
            if (total > 60) ++letterPixels;
            if (total > brightestGain) {
                brightestGain = total;
                brightest = p;
            }
        }
        if (!changed.empty()) {
            EXPECT_GT(letterPixels, 200);
            const glm::ivec3 c = with.at(brightest.x, brightest.y);
            EXPECT_TRUE(c.b >= c.g && c.g >= c.r) << c.r << " " << c.g << " " << c.b;
        }
        return changed;
    }
};

TEST_F(PlayScreenshotTest, BlueLightShowsTheHiddenWritingOnlyOnceTheFlashlightIsCarried) {
    Level& level = *game->level;
    test::PuzzleDriver driver(*game);
    ASSERT_TRUE(driver.walk({0.5f, 0.0f}));
    ASSERT_TRUE(driver.walk({1.5f, -1.8f}));
    ASSERT_EQ(level.player.targetName, "Flashlight_item");
    ASSERT_FALSE(level.hiddenTextObjects.empty());
    // The hint by the statue's doorway.
    for (const auto& object : level.hiddenTextObjects) {
        if (object->mesh->name == "StatueHint_hiddenText") hint = object.get();
    }
    ASSERT_NE(hint, nullptr);
    driver.lookAt(hint->boundsCentre());

    // Without the flashlight the mouse changes nothing: no light, no writing.
    Playstate::instance().onMouseButton(GLFW_MOUSE_BUTTON_LEFT, GLFW_RELEASE, 0);
    EXPECT_EQ(level.player.flashlightMode, kFlashlightWhite);
    EXPECT_EQ(litByFlashlight("hint_0_before_pickup"), 0u);
    EXPECT_TRUE(writingShown("hint_0_before_pickup").empty());

    driver.tapE();
    driver.step();
    // White light: most of the view is lit by it, the writing still hidden.
    EXPECT_GT(litByFlashlight("hint_1_white"), 320u * 240u / 4);
    EXPECT_TRUE(writingShown("hint_1_white").empty());

    Playstate::instance().onMouseButton(GLFW_MOUSE_BUTTON_LEFT, GLFW_RELEASE, 0);
    ASSERT_EQ(level.player.flashlightMode, kFlashlightBlue);
    driver.step();
    const std::vector<glm::ivec2> writing = writingShown("hint_2_blue");
    // A fair part of the screen: the hint fills much of the view from here.
    EXPECT_GT(writing.size(), 200u);

    // Switched off, it is gone again.
    Playstate::instance().onMouseButton(GLFW_MOUSE_BUTTON_RIGHT, GLFW_RELEASE, 0);
    driver.step();
    EXPECT_TRUE(writingShown("hint_3_off").empty());
}

TEST_F(PlayScreenshotTest, TheTvFlickersInPlay) {
    Level& level = *game->level;
    ASSERT_NE(level.tvObject, nullptr);
    ASSERT_GE(level.tvFrames.size(), 2u);
    // The game's default ambient light: the dark living room's only other
    // light is a dim lamp.
    level.ambient = glm::vec3(0.1f);
    test::PuzzleDriver driver(*game);
    driver.standFor(1.0f);  // landed and still
    driver.lookAt(level.tvObject->boundsCentre());
    driver.standFor(0.1f);

    Frame previous = draw("tv_0");
    const auto [lo, hi] = screenBox(*level.tvObject);
    int pictureChanges = 0;
    for (int i = 1; i <= 4; ++i) {
        const int frameBefore = level.tvFrameIndex;
        driver.standFor(3.0f / 60.0f);  // three steps: at least one new frame
        EXPECT_NE(level.tvFrameIndex, frameBefore);
        const Frame next = draw("tv_" + std::to_string(i));
        const std::vector<glm::ivec2> changed = changedPixels(previous, next);
        if (changed.size() > 20) ++pictureChanges;
        // Only the TV changes: the player stands still.
        for (const glm::ivec2& p : changed) {
            ASSERT_TRUE(p.x >= lo.x - 2 && p.x <= hi.x + 2 && p.y >= lo.y - 2 && p.y <= hi.y + 2)
                << p.x << "," << p.y << " outside the TV at " << lo.x << "," << lo.y << " .. " << hi.x << ","
                << hi.y;
        }
        previous = next;
    }
    EXPECT_EQ(pictureChanges, 4);
}

}  // namespace
}  // namespace vestrel
