#include "render/HUD.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "FrameTestScene.h"
#include "app/GameSettings.h"
#include "level/Item.h"
#include "render/Button.h"
#include "render/Shader.h"
#include "render/TextureCache.h"
#include "support/ConsoleCapture.h"
#include "support/GlTestContext.h"

namespace vestrel {
namespace {

using test::GlTestContext;

TEST(HudLayout, SizesFollowTheWindowHeight) {
    const HUD::Layout small = HUD::computeLayout(800, 600);
    EXPECT_EQ(small.iconWidth, 50);
    EXPECT_EQ(small.iconHeight, 50);
    EXPECT_EQ(small.iconStartX, 25);
    EXPECT_EQ(small.iconSpacing, 25);
    EXPECT_EQ(small.glyphWidth, 20);
    EXPECT_EQ(small.textStartX, 10);
    EXPECT_EQ(small.textStartY, 590);
    EXPECT_FLOAT_EQ(small.orthoTransformation.x, 2.0f / 800.0f);

    const HUD::Layout large = HUD::computeLayout(1024, 768);
    EXPECT_EQ(large.iconWidth, 64);
    EXPECT_EQ(large.iconStartY, 32);
    EXPECT_EQ(large.glyphHeight, 25);
    EXPECT_EQ(large.lineSpacing, 12);
    EXPECT_EQ(large.textStartY, 768 - 12);

    // A minimised window must not produce an infinite projection.
    const HUD::Layout empty = HUD::computeLayout(0, 0);
    EXPECT_EQ(empty.orthoTransformation.x, 0.0f);
    EXPECT_EQ(empty.orthoTransformation.y, 0.0f);
}

TEST(HudLayout, MessagesKeepTheirAspectRatio) {
    // Landscape: full height, centred horizontally.
    const HUD::Rect wide = HUD::messageRect(1024, 768, 400, 300);
    EXPECT_FLOAT_EQ(wide.height, 768.0f);
    EXPECT_FLOAT_EQ(wide.width, 1024.0f);
    const HUD::Rect narrow = HUD::messageRect(800, 600, 300, 400);
    EXPECT_FLOAT_EQ(narrow.width, 450.0f);
    EXPECT_FLOAT_EQ(narrow.x, 175.0f);
    EXPECT_FLOAT_EQ(narrow.y, 0.0f);
    // Portrait: full width, centred vertically (on H / 2 as an integer).
    const HUD::Rect portrait = HUD::messageRect(600, 801, 400, 200);
    EXPECT_FLOAT_EQ(portrait.width, 600.0f);
    EXPECT_FLOAT_EQ(portrait.height, 300.0f);
    EXPECT_FLOAT_EQ(portrait.x, 0.0f);
    EXPECT_FLOAT_EQ(portrait.y, 400.0f - 150.0f);
    // No image, no quad.
    EXPECT_FLOAT_EQ(HUD::messageRect(800, 600, 0, 0).width, 0.0f);
}

TEST(HudLayout, GameOverMessageAndButtons) {
    const HUD::Rect lost = HUD::gameOverRect("LOST", 800, 600, 100, 10);
    EXPECT_FLOAT_EQ(lost.x, 0.0f);
    EXPECT_FLOAT_EQ(lost.width, 800.0f);
    EXPECT_FLOAT_EQ(lost.height, 600.0f);

    const HUD::Rect win = HUD::gameOverRect("WIN", 800, 600, 400, 100);
    EXPECT_FLOAT_EQ(win.width, 600.0f);
    EXPECT_FLOAT_EQ(win.height, 150.0f);
    EXPECT_FLOAT_EQ(win.x, 100.0f);
    EXPECT_FLOAT_EQ(win.y, 450.0f - 75.0f);

    // Exit at a third of the width, Restart at two thirds (integer thirds).
    const HUD::Rect exit = HUD::buttonRect(800, 600, 2, 1, 200, 50);
    const HUD::Rect restart = HUD::buttonRect(800, 600, 2, 2, 200, 50);
    EXPECT_FLOAT_EQ(exit.width, 160.0f);
    EXPECT_FLOAT_EQ(exit.height, 40.0f);
    EXPECT_FLOAT_EQ(exit.x + exit.width / 2, 266.0f);
    EXPECT_FLOAT_EQ(restart.x + restart.width / 2, 532.0f);
    EXPECT_FLOAT_EQ(exit.y + exit.height / 2, 150.0f);

    // A button whose image is missing stays a clickable 4:1 rectangle.
    const HUD::Rect bare = HUD::buttonRect(800, 600, 2, 1, 0, 0);
    EXPECT_FLOAT_EQ(bare.height, 40.0f);
}

TEST(HudText, GlyphCellsAndTheirAtlasCorners) {
    HUD& hud = HUD::instance();
    hud.glyphs.clear();
    for (char c = '0'; c <= '9'; ++c) hud.glyphs[c] = c - 32;
    hud.glyphs[':'] = 26;
    for (char c = 'A'; c <= 'Z'; ++c) hud.glyphs[c] = c - 32;
    hud.glyphs[' '] = 98;
    EXPECT_EQ(hud.glyphCell('f'), hud.glyphCell('F'));
    EXPECT_EQ(hud.glyphCell('0'), 16);
    EXPECT_EQ(hud.glyphCell(' '), 98);
    EXPECT_EQ(hud.glyphCell('-'), -1);

    // "A" is cell 33: column 3, row 3 from the top.
    const auto uv = HUD::glyphUvs(33);
    EXPECT_NEAR(uv[0].x, 0.3f, 1e-5f);
    EXPECT_NEAR(uv[1].x, 0.38f, 1e-5f);
    EXPECT_NEAR(uv[2].y, 0.7f, 1e-5f);
    EXPECT_NEAR(uv[0].y, 0.62f, 1e-5f);
}

// HUD drawing on a real window, with the game's hud, message and font programs.
class HudDrawTest : public ::testing::TestWithParam<std::pair<int, int>> {
protected:
    HudDrawTest() : ctx(GetParam().first, GetParam().second) {}

