#include "physics/CapsuleController.h"

#include <btBulletCollisionCommon.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "physics/ControllerHitCallback.h"
#include "physics/ControllerRecord.h"
#include "physics/PhysicsActor.h"
#include "physics/PhysicsWorld.h"

namespace vestrel {

namespace {

// Distance a sweep stops short of what it hits, so that the next sweep does
// not start in contact (Bullet's casts are unreliable from a touching start).
constexpr float kBackOff = 0.002f;
// Collide-and-slide iterations of one pass; four planes pin a capsule anyway.
constexpr int kMaxSlides = 4;
// Allowance on the step height: the up pass rises by stepOffset plus this, so
// a step of exactly stepOffset is cleared with room to spare.
constexpr float kStepTolerance = 0.02f;
// Hits whose normal is this close to perpendicular to the motion are grazes,
// not obstacles.
constexpr float kGraze = 1e-3f;
// A contact counts as lying on a face when the face normal is within about
// 5.7 degrees of the contact normal; otherwise it is an edge or a corner.
constexpr float kFaceCos = 0.995f;
// Overlaps shallower than this are left alone; deeper ones are pushed out.
constexpr float kPenetrationSlop = 0.001f;
constexpr int kMaxRecoveries = 4;
// Smallest remaining motion worth another sweep inside a pass.
constexpr float kMinSlide = 1e-4f;

btVector3 toBt(const glm::vec3& v) { return btVector3(v.x, v.y, v.z); }
btVector3 toBt(const glm::dvec3& v) {
    return btVector3(static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z));
}
glm::vec3 toGlm(const btVector3& v) { return glm::vec3(v.x(), v.y(), v.z()); }

// Whether a move with these query flags collides with object.
bool collidesWith(const btCollisionObject* object, const btCollisionObject* self, std::uint32_t queryFlags) {
    if (object == self) return false;
    if ((object->getCollisionFlags() & btCollisionObject::CF_NO_CONTACT_RESPONSE) != 0) return false;
    const PhysicsActor* actor = PhysicsActor::fromObject(object);
    if (actor == nullptr) return false;
    if (actor->role() == PhysicsActor::Role::Controller)
        return (queryFlags & ControllerFilters::kDynamic) != 0;
    return (queryFlags & ControllerFilters::kStatic) != 0;
}

// Closest hit of a sweep that ignores surfaces the motion does not run into.
class SweepCallback : public btCollisionWorld::ClosestConvexResultCallback {
public:
    SweepCallback(const btVector3& from, const btVector3& to, const btVector3& dir,
                  const btCollisionObject* self, std::uint32_t queryFlags)
        : ClosestConvexResultCallback(from, to), dir_(dir), self_(self), queryFlags_(queryFlags) {}

    bool needsCollision(btBroadphaseProxy* proxy) const override {
        return collidesWith(static_cast<const btCollisionObject*>(proxy->m_clientObject), self_, queryFlags_);
    }

    btScalar addSingleResult(btCollisionWorld::LocalConvexResult& result, bool normalInWorldSpace) override {
        btVector3 normal = normalInWorldSpace ? result.m_hitNormalLocal
                                              : result.m_hitCollisionObject->getWorldTransform().getBasis() *
                                                    result.m_hitNormalLocal;
        if (normal.length2() < 1e-12f) return m_closestHitFraction;
        normal.normalize();
        if (normal.dot(dir_) > -kGraze) return m_closestHitFraction;
        m_closestHitFraction = result.m_hitFraction;
        m_hitCollisionObject = result.m_hitCollisionObject;
        m_hitNormalWorld = normal;
        m_hitPointWorld = result.m_hitPointLocal;
        triangleIndex = result.m_localShapeInfo != nullptr ? result.m_localShapeInfo->m_triangleIndex : -1;
        return result.m_hitFraction;
    }

    int triangleIndex = -1;  // of the closest hit, on a triangle mesh

private:
    btVector3 dir_;
    const btCollisionObject* self_;
    std::uint32_t queryFlags_;
};

// The deepest overlap of the probe capsule with the world.
class PenetrationCallback : public btCollisionWorld::ContactResultCallback {
public:
    PenetrationCallback(const btCollisionObject* probe, const btCollisionObject* self,
                        std::uint32_t queryFlags)
        : probe_(probe), self_(self), queryFlags_(queryFlags) {}

    bool needsCollision(btBroadphaseProxy* proxy) const override {
        return collidesWith(static_cast<const btCollisionObject*>(proxy->m_clientObject), self_, queryFlags_);
    }

