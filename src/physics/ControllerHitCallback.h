#pragma once

#include <glm/vec3.hpp>

namespace vestrel {

class CapsuleController;
class PhysicsActor;

// One shape a controller touched during a move.
struct ControllerShapeHit {
    CapsuleController* controller = nullptr;  // the controller that moved
    const PhysicsActor* actor = nullptr;      // what it touched (the floor plane has no name)
    glm::vec3 worldPos{0.0f};                 // contact point
    glm::vec3 worldNormal{0.0f};              // contact normal, pointing at the controller
    glm::vec3 dir{0.0f};                      // unit direction of the motion that made the touch
    float length = 0.0f;                      // length of that motion
};

// Receives the touches of one controller; called from inside
// CapsuleController::move, on the caller's thread.
class ControllerHitCallback {
public:
    virtual ~ControllerHitCallback() = default;
    virtual void onShapeHit(const ControllerShapeHit& hit) = 0;
};

}  // namespace vestrel
