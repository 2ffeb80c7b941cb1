#pragma once

#include <array>

#include <glm/vec3.hpp>
#include <glm/vec4.hpp>

namespace vestrel {

enum class FrustumTest : int { Outside = 0, Intersect = 1, Inside = 2 };

// The camera's view volume, built geometrically from the eye position and the
// view direction with its own field of view, near and far distances, and the
// per-frame culling of level objects by their axis-aligned bounds.
//
// Bounds are 6 floats: min x, min y, min z, max x, max y, max z, world space.
// A new frustum is all zero with culling off until its first frame.
struct ViewFrustum {
    // (a, b, c, d) in the order top, bottom, left, right, near, far; a point
    // p is inside a plane when a*p.x + b*p.y + c*p.z + d >= 0.
    std::array<glm::vec4, 6> planes{};
    std::array<glm::vec3, 4> nearCorners{};  // top-left, top-right, bottom-left, bottom-right
    std::array<glm::vec3, 4> farCorners{};
    float nearDistance = 0.0f;
    float farDistance = 0.0f;
    float aspect = 0.0f;
    float fieldOfView = 0.0f;  // degrees, vertical; stored, tanHalfFov is what is used
    float tanHalfFov = 0.0f;
    float nearHalfWidth = 0.0f;
    float nearHalfHeight = 0.0f;
    float farHalfWidth = 0.0f;
    float farHalfHeight = 0.0f;
    int culledCount = 0;          // objects culled since the last beginFrame
    bool cullingEnabled = false;  // copy of the frustum-culling switch

    // Fills the fixed parameters and the derived half sizes; the game uses
    // 60 degrees, 0.1, 60 and window width / height.
    void setParameters(float fieldOfViewDegrees, float nearDist, float farDist, float aspectRatio);

    // Rebuilds corners and planes from the eye and the view direction (any
    // length). World up is (0, 1, 0); for a vertical direction, where that up
    // gives no sideways axis, the world x axis is used instead.
    void update(const glm::vec3& eye, const glm::vec3& direction);

    // Outside when all 8 corners of the box are outside one plane, Inside when
    // all are inside every plane, Intersect otherwise. Conservative: a box
    // near an edge may be Intersect although it is outside. Reads only planes.
    FrustumTest testBox(const float* bounds) const;
    FrustumTest testBox(const std::array<float, 6>& bounds) const { return testBox(bounds.data()); }

    // The culling decision for one object: true (and counted) when culling is
    // on and the box is wholly outside; the caller then skips drawing it.
    bool cull(const float* bounds);
    bool cull(const std::array<float, 6>& bounds) { return cull(bounds.data()); }

    // Start of a counted pass: takes the culling switch from GameSettings and
    // zeroes the counter.
    void beginFrame();
    // Publishes the counter as GameSettings' culledCount (0 with culling off).
    void publishCount() const;
};

}  // namespace vestrel