    btScalar addSingleResult(btManifoldPoint& point, const btCollisionObjectWrapper* object0, int, int,
                             const btCollisionObjectWrapper*, int, int) override {
        const float depth = -point.getDistance();
        if (depth > depth_) {
            depth_ = depth;
            // The normal points from the second object towards the first.
            outward_ =
                object0->getCollisionObject() == probe_ ? point.m_normalWorldOnB : -point.m_normalWorldOnB;
        }
        return 0.0f;
    }

    float depth() const { return depth_; }
    const btVector3& outward() const { return outward_; }

private:
    const btCollisionObject* probe_;
    const btCollisionObject* self_;
    std::uint32_t queryFlags_;
    float depth_ = 0.0f;
    btVector3 outward_{0.0f, 0.0f, 0.0f};
};

}  // namespace

// One move of one controller: the passes of collide-and-slide over Bullet's
// sweeps, with the touches collected for the hit report.
class CapsuleController::Mover {
public:
    struct Hit {
        const btCollisionObject* object;
        btVector3 point;
        btVector3 normal;
        btVector3 dir;
        float length;
    };

    struct Result {
        btVector3 position{0, 0, 0};
        std::uint32_t flags = 0;
        std::vector<Hit> hits;
        bool endedOnSteepGround = false;
    };

    Mover(CapsuleController& controller, std::uint32_t queryFlags, float minDist)
        : controller_(controller),
          world_(controller.world_->collisionWorld()),
          self_(&controller.actor_->collisionObject()),
          queryFlags_(queryFlags),
          minSlide_(std::max(minDist, kMinSlide)),
          up_(toBt(controller.up_)),
          rotation_(shortestArcQuat(btVector3(0.0f, 1.0f, 0.0f), up_)),
          sweepRadius_(controller.desc_.radius + controller.desc_.contactOffset) {}

    // Pushes the capsule out of anything it overlaps: after a box was rebuilt
    // over it, or when sweep tolerances have let it sink in a little.
    btVector3 recover(btVector3 position) {
        btCollisionObject& probe = *controller_.probe_;
        for (int i = 0; i < kMaxRecoveries; ++i) {
            probe.setWorldTransform(transformAt(position));
            PenetrationCallback callback(&probe, self_, queryFlags_);
            world_.contactTest(&probe, callback);
            if (callback.depth() <= kPenetrationSlop || callback.outward().length2() < 1e-12f) break;
            position += callback.outward().normalized() * (callback.depth() + kBackOff);
        }
        return position;
    }

    // Up pass (the step rise plus any upward motion), side pass (collide and
    // slide), down pass (back down by the step rise plus any downward motion).
    Result run(const btVector3& start, const btVector3& displacement, float climb) {
        result_ = Result();
        btVector3 p = start;
        const float vertical = displacement.dot(up_);
        const btVector3 side = displacement - up_ * vertical;
        feet_ = start.dot(up_) - controller_.desc_.height * 0.5f - sweepRadius_;

        float risen = 0.0f;
        const float upDistance = std::max(vertical, 0.0f) + climb;
        if (upDistance > 0.0f) {
            const btVector3 before = p;
            if (sweep(p, up_ * upDistance).hit) result_.flags |= kCollisionUp;
            risen = (p - before).dot(up_);
        }
        if (side.length2() > 0.0f) slide(p, side);
        const float downDistance = std::max(-vertical, 0.0f) + std::min(climb, risen);
        if (downDistance > 0.0f) descend(p, downDistance);
        result_.position = p;
        return std::move(result_);
    }

private:
    struct Sweep {
        bool hit = false;
        btVector3 normal{0.0f, 0.0f, 0.0f};
        btVector3 point{0.0f, 0.0f, 0.0f};
        btVector3 remaining{0.0f, 0.0f, 0.0f};  // the part of the motion not made
        const btCollisionObject* object = nullptr;
        int triangleIndex = -1;
    };

    btTransform transformAt(const btVector3& position) const { return btTransform(rotation_, position); }

