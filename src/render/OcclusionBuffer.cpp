#include "render/OcclusionBuffer.h"

#include <algorithm>
#include <cmath>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vestrel {
namespace {

constexpr std::uint64_t kAllCentres = ~std::uint64_t{0};
constexpr float kInfinity = std::numeric_limits<float>::infinity();
constexpr float kNoLayer = std::numeric_limits<float>::max();
constexpr int kTile = OcclusionBuffer::kTileSize;
static_assert(kTile == 8, "a tile's centres are one 64-bit mask, 8 to a row");
constexpr float kTileSpan = static_cast<float>(kTile - 1);  // first to last centre of a tile

// Triangles reaching outside this many times the picture's half size are cut
// there, so window coordinates stay small enough for exact float edges.
constexpr float kGuardBand = 2.0f;

// A box counts as hidden only where the occluder is nearer than the box by
// more than this share of the distance: rounding of the two paths to a
// distance must not hide what touches a wall (6 mm at 12 units).
constexpr float kDepthTolerance = 5e-4f;

// Sutherland-Hodgman against one clip-space plane dot(plane, v) >= 0.
int clipPolygon(const glm::vec4* in, int count, const glm::vec4& plane, glm::vec4* out) {
    int written = 0;
    for (int i = 0; i < count; ++i) {
        const glm::vec4& a = in[i];
        const glm::vec4& b = in[(i + 1) % count];
        const float da = glm::dot(plane, a);
        const float db = glm::dot(plane, b);
        if (da >= 0.0f) out[written++] = a;
        if ((da >= 0.0f) != (db >= 0.0f)) out[written++] = a + (b - a) * (da / (da - db));
    }
    return written;
}

// The centres of a tile inside an edge, one bit per centre, row by row from
// the bottom: `first` is the edge's value at the tile's first centre, `a` and
// `b` what it gains one centre to the right and one up. Centres on the edge
// count when `onEdge` is set.
std::uint64_t edgeMask(float first, float a, float b, bool onEdge) {
    std::uint64_t mask = 0;
#if defined(__SSE2__)
    const __m128 zero = _mm_setzero_ps();
    const __m128 left = _mm_set_ps(3.0f * a, 2.0f * a, a, 0.0f);
    const __m128 right = _mm_add_ps(left, _mm_set1_ps(4.0f * a));
    for (int j = 0; j < 8; ++j) {
        const __m128 row = _mm_set1_ps(first + b * static_cast<float>(j));
        const __m128 l = _mm_add_ps(row, left);
        const __m128 r = _mm_add_ps(row, right);
        const int low = _mm_movemask_ps(onEdge ? _mm_cmpge_ps(l, zero) : _mm_cmpgt_ps(l, zero));
        const int high = _mm_movemask_ps(onEdge ? _mm_cmpge_ps(r, zero) : _mm_cmpgt_ps(r, zero));
        mask |= static_cast<std::uint64_t>(low | (high << 4)) << (8 * j);
    }
#else
    for (int j = 0; j < 8; ++j) {
        const float row = first + b * static_cast<float>(j);
        for (int i = 0; i < 8; ++i) {
            const float value = row + a * static_cast<float>(i);
            if (value > 0.0f || (onEdge && value == 0.0f)) mask |= std::uint64_t{1} << (8 * j + i);
        }
    }
#endif
    return mask;
}

// An edge function a x + b y + c, positive inside (to the left of the edge
// from its first point to its second).
//
// Two triangles sharing an edge run along it in opposite directions. So
// that no centre on it is lost to both or counted twice, the coefficients
// come from the endpoints in one order whichever way the edge runs, and
// only then turn sign: the two triangles' values are exact negatives, and
// centres exactly on the edge go to the triangle running it in that order
// (`onEdge`).
struct Edge {
    float a;
    float b;
    float c;
    bool onEdge;
    static Edge through(float x0, float y0, float x1, float y1) {
        const bool forward = x0 < x1 || (x0 == x1 && y0 < y1);
        if (!forward) {
            std::swap(x0, x1);
            std::swap(y0, y1);
        }
        Edge e{y0 - y1, x1 - x0, 0.0f, forward};
        e.c = -(e.a * x0 + e.b * y0);
        if (!forward) {
            e.a = -e.a;
            e.b = -e.b;
            e.c = -e.c;
        }
        return e;
    }
    float at(float x, float y) const { return a * x + b * y + c; }
    // Its smallest and largest value over the rectangle [x0, x1] x [y0, y1].
    float lowest(float x0, float x1, float y0, float y1) const {
        return a * (a > 0.0f ? x0 : x1) + b * (b > 0.0f ? y0 : y1) + c;
    }
    float highest(float x0, float x1, float y0, float y1) const {
        return a * (a > 0.0f ? x1 : x0) + b * (b > 0.0f ? y1 : y0) + c;
    }
};

// 1 / w over a triangle's plane, affine in window coordinates; flat at
// `fallback` when the three points give no plane.
struct InversePlane {
    float gx = 0.0f;
    float gy = 0.0f;
    float g0 = 0.0f;
    InversePlane(float x0, float y0, float i0, float x1, float y1, float i1, float x2, float y2, float i2,
                 float fallback) {
        const float area = (x1 - x0) * (y2 - y0) - (x2 - x0) * (y1 - y0);
        if (!(std::fabs(area) > 1e-6f)) {
            g0 = fallback;
            return;
        }
        gx = ((i1 - i0) * (y2 - y0) - (i2 - i0) * (y1 - y0)) / area;
        gy = ((i2 - i0) * (x1 - x0) - (i1 - i0) * (x2 - x0)) / area;
        g0 = i0 - gx * x0 - gy * y0;
    }
    float lowest(float x0, float x1, float y0, float y1) const {
        return gx * (gx > 0.0f ? x0 : x1) + gy * (gy > 0.0f ? y0 : y1) + g0;
    }
    float highest(float x0, float x1, float y0, float y1) const {
        return gx * (gx > 0.0f ? x1 : x0) + gy * (gy > 0.0f ? y1 : y0) + g0;
    }
};

}  // namespace

