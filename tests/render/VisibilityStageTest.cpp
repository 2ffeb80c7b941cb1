// The visibility stage in the real renderer: what it leaves out, and that
// leaving it out changes no pixel. The pictures with the stage and without it
// are compared over the renderer bench's views of the house and over the win
// demo replayed step by step.
#include "render/VisibilityStage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "ConsoleCapture.h"
#include "FrameTestScene.h"
#include "app/Game.h"
#include "app/GameSettings.h"
#include "enemy/Enemy.h"
#include "level/GameObject.h"
#include "level/Item.h"
#include "level/Level.h"
#include "play/Camera.h"
#include "render/FragmentCounter.h"
#include "render/HUD.h"
#include "render/Light.h"
#include "render/Mesh.h"
#include "render/Renderer.h"
#include "render/TextureCache.h"
#include "replay/DemoFormat.h"
#include "replay/DemoSession.h"
#include "replay/InputScript.h"
#include "replay/Screenshot.h"
#include "support/GlTestContext.h"
#include "support/HouseViews.h"
#include "support/PlayingGame.h"

namespace vestrel {
namespace {

// Pictures with and without the stage may differ in this many pixels at
// most: none is expected, a few would be rounding at an occluder's edge.
constexpr int kHandfulOfPixels = 8;
// A full texture channel under the frame scene's ambient of 1, rolled off
// short of white above 0.8 (the curve itself is checked in LightTest).
constexpr int kFullChannel = 230;

std::vector<std::uint8_t> readWindow(int width, int height) {
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(width) * height * 4);
    glFinish();
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    return rgba;
}

// Pixels with a channel more than `levels` apart.
int differingPixels(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b, int levels = 0) {
    int count = 0;
    for (std::size_t i = 0; i + 3 < a.size() && i + 3 < b.size(); i += 4) {
        for (std::size_t c = i; c < i + 3; ++c) {
            if (std::abs(a[c] - b[c]) > levels) {
                ++count;
                break;
            }
        }
    }
    return count;
}

// The frame drawn as the game draws it (the stage on, and the renderer's
// picture shortcuts: surfaces out of the flashlight's reach drawn by the
// texLights variant without it, no glow composite under the glowing objects,
// the warning's vignette folded into the scene's programs) and without any of
// them; the camera is brought up to date first, so both draw with the same
// lights. Returns the pixels that differ (with the vignette folded in, by
// more than its rounding: the programs work it out where its pass reads a
// picture of it); when too many do, both pictures are saved under the build
// folder (visibility-pictures/) for looking at.
constexpr int kVignetteRounding = 2;
struct Comparison {
    int differing = 0;
    bool vignetteFolded = false;
    VisibilityCounts counts;  // of the frame drawn with the stage
};
// The monster's pose follows the wall clock, not the steps: stopped, it
// stands the same in both pictures.
std::int64_t stoppedClock() { return 0; }

Comparison compareWithAndWithout(Renderer& renderer, Level& level, int width, int height,
                                 const std::string& name) {
    GameSettings& settings = GameSettings::instance();
    if (level.camera) level.camera->update();
    settings.occlusionCulling = true;
    renderer.render(level);
    Comparison result;
    result.counts = renderer.visibilityCounts();
    result.vignetteFolded = renderer.vignetteFolded();
    const std::vector<std::uint8_t> with = readWindow(width, height);
    settings.occlusionCulling = false;
    renderer.pictureShortcuts = false;
    renderer.render(level);
    renderer.pictureShortcuts = true;
    const std::vector<std::uint8_t> without = readWindow(width, height);
    result.differing = differingPixels(with, without, result.vignetteFolded ? kVignetteRounding : 0);
    if (result.differing > kHandfulOfPixels) {
        const char* dir = std::getenv("VESTREL_BUILD_DIR");
        const std::filesystem::path folder =
            std::filesystem::path(dir ? dir : "/tmp") / "visibility-pictures";
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        saveWindowPicture((folder / (name + "-without.png")).string(), width, height);
        settings.occlusionCulling = true;
        renderer.render(level);
        saveWindowPicture((folder / (name + "-with.png")).string(), width, height);
    }
    settings.occlusionCulling = true;
    return result;
}

// A small scene on the frame tests' set-up: the camera at the origin looks
// along +x (screen right is +z); a grey wall 10 ahead covers the middle of
// the view, diced as level walls are.
class VisibilityScene : public ::testing::Test {
protected:
    static constexpr int kSize = 256;
    VisibilityScene() : ctx(kSize, kSize) {}

