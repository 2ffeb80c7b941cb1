#include "render/Renderer.h"

#include <gtest/gtest.h>

#include <glm/trigonometric.hpp>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "FrameTestScene.h"
#include "app/GameSettings.h"
#include "level/GameObject.h"
#include "level/InteractiveSwitch.h"
#include "level/Item.h"
#include "level/Level.h"
#include "play/Camera.h"
#include "render/Button.h"
#include "render/HUD.h"
#include "render/Light.h"
#include "support/GlReleaseWatch.h"
#include "support/GlTestContext.h"

namespace vestrel {
namespace {

using test::Colour;
using test::GlTestContext;

// Pixels a little off because of filtering or blending rounding still match.
bool near(std::uint8_t actual, int expected, int tolerance = 3) {
    return std::abs(static_cast<int>(actual) - expected) <= tolerance;
}

::testing::AssertionResult pixelIs(const GlTestContext& ctx, int x, int y, int r, int g, int b,
                                   int tolerance = 3) {
    const auto p = ctx.pixel(x, y);
    if (near(p[0], r, tolerance) && near(p[1], g, tolerance) && near(p[2], b, tolerance)) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "pixel (" << x << ", " << y << ") is (" << int(p[0]) << ", " << int(p[1]) << ", " << int(p[2])
           << "), expected (" << r << ", " << g << ", " << b << ")";
}

// A renderer on a hidden window, with a level whose camera stands at the
// origin looking along +x, lit only by a full-white ambient so a textured
// object shows its texture colour exactly. Every frame test runs twice: the
// scene drawn straight into the window (what the game does wherever the
// window has a depth buffer) and through the scene buffer (the fallback).
class FrameTest : public ::testing::TestWithParam<bool> {
protected:
    explicit FrameTest(int w = 256, int h = 256) : ctx(w, h) {}

    void SetUp() override {
        ASSERT_TRUE(ctx.ok());
        renderer.allowWindowTarget = GetParam();
        test::setUpFrameScene(ctx.width(), ctx.height(), renderer, level);
        // This window has a depth buffer: the direct path must be taken when allowed.
        ASSERT_EQ(renderer.drawsIntoWindow(), GetParam());
        ASSERT_EQ(renderer.sceneBuffer.valid(), !GetParam());
        image("frametest_grey0", 4, 4, {128, 128, 128});
        image("frametest_red0", 4, 4, {255, 0, 0});
        image("frametest_blue0", 4, 4, {0, 0, 255});
        image("frametest_white0", 4, 4, {255, 255, 255});
    }

    // A solid image for this test; TearDown drops it again while this test's
    // context still exists (the cache outlives every test window).
    Texture* image(const std::string& key, int w, int h, const Colour& colour) {
        return test::loadSolidImage(key, w, h, colour);
    }

    void TearDown() override {
        HUD::instance().clear();
        HUD::instance().fontTexture = nullptr;
        // The level set-up and the HUD load images of their own; drop every
        // entry so none outlives its context.
        TextureCache::instance().textures.clear();
        level.reset();
        renderer.cleanup();
        GameSettings::instance() = GameSettings{};
    }

    void renderFrame() { renderer.render(*level); }

    int cx() const { return ctx.width() / 2; }
    int cy() const { return ctx.height() / 2; }

    // A camera-facing quad, 1 unit wide, 5 units ahead; about 2 x 25 pixels
    // on a 256-pixel window.
    std::shared_ptr<GameObject> quadAhead(const char* name, const char* texture, float distance = 5.0f,
                                          float half = 0.5f) {
        return test::makeFacingQuad(renderer.texLightsShader.get(), name, distance, 0.0f, 0.0f, half,
                                    texture);
    }

