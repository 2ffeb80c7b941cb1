// The pause menu drawn over the picture: where its rows lie, which row the
// pointer is over, and what reaches the pixels (the shading, the bar, the text).
#include "render/MenuOverlay.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "app/GameSettings.h"
#include "render/Shader.h"
#include "render/TextureCache.h"
#include "support/GlReleaseWatch.h"
#include "support/GlTestContext.h"

namespace vestrel {
namespace {

using test::GlTestContext;

TEST(MenuOverlayLayout, RowsStackDownFromTheTitleInACentredBlock) {
    struct Case {
        int width;
        int height;
        int rows;
        int glyph;  // the smaller of width / (0.7 x 27) and height / ((rows + 2) x 1.6 + 1)
    };
    const Case cases[] = {
        {800, 600, 3, 42}, {800, 600, 9, 32}, {1280, 720, 9, 38}, {300, 900, 3, 15}, {800, 400, 9, 21}};
    for (const Case& c : cases) {
        const MenuOverlay::Layout l = MenuOverlay::layout(c.width, c.height, c.rows);
        EXPECT_EQ(l.glyph, c.glyph) << c.width << "x" << c.height;
        ASSERT_EQ(l.rows.size(), static_cast<std::size_t>(c.rows));
        const float rowHeight = std::round(1.6f * static_cast<float>(c.glyph));
        EXPECT_EQ(l.advance, static_cast<int>(std::round(0.7f * static_cast<float>(c.glyph))));
        const float blockWidth = static_cast<float>(l.advance * (MenuOverlay::kColumns + 1));
        EXPECT_FLOAT_EQ(l.title.width, blockWidth);
        EXPECT_NEAR(l.title.x + blockWidth / 2.0f, c.width / 2.0f, 0.5f);
        // The title, a gap, then the rows: the block is centred vertically.
        const float top = l.title.y + rowHeight;
        EXPECT_NEAR(top - rowHeight * static_cast<float>(c.rows + 2) / 2.0f, c.height / 2.0f, 0.5f);
        for (int row = 0; row < c.rows; ++row) {
            EXPECT_FLOAT_EQ(l.rows[static_cast<std::size_t>(row)].y,
                            top - rowHeight * static_cast<float>(row + 3));
            EXPECT_FLOAT_EQ(l.rows[static_cast<std::size_t>(row)].height, rowHeight);
        }
        EXPECT_GE(l.rows.back().y, 0.0f);
        EXPECT_LE(l.title.x + l.title.width, static_cast<float>(c.width));
    }
}

TEST(MenuOverlayLayout, ThePointerFindsTheRowAndTheHalfItIsOn) {
    const MenuOverlay::Layout l = MenuOverlay::layout(800, 600, 3);
    const HUD::Rect& second = l.rows[1];
    struct Case {
        double x;
        double yFromTop;
        int row;
        int side;
    };
    const double middle = 600.0 - (second.y + second.height / 2.0);
    const double right = second.x + second.width * 0.75;
    const Case cases[] = {
        {second.x + 1.0, middle, 1, -1},
        {second.x + second.width / 2.0 - 0.5, middle, 1, -1},
        {second.x + second.width / 2.0, middle, 1, 1},
        {second.x + second.width - 0.5, middle, 1, 1},
        {second.x + second.width, middle, -1, 0},
        {second.x - 0.5, middle, -1, 0},
        {right, 600.0 - (second.y + second.height) + 0.5, 1, 1},  // the row's top edge
        {right, 600.0 - second.y + 0.5, 2, 1},                    // just below it: the next row
        {right, 600.0 - (l.title.y + 1.0), -1, 0},                // the title is no row
    };
    for (const Case& c : cases) {
        int side = 7;
        EXPECT_EQ(MenuOverlay::rowAt(l, 600, c.x, c.yFromTop, side), c.row) << c.x << "," << c.yFromTop;
        EXPECT_EQ(side, c.side) << c.x << "," << c.yFromTop;
    }
}

TEST(MenuOverlayLayout, ValuesSitAtTheRightOfTheirRow) {
    EXPECT_EQ(MenuOverlay::rowText("RESUME", ""), "RESUME");
    const std::string row = MenuOverlay::rowText("SENSITIVITY", "0.10");
    EXPECT_EQ(row.size(), static_cast<std::size_t>(MenuOverlay::kColumns));
    EXPECT_EQ(row, "SENSITIVITY     < 0.10 >");
    EXPECT_EQ(MenuOverlay::rowText("A VERY LONG LABEL TEXT", "100%"), "A VERY LONG LABEL TEXT < 100% >");
}

TEST(MenuOverlayDraw, ShadesThePictureLightsTheFocusedRowAndWritesTheText) {
    GlTestContext ctx(400, 300);
    ASSERT_TRUE(ctx.ok());
    ASSERT_NE(TextureCache::instance().load("Assets\\Textures\\font.jpg", "FONT_TEXTURE"), nullptr);
    Shader shade(kMessageSources);
    Shader text(kFontSources);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glClearColor(200.0f / 255.0f, 100.0f / 255.0f, 40.0f / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    {
        MenuOverlay overlay;
        overlay.draw(shade, text, "PAUSED", {"RESUME", "SETTINGS", "QUIT"}, 1, 400, 300);
    }
    const MenuOverlay::Layout l = MenuOverlay::layout(400, 300, 3);
    auto expectNear = [&ctx](int x, int y, float r, float g, float b) {
        const auto p = ctx.pixel(x, y);
        EXPECT_NEAR(p[0], r, 2.0f) << x << "," << y;
        EXPECT_NEAR(p[1], g, 2.0f) << x << "," << y;
        EXPECT_NEAR(p[2], b, 2.0f) << x << "," << y;
    };
    const float keep = MenuOverlay::kShadeKeeps;
    const float bar = MenuOverlay::kBarShare;
    // Outside the menu, and at the blank right end of an unfocused row: shaded.
    expectNear(2, 2, 200 * keep, 100 * keep, 40 * keep);
    const HUD::Rect& quit = l.rows[2];
    expectNear(static_cast<int>(quit.x + quit.width - 3), static_cast<int>(quit.y + 2), 200 * keep,
               100 * keep, 40 * keep);
    // The focused row's blank end: the shaded picture under a quarter of white.
    const HUD::Rect& focused = l.rows[1];
    expectNear(static_cast<int>(focused.x + focused.width - 3), static_cast<int>(focused.y + 2),
               200 * keep * (1 - bar) + 255 * bar, 100 * keep * (1 - bar) + 255 * bar,
               40 * keep * (1 - bar) + 255 * bar);
    // Letters: bright pixels across the title and the first row, none right of "QUIT".
    auto bright = [&ctx](const HUD::Rect& r, float fromX, float toX) {
        int count = 0;
        for (int y = static_cast<int>(r.y); y < static_cast<int>(r.y + r.height); ++y) {
            for (int x = static_cast<int>(fromX); x < static_cast<int>(toX); ++x) {
                if (ctx.pixel(x, y)[1] > 180) ++count;
            }
        }
        return count;
    };
    const float advance = static_cast<float>(l.advance);
    EXPECT_GT(bright(l.title, l.title.x, l.title.x + l.title.width), 20);
    EXPECT_GT(bright(l.rows[0], l.rows[0].x, l.rows[0].x + advance * 8), 20);
    EXPECT_EQ(bright(quit, quit.x + advance * 6, quit.x + quit.width), 0);
    TextureCache::instance().textures.clear();
}

TEST(MenuOverlayDraw, ReleasesItsNamesWhileItsWindowLivesAndNothingAfter) {
    GlTestContext ctx(64, 64);
    ASSERT_TRUE(ctx.ok());
    auto late = std::make_unique<MenuOverlay>();
    {
        test::GlReleaseWatch watch;
        { MenuOverlay released; }
        // Two textures, two buffers, one vertex array.
        EXPECT_EQ(watch.calls(), 5) << watch.journal();
    }
    ctx.destroyWindow();
    test::GlReleaseWatch watch;
    late.reset();
    EXPECT_EQ(watch.calls(), 0) << watch.journal();
}

}  // namespace
}  // namespace vestrel
