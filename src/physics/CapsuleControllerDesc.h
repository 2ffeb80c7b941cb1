#pragma once

#include <glm/vec3.hpp>

namespace vestrel {

class ControllerHitCallback;

// Shape and settings of a capsule character controller. The defaults are the
// usual library defaults; a capsule needs at least its radius and height set.
struct CapsuleControllerDesc {
    glm::dvec3 position{0.0, 0.0, 0.0};  // capsule centre
    float radius = 0.0f;
    float height = 0.0f;  // of the cylinder between the two half spheres
    glm::vec3 upDirection{0.0f, 1.0f, 0.0f};
    float slopeLimit = 0.707f;                        // cosine of the steepest walkable slope
    float contactOffset = 0.1f;                       // gap kept between the capsule and every shape
    float stepOffset = 0.5f;                          // highest step climbed without a slope
    ControllerHitCallback* reportCallback = nullptr;  // not owned; may be null

    // True when a controller can be built from it: finite values, radius and
    // height above zero, a usable up direction, contactOffset above zero,
    // slopeLimit within [0, 1] and 0 <= stepOffset <= height + 2 * radius.
    bool isValid() const;
};

}  // namespace vestrel
