#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>
#include <glm/vec4.hpp>

namespace vestrel {

// A small software depth buffer of occluding triangles, worked out on the CPU
// for one view, against which boxes are tested before anything is sent to GL.
//
// The picture is divided into tiles of kTileSize x kTileSize pixels. Each
// tile keeps one bit per pixel centre (the points GL samples) and two
// distances: a full cover, a distance that some occluder lies at or before on
// every pixel centre of the tile (none until the tile has been covered
// completely), and a partial layer being gathered towards the next full
// cover. A triangle covers the centres strictly inside its edges, at the
// farthest distance its plane reaches over the tile; so the buffer never
// claims a pixel is hidden by something nearer than what GL draws there.
// Back faces (clockwise in window coordinates, as GL culls them) hide nothing.
//
// A box is hidden when, for each of its faces turned towards the eye, every
// tile the face can touch is fully covered nearer than the face's nearest
// point over that tile: whatever lies inside the box is seen through one of
// those faces, farther away. Distances are clip-space w (the distance along
// the view axis for a perspective projection); tiles keep 1 / w.
//
// Use: begin() for a view, addTriangles() for every occluder (nearest first
// works best), finish(), then boxVisible() as often as needed.
class OcclusionBuffer {
public:
    static constexpr int kTileSize = 8;
    // The coarse level keeps the farthest full cover of kBlockTiles x kBlockTiles tiles.
    static constexpr int kBlockTiles = 4;

    // Clears the buffer for a picture of width x height pixels seen through
    // `viewProjection` (the matrix GL draws with). Memory is kept between frames.
    void begin(const glm::mat4& viewProjection, int width, int height);

    // Rasterises the front faces of a triangle list: `positions` are taken
    // through `model` and then the view. Triangles crossing the near plane are
    // clipped as GL clips them; triangles with an index past `positionCount`
    // are skipped.
    void addTriangles(const glm::vec3* positions, std::size_t positionCount, const std::uint32_t* indices,
                      std::size_t indexCount, const glm::mat4& model);
    // The same in two steps, for drawing parts of one list: setVertices
    // takes the positions through `model` and the view once, then each
    // addTriangles(indices, count) rasterises triangles indexing them.
    void setVertices(const glm::vec3* positions, std::size_t positionCount, const glm::mat4& model);
    void addTriangles(const std::uint32_t* indices, std::size_t indexCount);

    // Brings the coarse level up to date: call after the last addTriangles,
    // and between occluders for the coarse level to pass over what they hide.
    void finish();

    // Whether anything inside `bounds` (min x, y, z, max x, y, z, world space),
    // grown by `grow` on every side, can reach a pixel centre: false only when
    // its projection, widened by `marginPixels`, lies wholly off the picture
    // or wholly on tiles covered nearer than it. A box reaching to or behind
    // the near plane is always visible.
    bool boxVisible(const float* bounds, float grow = 0.0f, float marginPixels = 1.0f) const;

    // The full cover's distance for the tile that holds pixel (x, y), counted
    // from the bottom left; infinity while that tile is not wholly covered.
    float coveredDepth(int x, int y) const;

    // The pixels [x0, x1) x [y0, y1) of the smallest rectangle holding every
    // tile not wholly covered nearer than `farDistance` (the far plane GL
    // clips at): where something the occluders do not hide may show, or
    // nothing at all. All zero when every tile is covered.
    void uncoveredRectangle(float farDistance, int& x0, int& y0, int& x1, int& y1) const;

    // Front-facing triangles (after clipping) that reached a pixel centre's
    // bounding box since begin().
    int trianglesRasterised() const { return trianglesRasterised_; }

private:
    struct Tile {
        std::uint64_t mask;  // pixel centres covered by the partial layer
        float layerInverse;  // 1 / w of the partial layer's farthest point
        float fullInverse;   // every centre covered at 1 / w this or larger; 0: not covered
    };
    struct ScreenVertex {
        float x;
        float y;
        float inverseW;
    };

    void rasteriseClipped(const glm::vec4& a, const glm::vec4& b, const glm::vec4& c);
    void rasterise(const ScreenVertex& v0, const ScreenVertex& v1, const ScreenVertex& v2);
    ScreenVertex toScreen(const glm::vec4& clip) const;
    // One face of a box, its corners counter-clockwise on screen.
    bool faceVisible(const ScreenVertex* quad, float marginPixels) const;
    // The coarse test for a box whose faces all project to nothing: its
    // screen rectangle against its nearest corner.
    bool rectangleVisible(const ScreenVertex* corners, float marginPixels) const;
    // Pixels whose centres lie within [low, high] on one axis of `size` pixels.
    static bool pixelSpan(float low, float high, int size, int& first, int& last);
    // The pixels of the picture that the points' bounding rectangle, grown by
    // `margin`, reaches; false when it misses the picture.
    bool pixelRectangle(const ScreenVertex* points, int count, float margin, int& px0, int& px1, int& py0,
                        int& py1) const;

    glm::mat4 viewProjection_{1.0f};
    int width_ = 0;
    int height_ = 0;
    int tilesX_ = 0;
    int tilesY_ = 0;
    int blocksX_ = 0;
    int blocksY_ = 0;
    std::vector<Tile> tiles_;
    std::vector<std::uint64_t> outsideMask_;  // per tile: centres beyond the picture's edge
    // Per block: the smallest full cover 1 / w of its tiles. Covers only grow
    // nearer, so a value not yet brought up to date still bounds them; blocks
    // whose tiles changed are listed and redone by finish().
    std::vector<float> blockInverse_;
    std::vector<std::uint8_t> blockChanged_;
    std::vector<int> changedBlocks_;
    std::vector<glm::vec4> clip_;  // scratch: one clip-space position per vertex
    int trianglesRasterised_ = 0;
};

}  // namespace vestrel
