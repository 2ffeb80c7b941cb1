#pragma once

#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>

namespace vestrel {

// Anything placed in the world by a model matrix. Every transform operation
// multiplies onto the right of `modelMatrix`, so it acts in the object's own
// (already rotated and scaled) axes. The factor scales the given offset or
// angle, e.g. by a per-step fraction for objects moved over several steps.
class BaseSceneObject {
public:
    glm::mat4 modelMatrix{1.0f};  // object to world, column-major

    BaseSceneObject() = default;
    explicit BaseSceneObject(const glm::mat4& model) : modelMatrix(model) {}
    virtual ~BaseSceneObject() = default;

    BaseSceneObject(const BaseSceneObject&) = default;
    BaseSceneObject& operator=(const BaseSceneObject&) = default;

    virtual void translate(const glm::vec3& offset, float factor);
    virtual void scale(const glm::vec3& factors, float factor);
    // Angles in degrees.
    virtual void rotateX(float degrees, float factor);
    virtual void rotateY(float degrees, float factor);
    virtual void rotateZ(float degrees, float factor);
};

// Degrees to radians exactly as the game has always converted them
// (single-precision pi / 180, multiplied before the factor).
inline constexpr float kDegreesToRadians = 0.017453292f;

}  // namespace vestrel
