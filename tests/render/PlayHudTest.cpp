#include "render/PlayHud.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "FrameTestScene.h"
#include "app/GameSettings.h"
#include "render/Shader.h"
#include "render/TextureCache.h"
#include "support/GlTestContext.h"

namespace vestrel {
namespace {

TEST(PlayHudLayout, PiecesSitAroundTheMiddleAndCaptionsAboveTheIcons) {
    const PlayHud::Layout layout = PlayHud::layout(800, 600);
    EXPECT_EQ(layout.glyph, 20.0f);
    EXPECT_EQ(layout.crosshair.x, 392.0f);
    EXPECT_EQ(layout.crosshair.y, 292.0f);
    EXPECT_EQ(layout.crosshair.width, 16.0f);
    EXPECT_EQ(layout.promptTop, 270.0f);  // a cell and a half under the middle
    EXPECT_EQ(layout.messageTop, 235.0f);
    EXPECT_EQ(layout.hintTop, 520.0f);
    EXPECT_EQ(layout.captionsBase, 85.0f);  // icons from 25 to 75, then half a cell
    EXPECT_EQ(layout.centreX, 400.0f);
    EXPECT_EQ(layout.maxWidth, 720.0f);

    // Ten characters: nine advances of 0.62 cells and a whole last cell.
    const HUD::Rect line = PlayHud::lineRect(10, 400.0f, 270.0f, 20.0f, 720.0f);
    EXPECT_NEAR(line.width, 131.6f, 1e-3f);
    EXPECT_EQ(line.x, 334.0f);
    EXPECT_EQ(line.y, 250.0f);
    EXPECT_EQ(line.height, 20.0f);
    // A line too wide for 720 pixels gets cells that fit: 100 characters of 11.
    const HUD::Rect wide = PlayHud::lineRect(100, 400.0f, 270.0f, 20.0f, 720.0f);
    EXPECT_EQ(wide.height, 11.0f);
    EXPECT_LE(wide.width, 720.0f);
    EXPECT_EQ(wide.y, 259.0f);

    const HUD::Layout hud = HUD::computeLayout(800, 600);
    const HUD::Rect second = PlayHud::iconRect(hud, 1);
    EXPECT_EQ(second.x, 100.0f);
    EXPECT_EQ(second.y, 25.0f);
    EXPECT_EQ(second.width, 50.0f);
}

TEST(PlayHudLayout, VignetteDarkensTheEdgesByItsStrengthAndLeavesTheMiddle) {
    struct Case {
        float u, v, strength, shade;
    };
    const Case cases[] = {
        {0.5f, 0.5f, 1.0f, 1.0f},
        {0.775f, 0.5f, 1.0f, 1.0f},            // e = 0.55: the clear radius
        {1.0f, 0.5f, 1.0f, 1.0f - 0.708455f},  // e = 1: smoothstep of 0.45 / 0.7
        {1.0f, 0.5f, 0.5f, 1.0f - 0.354227f},
        {0.0f, 0.0f, 1.0f, 0.0f},  // the corners go black at full strength
        {0.0f, 1.0f, 0.4f, 0.6f},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(PlayHud::vignetteShade(c.u, c.v, c.strength), c.shade, 1e-4f) << c.u << "," << c.v;
    }
    EXPECT_EQ(PlayHud::vignetteStrength(0.0f, 1.0f), 0.0f);
    EXPECT_NEAR(PlayHud::vignetteStrength(0.001f, 1.0f), 0.35065f, 1e-5f);  // a first hint shows at once
    EXPECT_NEAR(PlayHud::vignetteStrength(1.0f, 1.0f), 1.0f, 1e-6f);
    EXPECT_NEAR(PlayHud::vignetteStrength(1.0f, 0.0f), 0.75f, 1e-6f);  // between heartbeats
    // The middle square lies inside the clear circle: its corner is at e = 0.55.
    const HUD::Rect hole = PlayHud::vignetteHole();
    EXPECT_NEAR(PlayHud::vignetteShade(hole.x, hole.y, 1.0f), 1.0f, 1e-5f);
    EXPECT_NEAR(std::hypot(2.0f * hole.x - 1.0f, 2.0f * hole.y - 1.0f), 0.55f, 1e-5f);
}

// The pieces drawn over a flat grey picture with the game's hud and font
// programs, and read back.
class PlayHudDrawTest : public ::testing::Test {
protected:
    static constexpr int kWidth = 640;
    static constexpr int kHeight = 480;
    static constexpr int kGrey = 153;  // 0.6

