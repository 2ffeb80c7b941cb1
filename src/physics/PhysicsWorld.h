#pragma once

#include <cstdint>
#include <glm/vec3.hpp>
#include <memory>
#include <string>
#include <vector>

#include "physics/CapsuleControllerDesc.h"
#include "physics/ControllerHitReport.h"
#include "physics/ControllerRecord.h"
#include "physics/PhysicsActor.h"
#include "physics/PhysicsShapeKind.h"
#include "physics/SimulationEventCallback.h"

class btBroadphaseInterface;
class btCollisionConfiguration;
class btCollisionDispatcher;
class btCollisionWorld;

namespace vestrel {

// The geometry createActor reads from a level object: world-space vertex
// positions (3 floats each), 32-bit triangle indices and the object's name.
// Only triangle meshes read the arrays; the world keeps its own copies.
struct PhysicsMeshData {
    std::string name;
    const float* positions = nullptr;
    std::uint32_t vertexCount = 0;
    const std::uint32_t* indices = nullptr;
    std::uint32_t indexCount = 0;
};

// The one physics world of the process: static level actors, trigger spheres,
// an endless floor plane 20 units below the origin and the capsules of the
// player's and the monster's controllers.
//
// Per fixed step the play state calls simulate(dt) and fetchResults(true)
// (trigger events reach the simulation event callback inside fetchResults),
// then moves the player's controller by gravity * dt, after which the player
// and the monster make their own moves.
class PhysicsWorld {
public:
    // The one world, created with its floor on the first call.
    static PhysicsWorld& instance();
    static bool exists();
    // Ends the world; the next instance() builds a new one. Actors and
    // controllers still held elsewhere become inert rather than dangling.
    static void destroy();

    ~PhysicsWorld();
    PhysicsWorld(const PhysicsWorld&) = delete;
    PhysicsWorld& operator=(const PhysicsWorld&) = delete;

    // Builds the static actors of one level object and adds them to the world.
    // bounds: min x, y, z, max x, y, z in world coordinates.
    //   TriangleMesh: a solid triangle mesh of mesh's triangles -> outActor.
    //   Box: a solid box fitted to bounds (a size of exactly 0 becomes 0.1)
    //        -> outActor.
    //   BoxWithTrigger: that box -> outActor, plus a trigger sphere -> outTrigger.
    //   Trigger: only the sphere -> outTrigger.
    // The sphere is centred on the box, radius = largest size / 2 + 2.0. Other
    // kinds build nothing; an out-pointer a kind does not build is left alone.
    // Broken triangle data is fatal ("ERROR: PhysX: Mesh cooking failed!"); empty
    // or non-finite bounds are reported and build nothing.
    void createActor(const PhysicsMeshData& mesh, const float* bounds, PhysicsShapeKind kind,
                     std::unique_ptr<PhysicsActor>* outActor, std::unique_ptr<PhysicsActor>* outTrigger);

    // The player's capsule (radius 1, height 3, at playerStart) named
    // "PLAYER_CONTROLLER", reporting its touches to hitReport(), which sets
    // *onGround. The world remembers the record as playerController().
    std::unique_ptr<ControllerRecord> createPlayerController(bool* onGround);
    // The monster's capsule (radius 1.3, height 3) 3.0 above its first waypoint,
    // named "ENEMY_CONTROLLER", without a hit report. Remembered as
    // enemyController().
    std::unique_ptr<ControllerRecord> createEnemyController(const glm::vec3& firstWaypoint);
    // Any capsule; invalidMessage is printed before the fatal exit when desc is
    // not valid.
    std::unique_ptr<ControllerRecord> createController(const CapsuleControllerDesc& desc,
                                                       const std::string& name, const char* invalidMessage);

    // Receives the trigger events of the player's capsule; owned by the world.
    void setSimulationEventCallback(std::unique_ptr<SimulationEventCallback> callback);
    SimulationEventCallback* simulationEventCallback() const { return simulationCallback_.get(); }

    // One step of the world: finds which trigger spheres the player's capsule
    // started or stopped overlapping since the previous step.
    void simulate(float dt);
    // Delivers the events found by the last simulate to the callback. Returns
    // false when there was no simulate to finish.
    bool fetchResults(bool block);

    // The latest controllers; null before creation and after their records die.
    ControllerRecord* playerController() const { return playerController_; }
    ControllerRecord* enemyController() const { return enemyController_; }
    ControllerHitReport& hitReport() { return hitReport_; }

    const glm::vec3 gravity{0.0f, -9.8f, 0.0f};
    const glm::dvec3 playerStart{0.0, 2.0, 0.0};

    // True when no solid actor lies on the straight segment from `from` to
    // `to`. Trigger spheres and character capsules never block, and neither
    // do the actors named `ignoredName` (a target's own box, say); the floor
    // plane and every other solid shape do.
    bool segmentClear(const glm::vec3& from, const glm::vec3& to, const std::string& ignoredName) const;

    // Number of actors in the world, the floor and the capsules included.
    std::size_t actorCount() const { return actors_.size(); }

    // For the physics code itself.
    btCollisionWorld& collisionWorld() { return *collisionWorld_; }

private:
    friend class PhysicsActor;
    friend class CapsuleController;
    PhysicsWorld();

    void addActor(PhysicsActor& actor);
    void forgetActor(PhysicsActor& actor);
    void forgetController(CapsuleController& controller);
    std::unique_ptr<PhysicsActor> makeTriangleMesh(const PhysicsMeshData& mesh);

    std::unique_ptr<btCollisionConfiguration> configuration_;
    std::unique_ptr<btCollisionDispatcher> dispatcher_;
    std::unique_ptr<btBroadphaseInterface> broadphase_;
    std::unique_ptr<btCollisionWorld> collisionWorld_;

    std::unique_ptr<SimulationEventCallback> simulationCallback_;
    ControllerHitReport hitReport_;
    ControllerRecord* playerController_ = nullptr;
    ControllerRecord* enemyController_ = nullptr;
    // The controllers of those records, so that a dying controller can clear
    // its slot without reading a record that is itself being destroyed.
    const CapsuleController* playerCapsule_ = nullptr;
    const CapsuleController* enemyCapsule_ = nullptr;

    std::unique_ptr<PhysicsActor> floor_;
    std::vector<PhysicsActor*> actors_;                 // every actor in the world
    std::vector<PhysicsActor*> triggers_;               // the trigger spheres among them
    std::vector<CapsuleController*> controllers_;       // every live controller
    std::vector<const PhysicsActor*> touchedTriggers_;  // overlapping the player's capsule
    std::vector<TriggerPair> pendingPairs_;             // found by simulate, not yet delivered
    bool simulated_ = false;
};

}  // namespace vestrel
