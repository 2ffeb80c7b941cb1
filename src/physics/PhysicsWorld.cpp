#include "physics/PhysicsWorld.h"

#include <btBulletCollisionCommon.h>

#include <algorithm>
#include <cmath>
#include <iostream>

#include "app/Platform.h"
#include "physics/CapsuleController.h"

namespace vestrel {

namespace {

std::unique_ptr<PhysicsWorld> g_world;

constexpr float kFloorHeight = -20.0f;
constexpr float kFlatBoxSize = 0.1f;       // thickness given to a box whose bounds are flat on an axis
constexpr float kTriggerReach = 2.0f;      // how far a trigger sphere reaches beyond the largest half size
constexpr double kEnemyStartHeight = 3.0;  // monster capsule centre above its first waypoint

const char* const kPlayerControllerName = "PLAYER_CONTROLLER";
const char* const kEnemyControllerName = "ENEMY_CONTROLLER";
const char* const kMeshCookingFailed = "ERROR: PhysX: Mesh cooking failed!";
const char* const kPlayerDescInvalid = "Error creating character controller! Description is invalid!";
const char* const kEnemyDescInvalid = "Error creating enemy controller! Description is invalid!";

CapsuleControllerDesc characterDesc(const glm::dvec3& position, float radius) {
    CapsuleControllerDesc desc;
    desc.position = position;
    desc.radius = radius;
    desc.height = 3.0f;
    desc.upDirection = glm::vec3(0.0f, 1.0f, 0.0f);
    desc.slopeLimit = static_cast<float>(std::cos(3.14159265358979323846 / 4.0));
    desc.contactOffset = 0.05f;
    desc.stepOffset = 0.1f;
    return desc;
}

// Distance from point p to the segment [a, b].
float distanceToSegment(const glm::vec3& p, const glm::vec3& a, const glm::vec3& b) {
    const glm::vec3 ab = b - a;
    const float lengthSquared = ab.x * ab.x + ab.y * ab.y + ab.z * ab.z;
    float t = 0.0f;
    if (lengthSquared > 0.0f) {
        const glm::vec3 ap = p - a;
        t = std::clamp((ap.x * ab.x + ap.y * ab.y + ap.z * ab.z) / lengthSquared, 0.0f, 1.0f);
    }
    const glm::vec3 d = p - (a + ab * t);
    return std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
}

template <typename T>
void eraseValue(std::vector<T>& values, const T& value) {
    values.erase(std::remove(values.begin(), values.end(), value), values.end());
}

}  // namespace

PhysicsWorld& PhysicsWorld::instance() {
    if (!g_world) g_world.reset(new PhysicsWorld());
    return *g_world;
}

bool PhysicsWorld::exists() { return g_world != nullptr; }

void PhysicsWorld::destroy() { g_world.reset(); }

PhysicsWorld::PhysicsWorld()
    : configuration_(std::make_unique<btDefaultCollisionConfiguration>()),
      dispatcher_(std::make_unique<btCollisionDispatcher>(configuration_.get())) {
    auto broadphase = std::make_unique<btDbvtBroadphase>();
    // Nothing here reads the broadphase's pair list, so moving a capsule need
    // not look for new pairs.
    broadphase->m_deferedcollide = true;
    broadphase_ = std::move(broadphase);
    collisionWorld_ =
        std::make_unique<btCollisionWorld>(dispatcher_.get(), broadphase_.get(), configuration_.get());

    // An endless plane facing up, so that whatever falls out of the level lands.
    floor_.reset(new PhysicsActor(PhysicsActor::Role::Solid,
                                  std::make_unique<btStaticPlaneShape>(btVector3(0.0f, 1.0f, 0.0f), 0.0f),
                                  glm::vec3(0.0f, kFloorHeight, 0.0f), std::string()));
    addActor(*floor_);
}

PhysicsWorld::~PhysicsWorld() {
    // Controllers and actors still owned elsewhere outlive the world: cut them
    // loose so that their destructors do not reach back into it.
    for (CapsuleController* controller : controllers_) controller->world_ = nullptr;
    for (PhysicsActor* actor : actors_) {
        collisionWorld_->removeCollisionObject(actor->object_.get());
        actor->world_ = nullptr;
    }
    controllers_.clear();
    actors_.clear();
    triggers_.clear();
}

void PhysicsWorld::addActor(PhysicsActor& actor) {
    collisionWorld_->addCollisionObject(actor.object_.get());
    actor.world_ = this;
    actors_.push_back(&actor);
    if (actor.isTrigger()) triggers_.push_back(&actor);
}

void PhysicsWorld::forgetActor(PhysicsActor& actor) {
    collisionWorld_->removeCollisionObject(actor.object_.get());
    actor.world_ = nullptr;
    eraseValue(actors_, &actor);
    eraseValue(triggers_, &actor);
    eraseValue(touchedTriggers_, static_cast<const PhysicsActor*>(&actor));
    pendingPairs_.erase(std::remove_if(pendingPairs_.begin(), pendingPairs_.end(),
                                       [&actor](const TriggerPair& pair) {
                                           return pair.triggerActor == &actor || pair.otherActor == &actor;
                                       }),
                        pendingPairs_.end());
}

void PhysicsWorld::forgetController(CapsuleController& controller) {
    eraseValue(controllers_, &controller);
    if (playerCapsule_ == &controller) {
        playerCapsule_ = nullptr;
        playerController_ = nullptr;
        hitReport_.setOnGroundFlag(nullptr);
        touchedTriggers_.clear();
    }
    if (enemyCapsule_ == &controller) {
        enemyCapsule_ = nullptr;
        enemyController_ = nullptr;
    }
    controller.world_ = nullptr;
}

void PhysicsWorld::createActor(const PhysicsMeshData& mesh, const float* bounds, PhysicsShapeKind kind,
                               std::unique_ptr<PhysicsActor>* outActor,
                               std::unique_ptr<PhysicsActor>* outTrigger) {
    const bool solidBox = kind == PhysicsShapeKind::Box || kind == PhysicsShapeKind::BoxWithTrigger;
    const bool trigger = kind == PhysicsShapeKind::BoxWithTrigger || kind == PhysicsShapeKind::Trigger;
    if (kind == PhysicsShapeKind::TriangleMesh) {
        std::unique_ptr<PhysicsActor> actor = makeTriangleMesh(mesh);
        if (outActor != nullptr) *outActor = std::move(actor);
        return;
    }
    if (!solidBox && !trigger) return;

    bool boundsValid = bounds != nullptr;
    for (int axis = 0; boundsValid && axis < 3; ++axis) {
        boundsValid = std::isfinite(bounds[axis]) && std::isfinite(bounds[axis + 3]) &&
                      bounds[axis + 3] >= bounds[axis];
    }
    if (!boundsValid) {
        std::cout << "Physics: no actors for \"" << mesh.name << "\": its bounding box is empty or invalid"
                  << std::endl;
        return;
    }

    glm::vec3 size(0.0f);
    for (int axis = 0; axis < 3; ++axis) {
        size[axis] = bounds[axis + 3] - bounds[axis];
        if (size[axis] == 0.0f) size[axis] = kFlatBoxSize;
    }
    const glm::vec3 halfExtents = size * 0.5f;
    const glm::vec3 centre = glm::vec3(bounds[0], bounds[1], bounds[2]) + halfExtents;

    if (solidBox) {
        auto box = std::make_unique<btBoxShape>(btVector3(halfExtents.x, halfExtents.y, halfExtents.z));
        // Sharp edges: Bullet's default margin rounds them, and a rounded step
        // edge would pass for a walkable slope. The capsule carries the
        // rounding that keeps the queries robust.
        box->setMargin(0.0f);
        std::unique_ptr<PhysicsActor> actor(
            new PhysicsActor(PhysicsActor::Role::Solid, std::move(box), centre, mesh.name));
        addActor(*actor);
        if (outActor != nullptr) *outActor = std::move(actor);
    }
    if (trigger) {
        const float radius = std::max({size.x, size.y, size.z}) * 0.5f + kTriggerReach;
        std::unique_ptr<PhysicsActor> actor(new PhysicsActor(
            PhysicsActor::Role::Trigger, std::make_unique<btSphereShape>(radius), centre, mesh.name));
        actor->radius_ = radius;
        addActor(*actor);
        if (outTrigger != nullptr) *outTrigger = std::move(actor);
    }
}

std::unique_ptr<PhysicsActor> PhysicsWorld::makeTriangleMesh(const PhysicsMeshData& mesh) {
    const std::uint32_t triangleCount = mesh.indexCount / 3;
    bool valid =
        mesh.positions != nullptr && mesh.indices != nullptr && mesh.vertexCount > 0 && triangleCount > 0;
    for (std::uint32_t i = 0; valid && i < triangleCount * 3; ++i) valid = mesh.indices[i] < mesh.vertexCount;
    // Only the corners of the triangles count: a vertex no triangle uses
    // (one the loader dropped for its NaN position) never reaches a shape.
    for (std::uint32_t i = 0; valid && i < triangleCount * 3; ++i) {
        const float* corner = mesh.positions + static_cast<std::size_t>(mesh.indices[i]) * 3;
        valid = std::isfinite(corner[0]) && std::isfinite(corner[1]) && std::isfinite(corner[2]);
    }
    if (!valid) {
        std::cout << kMeshCookingFailed << std::endl;
        fatalExit();
    }

    std::vector<float> vertices(mesh.positions, mesh.positions + mesh.vertexCount * 3);
    std::vector<int> indices(mesh.indices, mesh.indices + triangleCount * 3);
    btIndexedMesh part;
    part.m_numTriangles = static_cast<int>(triangleCount);
    part.m_triangleIndexBase = reinterpret_cast<const unsigned char*>(indices.data());
    part.m_triangleIndexStride = 3 * sizeof(int);
    part.m_numVertices = static_cast<int>(mesh.vertexCount);
    part.m_vertexBase = reinterpret_cast<const unsigned char*>(vertices.data());
    part.m_vertexStride = 3 * sizeof(float);
    part.m_indexType = PHY_INTEGER;
    part.m_vertexType = PHY_FLOAT;
    auto meshInterface = std::make_unique<btTriangleIndexVertexArray>();
    meshInterface->addIndexedMesh(part, PHY_INTEGER);
    auto shape = std::make_unique<btBvhTriangleMeshShape>(meshInterface.get(), true, true);

    // The vertices are in world coordinates already: the actor sits at the origin.
    std::unique_ptr<PhysicsActor> actor(
        new PhysicsActor(PhysicsActor::Role::Solid, std::move(shape), glm::vec3(0.0f), mesh.name));
    // Moving the vectors keeps their buffers, which Bullet points into.
    actor->vertices_ = std::move(vertices);
    actor->indices_ = std::move(indices);
    actor->meshInterface_ = std::move(meshInterface);
    addActor(*actor);
    return actor;
}

std::unique_ptr<ControllerRecord> PhysicsWorld::createController(const CapsuleControllerDesc& desc,
                                                                 const std::string& name,
                                                                 const char* invalidMessage) {
    if (!desc.isValid()) {
        std::cout << invalidMessage << std::endl;
        fatalExit();
    }
    std::unique_ptr<PhysicsActor> actor(new PhysicsActor(
        PhysicsActor::Role::Controller, std::make_unique<btCapsuleShape>(desc.radius, desc.height),
        glm::vec3(desc.position), name));
    actor->radius_ = desc.radius;
    addActor(*actor);
    std::unique_ptr<CapsuleController> controller(new CapsuleController(*this, desc, std::move(actor)));
    controllers_.push_back(controller.get());
    auto record = std::make_unique<ControllerRecord>();
    record->controller = std::move(controller);
    return record;
}

std::unique_ptr<ControllerRecord> PhysicsWorld::createPlayerController(bool* onGround) {
    CapsuleControllerDesc desc = characterDesc(playerStart, 1.0f);
    desc.reportCallback = &hitReport_;
    std::unique_ptr<ControllerRecord> record =
        createController(desc, kPlayerControllerName, kPlayerDescInvalid);
    hitReport_.setOnGroundFlag(onGround);
    playerController_ = record.get();
    playerCapsule_ = record->controller.get();
    // Overlaps found so far belonged to the previous player's capsule.
    touchedTriggers_.clear();
    return record;
}

std::unique_ptr<ControllerRecord> PhysicsWorld::createEnemyController(const glm::vec3& firstWaypoint) {
    const glm::dvec3 start = glm::dvec3(firstWaypoint) + glm::dvec3(0.0, kEnemyStartHeight, 0.0);
    std::unique_ptr<ControllerRecord> record =
        createController(characterDesc(start, 1.3f), kEnemyControllerName, kEnemyDescInvalid);
    enemyController_ = record.get();
    enemyCapsule_ = record->controller.get();
    return record;
}

void PhysicsWorld::setSimulationEventCallback(std::unique_ptr<SimulationEventCallback> callback) {
    simulationCallback_ = std::move(callback);
}

void PhysicsWorld::simulate(float /*dt: the world holds no bodies that integrate over time*/) {
    simulated_ = true;
    std::vector<const PhysicsActor*> touching;
    if (playerCapsule_ != nullptr) {
        const PhysicsActor* capsule = playerCapsule_->getActor();
        const glm::vec3 centre(playerCapsule_->getPosition());
        const glm::vec3 halfAxis = playerCapsule_->up_ * (playerCapsule_->getHeight() * 0.5f);
        for (const PhysicsActor* trigger : triggers_) {
            const float reach = trigger->radius() + capsule->radius();
            if (distanceToSegment(trigger->position(), centre - halfAxis, centre + halfAxis) < reach) {
                touching.push_back(trigger);
            }
        }
        // Lost before found: a receiver that keeps only the latest event then
        // ends the step on the trigger the player has just entered.
        for (const PhysicsActor* trigger : touchedTriggers_) {
            if (std::find(touching.begin(), touching.end(), trigger) == touching.end()) {
                pendingPairs_.push_back({trigger, capsule, TriggerStatus::TouchLost});
            }
        }
        for (const PhysicsActor* trigger : touching) {
            if (std::find(touchedTriggers_.begin(), touchedTriggers_.end(), trigger) ==
                touchedTriggers_.end()) {
                pendingPairs_.push_back({trigger, capsule, TriggerStatus::TouchFound});
            }
        }
    }
    touchedTriggers_ = std::move(touching);
}

namespace {

// Stops at the first solid shape that is not ignored.
class SolidBlocker : public btCollisionWorld::RayResultCallback {
public:
    explicit SolidBlocker(const std::string& ignoredName) : ignoredName_(ignoredName) {}

