#include "render/ViewFrustum.h"

#include <cmath>

#include <glm/geometric.hpp>

#include "app/GameSettings.h"

namespace vestrel {

namespace {

// Plane through P, Q, R whose normal (Q - P) x (R - P) points to the side
// the frustum lies on.
glm::vec4 planeThrough(const glm::vec3& p, const glm::vec3& q, const glm::vec3& r) {
    const glm::vec3 n = glm::normalize(glm::cross(q - p, r - p));
    return glm::vec4(n, -glm::dot(n, p));
}

// Below this squared length the up x back cross product is treated as zero.
constexpr float kDegenerateAxis = 1e-12f;

}  // namespace

void ViewFrustum::setParameters(float fieldOfViewDegrees, float nearDist, float farDist, float aspectRatio) {
    fieldOfView = fieldOfViewDegrees;
    nearDistance = nearDist;
    farDistance = farDist;
    aspect = aspectRatio;
    tanHalfFov = std::tan(fieldOfViewDegrees * 0.5f * 0.017453292f);
    nearHalfHeight = tanHalfFov * nearDistance;
    nearHalfWidth = nearHalfHeight * aspect;
    farHalfHeight = tanHalfFov * farDistance;
    farHalfWidth = farHalfHeight * aspect;
}

void ViewFrustum::update(const glm::vec3& eye, const glm::vec3& direction) {
    const glm::vec3 z = glm::normalize(-direction);
    glm::vec3 sideways = glm::cross(glm::vec3(0.0f, 1.0f, 0.0f), z);
    if (glm::dot(sideways, sideways) < kDegenerateAxis) {
        // Looking straight up or down: any horizontal axis gives a valid
        // volume; the camera's pitch limit keeps the game from getting here.
        sideways = glm::vec3(1.0f, 0.0f, 0.0f);
    }
    const glm::vec3 x = glm::normalize(sideways);
    const glm::vec3 y = glm::cross(z, x);

    const glm::vec3 nc = eye - z * nearDistance;
    const glm::vec3 fc = eye - z * farDistance;
    const glm::vec3 nUp = y * nearHalfHeight, nSide = x * nearHalfWidth;
    const glm::vec3 fUp = y * farHalfHeight, fSide = x * farHalfWidth;

    nearCorners = {nc + nUp - nSide, nc + nUp + nSide, nc - nUp - nSide, nc - nUp + nSide};
    farCorners = {fc + fUp - fSide, fc + fUp + fSide, fc - fUp - fSide, fc - fUp + fSide};

    const glm::vec3 &ntl = nearCorners[0], &ntr = nearCorners[1], &nbl = nearCorners[2],
                    &nbr = nearCorners[3];
    const glm::vec3 &ftl = farCorners[0], &ftr = farCorners[1], &fbl = farCorners[2], &fbr = farCorners[3];
    planes[0] = planeThrough(ntr, ntl, ftl);  // top
    planes[1] = planeThrough(nbl, nbr, fbr);  // bottom
    planes[2] = planeThrough(ntl, nbl, fbl);  // left
    planes[3] = planeThrough(nbr, ntr, fbr);  // right
    planes[4] = planeThrough(ntl, ntr, nbr);  // near
    planes[5] = planeThrough(ftr, ftl, fbl);  // far
}

FrustumTest ViewFrustum::testBox(const float* bounds) const {
    // Of the 8 box corners, the one furthest along a plane's normal decides
    // whether any corner is inside it, and the one furthest against the
    // normal whether any is outside. Testing those two gives exactly the
    // answer of counting all 8 corners, with two dot products per plane and
    // no data-dependent branches between them.
    FrustumTest result = FrustumTest::Inside;
    for (const glm::vec4& plane : planes) {
        const float mostInside = plane.x * (plane.x >= 0.0f ? bounds[3] : bounds[0]) +
                                 plane.y * (plane.y >= 0.0f ? bounds[4] : bounds[1]) +
                                 plane.z * (plane.z >= 0.0f ? bounds[5] : bounds[2]) + plane.w;
        if (mostInside < 0.0f) {
            return FrustumTest::Outside;
        }
        const float mostOutside = plane.x * (plane.x >= 0.0f ? bounds[0] : bounds[3]) +
                                  plane.y * (plane.y >= 0.0f ? bounds[1] : bounds[4]) +
                                  plane.z * (plane.z >= 0.0f ? bounds[2] : bounds[5]) + plane.w;
        if (mostOutside < 0.0f) {
            result = FrustumTest::Intersect;
        }
    }
    return result;
}

bool ViewFrustum::cull(const float* bounds) {
    if (!cullingEnabled || testBox(bounds) != FrustumTest::Outside) {
        return false;
    }
    ++culledCount;
    return true;
}

void ViewFrustum::beginFrame() {
    cullingEnabled = GameSettings::instance().frustumCulling;
    culledCount = 0;
}

void ViewFrustum::publishCount() const {
    GameSettings::instance().culledCount = static_cast<std::uint32_t>(culledCount);
}

}  // namespace vestrel