    // Moves p along delta until the grown capsule meets something.
    Sweep sweep(btVector3& p, const btVector3& delta) {
        Sweep sweep;
        const float length = delta.length();
        if (length < 1e-6f) return sweep;
        const btVector3 dir = delta / length;
        const btVector3 to = p + delta;
        SweepCallback callback(p, to, dir, self_, queryFlags_);
        world_.convexSweepTest(controller_.sweepShape_.get(), transformAt(p), transformAt(to), callback);
        if (!callback.hasHit()) {
            p = to;
            return sweep;
        }
        const float travel = std::max(0.0f, callback.m_closestHitFraction * length - kBackOff);
        p += dir * travel;
        sweep.hit = true;
        sweep.normal = callback.m_hitNormalWorld;
        sweep.point = callback.m_hitPointWorld;
        sweep.object = callback.m_hitCollisionObject;
        sweep.triangleIndex = callback.triangleIndex;
        sweep.remaining = dir * (length - travel);
        result_.hits.push_back({callback.m_hitCollisionObject, sweep.point, sweep.normal, dir, length});
        return sweep;
    }

    bool walkable(const btVector3& normal) const { return normal.dot(up_) >= controller_.desc_.slopeLimit; }

    // Whether the contact lies inside a face of what was hit (rather than on
    // an edge or a corner) whose normal is walkable.
    bool onWalkableFace(const Sweep& hit) const {
        const btCollisionShape* shape = hit.object->getCollisionShape();
        btVector3 face = hit.normal;  // smooth shapes: the contact normal is the surface normal
        switch (shape->getShapeType()) {
            case TRIANGLE_MESH_SHAPE_PROXYTYPE: {
                glm::vec3 n;
                const PhysicsActor* actor = PhysicsActor::fromObject(hit.object);
                if (actor == nullptr || !actor->triangleNormal(hit.triangleIndex, n)) return false;
                face = hit.object->getWorldTransform().getBasis() * toBt(n);
                if (face.dot(hit.normal) < 0.0f) face = -face;  // triangles collide on both sides
                break;
            }
            case BOX_SHAPE_PROXYTYPE: {
                // Only a contact normal along one of the box's axes lies on a face.
                const btVector3 local = hit.object->getWorldTransform().getBasis().transpose() * hit.normal;
                const int axis = local.absolute().maxAxis();
                btVector3 axisNormal(0.0f, 0.0f, 0.0f);
                axisNormal[axis] = local[axis] > 0.0f ? 1.0f : -1.0f;
                face = hit.object->getWorldTransform().getBasis() * axisNormal;
                break;
            }
            case STATIC_PLANE_PROXYTYPE:
                face = hit.object->getWorldTransform().getBasis() *
                       static_cast<const btStaticPlaneShape*>(shape)->getPlaneNormal();
                break;
            default:
                break;
        }
        return face.dot(hit.normal) >= kFaceCos && walkable(face);
    }

    // Whether a contact can be stood on or slid up: walkable, and either
    // within the step height or on a walkable face (a ramp). Edges and corners
    // above the step height count as walls, however flat they feel to the
    // rounded capsule.
    bool climbable(const Sweep& hit) const {
        if (!walkable(hit.normal)) return false;
        if (hit.point.dot(up_) - feet_ <= controller_.desc_.stepOffset + kStepTolerance) return true;
        return onWalkableFace(hit);
    }

    void slide(btVector3& p, const btVector3& side) {
        const btVector3 intended = side.normalized();
        btVector3 remaining = side;
        std::vector<btVector3> planes;
        for (int i = 0; i < kMaxSlides && remaining.length() >= minSlide_; ++i) {
            const Sweep hit = sweep(p, remaining);
            if (!hit.hit) return;
            result_.flags |= kCollisionSides;
            btVector3 plane = hit.normal;
            if (!climbable(hit)) {
                // A wall: slide sideways only, never up along it.
                const btVector3 horizontal = hit.normal - up_ * hit.normal.dot(up_);
                if (horizontal.length2() > 1e-6f) plane = horizontal.normalized();
            }
            btVector3 next = hit.remaining - plane * hit.remaining.dot(plane);
            for (const btVector3& previous : planes) {
                if (next.dot(previous) >= -1e-6f) continue;
                // Into an earlier plane as well: follow the crease of the two.
                btVector3 crease = previous.cross(plane);
                if (crease.length2() < 1e-8f) return;
                crease.normalize();
                next = crease * next.dot(crease);
            }
            for (const btVector3& previous : planes) {
                if (next.dot(previous) < -1e-4f) return;  // wedged into a corner
            }
            if (next.dot(intended) <= 0.0f) return;  // never slide back against the intent
            planes.push_back(plane);
            remaining = next;
        }
    }

