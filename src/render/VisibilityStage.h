#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include <glm/mat4x4.hpp>

#include "render/OcclusionBuffer.h"

namespace vestrel {

class GameObject;

// What the visibility stage decided in one frame.
struct VisibilityCounts {
    int drawn = 0;           // level tree objects drawn by the scene pass
    int frustumCulled = 0;   // tree objects left out by the view frustum
    int occluded = 0;        // tree objects left out because walls hide them
    int passOccluded = 0;    // items, zones, writing, glass and the monster left out as hidden
    int clustersHidden = 0;  // clusters of drawn tree objects left out as hidden
    int occluders = 0;       // tree objects whose triangles went into the occlusion buffer
    int occluderTriangles = 0;
    double milliseconds = 0.0;  // CPU time of the scene pass's walk, sort and visibility decisions
};

// Decides each frame, on the CPU, which objects can leave a pixel, between
// the frustum test and the draws. The large opaque objects of the level tree
// that pass the frustum (walls, floors, ceilings, big furniture) are
// rasterised into a small conservative depth buffer from the camera; every
// drawn object's box is then tested against it. The buffer is built from the
// objects as they stand this frame (a door that slid is an occluder where it
// is now; a removed object hides nothing), so moving, appearing and vanishing
// objects stay right.
//
// Inactive (everything visible) when switched off or while the wireframe is
// shown, where walls hide nothing.
class VisibilityStage {
public:
    // Objects whose bounds are smaller than this on every axis are not worth
    // rasterising as occluders (world units; a doorway is 4.5 wide).
    static constexpr float kMinOccluderExtent = 2.0f;

    // Starts a frame drawn through `viewProjection` into a width x height
    // picture; with `enabled` false every test answers visible.
    void beginFrame(bool enabled, const glm::mat4& viewProjection, int width, int height);
    bool active() const { return active_; }

    // What addOccluder found hidden already (what was hidden stays hidden as
    // more occluders come), so the final tests can skip it.
    struct OccluderMarks {
        bool hidden = false;    // the whole object
        int firstCluster = -1;  // where its clusters' marks start; -1 for none
    };

    // Offers a level tree object that will be drawn this frame (visible, with
    // geometry, through the frustum); large ones become occluders. Offer the
    // nearest first.
    OccluderMarks addOccluder(const GameObject& object);
    // Ends the occluders; tests may follow.
    void finishOccluders();

    // Whether anything of a box (min x, y, z, max x, y, z) grown by `grow`
    // can show; `marginPixels` widens its projection for passes that read
    // depth at a coarser grid (the glow's half-size copy).
    bool boxVisible(const float* bounds, float grow = 0.0f, float marginPixels = 1.0f) const;
    bool boxVisible(const std::array<float, 6>& bounds, float grow = 0.0f, float marginPixels = 1.0f) const {
        return boxVisible(bounds.data(), grow, marginPixels);
    }
    // The final test of an object, or of its cluster `cluster`, offered to
    // addOccluder with the result `marks`.
    bool objectVisible(const GameObject& object, const OccluderMarks& marks) const;
    bool clusterVisible(const GameObject& object, const OccluderMarks& marks, std::size_t cluster) const;

    // Whether a tree object qualifies as an occluder: drawable, with bounds,
    // triangles and a CPU copy of its positions, and large enough.
    static bool isOccluder(const GameObject& object);

    VisibilityCounts& counts() { return counts_; }
    const VisibilityCounts& counts() const { return counts_; }
    const OcclusionBuffer& buffer() const { return buffer_; }

private:
    OcclusionBuffer buffer_;
    VisibilityCounts counts_;
    std::vector<std::uint8_t> clusterHidden_;  // this frame's cluster marks, 1 for hidden
    bool active_ = false;
};

}  // namespace vestrel