    void SetUp() override {
        ASSERT_TRUE(ctx.ok());
        GameSettings::instance() = GameSettings{};
        test::setWindowSize(ctx.width(), ctx.height());
        HUD::instance().init();
        glDisable(GL_DEPTH_TEST);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    }

    void TearDown() override {
        HUD::instance().clear();
        HUD::instance().fontTexture = nullptr;
        TextureCache::instance().textures.clear();
        GameSettings::instance() = GameSettings{};
    }

    ::testing::AssertionResult colourAt(float x, float y, const test::Colour& colour) {
        const auto p = ctx.pixel(static_cast<int>(x), static_cast<int>(y));
        for (int i = 0; i < 3; ++i) {
            if (std::abs(p[i] - colour[i]) > 2) {
                return ::testing::AssertionFailure() << "(" << x << ", " << y << ") is " << int(p[0]) << ","
                                                     << int(p[1]) << "," << int(p[2]);
            }
        }
        return ::testing::AssertionSuccess();
    }

    GlTestContext ctx;
};

TEST_P(HudDrawTest, IconsOfUnusedItemsSitSideBySideFromTheLowerLeft) {
    Shader hud(kHudSources);
    glUseProgram(hud.program);
    Item banana(nullptr, "Banana_item"), duck(nullptr, "Duck_item"), can(nullptr, "can_item");
    banana.icon = test::loadSolidImage("Banana_item", 8, 8, {255, 255, 0});
    duck.icon = test::loadSolidImage("Duck_item", 8, 8, {0, 255, 255});
    can.icon = test::loadSolidImage("can_item", 8, 8, {255, 0, 255});
    duck.used = true;
    const std::map<std::string, Item*> inventory{
        {"Banana_item", &banana}, {"Duck_item", &duck}, {"can_item", &can}};

    HUD& h = HUD::instance();
    h.drawIcons(inventory, 2, hud);
    EXPECT_EQ(h.iconCount, 2);
    const float half = static_cast<float>(h.iconWidth) / 2;
    const float firstX = static_cast<float>(h.iconStartX) + half;
    const float y = static_cast<float>(h.iconStartY) + half;
    EXPECT_TRUE(colourAt(firstX, y, {255, 255, 0}));
    EXPECT_TRUE(colourAt(firstX + static_cast<float>(h.iconWidth + h.iconSpacing), y, {255, 0, 255}));
    EXPECT_TRUE(colourAt(firstX + 2 * static_cast<float>(h.iconWidth + h.iconSpacing), y, {0, 0, 0}));
    EXPECT_TRUE(colourAt(static_cast<float>(h.iconStartX) - 2, y, {0, 0, 0}));

    // A message empties the icon quads; the next icon draw with the same
    // count must bring them back.
    Shader message(kMessageSources);
    glUseProgram(message.program);
    h.drawMessage("NO_SUCH_IMAGE", message);
    EXPECT_TRUE(h.quads.empty());
    glUseProgram(hud.program);
    glClear(GL_COLOR_BUFFER_BIT);
    h.drawIcons(inventory, 2, hud);
    EXPECT_EQ(h.quads.size(), 2u);
    EXPECT_TRUE(colourAt(firstX, y, {255, 255, 0}));
    glUseProgram(0);
}

TEST_P(HudDrawTest, MessageAndGameOverScreenLandWhereTheLayoutSays) {
    const int w = ctx.width();
    const int h = ctx.height();
    Shader message(kMessageSources);
    glUseProgram(message.program);

    test::loadSolidImage("MESSAGE_LOADING_0", 40, 30, {0, 200, 0});
    HUD::instance().drawMessage("MESSAGE_LOADING_0", message);
    const HUD::Rect m = HUD::messageRect(w, h, 40, 30);
    EXPECT_TRUE(colourAt(m.x + 2, m.y + 2, {0, 200, 0}));
    EXPECT_TRUE(colourAt(m.x + m.width - 3, m.y + m.height - 3, {0, 200, 0}));
    if (m.y > 3) {
        EXPECT_TRUE(colourAt(m.x + 2, m.y - 3, {0, 0, 0}));
    }
    if (m.x > 3) {
        EXPECT_TRUE(colourAt(m.x - 3, m.y + 2, {0, 0, 0}));
    }
    EXPECT_TRUE(HUD::instance().quads.empty());

    glClear(GL_COLOR_BUFFER_BIT);
    test::loadSolidImage("WIN", 80, 20, {255, 255, 0});
    test::loadSolidImage("EXIT_NORMAL", 40, 10, {255, 0, 0});
    test::loadSolidImage("EXIT_MOUSEOVER", 40, 10, {0, 0, 255});
    test::loadSolidImage("RESTART_NORMAL", 40, 10, {0, 255, 0});
    auto exit = std::make_shared<Button>("EXIT");
    auto restart = std::make_shared<Button>("RESTART");
    exit->state = 1;
    HUD::instance().drawGameOver("WIN", message, {exit, restart});

    const HUD::Rect win = HUD::gameOverRect("WIN", w, h, 80, 20);
    EXPECT_TRUE(colourAt(win.x + win.width / 2, win.y + win.height / 2, {255, 255, 0}));
    EXPECT_FLOAT_EQ(exit->width, 0.2f * static_cast<float>(w));
    EXPECT_FLOAT_EQ(exit->height, exit->width / 4);
    EXPECT_FLOAT_EQ(exit->x + exit->width / 2, static_cast<float>(w / 3));
    EXPECT_FLOAT_EQ(restart->x + restart->width / 2, static_cast<float>(w / 3 * 2));
    EXPECT_FLOAT_EQ(exit->y + exit->height / 2, 0.25f * static_cast<float>(h));
    // The hovered Exit shows its mouse-over image; Restart its normal one.
    EXPECT_TRUE(colourAt(exit->x + exit->width / 2, exit->y + exit->height / 2, {0, 0, 255}));
    EXPECT_TRUE(colourAt(restart->x + restart->width / 2, restart->y + restart->height / 2, {0, 255, 0}));
    EXPECT_TRUE(colourAt(exit->x - 3, exit->y + exit->height / 2, {0, 0, 0}));
    EXPECT_TRUE(HUD::instance().quads.empty());
    glUseProgram(0);
}

INSTANTIATE_TEST_SUITE_P(WindowSizes, HudDrawTest,
                         ::testing::Values(std::make_pair(800, 600), std::make_pair(1024, 768),
                                           std::make_pair(480, 720)));

TEST(HudDraw, TextIsUpperCasedAndUnknownCharactersLeaveABlank) {
    GlTestContext ctx(300, 300);
    ASSERT_TRUE(ctx.ok());
    GameSettings::instance() = GameSettings{};
    test::setWindowSize(300, 300);
    test::ConsoleCapture console;
    HUD& hud = HUD::instance();
    hud.init();
    // The game's own table: the font image is laid out in ASCII order from
    // the space, 10 cells a row.
    EXPECT_EQ(hud.glyphCell('0'), 16);
    EXPECT_EQ(hud.glyphCell(':'), 26);
    EXPECT_EQ(hud.glyphCell('A'), 33);
    EXPECT_EQ(hud.glyphCell('z'), 58);
    // The punctuation of the prompts and captions, from the same rule.
    EXPECT_EQ(hud.glyphCell('!'), 1);
    EXPECT_EQ(hud.glyphCell('\''), 7);
    EXPECT_EQ(hud.glyphCell('+'), 11);
    EXPECT_EQ(hud.glyphCell(','), -1);  // its tail would be cut off
    EXPECT_EQ(hud.glyphCell('-'), 13);
    EXPECT_EQ(hud.glyphCell('.'), 14);
    EXPECT_EQ(hud.glyphCell('/'), 15);
    EXPECT_EQ(hud.glyphCell('?'), 31);
    EXPECT_EQ(hud.glyphCell('~'), -1);
    EXPECT_EQ(hud.glyphCell('\0'), -1);
    Shader font(kFontSources);
    glUseProgram(font.program);

    hud.drawText({"fps: 60", "a~b"}, font);
    // 7 cells on the first line (the space included), 2 on the second.
    ASSERT_EQ(hud.textQuads.size(), 9u);
    // The unknown "~" still takes its cell: "b" sits three advances in.
    const auto first = hud.textQuads.front();
    EXPECT_NE(first->vertexArray, 0u);

    // The same lines again reuse the quads; new lines rebuild them.
    const GLuint vertexArray = first->vertexArray;
    hud.drawText({"fps: 60", "a~b"}, font);
    EXPECT_EQ(hud.textQuads.front()->vertexArray, vertexArray);
    hud.drawText({"FPS:61"}, font);
    EXPECT_EQ(hud.textQuads.size(), 6u);

    // Without a font image nothing is drawn and the reason is given once.
    hud.fontTexture = nullptr;
    TextureCache::instance().textures.erase("FONT_TEXTURE");
    console.clear();
    hud.drawText({"A"}, font);
    hud.drawText({"B"}, font);
    const std::string text = console.text();
    EXPECT_LE(text.find("FONT_TEXTURE"), text.size());
    EXPECT_EQ(text.find("FONT_TEXTURE"), text.rfind("FONT_TEXTURE"));

    glUseProgram(0);
    hud.clear();
    TextureCache::instance().textures.clear();
}

TEST(HudButton, TextureKeyFollowsTheState) {
    Button button("EXIT");
    EXPECT_EQ(button.textureKey(), "EXIT_NORMAL");
    button.state = 1;
    EXPECT_EQ(button.textureKey(), "EXIT_MOUSEOVER");
    button.state = 2;
    EXPECT_EQ(button.textureKey(), "EXIT_PRESSED");

    Texture normal(10, 5), over(20, 6), pressed(30, 7);
    button.setTextures(&normal, &over, &pressed);
    EXPECT_EQ(button.textureWidth, 30);
    EXPECT_EQ(button.textureHeight, 7);
}

}  // namespace
}  // namespace vestrel
