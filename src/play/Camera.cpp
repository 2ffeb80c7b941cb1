#include "play/Camera.h"

#include <cmath>

#include <glm/gtc/matrix_transform.hpp>

namespace vestrel {

namespace {
constexpr float kFieldOfViewRadians = 1.047198f;  // 60 degrees vertical
constexpr float kNearPlane = 0.1f;
constexpr float kFarPlane = 60.0f;
constexpr float kDegrees = 0.01745329f;
}  // namespace

glm::vec3 viewDirection(float pitchDegrees, float yawDegrees) {
    const float pitch = pitchDegrees * kDegrees;
    const float yaw = yawDegrees * kDegrees;
    return glm::vec3(std::cos(yaw) * std::cos(pitch), std::sin(pitch), std::sin(yaw) * std::cos(pitch));
}

Camera::Camera(int width, int height) { setViewport(width, height); }

void Camera::setViewport(int width, int height) {
    centerX = width / 2;
    centerY = height / 2;
    // A zero height (minimised window) would make the aspect ratio infinite.
    aspect_ = height > 0 ? static_cast<float>(width) / static_cast<float>(height) : 1.0f;
    updateProjection();
}

void Camera::setFieldOfView(float degrees) {
    fieldOfView = degrees;
    updateProjection();
}

void Camera::updateProjection() {
    // The default keeps the very constant the picture has always been made with.
    const float radians = fieldOfView == kDefaultFieldOfView ? kFieldOfViewRadians : fieldOfView * kDegrees;
    projection = glm::perspective(radians, aspect_, kNearPlane, kFarPlane);
    update();
}

Camera::~Camera() = default;

glm::vec3 Camera::direction() const { return viewDirection(pitch, yaw); }

void Camera::turn(float pitchDelta, float yawDelta) {
    pitch += pitchDelta;
    yaw += yawDelta;
    if (pitch <= -kPitchLimit) pitch = -kPitchLimit;
    if (pitch >= kPitchLimit) pitch = kPitchLimit;
    // A whole number of turns is taken off, not just one: a large jump of the
    // cursor (a window regaining focus) must not leave yaw outside [0, 360].
    // For the usual small steps this is the same as adding or taking 360 once.
    if (yaw < 0.0f || yaw > 360.0f) {
        yaw -= 360.0f * std::floor(yaw / 360.0f);
    }
}

void Camera::update() {
    view = glm::lookAt(position, position + direction(), up);
    viewProjection = projection * view;
}

}  // namespace vestrel
