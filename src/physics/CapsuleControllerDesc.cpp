#include "physics/CapsuleControllerDesc.h"

#include <cmath>
#include <glm/geometric.hpp>

namespace vestrel {

namespace {
bool finite(const glm::dvec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }
}  // namespace

bool CapsuleControllerDesc::isValid() const {
    if (!finite(position) || !finite(glm::dvec3(upDirection))) return false;
    if (!std::isfinite(radius) || !std::isfinite(height) || !std::isfinite(slopeLimit) ||
        !std::isfinite(contactOffset) || !std::isfinite(stepOffset)) {
        return false;
    }
    if (glm::length(upDirection) < 1e-6f) return false;
    if (radius <= 0.0f || height <= 0.0f) return false;
    if (contactOffset <= 0.0f) return false;
    if (slopeLimit < 0.0f || slopeLimit > 1.0f) return false;
    if (stepOffset < 0.0f || stepOffset > height + 2.0f * radius) return false;
    return true;
}

}  // namespace vestrel