    bool needsCollision(btBroadphaseProxy* proxy) const override {
        const PhysicsActor* actor =
            PhysicsActor::fromObject(static_cast<const btCollisionObject*>(proxy->m_clientObject));
        return actor != nullptr && actor->role() == PhysicsActor::Role::Solid &&
               (ignoredName_.empty() || actor->name() != ignoredName_);
    }

    btScalar addSingleResult(btCollisionWorld::LocalRayResult& result, bool /*normalInWorldSpace*/) override {
        m_collisionObject = result.m_collisionObject;
        m_closestHitFraction = result.m_hitFraction;
        // Any hit decides; a fraction of 0 ends the search.
        return 0.0f;
    }

private:
    const std::string& ignoredName_;
};

}  // namespace

bool PhysicsWorld::segmentClear(const glm::vec3& from, const glm::vec3& to,
                                const std::string& ignoredName) const {
    const btVector3 start(from.x, from.y, from.z);
    const btVector3 end(to.x, to.y, to.z);
    if ((end - start).length2() < 1e-12f) return true;
    SolidBlocker blocker(ignoredName);
    collisionWorld_->rayTest(start, end, blocker);
    return !blocker.hasHit();
}

bool PhysicsWorld::fetchResults(bool /*block: the step finishes inside simulate*/) {
    if (!simulated_) return false;
    simulated_ = false;
    // One pair per call, taken off the queue first: a receiver that removes an
    // actor also removes that actor's later pairs.
    while (!pendingPairs_.empty()) {
        const TriggerPair pair = pendingPairs_.front();
        pendingPairs_.erase(pendingPairs_.begin());
        if (simulationCallback_) simulationCallback_->onTrigger(&pair, 1);
    }
    return true;
}

}  // namespace vestrel