void OcclusionBuffer::begin(const glm::mat4& viewProjection, int width, int height) {
    viewProjection_ = viewProjection;
    trianglesRasterised_ = 0;
    if (width != width_ || height != height_) {
        width_ = std::max(width, 0);
        height_ = std::max(height, 0);
        tilesX_ = (width_ + kTile - 1) / kTile;
        tilesY_ = (height_ + kTile - 1) / kTile;
        blocksX_ = (tilesX_ + kBlockTiles - 1) / kBlockTiles;
        blocksY_ = (tilesY_ + kBlockTiles - 1) / kBlockTiles;
        tiles_.assign(static_cast<std::size_t>(tilesX_) * tilesY_, Tile{});
        blockInverse_.assign(static_cast<std::size_t>(blocksX_) * blocksY_, 0.0f);
        blockChanged_.assign(blockInverse_.size(), 0);
        // Centres beyond the right or top edge never show anything, so they
        // count as covered from the start.
        outsideMask_.assign(tiles_.size(), 0u);
        for (int ty = 0; ty < tilesY_; ++ty) {
            for (int tx = 0; tx < tilesX_; ++tx) {
                std::uint64_t mask = 0;
                for (int j = 0; j < kTile; ++j) {
                    for (int i = 0; i < kTile; ++i) {
                        if (tx * kTile + i >= width_ || ty * kTile + j >= height_) {
                            mask |= std::uint64_t{1} << (j * kTile + i);
                        }
                    }
                }
                outsideMask_[static_cast<std::size_t>(ty) * tilesX_ + tx] = mask;
            }
        }
    }
    for (std::size_t i = 0; i < tiles_.size(); ++i) tiles_[i] = Tile{outsideMask_[i], kNoLayer, 0.0f};
    std::fill(blockInverse_.begin(), blockInverse_.end(), 0.0f);
    std::fill(blockChanged_.begin(), blockChanged_.end(), 0);
    changedBlocks_.clear();
}

OcclusionBuffer::ScreenVertex OcclusionBuffer::toScreen(const glm::vec4& clip) const {
    const float inverseW = 1.0f / clip.w;
    return {(clip.x * inverseW * 0.5f + 0.5f) * static_cast<float>(width_),
            (clip.y * inverseW * 0.5f + 0.5f) * static_cast<float>(height_), inverseW};
}

void OcclusionBuffer::addTriangles(const glm::vec3* positions, std::size_t positionCount,
                                   const std::uint32_t* indices, std::size_t indexCount,
                                   const glm::mat4& model) {
    setVertices(positions, positionCount, model);
    addTriangles(indices, indexCount);
}

