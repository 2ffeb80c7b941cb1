#pragma once

#include <cstdint>
#include <glm/vec3.hpp>
#include <memory>

#include "physics/CapsuleControllerDesc.h"

class btCapsuleShape;
class btCollisionObject;

namespace vestrel {

class PhysicsActor;
class PhysicsWorld;
struct ControllerFilters;

// Collision flags returned by CapsuleController::move.
enum ControllerCollisionFlag : std::uint32_t {
    kCollisionSides = 1,  // touched something while moving sideways
    kCollisionUp = 2,     // touched something above (a ceiling)
    kCollisionDown = 4,   // touched something below (the ground)
};

// A kinematic capsule that walks through the static world.
//
// A move collides and slides: the capsule sweeps along the displacement, stops
// contactOffset short of what it meets and slides along it. Steps up to
// stepOffset are climbed, slopes steeper than the slope limit are not, and
// falls never pass through floors or thin walls because every motion is a
// continuous sweep. Every touched shape is reported to the hit callback.
//
// Controllers are made by PhysicsWorld and live in a ControllerRecord. After
// the world is destroyed a controller is inert: moves do nothing and the last
// position stays readable.
class CapsuleController {
public:
    ~CapsuleController();
    CapsuleController(const CapsuleController&) = delete;
    CapsuleController& operator=(const CapsuleController&) = delete;

    // Moves by displacement with collide-and-slide and returns the collision
    // flags. Displacements shorter than minDist, or not finite, are ignored.
    // elapsedTime is the step length; nothing in a static world depends on it.
    std::uint32_t move(const glm::vec3& displacement, float minDist, float elapsedTime,
                       const ControllerFilters& filters);

    // Capsule centre.
    glm::dvec3 getPosition() const;
    // Places the centre without collision (spawning, tests). Non-finite
    // positions are refused.
    bool setPosition(const glm::dvec3& position);

    // The capsule's own actor in the world; named after its user.
    PhysicsActor* getActor() { return actor_.get(); }
    const PhysicsActor* getActor() const { return actor_.get(); }

    float getRadius() const { return desc_.radius; }
    float getHeight() const { return desc_.height; }
    float getContactOffset() const { return desc_.contactOffset; }
    float getStepOffset() const { return desc_.stepOffset; }
    float getSlopeLimit() const { return desc_.slopeLimit; }
    const glm::vec3& getUpDirection() const { return desc_.upDirection; }
    bool inWorld() const { return world_ != nullptr; }

private:
    friend class PhysicsWorld;
    class Mover;
    CapsuleController(PhysicsWorld& world, const CapsuleControllerDesc& desc,
                      std::unique_ptr<PhysicsActor> actor);
    void placeActor();

    PhysicsWorld* world_;
    CapsuleControllerDesc desc_;
    glm::vec3 up_;
    glm::dvec3 position_;
    std::unique_ptr<PhysicsActor> actor_;
    // The capsule grown by contactOffset: what the moves sweep, so the real
    // capsule always stays contactOffset away from what it touches.
    std::unique_ptr<btCapsuleShape> sweepShape_;
    std::unique_ptr<btCollisionObject> probe_;  // sweepShape_ for contact queries
};

}  // namespace vestrel
