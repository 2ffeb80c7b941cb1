#include "physics/PhysicsActor.h"

#include <btBulletCollisionCommon.h>

#include "physics/PhysicsWorld.h"

namespace vestrel {

PhysicsActor::PhysicsActor(Role role, std::unique_ptr<btCollisionShape> shape, const glm::vec3& position,
                           std::string name)
    : role_(role),
      name_(std::move(name)),
      shape_(std::move(shape)),
      object_(std::make_unique<btCollisionObject>()) {
    btTransform pose;
    pose.setIdentity();
    pose.setOrigin(btVector3(position.x, position.y, position.z));
    object_->setWorldTransform(pose);
    object_->setCollisionShape(shape_.get());
    object_->setUserPointer(this);
    switch (role_) {
        case Role::Solid:
            object_->setCollisionFlags(btCollisionObject::CF_STATIC_OBJECT);
            break;
        case Role::Trigger:
            object_->setCollisionFlags(btCollisionObject::CF_STATIC_OBJECT |
                                       btCollisionObject::CF_NO_CONTACT_RESPONSE);
            break;
        case Role::Controller:
            object_->setCollisionFlags(btCollisionObject::CF_KINEMATIC_OBJECT);
            break;
    }
}

PhysicsActor::~PhysicsActor() {
    if (world_ != nullptr) world_->forgetActor(*this);
}

glm::vec3 PhysicsActor::position() const {
    const btVector3& origin = object_->getWorldTransform().getOrigin();
    return glm::vec3(origin.x(), origin.y(), origin.z());
}

bool PhysicsActor::triangleNormal(int index, glm::vec3& normal) const {
    if (index < 0 || static_cast<std::size_t>(index) * 3 + 2 >= indices_.size()) return false;
    glm::vec3 corners[3];
    for (int i = 0; i < 3; ++i) {
        const std::size_t vertex =
            static_cast<std::size_t>(indices_[static_cast<std::size_t>(index) * 3 + i]) * 3;
        corners[i] = glm::vec3(vertices_[vertex], vertices_[vertex + 1], vertices_[vertex + 2]);
    }
    const btVector3 a(corners[1].x - corners[0].x, corners[1].y - corners[0].y, corners[1].z - corners[0].z);
    const btVector3 b(corners[2].x - corners[0].x, corners[2].y - corners[0].y, corners[2].z - corners[0].z);
    const btVector3 n = a.cross(b);
    if (n.length2() < 1e-20f) return false;
    const btVector3 unit = n.normalized();
    normal = glm::vec3(unit.x(), unit.y(), unit.z());
    return true;
}

PhysicsActor* PhysicsActor::fromObject(const btCollisionObject* object) {
    return object != nullptr ? static_cast<PhysicsActor*>(object->getUserPointer()) : nullptr;
}

}  // namespace vestrel