void OcclusionBuffer::setVertices(const glm::vec3* positions, std::size_t positionCount,
                                  const glm::mat4& model) {
    if (positions == nullptr) positionCount = 0;
    const glm::mat4 toClip = viewProjection_ * model;
    clip_.resize(positionCount);
    for (std::size_t i = 0; i < positionCount; ++i) clip_[i] = toClip * glm::vec4(positions[i], 1.0f);
}

void OcclusionBuffer::addTriangles(const std::uint32_t* indices, std::size_t indexCount) {
    if (tiles_.empty() || indices == nullptr) return;
    const std::size_t positionCount = clip_.size();
    for (std::size_t i = 0; i + 2 < indexCount; i += 3) {
        const std::uint32_t ia = indices[i], ib = indices[i + 1], ic = indices[i + 2];
        if (ia >= positionCount || ib >= positionCount || ic >= positionCount) continue;
        rasteriseClipped(clip_[ia], clip_[ib], clip_[ic]);
    }
}

void OcclusionBuffer::rasteriseClipped(const glm::vec4& a, const glm::vec4& b, const glm::vec4& c) {
    // Wholly beyond one side of the view (or of the near plane): nothing to do.
    const auto outcode = [](const glm::vec4& v) {
        return (v.z < -v.w ? 1 : 0) | (v.x < -v.w ? 2 : 0) | (v.x > v.w ? 4 : 0) | (v.y < -v.w ? 8 : 0) |
               (v.y > v.w ? 16 : 0);
    };
    if ((outcode(a) & outcode(b) & outcode(c)) != 0) return;

    const auto needsCut = [](const glm::vec4& v) {
        const float band = kGuardBand * v.w;
        return v.z < -v.w || v.x < -band || v.x > band || v.y < -band || v.y > band || !(v.w > 0.0f);
    };
    if (!needsCut(a) && !needsCut(b) && !needsCut(c)) {
        rasterise(toScreen(a), toScreen(b), toScreen(c));
        return;
    }

    // The near plane as GL clips, then the guard band; the rest is a convex
    // polygon drawn as a fan, which keeps the triangle's winding.
    const glm::vec4 planes[5] = {{0.0f, 0.0f, 1.0f, 1.0f},
                                 {1.0f, 0.0f, 0.0f, kGuardBand},
                                 {-1.0f, 0.0f, 0.0f, kGuardBand},
                                 {0.0f, 1.0f, 0.0f, kGuardBand},
                                 {0.0f, -1.0f, 0.0f, kGuardBand}};
    glm::vec4 polygon[2][9];
    polygon[0][0] = a;
    polygon[0][1] = b;
    polygon[0][2] = c;
    int count = 3;
    int current = 0;
    for (const glm::vec4& plane : planes) {
        count = clipPolygon(polygon[current], count, plane, polygon[1 - current]);
        current = 1 - current;
        if (count < 3) return;
    }
    ScreenVertex screen[9];
    for (int i = 0; i < count; ++i) {
        if (!(polygon[current][i].w > 1e-6f)) return;
        screen[i] = toScreen(polygon[current][i]);
    }
    for (int i = 1; i + 1 < count; ++i) rasterise(screen[0], screen[i], screen[i + 1]);
}

bool OcclusionBuffer::pixelSpan(float low, float high, int size, int& first, int& last) {
    // Centres at p + 0.5; clamped first so that huge values stay in int range.
    const float limit = static_cast<float>(size) + 1.0f;
    first = std::max(0, static_cast<int>(std::ceil(std::clamp(low - 0.5f, -1.0f, limit))));
    last = std::min(size - 1, static_cast<int>(std::floor(std::clamp(high - 0.5f, -1.0f, limit))));
    return first <= last;
}

bool OcclusionBuffer::pixelRectangle(const ScreenVertex* points, int count, float margin, int& px0, int& px1,
                                     int& py0, int& py1) const {
    float minX = kInfinity, maxX = -kInfinity, minY = kInfinity, maxY = -kInfinity;
    for (int k = 0; k < count; ++k) {
        minX = std::min(minX, points[k].x);
        maxX = std::max(maxX, points[k].x);
        minY = std::min(minY, points[k].y);
        maxY = std::max(maxY, points[k].y);
    }
    return pixelSpan(minX - margin, maxX + margin, width_, px0, px1) &&
           pixelSpan(minY - margin, maxY + margin, height_, py0, py1);
}