    void SetUp() override {
        ASSERT_TRUE(ctx.ok());
        GameSettings::instance() = GameSettings{};
        test::setWindowSize(kWidth, kHeight);
        HUD::instance().init();
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glViewport(0, 0, kWidth, kHeight);
        clear();
    }
    void TearDown() override {
        hud.release();
        HUD::instance().clear();
        HUD::instance().fontTexture = nullptr;
        TextureCache::instance().textures.clear();
        GameSettings::instance() = GameSettings{};
    }
    void clear() {
        glClearColor(0.6f, 0.6f, 0.6f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    int red(int x, int y) const { return ctx.pixel(x, y)[0]; }

    test::GlTestContext ctx{kWidth, kHeight};
    Shader hudProgram{kHudSources};
    Shader fontProgram{kFontSources};
    PlayHud hud;
};

TEST_F(PlayHudDrawTest, TheVignetteMultipliesThePictureByItsShadeAndOnlyWhileWarned) {
    PlayHudState state;
    hud.drawVignette(state, hudProgram, kWidth, kHeight);
    EXPECT_EQ(hud.vignetteUploads(), 0);
    EXPECT_EQ(red(0, 0), kGrey);

    // Back to the first strength: its picture is kept, not made again.
    for (const float warning : {1.0f, 0.3f, 1.0f}) {
        clear();
        state.warning = warning;
        state.pulse = 1.0f;
        hud.drawVignette(state, hudProgram, kWidth, kHeight);
        const float strength = PlayHud::vignetteStrength(warning, 1.0f);
        // Every sampled pixel against the formula, within the texture's 64
        // steps across the window; the middle exactly as it was.
        for (const auto& [x, y] : {std::pair{0, 0}, {kWidth - 1, kHeight / 2}, {kWidth / 2, 2}, {40, 200}}) {
            const float shade = PlayHud::vignetteShade((x + 0.5f) / kWidth, (y + 0.5f) / kHeight, strength);
            EXPECT_NEAR(red(x, y), kGrey * shade, 5) << x << "," << y << " at " << warning;
        }
        EXPECT_EQ(red(kWidth / 2, kHeight / 2), kGrey);
        EXPECT_EQ(red(kWidth * 7 / 10, kHeight / 2), kGrey);  // just inside the clear circle
    }
    EXPECT_EQ(hud.vignetteUploads(), 2);
}

TEST_F(PlayHudDrawTest, TextSitsOnADarkBoxWhereTheLayoutSaysAndCaptionsKeepOffTheMiddle) {
    const PlayHud::Layout layout = PlayHud::layout(kWidth, kHeight);
    PlayHudState state;
    state.prompt = "E  USE THE STATUE";
    hud.draw(state, fontProgram, hudProgram, kWidth, kHeight);
    const HUD::Rect line = PlayHud::lineRect(state.prompt.size(), layout.centreX, layout.promptTop,
                                             layout.glyph, layout.maxWidth);
    // Letters: brighter than the box (the picture at 110/255) inside the
    // line; around the box, padded by 0.3 of a cell, the picture untouched.
    const int box = kGrey * 110 / 255;
    const float pad = std::round(0.3f * line.height);
    int letters = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const bool inLine =
                x >= line.x && x < line.x + line.width && y >= line.y && y < line.y + line.height;
            const bool inBox = x >= line.x - pad && x < line.x + line.width + pad && y >= line.y - pad &&
                               y < line.y + line.height + pad;
            const int value = red(x, y);
            if (inLine && value > box + 20) ++letters;
            if (!inBox) {
                EXPECT_EQ(value, kGrey) << x << "," << y;
            } else if (!inLine) {
                EXPECT_EQ(value, box) << x << "," << y;
            }
        }
    }
    // 14 letters of a 16-pixel cell, about a fifth of each lit.
    EXPECT_GT(letters, 14 * 16 * 16 / 6);

    // Captions, three of them, newest at the bottom above the icon row: all
    // in the bottom 30 % of the picture, none near its middle.
    clear();
    state.prompt.clear();
    state.captions = {"A CRASH - LEFT", "GROWLING NEARBY - BEHIND", "YOUR HEART RACES"};
    hud.draw(state, fontProgram, hudProgram, kWidth, kHeight);
    const HUD::Layout icons = HUD::computeLayout(kWidth, kHeight);
    const int iconsTop = icons.iconStartY + icons.iconHeight;
    int changed = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            if (red(x, y) == kGrey) continue;
            ++changed;
            EXPECT_LT(y, kHeight * 3 / 10) << x << "," << y;
            EXPECT_GE(y, iconsTop) << x << "," << y;
        }
    }
    EXPECT_GT(changed, 4000);
}

TEST_F(PlayHudDrawTest, TheFlashlightsIconShowsOffDimmedAndOnWithItsColour) {
    const HUD::Rect icon = PlayHud::iconRect(HUD::computeLayout(kWidth, kHeight), 1);
    const int cx = static_cast<int>(icon.x + icon.width / 2);
    const int cy = static_cast<int>(icon.y + icon.height / 2);
    PlayHudState state;
    state.flashlightSlot = 1;
    state.flashlightOn = false;
    hud.draw(state, fontProgram, hudProgram, kWidth, kHeight);
    EXPECT_NEAR(red(cx, cy), kGrey * 90 / 255, 1);            // dimmed
    EXPECT_EQ(red(static_cast<int>(icon.x) - 2, cy), kGrey);  // only the icon

    // The bar under the 40-pixel icon: 0.12 of it high (5 rows), as far below it.
    const int markY = static_cast<int>(icon.y) - 8;
    for (const bool blue : {true, false}) {
        clear();
        state.flashlightOn = true;
        state.flashlightBlue = blue;
        hud.draw(state, fontProgram, hudProgram, kWidth, kHeight);
        const auto mark = ctx.pixel(cx, markY);
        EXPECT_EQ(mark[0], blue ? 60 : 235);
        EXPECT_EQ(mark[2], blue ? 255 : 215);
        EXPECT_EQ(red(cx, cy), kGrey);  // the icon itself untouched
    }
}

}  // namespace
}  // namespace vestrel
