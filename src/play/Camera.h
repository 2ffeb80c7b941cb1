#pragma once

#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>

namespace vestrel {

// The first-person camera: 60 degree vertical field of view (the player may
// choose another), near 0.1, far 60. The view direction for pitch and yaw (degrees) is
// (cos yaw cos pitch, sin pitch, sin yaw cos pitch).
class Camera {
public:
    glm::vec3 position{0.0f};
    float pitch = 0.0f;  // degrees, kept in [-80, 80] by the player
    float yaw = 0.0f;    // degrees, kept in [0, 360] by the player
    glm::vec3 up{0.0f, 1.0f, 0.0f};
    glm::mat4 view{1.0f};
    glm::mat4 projection{1.0f};
    glm::mat4 viewProjection{1.0f};
    int centerX = 0;  // the cursor's rest position
    int centerY = 0;
    float fieldOfView = kDefaultFieldOfView;  // degrees, vertical

    Camera(int width, int height);
    virtual ~Camera();

    // Takes the picture's size: the cursor's rest position and the
    // projection's aspect ratio follow it; view and viewProjection are redone.
    void setViewport(int width, int height);

    // Takes a vertical field of view in degrees: the projection is redone
    // for the last viewport.
    void setFieldOfView(float degrees);

    // Recomputes `view` and `viewProjection` from position, pitch and yaw.
    void update();

    // The unit view direction for the current pitch and yaw.
    glm::vec3 direction() const;

    // Adds to pitch and yaw (degrees), then holds pitch within
    // [-kPitchLimit, kPitchLimit] and brings yaw back into [0, 360].
    void turn(float pitchDelta, float yawDelta);

    static constexpr float kPitchLimit = 80.0f;
    static constexpr float kDefaultFieldOfView = 60.0f;

private:
    void updateProjection();
    float aspect_ = 1.0f;
};

// The view direction for pitch and yaw in degrees.
glm::vec3 viewDirection(float pitchDegrees, float yawDegrees);

}  // namespace vestrel