void OcclusionBuffer::rasterise(const ScreenVertex& v0, const ScreenVertex& v1, const ScreenVertex& v2) {
    // Twice the signed area; GL's front faces are counter-clockwise in window
    // coordinates (y up). Back faces, degenerate and NaN triangles stop here.
    const float area = (v1.x - v0.x) * (v2.y - v0.y) - (v2.x - v0.x) * (v1.y - v0.y);
    if (!(area > 0.0f)) return;

    int px0 = 0, px1 = 0, py0 = 0, py1 = 0;
    if (!pixelSpan(std::min({v0.x, v1.x, v2.x}), std::max({v0.x, v1.x, v2.x}), width_, px0, px1) ||
        !pixelSpan(std::min({v0.y, v1.y, v2.y}), std::max({v0.y, v1.y, v2.y}), height_, py0, py1)) {
        return;
    }
    ++trianglesRasterised_;

    // Nothing to do where whole blocks are already covered nearer than the
    // triangle's nearest corner (the rooms behind the walls of this one).
    const float nearestInverse = std::max({v0.inverseW, v1.inverseW, v2.inverseW});
    const int tx0 = px0 / kTile, tx1 = px1 / kTile;
    const int ty0 = py0 / kTile, ty1 = py1 / kTile;
    bool anyOpen = false;
    for (int by = ty0 / kBlockTiles; by <= ty1 / kBlockTiles && !anyOpen; ++by) {
        for (int bx = tx0 / kBlockTiles; bx <= tx1 / kBlockTiles; ++bx) {
            if (blockInverse_[static_cast<std::size_t>(by) * blocksX_ + bx] < nearestInverse) {
                anyOpen = true;
                break;
            }
        }
    }
    if (!anyOpen) return;

    const ScreenVertex* corner[3] = {&v0, &v1, &v2};
    Edge edges[3];
    float step[3];       // change of an edge's value from one tile to the next along a row
    float span[3];       // its largest less its smallest value over one tile
    float lowOffset[3];  // its smallest value over a tile, less its value at the tile's first centre
    for (int i = 0; i < 3; ++i) {
        const ScreenVertex& p = *corner[i];
        const ScreenVertex& q = *corner[(i + 1) % 3];
        edges[i] = Edge::through(p.x, p.y, q.x, q.y);
        step[i] = edges[i].a * static_cast<float>(kTile);
        span[i] = (std::fabs(edges[i].a) + std::fabs(edges[i].b)) * kTileSpan;
        lowOffset[i] = (std::min(edges[i].a, 0.0f) + std::min(edges[i].b, 0.0f)) * kTileSpan;
    }
    const float farthestInverse = std::min({v0.inverseW, v1.inverseW, v2.inverseW});
    const InversePlane plane(v0.x, v0.y, v0.inverseW, v1.x, v1.y, v1.inverseW, v2.x, v2.y, v2.inverseW,
                             farthestInverse);
    const float planeLowOffset = (std::min(plane.gx, 0.0f) + std::min(plane.gy, 0.0f)) * kTileSpan;

    for (int ty = ty0; ty <= ty1; ++ty) {
        const float yLow = static_cast<float>(ty * kTile) + 0.5f;
        const float yHigh = yLow + kTileSpan;
        // Only the tiles the triangle reaches within this row of centres:
        // its edges clipped to the row give its horizontal extent there.
        float reachLow = kInfinity, reachHigh = -kInfinity;
        for (int i = 0; i < 3; ++i) {
            const ScreenVertex& p = *corner[i];
            const ScreenVertex& q = *corner[(i + 1) % 3];
            const float low = std::max(std::min(p.y, q.y), yLow);
            const float high = std::min(std::max(p.y, q.y), yHigh);
            if (low > high) continue;
            float xa = p.x, xb = q.x;
            if (p.y != q.y) {
                const float dxdy = (q.x - p.x) / (q.y - p.y);
                xa = p.x + (low - p.y) * dxdy;
                xb = p.x + (high - p.y) * dxdy;
            }
            reachLow = std::min(reachLow, std::min(xa, xb));
            reachHigh = std::max(reachHigh, std::max(xa, xb));
        }
        int rowPx0 = 0, rowPx1 = 0;
        if (!pixelSpan(reachLow - 0.01f, reachHigh + 0.01f, width_, rowPx0, rowPx1)) continue;
        const int rowTx0 = std::max(tx0, rowPx0 / kTile), rowTx1 = std::min(tx1, rowPx1 / kTile);

        Tile* row = &tiles_[static_cast<std::size_t>(ty) * tilesX_];
        const std::uint64_t* outsideRow = &outsideMask_[static_cast<std::size_t>(ty) * tilesX_];
        const float* blockRow = &blockInverse_[static_cast<std::size_t>(ty / kBlockTiles) * blocksX_];
        std::uint8_t* changedRow = &blockChanged_[static_cast<std::size_t>(ty / kBlockTiles) * blocksX_];
        const auto markChanged = [&](int tx) {
            if (!changedRow[tx / kBlockTiles]) {
                changedRow[tx / kBlockTiles] = 1;
                changedBlocks_.push_back((ty / kBlockTiles) * blocksX_ + tx / kBlockTiles);
            }
        };
        // The plane's and each edge's smallest value over tile tx of this
        // row are affine in tx: value = slope * tx + atZero.
        const float planeAtZero = plane.gx * 0.5f + plane.gy * yLow + plane.g0 + planeLowOffset;
        float edgeAtZero[3];
        for (int i = 0; i < 3; ++i)
            edgeAtZero[i] = edges[i].a * 0.5f + edges[i].b * yLow + edges[i].c + lowOffset[i];

        // Tiles wholly inside all three edges, less one at each end for
        // rounding: only their distance is needed.
        float insideLow = static_cast<float>(rowTx0 + 1), insideHigh = static_cast<float>(rowTx1 - 1);
        for (int i = 0; i < 3; ++i) {
            if (step[i] == 0.0f) {
                if (!(edgeAtZero[i] > 0.0f)) insideHigh = -1.0f;
                continue;
            }
            const float crossing =
                std::clamp(-edgeAtZero[i] / step[i], -2.0f, static_cast<float>(tilesX_) + 2.0f);
            if (step[i] > 0.0f) {
                insideLow = std::max(insideLow, std::floor(crossing) + 2.0f);
            } else {
                insideHigh = std::min(insideHigh, std::ceil(crossing) - 2.0f);
            }
        }
        int interiorLow = rowTx1 + 1, interiorHigh = rowTx1;
        if (insideLow <= insideHigh) {
            interiorLow = static_cast<int>(insideLow);
            interiorHigh = static_cast<int>(insideHigh);
        }

        for (int tx = interiorLow; tx <= interiorHigh; ++tx) {
            if (blockRow[tx / kBlockTiles] >= nearestInverse) continue;
            const float inverse =
                std::max(plane.gx * static_cast<float>(tx * kTile) + planeAtZero, farthestInverse);
            Tile& tile = row[tx];
            if (inverse <= tile.fullInverse) continue;
            markChanged(tx);
            tile.fullInverse = inverse;
            if (tile.layerInverse <= inverse) {
                tile.mask = outsideRow[tx];
                tile.layerInverse = kNoLayer;
            }
        }

        for (int tx = rowTx0; tx <= rowTx1; ++tx) {
            if (tx == interiorLow) tx = interiorHigh + 1;
            if (tx > rowTx1) break;
            // A block covered nearer than the triangle's nearest corner.
            if (blockRow[tx / kBlockTiles] >= nearestInverse) continue;
            Tile& tile = row[tx];

            // The farthest the plane gets over the tile's centres, never
            // beyond the triangle's farthest corner.
            const float x = static_cast<float>(tx * kTile);
            const float inverse = std::max(plane.gx * x + planeAtZero, farthestInverse);
            if (inverse <= tile.fullInverse) continue;

            bool none = false;
            int partialEdges = 0;
            int partial[3];
            for (int i = 0; i < 3; ++i) {
                const float lowest = edges[i].a * x + edgeAtZero[i];
                if (!(lowest + span[i] >= 0.0f)) none = true;
                if (!(lowest > 0.0f)) partial[partialEdges++] = i;
            }
            if (none) continue;

            // Centres near an edge are decided by the edge's exact value
            // there, as the neighbouring triangle decides them.
            std::uint64_t mask = kAllCentres;
            const float xLow = x + 0.5f;
            for (int k = 0; k < partialEdges && mask != 0; ++k) {
                const Edge& e = edges[partial[k]];
                mask &= edgeMask(e.at(xLow, yLow), e.a, e.b, e.onEdge);
            }
            if (mask == 0) continue;

            const std::uint64_t outside = outsideRow[tx];
            markChanged(tx);
            if ((mask | outside) == kAllCentres) {
                // Covered by this triangle alone; a partial layer no nearer
                // than the new cover can never help again.
                tile.fullInverse = inverse;
                if (tile.layerInverse <= inverse) {
                    tile.mask = outside;
                    tile.layerInverse = kNoLayer;
                }
                continue;
            }
            tile.mask |= mask;
            tile.layerInverse = std::min(tile.layerInverse, inverse);
            if (tile.mask == kAllCentres) {
                tile.fullInverse = std::max(tile.fullInverse, tile.layerInverse);
                tile.mask = outside;
                tile.layerInverse = kNoLayer;
            }
        }
    }
}

