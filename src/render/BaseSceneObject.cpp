#include "render/BaseSceneObject.h"

#include <glm/gtc/matrix_transform.hpp>

namespace vestrel {

void BaseSceneObject::translate(const glm::vec3& offset, float factor) {
    modelMatrix = glm::translate(modelMatrix, offset * factor);
}

void BaseSceneObject::scale(const glm::vec3& factors, float factor) {
    modelMatrix = glm::scale(modelMatrix, factors * factor);
}

void BaseSceneObject::rotateX(float degrees, float factor) {
    modelMatrix = glm::rotate(modelMatrix, degrees * kDegreesToRadians * factor, glm::vec3(1.0f, 0.0f, 0.0f));
}

void BaseSceneObject::rotateY(float degrees, float factor) {
    modelMatrix = glm::rotate(modelMatrix, degrees * kDegreesToRadians * factor, glm::vec3(0.0f, 1.0f, 0.0f));
}

void BaseSceneObject::rotateZ(float degrees, float factor) {
    modelMatrix = glm::rotate(modelMatrix, degrees * kDegreesToRadians * factor, glm::vec3(0.0f, 0.0f, 1.0f));
}

}  // namespace vestrel
