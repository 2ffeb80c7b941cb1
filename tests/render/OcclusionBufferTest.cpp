// The software depth buffer of the visibility stage, without GL: walls are
// rasterised from a camera at the origin looking down -z, boxes are tested
// behind, in front of, beside and through them.
#include "render/OcclusionBuffer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include <glm/gtc/matrix_transform.hpp>

namespace vestrel {
namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 90;              // not a whole number of tiles: the top row is cut
constexpr float kTanHalf = 0.57735027f;  // tan 30 degrees
constexpr float kAspect = static_cast<float>(kWidth) / kHeight;

glm::mat4 viewProjection() {
    return glm::perspective(glm::radians(60.0f), kAspect, 0.1f, 100.0f) *
           glm::lookAt(glm::vec3(0.0f), glm::vec3(0.0f, 0.0f, -1.0f), glm::vec3(0.0f, 1.0f, 0.0f));
}

// The world x at distance `depth` that projects onto the window coordinate
// `pixelX` (pixel edges at integers).
float worldXAtPixel(float pixelX, float depth) {
    return (pixelX / kWidth * 2.0f - 1.0f) * kTanHalf * kAspect * depth;
}

// A rectangle in a plane z = const (or y = const for a floor), diced into
// divisions x divisions cells of two triangles each.
struct Surface {
    std::vector<glm::vec3> positions;
    std::vector<std::uint32_t> indices;
};

// Corners: origin, origin + u, origin + u + v, origin + v; the front (counter-
// clockwise) side is the one u x v points to.
Surface quad(glm::vec3 origin, glm::vec3 u, glm::vec3 v, int divisions = 1) {
    Surface s;
    for (int j = 0; j <= divisions; ++j) {
        for (int i = 0; i <= divisions; ++i) {
            s.positions.push_back(origin + u * (static_cast<float>(i) / divisions) +
                                  v * (static_cast<float>(j) / divisions));
        }
    }
    const int side = divisions + 1;
    for (int j = 0; j < divisions; ++j) {
        for (int i = 0; i < divisions; ++i) {
            const std::uint32_t a = j * side + i, b = a + 1, c = a + side + 1, d = a + side;
            s.indices.insert(s.indices.end(), {a, b, c, a, c, d});
        }
    }
    return s;
}

// A wall at z = -depth facing the camera, from (x0, y0) to (x1, y1).
Surface wall(float depth, float x0, float x1, float y0, float y1, int divisions = 1) {
    return quad({x0, y0, -depth}, {x1 - x0, 0.0f, 0.0f}, {0.0f, y1 - y0, 0.0f}, divisions);
}

void add(OcclusionBuffer& buffer, const Surface& s) {
    buffer.addTriangles(s.positions.data(), s.positions.size(), s.indices.data(), s.indices.size(),
                        glm::mat4(1.0f));
}

struct Box {
    float minX, minY, minZ, maxX, maxY, maxZ;
    const float* data() const { return &minX; }
};

TEST(OcclusionBuffer, BoxesAgainstWalls) {
    // A wall 10 away filling the middle of the view, whole or diced.
    const Surface plain = wall(10.0f, -5.0f, 5.0f, -4.0f, 4.0f);
    const Surface diced = wall(10.0f, -5.0f, 5.0f, -4.0f, 4.0f, 9);
    // The same wall seen from behind: its winding turned around.
    Surface backwards = plain;
    for (std::size_t i = 0; i < backwards.indices.size(); i += 3)
        std::swap(backwards.indices[i + 1], backwards.indices[i + 2]);
    // A wall filling the whole view, and two halves leaving a slit a third
    // of a pixel wide at x = 0 (pixel 80's centre lies in it).
    const Surface everywhere = wall(10.0f, -60.0f, 60.0f, -40.0f, 40.0f);
    const float slit = worldXAtPixel(80.5f, 10.0f);
    const Surface leftHalf = wall(10.0f, -60.0f, slit - 0.02f, -40.0f, 40.0f);
    const Surface rightHalf = wall(10.0f, slit + 0.02f, 60.0f, -40.0f, 40.0f);
    // A wall ending exactly at the picture's top edge: the last row of tiles
    // reaches past it, and only counts as covered because what lies beyond
    // the picture never shows.
    const Surface upToTheTop = wall(10.0f, -60.0f, 60.0f, -40.0f, kTanHalf * 10.0f);
    // A floor at y = -1 running from behind the camera into the distance.
    const Surface floor = quad({-60.0f, -1.0f, 5.0f}, {120.0f, 0.0f, 0.0f}, {0.0f, 0.0f, -80.0f});

    // A wall whose right edge projects exactly onto the boundary between
    // tiles 13 and 14 (window x 112): tile 13 is wholly covered, 14 not at all.
    const Surface upToTile14 = wall(10.0f, -5.0f, worldXAtPixel(112.0f, 10.0f), -4.0f, 4.0f);
    struct Case {
        const char* name;
        std::vector<const Surface*> occluders;
        Box box;
        bool visible;
    };
    const Case cases[] = {
        {"behind the wall", {&plain}, {-1, -1, -12, 1, 1, -11}, false},
        {"behind a diced wall", {&diced}, {-1, -1, -12, 1, 1, -11}, false},
        {"no occluder", {}, {-1, -1, -12, 1, 1, -11}, true},
        {"in front of the wall", {&plain}, {-1, -1, -9, 1, 1, -8}, true},
        {"0.02 behind the wall", {&plain}, {-1, -1, -10.5f, 1, 1, -10.02f}, false},
        {"0.002 behind the wall: within rounding", {&plain}, {-1, -1, -10.5f, 1, 1, -10.002f}, true},
        {"reaching past the wall's edge", {&plain}, {4.0f, -1, -12, 7.0f, 1, -11}, true},
        // A box's footprint is widened by a pixel for rounding: ending 0.4
        // pixel before the open tile it counts as reaching it.
        {"ending 0.4 pixel before an open tile",
         {&upToTile14},
         {0.0f, -1, -12, worldXAtPixel(111.6f, 12.0f), 1, -12},
         true},
        {"ending 2 pixels before an open tile",
         {&upToTile14},
         {0.0f, -1, -12, worldXAtPixel(110.0f, 12.0f), 1, -12},
         false},
        {"behind a wall seen from its back", {&backwards}, {-1, -1, -12, 1, 1, -11}, true},
        {"behind a slit a third of a pixel wide", {&leftHalf, &rightHalf}, {-1, -1, -12, 1, 1, -11}, true},
        {"under a floor cut by the near plane", {&floor}, {-1, -3, -8, 1, -2, -6}, false},
        {"above that floor", {&floor}, {-1, 0, -8, 1, 1, -6}, true},
        {"reaching through the near plane", {&everywhere}, {-1, -1, -12, 1, 1, 0.5f}, true},
        {"wholly off to the side", {}, {50, -1, -12, 60, 1, -11}, false},
        {"partly off the picture, the rest hidden", {&everywhere}, {3, 3, -14, 40, 40, -12}, false},
        {"in the top row behind a wall ending at the picture's edge",
         {&upToTheTop},
         {-1, 5, -14, 1, 40, -12},
         false},
    };
    for (const Case& c : cases) {
        OcclusionBuffer buffer;
        buffer.begin(viewProjection(), kWidth, kHeight);
        for (const Surface* s : c.occluders) add(buffer, *s);
        buffer.finish();
        EXPECT_EQ(buffer.boxVisible(c.box.data()), c.visible) << c.name;
    }
}

TEST(OcclusionBuffer, CoveredDepthIsTheFarthestOfTheTilesPlaneAndNeverNearer) {
    OcclusionBuffer buffer;
    buffer.begin(viewProjection(), kWidth, kHeight);
    EXPECT_TRUE(std::isinf(buffer.coveredDepth(80, 45)));

    // A wall facing the camera: the same distance everywhere.
    add(buffer, wall(10.0f, -60.0f, 60.0f, -40.0f, 40.0f, 4));
    buffer.finish();
    EXPECT_NEAR(buffer.coveredDepth(80, 45), 10.0f, 1e-3f);
    EXPECT_NEAR(buffer.coveredDepth(0, 0), 10.0f, 1e-3f);
    // The top row of tiles reaches past the picture (90 is not a multiple
    // of 8): the centres beyond its edge count as covered.
    EXPECT_NEAR(buffer.coveredDepth(159, 89), 10.0f, 1e-3f);
    EXPECT_TRUE(std::isinf(buffer.coveredDepth(160, 45)));

    // A nearer wall turned about the vertical axis, across the whole view:
    // z = -6 - x / 2. Each tile gets the farthest depth of its own pixel
    // centres, which is at its rightmost centres (the distance grows to the
    // right).
    OcclusionBuffer slanted;
    slanted.begin(viewProjection(), kWidth, kHeight);
    add(slanted, quad({-40.0f, -30.0f, 14.0f}, {80.0f, 0.0f, -40.0f}, {0.0f, 60.0f, 0.0f}));
    slanted.finish();
    for (int x : {8, 40, 80, 120, 152}) {
        // The ray through window x meets the wall at depth d with x_world =
        // k d, k = tan30 * aspect * ndc: d = 6 + k d / 2, so d = 6 / (1 - k / 2).
        const auto depthAt = [](float windowX) {
            const float k = (windowX / kWidth * 2.0f - 1.0f) * kTanHalf * kAspect;
            return 6.0f / (1.0f - k / 2.0f);
        };
        const int tileStart = x / OcclusionBuffer::kTileSize * OcclusionBuffer::kTileSize;
        const float farthest = depthAt(static_cast<float>(tileStart) + OcclusionBuffer::kTileSize - 0.5f);
        EXPECT_NEAR(slanted.coveredDepth(x, 45), farthest, farthest * 1e-4f) << x;
        EXPECT_GE(slanted.coveredDepth(x, 45), depthAt(x + 0.5f)) << x;
    }
}

// The rectangle where the clear colour may show: every tile not wholly
// covered nearer than the far plane, on each side of the picture.
TEST(OcclusionBuffer, TheUncoveredRectangleHoldsEveryTileNotCoveredBeforeTheFarPlane) {
    struct Case {
        const char* name;
        float x0, x1, y0, y1;  // the wall's window rectangle (pixel edges); none when x0 == x1
        float farDistance;
        int rect[4];  // x0, y0, x1, y1
    };
    // Walls 10 away; tiles are 8 pixels, so the open parts start and end on
    // tile edges (the picture's top row of tiles is cut at 90).
    const Case cases[] = {
        {"nothing", 0, 0, 0, 0, 100.0f, {0, 0, kWidth, kHeight}},
        {"everything", -8, 168, -8, 98, 100.0f, {0, 0, 0, 0}},
        {"everything, just before the far plane", -8, 168, -8, 98, 10.01f, {0, 0, 0, 0}},
        {"everything, at the far plane", -8, 168, -8, 98, 10.0f, {0, 0, kWidth, kHeight}},
        {"all but the left", 80, 168, -8, 98, 100.0f, {0, 0, 80, kHeight}},
        {"all but the right", -8, 80, -8, 98, 100.0f, {80, 0, kWidth, kHeight}},
        {"all but the bottom", -8, 168, 40, 98, 100.0f, {0, 0, kWidth, 40}},
        {"all but the top", -8, 168, -8, 40, 100.0f, {0, 40, kWidth, kHeight}},
        {"all but one pixel column", -8, 159, -8, 98, 100.0f, {152, 0, kWidth, kHeight}},
    };
    const float aspectY = kTanHalf * 10.0f;
    for (const Case& c : cases) {
        OcclusionBuffer buffer;
        buffer.begin(viewProjection(), kWidth, kHeight);
        if (c.x0 != c.x1) {
            add(buffer,
                wall(10.0f, worldXAtPixel(c.x0, 10.0f), worldXAtPixel(c.x1, 10.0f),
                     (c.y0 / kHeight * 2.0f - 1.0f) * aspectY, (c.y1 / kHeight * 2.0f - 1.0f) * aspectY));
        }
        buffer.finish();
        int r[4] = {-1, -1, -1, -1};
        buffer.uncoveredRectangle(c.farDistance, r[0], r[1], r[2], r[3]);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(r[i], c.rect[i]) << c.name << " " << i;
    }
}

TEST(OcclusionBuffer, CentresOnAnEdgeSharedByTwoTrianglesAreCoveredByOne) {
    // A square picture looking straight at a wall of four square cells
    // whose corners meet at the view's centre: the cells' diagonals run
    // through pixel centres exactly. Each such centre must go to one of the
    // two triangles, or no tile along the diagonals is ever whole.
    constexpr int kSide = 64;
    const glm::mat4 square =
        glm::perspective(glm::radians(60.0f), 1.0f, 0.1f, 100.0f) *
        glm::lookAt(glm::vec3(0.0f), glm::vec3(0.0f, 0.0f, -1.0f), glm::vec3(0.0f, 1.0f, 0.0f));
    for (int divisions : {2, 4}) {
        OcclusionBuffer buffer;
        buffer.begin(square, kSide, kSide);
        add(buffer, wall(10.0f, -10.0f, 10.0f, -10.0f, 10.0f, divisions));
        buffer.finish();
        for (int y = 4; y < kSide; y += 8) {
            for (int x = 4; x < kSide; x += 8) {
                EXPECT_NEAR(buffer.coveredDepth(x, y), 10.0f, 1e-3f)
                    << divisions << " cells, pixel " << x << ", " << y;
            }
        }
    }
}

TEST(OcclusionBuffer, ABoxIsTestedByItsFacesNotItsScreenRectangle) {
    // A box up and to the right, long in depth: on screen its faces make a
    // hexagon whose bounding rectangle reaches, at its top left, a corner the
    // faces leave free. The wall in front has a hole of one tile exactly
    // there (window x 80..88, y 80..88), through which the far distance shows.
    const float x0 = 0.0f, x1 = worldXAtPixel(88.0f, 10.0f);
    const auto worldYAtPixel = [](float pixelY, float depth) {
        return (pixelY / kHeight * 2.0f - 1.0f) * kTanHalf * depth;
    };
    const float y0 = worldYAtPixel(80.0f, 10.0f), y1 = worldYAtPixel(88.0f, 10.0f);
    const Surface around[4] = {wall(10.0f, -60.0f, x0, -40.0f, 40.0f), wall(10.0f, x1, 60.0f, -40.0f, 40.0f),
                               wall(10.0f, x0, x1, -40.0f, y0), wall(10.0f, x0, x1, y1, 40.0f)};
    OcclusionBuffer buffer;
    buffer.begin(viewProjection(), kWidth, kHeight);
    for (const Surface& s : around) add(buffer, s);
    buffer.finish();
    EXPECT_TRUE(std::isinf(buffer.coveredDepth(84, 84)));
    EXPECT_NEAR(buffer.coveredDepth(76, 84), 10.0f, 1e-3f);

    const Box box{2.0f, 2.0f, -40.0f, 6.0f, 6.0f, -12.0f};
    EXPECT_FALSE(buffer.boxVisible(box.data()));
    // Moved left so that its far face lies over the hole, it shows.
    const Box overHole{0.2f, 2.0f, -40.0f, 6.0f, 6.0f, -12.0f};
    EXPECT_TRUE(buffer.boxVisible(overHole.data()));
}

}  // namespace
}  // namespace vestrel