void OcclusionBuffer::finish() {
    for (const int block : changedBlocks_) {
        blockChanged_[static_cast<std::size_t>(block)] = 0;
        const int bx = block % blocksX_, by = block / blocksX_;
        float farthest = kInfinity;
        const int tyEnd = std::min(tilesY_, (by + 1) * kBlockTiles);
        const int txEnd = std::min(tilesX_, (bx + 1) * kBlockTiles);
        for (int ty = by * kBlockTiles; ty < tyEnd; ++ty) {
            for (int tx = bx * kBlockTiles; tx < txEnd; ++tx) {
                farthest =
                    std::min(farthest, tiles_[static_cast<std::size_t>(ty) * tilesX_ + tx].fullInverse);
            }
        }
        blockInverse_[static_cast<std::size_t>(block)] = farthest;
    }
    changedBlocks_.clear();
}

bool OcclusionBuffer::boxVisible(const float* bounds, float grow, float marginPixels) const {
    if (tiles_.empty()) return true;
    ScreenVertex corners[8];
    for (int corner = 0; corner < 8; ++corner) {
        const glm::vec4 world((corner & 1) ? bounds[3] + grow : bounds[0] - grow,
                              (corner & 2) ? bounds[4] + grow : bounds[1] - grow,
                              (corner & 4) ? bounds[5] + grow : bounds[2] - grow, 1.0f);
        const glm::vec4 clip = viewProjection_ * world;
        // Reaching the near plane (or NaN): the projection is unbounded, so assume seen.
        if (!(clip.w > 0.0f) || !(clip.z >= -clip.w)) return true;
        corners[corner] = toScreen(clip);
    }

    // The six faces, each counter-clockwise seen from outside the box
    // (corner bit 0 is x, bit 1 y, bit 2 z), so a face turned towards the
    // eye is counter-clockwise on screen as well.
    static constexpr int kFaces[6][4] = {{0, 4, 6, 2}, {1, 3, 7, 5}, {0, 1, 5, 4},
                                         {2, 6, 7, 3}, {0, 2, 3, 1}, {4, 5, 7, 6}};
    bool anyFace = false;
    for (const auto& face : kFaces) {
        const ScreenVertex quad[4] = {corners[face[0]], corners[face[1]], corners[face[2]], corners[face[3]]};
        float area = 0.0f;
        for (int k = 0; k < 4; ++k) area += quad[k].x * quad[(k + 1) % 4].y - quad[(k + 1) % 4].x * quad[k].y;
        if (!(area > 1e-4f)) continue;
        anyFace = true;
        if (faceVisible(quad, marginPixels)) return true;
    }
    // A box seen exactly edge-on shows no face with area; test its outline.
    return !anyFace && rectangleVisible(corners, marginPixels);
}