    GlTestContext ctx;
    Renderer renderer;
    std::unique_ptr<Level> level;
};

TEST_P(FrameTest, SceneIsClearedToFogGreyOnlyWhileFogIsOn) {
    renderFrame();
    EXPECT_TRUE(pixelIs(ctx, 10, 10, 0, 0, 0));

    GameSettings::instance().fog = true;
    renderFrame();
    EXPECT_TRUE(pixelIs(ctx, 10, 10, 64, 64, 64, 1));
    EXPECT_TRUE(pixelIs(ctx, cx(), cy(), 64, 64, 64, 1));

    // The fog clear colour must not leak into the next frame's clears.
    GameSettings::instance().fog = false;
    renderFrame();
    EXPECT_TRUE(pixelIs(ctx, 10, 10, 0, 0, 0));
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[0], 0.0f);
    EXPECT_EQ(clear[3], 0.0f);
}

TEST_P(FrameTest, TreeObjectsAreDrawnLitAndTextured) {
    level->rootObject = test::makeEmptyRoot(renderer.texLightsShader.get());
    level->rootObject->addChild(quadAhead("Wall", "frametest_grey"));
    renderFrame();
    EXPECT_TRUE(pixelIs(ctx, cx(), cy(), 128, 128, 128));
    EXPECT_TRUE(pixelIs(ctx, 5, 5, 0, 0, 0));
}

TEST_P(FrameTest, LightingFollowsThisFramesCameraNotTheLastOnes) {
    // Fog thickens with the distance from the eye, so a lit picture drawn
    // with a stale eye shows it. The grey quad 5 ahead of the origin, under
    // full-white ambient: colour mix(128 / 255, 0.3, fog), fog = 1 - 2^-(k^2),
    // k = 0.035 x the distance of its corners, sqrt(5^2 + 0.5^2 + 0.5^2).
    GameSettings::instance().fog = true;
    level->rootObject = test::makeEmptyRoot(renderer.texLightsShader.get());
    level->rootObject->addChild(quadAhead("Wall", "frametest_grey"));
    const float k = 0.035f * std::sqrt(25.5f);
    const float fog = 1.0f - std::exp2(-k * k);
    const int expected =
        static_cast<int>(std::lround(((128.0f / 255.0f) * (1.0f - fog) + 0.3f * fog) * 255.0f));

    // Still at the origin for two frames.
    renderFrame();
    renderFrame();
    EXPECT_TRUE(pixelIs(ctx, cx(), cy(), expected, expected, expected, 1));
    const auto still = ctx.pixel(cx(), cy());

    // Arriving at the same pose from 20 units back and turned 40 degrees
    // away: the frame at the pose must be the still camera's picture.
    level->camera->position = glm::vec3(-20.0f, 0.0f, 0.0f);
    level->camera->yaw = 40.0f;
    renderFrame();
    level->camera->position = glm::vec3(0.0f);
    level->camera->yaw = 0.0f;
    renderFrame();
    EXPECT_TRUE(pixelIs(ctx, cx(), cy(), still[0], still[1], still[2], 1));
}

TEST_P(FrameTest, ObjectsOutsideTheFrustumAreSkippedAndCounted) {
    level->rootObject = test::makeEmptyRoot(renderer.texLightsShader.get());
    level->rootObject->addChild(quadAhead("Ahead", "frametest_grey"));
    level->rootObject->addChild(quadAhead("Behind", "frametest_red", -5.0f));
    level->rootObject->addChild(quadAhead("FarBeyond", "frametest_red", 70.0f));

    renderFrame();
    EXPECT_EQ(GameSettings::instance().culledCount, 2u);
    EXPECT_TRUE(pixelIs(ctx, cx(), cy(), 128, 128, 128));

    GameSettings::instance().frustumCulling = false;
    renderFrame();
    EXPECT_EQ(GameSettings::instance().culledCount, 0u);

    // An invisible object is neither drawn nor counted.
    GameSettings::instance().frustumCulling = true;
    level->rootObject->children[1]->visible = false;
    level->rootObject->children[0]->visible = false;
    renderFrame();
    EXPECT_EQ(GameSettings::instance().culledCount, 1u);
    EXPECT_TRUE(pixelIs(ctx, cx(), cy(), 0, 0, 0));
}

// The scene pass collects and sorts the tree instead of walking it: nested
// objects under a node without geometry and objects whose bounds are not
// known yet must still reach the screen, with the nearest surface on top
// whatever the tree order.
TEST_P(FrameTest, TreeDrawsNestedAndUnboundedObjectsNearestOnTop) {
    level->rootObject = test::makeEmptyRoot(renderer.texLightsShader.get());
    auto near = quadAhead("Near", "frametest_grey");
    near->bounds.reset();
    auto group = std::shared_ptr<GameObject>(test::makeEmptyRoot(renderer.texLightsShader.get()));
    group->addChild(quadAhead("Far", "frametest_red", 10.0f, 3.0f));
    level->rootObject->addChild(near);
    level->rootObject->addChild(group);

    renderFrame();
    EXPECT_TRUE(pixelIs(ctx, cx(), cy(), 128, 128, 128));
    EXPECT_TRUE(pixelIs(ctx, cx() + 40, cy(), 230, 0, 0));  // beyond the near quad's edge (1.0 rolls off)
    EXPECT_EQ(GameSettings::instance().culledCount, 0u);

    // Hiding the group hides what hangs under it.
    group->visible = false;
    renderFrame();
    EXPECT_TRUE(pixelIs(ctx, cx() + 40, cy(), 0, 0, 0));
}

// The glow around an object: sampled just outside its silhouette, where only
// the blurred highlight can have put colour.
class GlowTest : public FrameTest {
protected:
    std::array<std::uint8_t, 4> halo() const { return ctx.pixel(cx() + kHaloOffset, cy()); }
    // The quad's edge lies 22 pixels right of the centre; the blur reaches
    // a few pixels beyond it.
    static constexpr int kHaloOffset = 23;
};

TEST_P(GlowTest, ItemsGlowOrangeAroundTheirLitSelves) {
    auto object = quadAhead("Duck_item", "frametest_grey");
    auto item = std::make_shared<Item>(object.get(), "Duck_item");
    level->items["Duck_item"] = item;
    level->itemsInWorld["Duck_item"] = item;

    renderFrame();
    EXPECT_TRUE(pixelIs(ctx, cx(), cy(), 128, 128, 128));  // the item itself, lit over its glow
    const auto p = halo();
    EXPECT_GT(p[0], 40) << int(p[0]) << "," << int(p[1]) << "," << int(p[2]);
    EXPECT_GT(p[0], p[1]);
    EXPECT_GT(p[1], p[2]);
    EXPECT_TRUE(pixelIs(ctx, 5, 5, 0, 0, 0));  // far from it nothing glows

    // A used item, or one picked up (gone from itemsInWorld), is not drawn.
    item->used = true;
    renderFrame();
    EXPECT_TRUE(pixelIs(ctx, cx(), cy(), 0, 0, 0));
    item->used = false;
    level->itemsInWorld.clear();
    renderFrame();
    EXPECT_TRUE(pixelIs(ctx, cx(), cy(), 0, 0, 0));
    EXPECT_TRUE(pixelIs(ctx, cx() + kHaloOffset, cy(), 0, 0, 0));
}

TEST_P(GlowTest, InteractiveObjectsGlowGreenAndWallsHideTheGlow) {
    auto zone = quadAhead("Generator_interactive", "frametest_grey");
    level->switches["Generator_interactive"] = std::make_shared<InteractiveSwitch>(zone.get(), nullptr);

    renderFrame();
    EXPECT_TRUE(pixelIs(ctx, cx(), cy(), 128, 128, 128));
    const auto p = halo();
    EXPECT_GT(p[1], 40) << int(p[0]) << "," << int(p[1]) << "," << int(p[2]);
    EXPECT_GT(p[1], 4 * p[0]);
    EXPECT_GT(p[1], 4 * p[2]);

    // A wall in front of the zone: its silhouette fails the depth test, so
    // neither the object nor its glow shows.
    level->rootObject = test::makeEmptyRoot(renderer.texLightsShader.get());
    level->rootObject->addChild(quadAhead("Wall", "frametest_blue", 3.0f, 2.0f));
    renderFrame();
    EXPECT_TRUE(pixelIs(ctx, cx(), cy(), 0, 0, 230));
    EXPECT_TRUE(pixelIs(ctx, cx() + kHaloOffset, cy(), 0, 0, 230));
}

// The glow is only worked out around the glowing objects: two far apart, low
// left and right of the centre, must both get their halo, and an item out of
// view must not stop the one in view from glowing.
TEST_P(GlowTest, ObjectsAwayFromTheCentreGlowToo) {
    auto lowLeft = test::makeFacingQuad(renderer.texLightsShader.get(), "Can_item", 5.0f, -1.5f, -2.0f, 0.5f,
                                        "frametest_grey");
    auto highRight = test::makeFacingQuad(renderer.texLightsShader.get(), "Valve_interactive", 5.0f, 0.5f,
                                          2.0f, 0.5f, "frametest_grey");
    auto behind = test::makeFacingQuad(renderer.texLightsShader.get(), "Key_item", -5.0f, 0.0f, 0.0f, 0.5f,
                                       "frametest_grey");
    auto can = std::make_shared<Item>(lowLeft.get(), "Can_item");
    auto key = std::make_shared<Item>(behind.get(), "Key_item");
    level->itemsInWorld["Can_item"] = can;
    level->itemsInWorld["Key_item"] = key;
    level->switches["Valve_interactive"] = std::make_shared<InteractiveSwitch>(highRight.get(), nullptr);

    renderFrame();
    // Quad edges: x = 128 -/+ 0.3 / tan(30 deg) * 128 (61.5 and 238.9 with a 256 window);
    // centres at y = 61.5 and 150.2.
    EXPECT_TRUE(pixelIs(ctx, 52, 61, 128, 128, 128));
    EXPECT_TRUE(pixelIs(ctx, 204, 150, 128, 128, 128));
    const auto orange = ctx.pixel(63, 61);
    EXPECT_GT(orange[0], 40) << int(orange[0]) << "," << int(orange[1]) << "," << int(orange[2]);
    EXPECT_GT(orange[0], orange[2]);
    const auto green = ctx.pixel(240, 150);
    EXPECT_GT(green[1], 40) << int(green[0]) << "," << int(green[1]) << "," << int(green[2]);
    EXPECT_GT(green[1], 4 * green[0]);
    // Between them nothing glows.
    EXPECT_TRUE(pixelIs(ctx, 128, 128, 0, 0, 0));
    EXPECT_TRUE(pixelIs(ctx, 63, 150, 0, 0, 0));

    // With every glowing object out of view, none of the frame is touched.
    level->itemsInWorld.erase("Can_item");
    level->switches.clear();
    renderFrame();
    EXPECT_TRUE(pixelIs(ctx, 63, 61, 0, 0, 0));
    EXPECT_TRUE(pixelIs(ctx, 128, 128, 0, 0, 0));
}

// A strip in the plane z = `z` from x = `x0` to `x1`, `half` above and below
// y = 0, drawn from either side: beside the eye it reaches into the view.
std::shared_ptr<GameObject> sideStrip(Shader* shader, const char* name, float x0, float x1, float z,
                                      float half, const std::string& texture) {
    aiMesh mesh;
    mesh.mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
    mesh.mNumVertices = 4;
    mesh.mVertices = new aiVector3D[4]{{x0, -half, z}, {x1, -half, z}, {x1, half, z}, {x0, half, z}};
    mesh.mNormals = new aiVector3D[4]{{0, 0, -1}, {0, 0, -1}, {0, 0, -1}, {0, 0, -1}};
    mesh.mTextureCoords[0] = new aiVector3D[4]{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    mesh.mNumUVComponents[0] = 2;
    const unsigned corners[4][3] = {{0, 1, 2}, {0, 2, 3}, {0, 2, 1}, {0, 3, 2}};
    mesh.mNumFaces = 4;
    mesh.mFaces = new aiFace[4];
    for (unsigned f = 0; f < 4; ++f) {
        mesh.mFaces[f].mNumIndices = 3;
        mesh.mFaces[f].mIndices = new unsigned[3]{corners[f][0], corners[f][1], corners[f][2]};
    }
    aiNode node(name);
    auto object = std::make_shared<GameObject>();
    object->mesh = std::make_unique<Mesh>(shader, glm::mat4(1.0f), name);
    object->mesh->loadFromNode(&node, &mesh, texture);
    object->computeBounds();
    return object;
}

// An item from behind the eye to 6 ahead, 1 to the right (then to the
// left): its box reaches behind the eye, so its corners alone give no screen
// rectangle; the part in front of the near plane bounds it, running off the
// screen's side. Along the near part (2.5 ahead, 217 pixels across) the halo
// shows over the strip's top edge at y = 154.6, on either side.
TEST_P(GlowTest, AnItemReachingPastTheEyeGlowsAlongItsWholeLength) {
    for (const float side : {1.0f, -1.0f}) {
        SCOPED_TRACE(side > 0.0f ? "right" : "left");
        auto strip =
            sideStrip(renderer.texLightsShader.get(), "Rail_item", -1.0f, 6.0f, side, 0.3f, "frametest_grey");
        level->itemsInWorld["Rail_item"] = std::make_shared<Item>(strip.get(), "Rail_item");
        renderFrame();
        const int x = side > 0.0f ? 216 : 39;  // pixel centres 216.5 and 39.5, either side of 128
        EXPECT_TRUE(pixelIs(ctx, x, 140, 128, 128, 128));
        const auto p = ctx.pixel(x, 157);
        EXPECT_GT(p[0], 40) << int(p[0]) << "," << int(p[1]) << "," << int(p[2]);
        EXPECT_GT(p[0], p[2]);
        level->itemsInWorld.clear();
    }
}

TEST_P(FrameTest, HiddenTextShowsOnlyUnderTheBlueFlashlight) {
    level->setUp();
    Light& flashlight = *level->player.flashlight;
    level->hiddenTextObjects.push_back(quadAhead("Hint_hiddenText", "frametest_white"));
    level->player.hasFlashlight = true;

    renderFrame();  // flashlight off
    EXPECT_TRUE(pixelIs(ctx, cx(), cy(), 0, 0, 0));

    flashlight.enabled = true;  // on, white
    renderFrame();
    const auto white = ctx.pixel(cx(), cy());
    EXPECT_LT(white[2], 60) << "hidden text drawn under white light";

    level->player.toggleFlashlightColour();  // blue
    ASSERT_EQ(level->player.flashlightMode, kFlashlightBlue);
    renderFrame();
    const auto blue = ctx.pixel(cx(), cy());
    EXPECT_GT(blue[2], 200);
    EXPECT_GT(blue[2], blue[0]);
    EXPECT_TRUE(pixelIs(ctx, 5, 5, 0, 0, 0));

    flashlight.enabled = false;  // off again while still blue
    renderFrame();
    EXPECT_TRUE(pixelIs(ctx, cx(), cy(), 0, 0, 0));
    // Writing that fills the view, under a sharp 10-degree beam: the pass
    // draws only around the beam, and must never cut the beam short. The
    // camera's focal length is 128 / tan 30 pixels; points 9 degrees off the
    // beam's axis are lit, points 11 degrees off are not.
    level->hiddenTextObjects = {quadAhead("Wall_hiddenText", "frametest_white", 5.0f, 5.0f)};
    flashlight.enabled = true;
    flashlight.coneInnerAngle = std::cos(glm::radians(9.5f));
    flashlight.coneOuterAngle = std::cos(glm::radians(10.0f));
    const float focal = 128.0f / std::tan(glm::radians(30.0f));
    auto screenX = [&](float degreesRight) {
        return static_cast<int>(std::lround(cx() + focal * std::tan(glm::radians(degreesRight))));
    };
    auto lit = [&](int x, int y) { return ctx.pixel(x, y)[2] > 100; };
    // Tip at the eye, turned 15 degrees to the right (+z).
    flashlight.position = level->camera->position;
    flashlight.coneDirection = glm::vec3(std::cos(glm::radians(15.0f)), 0.0f, std::sin(glm::radians(15.0f)));
    renderFrame();
    EXPECT_TRUE(lit(screenX(6.0f), cy()));
    EXPECT_TRUE(lit(screenX(24.0f), cy()));
    const int beamX = screenX(15.0f);
    const int nineUp =
        static_cast<int>(std::lround(focal * std::tan(glm::radians(9.0f)) / std::cos(glm::radians(15.0f))));
    EXPECT_TRUE(lit(beamX, cy() + nineUp));
    EXPECT_TRUE(lit(beamX, cy() - nineUp));
    EXPECT_TRUE(pixelIs(ctx, screenX(4.0f), cy(), 0, 0, 0));
    EXPECT_TRUE(pixelIs(ctx, screenX(26.0f), cy(), 0, 0, 0));
    EXPECT_TRUE(pixelIs(ctx, beamX, cy() + nineUp + 10, 0, 0, 0));
    // Tip 1.5 to the right of the eye, pointing straight ahead: on the writing
    // 5 ahead the beam is centred 1.5 right, lit from 0.75 to 2.25.
    flashlight.position = level->camera->position + glm::vec3(0.0f, 0.0f, 1.5f);
    flashlight.coneDirection = glm::vec3(1.0f, 0.0f, 0.0f);
    renderFrame();
    auto onWriting = [&](float right) { return static_cast<int>(std::lround(cx() + focal * right / 5.0f)); };
    EXPECT_TRUE(lit(onWriting(0.8f), cy()));
    EXPECT_TRUE(lit(onWriting(2.2f), cy()));
    EXPECT_TRUE(pixelIs(ctx, onWriting(0.5f), cy(), 0, 0, 0));
    EXPECT_TRUE(pixelIs(ctx, onWriting(2.5f), cy(), 0, 0, 0));
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
}

TEST_P(FrameTest, GlassBlendsOverTheSceneWhileTransparencyIsOn) {
    level->rootObject = test::makeEmptyRoot(renderer.texLightsShader.get());
    level->rootObject->addChild(quadAhead("Wall", "frametest_blue", 8.0f, 3.0f));
    level->transparentObjects.push_back(quadAhead("Window_transparent", "frametest_red"));

    renderFrame();
    // 0.35 of the glass's red (shown at 0.3) over 0.65 of the blue wall (lit
    // at full ambient, 0.9).
    EXPECT_TRUE(pixelIs(ctx, cx(), cy(), 27, 0, 150, 4));

    GameSettings::instance().transparency = false;
    renderFrame();
    EXPECT_TRUE(pixelIs(ctx, cx(), cy(), 77, 0, 0));
}

// While the warning shows, the scene's programs darken their own pixels and
// the vignette's pass only what kept the clear colour: the same picture as
// the pass over everything, to its rounding. Fog on, so the clear colour
// shows around a wall, with glass over the wall at the right, where the
// vignette reaches.
TEST_P(FrameTest, TheVignetteFoldedIntoTheSceneDarkensAsItsOwnPassDoes) {
    GameSettings::instance().fog = true;
    level->rootObject = test::makeEmptyRoot(renderer.texLightsShader.get());
    level->rootObject->addChild(quadAhead("Wall", "frametest_white", 8.0f, 3.0f));
    level->transparentObjects.push_back(test::makeFacingQuad(
        renderer.texLightsShader.get(), "Window_transparent", 5.0f, 0.0f, 1.6f, 0.4f, "frametest_red"));
    HUD::instance().init();
    renderFrame();
    const auto middle = ctx.pixel(cx(), cy());
    renderer.hudState.warning = 1.0f;
    renderer.hudState.pulse = 1.0f;
    const auto picture = [&](bool shortcuts) {
        renderer.pictureShortcuts = shortcuts;
        renderFrame();
        EXPECT_EQ(renderer.vignetteFolded(), shortcuts);
        return ctx.readPixels();
    };
    const std::vector<std::uint8_t> folded = picture(true);
    const auto foldedMiddle = ctx.pixel(cx(), cy());
    const std::vector<std::uint8_t> pass = picture(false);
    int differing = 0, darkened = 0;
    for (std::size_t i = 0; i < folded.size(); i += 4) {
        for (std::size_t c = i; c < i + 3; ++c) {
            if (std::abs(folded[c] - pass[c]) > 2) ++differing;
        }
        darkened += folded[i] < 60 ? 1 : 0;
    }
    EXPECT_EQ(differing, 0);
    // The fog's grey (64) goes black in the corners at full strength ...
    EXPECT_TRUE(pixelIs(ctx, 0, 0, 0, 0, 0, 1));
    EXPECT_GT(darkened, 1000);
    // ... and is untouched in the middle, on the wall.
    EXPECT_EQ(foldedMiddle, middle);
    EXPECT_GT(middle[0], 150);
}

TEST_P(FrameTest, LoadingStateSkipsTheTreeAndShowsOnlyTheLoadingImage) {
    level->rootObject = test::makeEmptyRoot(renderer.texLightsShader.get());
    level->rootObject->addChild(quadAhead("Wall", "frametest_grey"));
    image("MESSAGE_LOADING_0", 64, 256, {0, 200, 0});  // a tall image: 64 px wide on screen
    HUD::instance().init();
    level->stateId = 2;

    GameSettings::instance().fog = true;
    renderFrame();
    EXPECT_TRUE(pixelIs(ctx, cx(), cy(), 0, 200, 0));
    EXPECT_TRUE(pixelIs(ctx, cx() - 40, cy(), 0, 0, 0));  // fog and scene cleared away
    EXPECT_TRUE(pixelIs(ctx, cx() + 40, cy(), 0, 0, 0));
}

TEST_P(FrameTest, WinScreenKeepsTheSceneAndLoseScreenCoversIt) {
    GameSettings& settings = GameSettings::instance();
    settings.fog = true;
    image("WIN", 128, 32, {255, 255, 0});
    image("LOST", 64, 64, {255, 0, 0});
    HUD::instance().init();

    settings.playerWon = true;
    renderer.hudState.warning = 1.0f;  // no vignette over the end screens
    renderFrame();
    EXPECT_TRUE(pixelIs(ctx, cx(), 192, 255, 255, 0));  // message centred at 0.75 of the height
    EXPECT_TRUE(pixelIs(ctx, 5, 5, 64, 64, 64, 1));     // fogged scene behind it

    settings.playerWon = false;
    settings.playerCaught = true;
    renderFrame();
    EXPECT_TRUE(pixelIs(ctx, 5, 5, 255, 0, 0));
    EXPECT_TRUE(pixelIs(ctx, ctx.width() - 2, ctx.height() - 2, 255, 0, 0));
}

TEST_P(FrameTest, StatsLinesAppearAtTheTopLeftOnlyWhenSwitchedOn) {
    HUD& hud = HUD::instance();
    hud.init();
    image("FONT_TEXTURE", 16, 16, {255, 255, 255});
    hud.fontTexture = TextureCache::instance().find("FONT_TEXTURE");
    GameSettings& settings = GameSettings::instance();
    settings.fps = 60;

    renderFrame();
    EXPECT_TRUE(pixelIs(ctx, hud.textStartX + hud.glyphHeight + 2, hud.textStartY - 2, 0, 0, 0));

    settings.showFps = true;
    renderFrame();
    // 256 high: glyphs of 8 pixels, text starting 4 from the left and top.
    // "FPS:60" fills 6 cells after the first advance, "CULLED:0" 8 cells.
    const int top = hud.textStartY;
    const int step = hud.glyphHeight;
    EXPECT_TRUE(pixelIs(ctx, hud.textStartX + step + step / 2, top - step / 2, 255, 255, 255));
    EXPECT_TRUE(pixelIs(ctx, hud.textStartX + 6 * step + step / 2, top - step / 2, 255, 255, 255));
    EXPECT_TRUE(pixelIs(ctx, hud.textStartX + 7 * step + step / 2, top - step / 2, 0, 0, 0));
    const int secondLine = top - step - hud.lineSpacing;
    EXPECT_TRUE(pixelIs(ctx, hud.textStartX + 8 * step + step / 2, secondLine - step / 2, 255, 255, 255));
    EXPECT_TRUE(pixelIs(ctx, hud.textStartX + 9 * step + step / 2, secondLine - step / 2, 0, 0, 0));
    // While occlusion culling is on, a third line says what it left out:
    // "OCCLUDED:0", 10 cells; switched off (F10) the overlay is the two lines.
    const int thirdLine = secondLine - step - hud.lineSpacing;
    EXPECT_TRUE(pixelIs(ctx, hud.textStartX + 10 * step + step / 2, thirdLine - step / 2, 255, 255, 255));
    EXPECT_TRUE(pixelIs(ctx, hud.textStartX + 11 * step + step / 2, thirdLine - step / 2, 0, 0, 0));
    EXPECT_EQ(hud.textQuads.size(), 24u);
    settings.occlusionCulling = false;
    renderFrame();
    EXPECT_TRUE(pixelIs(ctx, hud.textStartX + 10 * step + step / 2, thirdLine - step / 2, 0, 0, 0));
    EXPECT_EQ(hud.textQuads.size(), 14u);
}

std::string targetName(const ::testing::TestParamInfo<bool>& info) {
    return info.param ? "IntoTheWindow" : "ThroughTheSceneBuffer";
}
// The beam's rectangle in a tall window, 384 x 512 (the focal length is 256 /
// tan 30 pixels both ways): writing fills the view 5 ahead, and sharp-edged
// beams from the eye are aimed up, wide and far aside.
class BeamTest : public FrameTest {
protected:
    BeamTest() : FrameTest(384, 512) {}
    void SetUp() override {
        FrameTest::SetUp();
        level->setUp();
        level->hiddenTextObjects = {quadAhead("Wall_hiddenText", "frametest_white", 5.0f, 5.0f)};
        level->player.hasFlashlight = true;
        level->player.flashlight->enabled = true;
        level->player.toggleFlashlightColour();  // blue
    }
    // A beam from the eye along (cos pitch cos yaw, sin pitch, cos pitch sin
    // yaw), its edge sharp at `degrees` off the axis.
    void aim(float pitch, float yaw, float degrees) {
        Light& flashlight = *level->player.flashlight;
        flashlight.position = level->camera->position;
        const float p = glm::radians(pitch), y = glm::radians(yaw);
        flashlight.coneDirection =
            glm::vec3(std::cos(p) * std::cos(y), std::sin(p), std::cos(p) * std::sin(y));
        flashlight.coneInnerAngle = flashlight.coneOuterAngle = std::cos(glm::radians(degrees));
    }
    bool lit(int x, int y) const { return ctx.pixel(x, y)[2] > 100; }
    static constexpr float kFocal = 443.405f;  // 256 / tan 30
};

TEST_P(BeamTest, TheWritingShowsWhereverTheBeamReaches) {
    // Aimed 25 degrees up: the beam's middle is 207 pixels above the centre,
    // higher than the window is wide.
    aim(25.0f, 0.0f, 10.0f);
    renderFrame();
    const int up = cy() + static_cast<int>(kFocal * std::tan(glm::radians(25.0f)));
    EXPECT_TRUE(lit(cx(), up));
    EXPECT_TRUE(lit(cx(), up + 40));
    EXPECT_FALSE(lit(cx(), up - 110));

    // A 23-degree beam straight ahead reaches 188.2 pixels either side: the
    // pixel whose middle is 187.5 right of the centre is lit, one further is not.
    aim(0.0f, 0.0f, 23.0f);
    renderFrame();
    EXPECT_TRUE(lit(cx() + 187, cy()));
    EXPECT_TRUE(lit(cx() - 188, cy()));
    EXPECT_TRUE(lit(cx(), cy() + 187));
    EXPECT_FALSE(lit(cx() + 189, cy()));

    // A 70-degree beam turned 80 degrees right reaches behind the eye; its
    // near edge, 10 degrees right of the view, shows on screen.
    aim(0.0f, 80.0f, 70.0f);
    renderFrame();
    EXPECT_TRUE(lit(cx() + static_cast<int>(kFocal * std::tan(glm::radians(14.0f))), cy()));
    EXPECT_FALSE(lit(cx() + static_cast<int>(kFocal * std::tan(glm::radians(6.0f))), cy()));
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
}

INSTANTIATE_TEST_SUITE_P(Targets, FrameTest, ::testing::Bool(), targetName);
INSTANTIATE_TEST_SUITE_P(Targets, GlowTest, ::testing::Bool(), targetName);
INSTANTIATE_TEST_SUITE_P(Targets, BeamTest, ::testing::Bool(), targetName);

// A window without a depth buffer cannot lend its depth to the glow pass:
// the scene goes through the scene buffer, and a wall still hides the glow
// of a switch behind it.
TEST(RendererTarget, WindowWithoutDepthDrawsThroughTheSceneBuffer) {
    GlTestContext ctx(256, 256, 0);
    ASSERT_TRUE(ctx.ok());
    GLint depthKind = -1;
    glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_DEPTH, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE,
                                          &depthKind);
    if (depthKind != GL_NONE) GTEST_SKIP() << "the display offers no window without depth";
    Renderer renderer;
    std::unique_ptr<Level> level;
    test::setUpFrameScene(256, 256, renderer, level);
    EXPECT_FALSE(renderer.drawsIntoWindow());
    EXPECT_EQ(renderer.sceneBuffer.width, 256);

    test::loadSolidImage("targettest_grey0", 4, 4, {128, 128, 128});
    test::loadSolidImage("targettest_blue0", 4, 4, {0, 0, 255});
    auto zone = test::makeFacingQuad(renderer.texLightsShader.get(), "Valve_interactive", 5.0f, 0.0f, 0.0f,
                                     0.5f, "targettest_grey");
    level->switches["Valve_interactive"] = std::make_shared<InteractiveSwitch>(zone.get(), nullptr);
    renderer.render(*level);
    EXPECT_TRUE(pixelIs(ctx, 128, 128, 128, 128, 128));
    EXPECT_GT(ctx.pixel(151, 128)[1], 40);  // its green glow

    level->rootObject = test::makeEmptyRoot(renderer.texLightsShader.get());
    level->rootObject->addChild(test::makeFacingQuad(renderer.texLightsShader.get(), "Wall", 3.0f, 0.0f, 0.0f,
                                                     2.0f, "targettest_blue"));
    renderer.render(*level);
    EXPECT_TRUE(pixelIs(ctx, 128, 128, 0, 0, 230));
    EXPECT_TRUE(pixelIs(ctx, 151, 128, 0, 0, 230));

    TextureCache::instance().textures.clear();
    level.reset();
    renderer.cleanup();
    GameSettings::instance() = GameSettings{};
}

TEST(RendererLifecycle, CleanupReleasesEverythingAndInitCanRunAgain) {
    GlTestContext ctx(64, 48);
    ASSERT_TRUE(ctx.ok());
    GameSettings::instance() = GameSettings{};
    test::setWindowSize(64, 48);

    Renderer renderer;
    renderer.cleanup();                  // before init: nothing to release
    renderer.allowWindowTarget = false;  // so that there is a scene buffer to free
    renderer.init();
    ASSERT_TRUE(renderer.initialized());
    EXPECT_EQ(renderer.sceneBuffer.width, 64);
    EXPECT_EQ(renderer.frameWidth(), 64);
    EXPECT_EQ(renderer.frameHeight(), 48);
    EXPECT_EQ(renderer.glowBuffer.width, 32);
    EXPECT_EQ(renderer.glowBuffer.height, 24);

    const GLuint sceneTexture = renderer.sceneBuffer.colourTexture;
    const GLuint glowFramebuffer = renderer.glowBuffer.framebuffer;
    const GLuint program = renderer.skinningShader->program;
    const GLuint quad = renderer.quadVertexArray;
    renderer.cleanup();
    EXPECT_FALSE(renderer.initialized());
    EXPECT_FALSE(glIsTexture(sceneTexture));
    EXPECT_FALSE(glIsFramebuffer(glowFramebuffer));
    EXPECT_FALSE(glIsProgram(program));
    EXPECT_FALSE(glIsVertexArray(quad));
    {
        test::GlReleaseWatch watch;
        renderer.cleanup();  // twice: nothing left to release
        EXPECT_EQ(watch.calls(), 0) << watch.journal();
    }

    // Every restart frees all it made, frames or not, whichever target the
    // scene had; the probe of the window's depth leaves no GL error behind.
    for (int restart = 0; restart < 4; ++restart) {
        renderer.allowWindowTarget = restart % 2 == 0;
        renderer.init();
        EXPECT_EQ(renderer.drawsIntoWindow(), renderer.allowWindowTarget);
        const std::vector<GLuint> textures{renderer.sceneBuffer.colourTexture,
                                           renderer.glowBuffer.colourTexture};
        const std::vector<GLuint> framebuffers{renderer.sceneBuffer.framebuffer,
                                               renderer.glowBuffer.framebuffer};
        const std::vector<GLuint> buffers{renderer.quadPositionBuffer, renderer.quadUvBuffer};
        const GLuint texLights = renderer.texLightsShader->program;
        Level level;
        level.camera = std::make_unique<Camera>(64, 48);
        renderer.render(level);
        renderer.cleanup();
        for (GLuint name : textures) EXPECT_FALSE(glIsTexture(name));
        for (GLuint name : framebuffers) EXPECT_FALSE(glIsFramebuffer(name));
        for (GLuint name : buffers) EXPECT_FALSE(glIsBuffer(name));
        EXPECT_FALSE(glIsProgram(texLights));
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }

    // init while initialised starts over instead of leaking the first set.
    renderer.allowWindowTarget = false;
    renderer.init();
    const GLuint first = renderer.sceneBuffer.framebuffer;
    renderer.init();
    EXPECT_FALSE(glIsFramebuffer(first) && first != renderer.sceneBuffer.framebuffer);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    // Released after the window is gone (the game's teardown order): no GL call.
    ctx.destroyWindow();
    test::GlReleaseWatch watch;
    renderer.cleanup();
    EXPECT_FALSE(renderer.initialized());
    EXPECT_EQ(watch.calls(), 0) << watch.journal();
}

TEST(RendererLifecycle, TinyWindowStillGetsCompleteFramebuffers) {
    GlTestContext ctx(1, 1);
    ASSERT_TRUE(ctx.ok());
    GameSettings::instance() = GameSettings{};
    test::setWindowSize(1, 1);
    Renderer renderer;
    renderer.init();
    EXPECT_EQ(renderer.glowBuffer.width, 1);
    glBindFramebuffer(GL_FRAMEBUFFER, renderer.glowBuffer.framebuffer);
    EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    renderer.cleanup();
}

TEST(RendererLifecycle, GlowBufferIsHalfTheWindowRoundedDown) {
    GlTestContext ctx(801, 601);
    ASSERT_TRUE(ctx.ok());
    GameSettings::instance() = GameSettings{};
    test::setWindowSize(801, 601);
    Renderer renderer;
    renderer.init();
    EXPECT_EQ(renderer.glowBuffer.width, 400);
    EXPECT_EQ(renderer.glowBuffer.height, 300);
    // A resize of one side only is a new size all the same.
    const int sizes[][2] = {{801, 401}, {501, 401}, {501, 401}, {640, 480}};
    for (const auto& size : sizes) {
        renderer.resize(size[0], size[1]);
        EXPECT_EQ(renderer.frameWidth(), size[0]);
        EXPECT_EQ(renderer.frameHeight(), size[1]);
        EXPECT_EQ(renderer.glowBuffer.width, size[0] / 2) << size[0] << " x " << size[1];
        EXPECT_EQ(renderer.glowBuffer.height, size[1] / 2) << size[0] << " x " << size[1];
    }
    renderer.cleanup();
}

// A depth format with stencil bits is attached as depth and stencil, so a
// copy from a window whose depth shares its words with stencil matches it.
TEST(FramebufferTarget, DepthFormatsWithStencilAttachBoth) {
    GlTestContext ctx(16, 16);
    ASSERT_TRUE(ctx.ok());
    const std::pair<GLenum, bool> formats[] = {{GL_DEPTH_COMPONENT16, false},
                                               {GL_DEPTH_COMPONENT24, false},
                                               {GL_DEPTH_COMPONENT32F, false},
                                               {GL_DEPTH24_STENCIL8, true},
                                               {GL_DEPTH32F_STENCIL8, true}};
    for (const auto& [format, stencil] : formats) {
        Framebuffer target;
        target.create(8, 8, format);
        GLint depthKind = GL_NONE, stencilKind = GL_NONE;
        glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT,
                                              GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE, &depthKind);
        glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_STENCIL_ATTACHMENT,
                                              GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE, &stencilKind);
        EXPECT_EQ(depthKind, GL_RENDERBUFFER) << std::hex << format;
        EXPECT_EQ(stencilKind, stencil ? GL_RENDERBUFFER : GL_NONE) << std::hex << format;
        EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE))
            << std::hex << format;
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
    }
}

}  // namespace
}  // namespace vestrel