    void SetUp() override {
        ASSERT_TRUE(ctx.ok());
        test::setUpFrameScene(kSize, kSize, renderer, level);
        test::loadSolidImage("vis_grey0", 4, 4, {128, 128, 128});
        test::loadSolidImage("vis_red0", 4, 4, {255, 0, 0});
        test::loadSolidImage("vis_blue0", 4, 4, {0, 0, 255});
        level->rootObject = test::makeEmptyRoot(renderer.texLightsShader.get());
        wall = quad("Wall", 10.0f, 0.0f, 4.0f, "vis_grey", 6);
        level->rootObject->addChild(wall);
    }
    void TearDown() override {
        HUD::instance().clear();
        TextureCache::instance().textures.clear();
        level.reset();
        renderer.cleanup();
        GameSettings::instance() = GameSettings{};
    }
    std::shared_ptr<GameObject> quad(const char* name, float x, float z, float half, const char* texture,
                                     int divisions = 1) {
        return test::makeFacingQuad(renderer.texLightsShader.get(), name, x, 0.0f, z, half, texture,
                                    divisions);
    }
    Comparison compare(const std::string& name) {
        return compareWithAndWithout(renderer, *level, kSize, kSize, "scene-" + name);
    }

    test::GlTestContext ctx;
    Renderer renderer;
    std::unique_ptr<Level> level;
    std::shared_ptr<GameObject> wall;
};

TEST_F(VisibilityScene, WhatTheWallHidesIsLeftOutAndTheWallSlidingAwayShowsIt) {
    // Behind the wall: one quad wholly hidden, one reaching past its edge
    // (the wall spans tan 0.4 of the view at 10, the quad from tan 0.37 to
    // 0.5 at 15).
    level->rootObject->addChild(quad("Hidden", 15.0f, 0.0f, 1.0f, "vis_red"));
    level->rootObject->addChild(quad("Peeking", 15.0f, 6.5f, 1.0f, "vis_blue"));
    Comparison c = compare("hidden");
    EXPECT_LE(c.differing, kHandfulOfPixels);
    EXPECT_EQ(c.counts.drawn, 2);
    EXPECT_EQ(c.counts.occluded, 1);
    EXPECT_EQ(c.counts.frustumCulled, 0);

    // The wall slides 10 away along the view (as a door does, in steps):
    // the quad it hid is now in front of it, and must be drawn, though the
    // wall's triangles were read where it stood.
    wall->moveBy(glm::vec3(10.0f, 0.0f, 0.0f));
    for (int step = 0; step < 300; ++step) wall->update(1.0f / 60.0f);
    ASSERT_NEAR(wall->mesh->modelMatrix[3].x, 10.0f, 1e-3f);
    c = compare("slid");
    EXPECT_LE(c.differing, kHandfulOfPixels);
    EXPECT_EQ(c.counts.drawn, 3);
    EXPECT_EQ(c.counts.occluded, 0);
    const auto centre = ctx.pixel(kSize / 2, kSize / 2);
    EXPECT_NEAR(centre[0], kFullChannel, 1);  // the red quad, in front of the wall now
    EXPECT_EQ(centre[2], 0);
}

TEST_F(VisibilityScene, ALargeObjectThatMovedIsTestedWhereItIsNowNotWhereItWasRead) {
    // A red wall 8 units across (so drawn in clusters, whose bounds are read
    // once) stands behind the grey one, hidden; then it slides in front.
    auto red = quad("RedWall", 20.0f, 0.0f, 4.0f, "vis_red", 4);
    ASSERT_FALSE(red->mesh->clusters.empty());
    level->rootObject->addChild(red);
    Comparison c = compare("large-behind");
    EXPECT_EQ(c.counts.occluded, 1);
    red->moveBy(glm::vec3(-15.0f, 0.0f, 0.0f));
    for (int step = 0; step < 300; ++step) red->update(1.0f / 60.0f);
    c = compare("large-in-front");
    EXPECT_LE(c.differing, kHandfulOfPixels);
    EXPECT_EQ(c.counts.occluded, 1);  // the grey wall, now behind it
    EXPECT_NEAR(ctx.pixel(kSize / 2, kSize / 2)[0], kFullChannel, 1);
}

TEST_F(VisibilityScene, ItemsBehindTheWallAreLeftOutOfTheGlowAndTheirDrawing) {
    auto hiddenObject = quad("Hidden_item", 14.0f, 0.0f, 0.5f, "vis_red");
    auto shownObject = quad("Shown_item", 8.0f, 1.0f, 0.5f, "vis_blue");
    level->itemsInWorld["Hidden_item"] = std::make_shared<Item>(hiddenObject.get(), "Hidden_item");
    level->itemsInWorld["Shown_item"] = std::make_shared<Item>(shownObject.get(), "Shown_item");
    Comparison c = compare("items");
    EXPECT_LE(c.differing, kHandfulOfPixels);
    EXPECT_EQ(c.counts.passOccluded, 1);
    // The shown item is drawn (28 pixels right of the centre).
    const auto item = ctx.pixel(kSize / 2 + 28, kSize / 2);
    EXPECT_NEAR(item[2], kFullChannel, 1);
    EXPECT_EQ(item[0], 0);

    // The same item 0.1 in front of the wall is drawn: its box is tested,
    // not its centre.
    level->itemsInWorld.erase("Hidden_item");
    auto close = quad("Close_item", 9.9f, 0.0f, 0.5f, "vis_red");
    level->itemsInWorld["Close_item"] = std::make_shared<Item>(close.get(), "Close_item");
    c = compare("close-item");
    EXPECT_EQ(c.counts.passOccluded, 0);
    EXPECT_NEAR(ctx.pixel(kSize / 2, kSize / 2)[0], kFullChannel, 1);

    // 0.02 behind the wall the item itself is hidden, but its glow is not:
    // the silhouette is pushed 0.03 towards the eye, past the wall.
    level->itemsInWorld.erase("Close_item");
    auto behind = quad("Behind_item", 10.02f, 0.0f, 0.5f, "vis_red");
    level->itemsInWorld["Behind_item"] = std::make_shared<Item>(behind.get(), "Behind_item");
    c = compare("glow-through");
    EXPECT_LE(c.differing, kHandfulOfPixels);
    EXPECT_EQ(c.counts.passOccluded, 1);
    const auto glow = ctx.pixel(kSize / 2, kSize / 2);
    EXPECT_GT(glow[0], glow[2] + 40) << int(glow[0]) << "," << int(glow[1]) << "," << int(glow[2]);
}

TEST_F(VisibilityScene, TheCountingRunCountsThePixelsTheTreeCoversAndLeavesThePictureAlone) {
    // Pixels unlike the background (the corners, outside every quad).
    const auto drawnPixels = [&] {
        const std::vector<std::uint8_t> rgba = readWindow(kSize, kSize);
        int count = 0;
        for (std::size_t i = 0; i < rgba.size(); i += 4) {
            if (rgba[i] != rgba[0] || rgba[i + 1] != rgba[1] || rgba[i + 2] != rgba[2]) ++count;
        }
        return count;
    };
    level->rootObject->addChild(quad("Hidden", 15.0f, 0.0f, 1.0f, "vis_red"));
    level->camera->update();
    renderer.render(*level);
    const std::vector<std::uint8_t> uncounted = readWindow(kSize, kSize);
    const int wallPixels = drawnPixels();
    wall->visible = false;
    renderer.render(*level);
    const int hiddenPixels = drawnPixels();
    wall->visible = true;
    ASSERT_GT(wallPixels, 0);
    ASSERT_GT(hiddenPixels, 0);

    renderer.setCountingFragments(true);
    for (const bool occlusion : {true, false}) {
        // The hidden quad's pixels count too when the stage leaves it in.
        const auto covered = static_cast<std::uint64_t>(wallPixels + (occlusion ? 0 : hiddenPixels));
        GameSettings::instance().occlusionCulling = occlusion;
        const FragmentTotals before = renderer.fragmentTotals();
        renderer.render(*level);
        const FragmentTotals& after = renderer.fragmentTotals();
        EXPECT_EQ(after.sceneCovered - before.sceneCovered, covered) << occlusion;
        // Drawn nearest first, the hidden quad writes nothing either way.
        EXPECT_EQ(after.sceneSamples - before.sceneSamples, static_cast<std::uint64_t>(wallPixels))
            << occlusion;
        if (after.fragmentsCounted) {
            EXPECT_GE(after.sceneFragments - before.sceneFragments, covered) << occlusion;
        }
        // Counting writes no colour and no depth of its own.
        EXPECT_EQ(differingPixels(readWindow(kSize, kSize), uncounted), 0) << occlusion;
    }
    // ... and leaves the next frame free to draw: without the wall, the quad.
    renderer.setCountingFragments(false);
    wall->visible = false;
    renderer.render(*level);
    EXPECT_EQ(drawnPixels(), hiddenPixels);
}

TEST_F(VisibilityScene, TheStageStandsAsideForTheWireframeAndItsSwitch) {
    level->rootObject->addChild(quad("Hidden", 15.0f, 0.0f, 1.0f, "vis_red"));
    struct Case {
        const char* name;
        bool wireframe;
        bool occlusion;
        int occluded;
    };
    const Case cases[] = {
        {"both off", false, true, 1}, {"wireframe", true, true, 0}, {"F10 off", false, false, 0}};
    for (const Case& c : cases) {
        GameSettings::instance().wireframe = c.wireframe;
        GameSettings::instance().occlusionCulling = c.occlusion;
        level->camera->update();
        renderer.render(*level);
        EXPECT_EQ(renderer.visibilityCounts().occluded, c.occluded) << c.name;
        EXPECT_EQ(renderer.visibilityCounts().drawn, 2 - c.occluded) << c.name;
    }
    // Through the wireframe the hidden quad's outline shows.
    GameSettings::instance().wireframe = true;
    GameSettings::instance().occlusionCulling = true;
    const Comparison c = compare("wireframe");
    EXPECT_LE(c.differing, kHandfulOfPixels);
}

// The renderer bench's views of the real house, at the size the game is
// timed at, with every effect on: the flashlight on and blue, so the hidden
// writing shows.
TEST(VisibilityPictures, TheBenchViewsOfTheHouseAreTheSameWithAndWithoutTheStage) {
    constexpr int kWidth = 1280, kHeight = 720;
    std::unique_ptr<Game> game = test::startPlaying(kWidth, kHeight);
    ASSERT_TRUE(game->level && game->level->rootObject);
    Level& level = *game->level;
    if (level.enemy) level.enemy->model.clock = &stoppedClock;
    level.player.hasFlashlight = true;
    level.player.flashlight->enabled = true;
    level.player.toggleFlashlightColour();
    ASSERT_EQ(level.flashlightColourMode(), 1);
    int occludedSomewhere = 0;
    // Then again with the monster's warning at full strength: the vignette
    // over the writing, the glow and the glass.
    for (const float warning : {0.0f, 1.0f}) {
        game->renderer.hudState.warning = warning;
        for (const test::HouseView& view : test::kHouseViews) {
            ASSERT_TRUE(test::placeView(level, view)) << view.name;
            const Comparison c = compareWithAndWithout(game->renderer, level, kWidth, kHeight,
                                                       std::string("house-") + view.name);
            EXPECT_LE(c.differing, kHandfulOfPixels) << view.name << " warned " << warning;
            EXPECT_EQ(c.vignetteFolded, warning > 0.0f) << view.name;
            occludedSomewhere += c.counts.occluded > 0 ? 1 : 0;
        }
    }
    // Not a test that passes by leaving nothing out.
    EXPECT_GE(occludedSomewhere, 10);
    test::stopPlaying(game);
}

// The win demo replayed in a window of its own, with the pictures compared
// after every 10th step: the player walks every room, doors slide, the rack
// vanishes, items are picked up and the monster walks its path.
TEST(VisibilityPictures, TheWinDemoLooksTheSameWithAndWithoutTheStageEveryTenSteps) {
    constexpr int kWidth = 640, kHeight = 360;
    constexpr std::uint64_t kEvery = 10;
    Demo demo;
    std::string error;
    ASSERT_TRUE(loadDemo("demos/win.dem", demo, error)) << error;
    const std::uint64_t recordedHash = demo.totals.hash;
    const std::uint64_t recordedSteps = demo.totals.steps;
    DemoSession session;
    session.setScript(std::make_unique<DemoPlayer>(std::move(demo)), "win");

    GameSettings::instance() = GameSettings{};
    auto game = std::make_unique<Game>();
    Game::registered = game.get();
    game->demo = &session;
    {
        test::ConsoleCapture quiet;
        game->init(kWidth, kHeight, 60, false);
        game->installCallbacks();
        session.attach(*game);
        game->startSequence();
    }

    int samples = 0;
    int worst = 0;
    std::uint64_t worstStep = 0;
    int occludedFrames = 0;
    int vignetteFrames = 0;
    std::uint64_t lastSample = 0;
    std::unique_ptr<test::ConsoleCapture> quiet = std::make_unique<test::ConsoleCapture>();
    while (game->running) {
        game->currentState()->handleEvents(game.get());
        game->update();
        const std::uint64_t steps = session.totals().steps;
        if (steps / kEvery == lastSample / kEvery || !game->level) continue;
        if (game->level->enemy) game->level->enemy->model.clock = &stoppedClock;
        lastSample = steps;
        const Comparison c = compareWithAndWithout(game->renderer, *game->level, kWidth, kHeight,
                                                   "win-step-" + std::to_string(steps));
        ++samples;
        occludedFrames += c.counts.occluded > 0 ? 1 : 0;
        vignetteFrames += c.vignetteFolded ? 1 : 0;
        if (c.differing > worst) {
            worst = c.differing;
            worstStep = steps;
        }
        EXPECT_LE(c.differing, kHandfulOfPixels) << "after step " << steps;
    }
    // The whole demo ran as recorded (the pictures never steered it).
    EXPECT_EQ(session.finish(*game), 0);
    quiet.reset();
    EXPECT_EQ(session.totals().steps, recordedSteps);
    EXPECT_EQ(session.totals().hash, recordedHash);
    EXPECT_GE(samples, static_cast<int>(recordedSteps / kEvery) - 1);
    EXPECT_GT(occludedFrames, samples / 2);
    // The monster comes near in a quarter of them: the vignette shows.
    EXPECT_GT(vignetteFrames, samples / 5);
    std::cout << samples << " pictures compared; most differing pixels " << worst << " (after step "
              << worstStep << "), the vignette folded in " << vignetteFrames << std::endl;
    session.detach();
    test::stopPlaying(game);
}

}  // namespace
}  // namespace vestrel