bool OcclusionBuffer::faceVisible(const ScreenVertex* quad, float margin) const {
    int px0 = 0, px1 = 0, py0 = 0, py1 = 0;
    if (!pixelRectangle(quad, 4, margin, px0, px1, py0, py1)) return false;
    float nearestInverse = quad[0].inverseW;
    for (int k = 1; k < 4; ++k) nearestInverse = std::max(nearestInverse, quad[k].inverseW);
    Edge edges[4];
    for (int k = 0; k < 4; ++k) {
        edges[k] = Edge::through(quad[k].x, quad[k].y, quad[(k + 1) % 4].x, quad[(k + 1) % 4].y);
    }
    // The face's plane from whichever half of the quad is the larger.
    const float half1 =
        (quad[1].x - quad[0].x) * (quad[2].y - quad[0].y) - (quad[2].x - quad[0].x) * (quad[1].y - quad[0].y);
    const float half2 =
        (quad[2].x - quad[0].x) * (quad[3].y - quad[0].y) - (quad[3].x - quad[0].x) * (quad[2].y - quad[0].y);
    const int third = half1 >= half2 ? 1 : 3;
    const InversePlane plane(quad[0].x, quad[0].y, quad[0].inverseW, quad[2].x, quad[2].y, quad[2].inverseW,
                             quad[third].x, quad[third].y, quad[third].inverseW, nearestInverse);
    const float scale = 1.0f + kDepthTolerance;

    const int tx0 = px0 / kTile, tx1 = px1 / kTile, ty0 = py0 / kTile, ty1 = py1 / kTile;
    for (int by = ty0 / kBlockTiles; by <= ty1 / kBlockTiles; ++by) {
        for (int bx = tx0 / kBlockTiles; bx <= tx1 / kBlockTiles; ++bx) {
            // Every tile of the block covered nearer than any point of the face.
            if (blockInverse_[static_cast<std::size_t>(by) * blocksX_ + bx] > nearestInverse * scale)
                continue;
            const int tyEnd = std::min(ty1, (by + 1) * kBlockTiles - 1);
            const int txEnd = std::min(tx1, (bx + 1) * kBlockTiles - 1);
            for (int ty = std::max(ty0, by * kBlockTiles); ty <= tyEnd; ++ty) {
                const float yLow = static_cast<float>(ty * kTile) + 0.5f - margin;
                const float yHigh = yLow + kTileSpan + 2.0f * margin;
                for (int tx = std::max(tx0, bx * kBlockTiles); tx <= txEnd; ++tx) {
                    const float xLow = static_cast<float>(tx * kTile) + 0.5f - margin;
                    const float xHigh = xLow + kTileSpan + 2.0f * margin;
                    bool touches = true;
                    for (const Edge& e : edges)
                        touches = touches && e.highest(xLow, xHigh, yLow, yHigh) >= 0.0f;
                    if (!touches) continue;
                    const float faceInverse =
                        std::min(plane.highest(xLow, xHigh, yLow, yHigh), nearestInverse);
                    if (!(tiles_[static_cast<std::size_t>(ty) * tilesX_ + tx].fullInverse >
                          faceInverse * scale)) {
                        return true;
                    }
                }
            }
        }
    }
    return false;
}