    void descend(btVector3& p, float distance) {
        btVector3 remaining = up_ * -distance;
        for (int i = 0; i < kMaxSlides && remaining.length() >= kMinSlide; ++i) {
            const Sweep hit = sweep(p, remaining);
            if (!hit.hit) return;
            result_.flags |= kCollisionDown;
            // Ground to stand on: walkable, and no edge above the step height
            // (the rounded bottom would otherwise perch on high edges).
            if (climbable(hit)) {
                result_.endedOnSteepGround = false;
                return;
            }
            // Too steep to stand on: slide down along it.
            result_.endedOnSteepGround = true;
            remaining = hit.remaining - hit.normal * hit.remaining.dot(hit.normal);
            if (remaining.dot(up_) >= -1e-6f) return;
        }
    }

    CapsuleController& controller_;
    btCollisionWorld& world_;
    const btCollisionObject* self_;
    std::uint32_t queryFlags_;
    float minSlide_;
    btVector3 up_;
    btQuaternion rotation_;
    float sweepRadius_;
    float feet_ = 0.0f;  // bottom of the grown capsule at the start of the move
    Result result_;
};

CapsuleController::CapsuleController(PhysicsWorld& world, const CapsuleControllerDesc& desc,
                                     std::unique_ptr<PhysicsActor> actor)
    : world_(&world),
      desc_(desc),
      up_(desc.upDirection /
          std::sqrt(desc.upDirection.x * desc.upDirection.x + desc.upDirection.y * desc.upDirection.y +
                    desc.upDirection.z * desc.upDirection.z)),
      position_(desc.position),
      actor_(std::move(actor)),
      sweepShape_(std::make_unique<btCapsuleShape>(desc.radius + desc.contactOffset, desc.height)),
      probe_(std::make_unique<btCollisionObject>()) {
    probe_->setCollisionShape(sweepShape_.get());
    placeActor();
}

CapsuleController::~CapsuleController() {
    if (world_ != nullptr) world_->forgetController(*this);
    // actor_ goes next and takes the capsule out of the world.
}

glm::dvec3 CapsuleController::getPosition() const { return position_; }

bool CapsuleController::setPosition(const glm::dvec3& position) {
    if (!std::isfinite(position.x) || !std::isfinite(position.y) || !std::isfinite(position.z)) return false;
    position_ = position;
    placeActor();
    return true;
}

void CapsuleController::placeActor() {
    btCollisionObject& object = actor_->collisionObject();
    const btQuaternion rotation = shortestArcQuat(btVector3(0.0f, 1.0f, 0.0f), toBt(up_));
    object.setWorldTransform(btTransform(rotation, toBt(position_)));
    if (world_ != nullptr) world_->collisionWorld().updateSingleAabb(&object);
}

std::uint32_t CapsuleController::move(const glm::vec3& displacement, float minDist, float /*elapsedTime*/,
                                      const ControllerFilters& filters) {
    if (world_ == nullptr) return 0;
    if (!std::isfinite(displacement.x) || !std::isfinite(displacement.y) || !std::isfinite(displacement.z)) {
        return 0;
    }
    const btVector3 delta = toBt(displacement);
    if (delta.length() < minDist) return 0;

    Mover mover(*this, filters.queryFlags, minDist);
    const btVector3 start = mover.recover(toBt(position_));
    const float along = delta.dot(toBt(up_));
    const bool sideways = (delta - toBt(up_) * along).length2() > 1e-12f;
    const float climb = sideways && desc_.stepOffset > 0.0f ? desc_.stepOffset + kStepTolerance : 0.0f;

    Mover::Result result = mover.run(start, delta, climb);
    if (climb > 0.0f && result.endedOnSteepGround && (result.position - start).dot(toBt(up_)) > 1e-4f) {
        // The step rise carried the capsule onto ground too steep to stand on:
        // that is climbing a slope, so make the move again without the rise.
        result = mover.run(start, delta, 0.0f);
    }

    position_ = glm::dvec3(toGlm(result.position));
    placeActor();

    if (desc_.reportCallback != nullptr) {
        for (const Mover::Hit& hit : result.hits) {
            ControllerShapeHit report;
            report.controller = this;
            report.actor = PhysicsActor::fromObject(hit.object);
            report.worldPos = toGlm(hit.point);
            report.worldNormal = toGlm(hit.normal);
            report.dir = toGlm(hit.dir);
            report.length = hit.length;
            desc_.reportCallback->onShapeHit(report);
        }
    }
    return result.flags;
}

}  // namespace vestrel
