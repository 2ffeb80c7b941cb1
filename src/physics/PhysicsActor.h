#pragma once

#include <glm/vec3.hpp>
#include <memory>
#include <string>
#include <vector>

class btCollisionObject;
class btCollisionShape;
class btTriangleIndexVertexArray;

namespace vestrel {

class PhysicsWorld;

// One object of the physics world: a solid static shape of the level, a
// trigger sphere, the floor plane or the capsule of a character controller.
//
// Whoever holds the unique_ptr owns the actor; destroying it takes the actor
// out of its world (no trigger event is reported for it afterwards). When the
// world is destroyed first, its actors stay valid but inert: they are no longer
// part of any world and their destructor has nothing left to undo.
class PhysicsActor {
public:
    enum class Role { Solid, Trigger, Controller };

    ~PhysicsActor();
    PhysicsActor(const PhysicsActor&) = delete;
    PhysicsActor& operator=(const PhysicsActor&) = delete;

    // Every actor of a level object carries that object's name; the hit report
    // and the interaction logic tell actors apart by it. The floor has none.
    const std::string& name() const { return name_; }
    void setName(std::string name) { name_ = std::move(name); }

    Role role() const { return role_; }
    bool isTrigger() const { return role_ == Role::Trigger; }
    bool inWorld() const { return world_ != nullptr; }

    // Centre of the actor's pose in world coordinates.
    glm::vec3 position() const;

    // Radius of a trigger sphere or controller capsule; 0 for other shapes.
    float radius() const { return radius_; }

    // Unit normal of triangle `index` of a triangle-mesh actor (winding order
    // decides the side). False for other actors, an index out of range or a
    // degenerate triangle.
    bool triangleNormal(int index, glm::vec3& normal) const;

    // The Bullet object behind the actor, for the physics code itself.
    btCollisionObject& collisionObject() { return *object_; }
    const btCollisionObject& collisionObject() const { return *object_; }

    // The actor that owns a Bullet object of the world (null for foreign objects).
    static PhysicsActor* fromObject(const btCollisionObject* object);

private:
    friend class PhysicsWorld;
    PhysicsActor(Role role, std::unique_ptr<btCollisionShape> shape, const glm::vec3& position,
                 std::string name);

    Role role_;
    std::string name_;
    float radius_ = 0.0f;
    PhysicsWorld* world_ = nullptr;
    // Triangle data Bullet reads from while the shape lives (triangle meshes only).
    std::vector<float> vertices_;
    std::vector<int> indices_;
    std::unique_ptr<btTriangleIndexVertexArray> meshInterface_;
    std::unique_ptr<btCollisionShape> shape_;
    std::unique_ptr<btCollisionObject> object_;
};

}  // namespace vestrel