bool OcclusionBuffer::rectangleVisible(const ScreenVertex* corners, float margin) const {
    int px0 = 0, px1 = 0, py0 = 0, py1 = 0;
    if (!pixelRectangle(corners, 8, margin, px0, px1, py0, py1)) return false;
    float nearestInverse = 0.0f;
    for (int k = 0; k < 8; ++k) nearestInverse = std::max(nearestInverse, corners[k].inverseW);
    const float limit = nearestInverse * (1.0f + kDepthTolerance);
    for (int ty = py0 / kTile; ty <= py1 / kTile; ++ty) {
        for (int tx = px0 / kTile; tx <= px1 / kTile; ++tx) {
            if (!(tiles_[static_cast<std::size_t>(ty) * tilesX_ + tx].fullInverse > limit)) return true;
        }
    }
    return false;
}

void OcclusionBuffer::uncoveredRectangle(float farDistance, int& x0, int& y0, int& x1, int& y1) const {
    const float farInverse = 1.0f / farDistance;
    int tx0 = tilesX_, ty0 = tilesY_, tx1 = -1, ty1 = -1;
    for (int ty = 0; ty < tilesY_; ++ty) {
        const Tile* row = &tiles_[static_cast<std::size_t>(ty) * tilesX_];
        for (int tx = 0; tx < tilesX_; ++tx) {
            if (row[tx].fullInverse > farInverse) continue;
            tx0 = std::min(tx0, tx);
            tx1 = std::max(tx1, tx);
            ty0 = std::min(ty0, ty);
            ty1 = ty;
        }
    }
    if (tx1 < 0) {
        x0 = y0 = x1 = y1 = 0;
        return;
    }
    x0 = tx0 * kTile;
    y0 = ty0 * kTile;
    x1 = std::min(width_, (tx1 + 1) * kTile);
    y1 = std::min(height_, (ty1 + 1) * kTile);
}

float OcclusionBuffer::coveredDepth(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return kInfinity;
    const float inverse = tiles_[static_cast<std::size_t>(y / kTile) * tilesX_ + x / kTile].fullInverse;
    return inverse > 0.0f ? 1.0f / inverse : kInfinity;
}

}  // namespace vestrel
