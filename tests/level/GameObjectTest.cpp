// Timed moves, actor rebuilding and removal of level objects, without GL:
// meshes here carry no GPU data, only the fields the object logic reads.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include <glm/glm.hpp>
#include <glm/gtc/matrix_transform.hpp>

#include "app/GameSettings.h"
#include "level/GameObject.h"
#include "physics/PhysicsActor.h"
#include "physics/PhysicsShapeKind.h"
#include "physics/PhysicsWorld.h"
#include "render/Mesh.h"

namespace vestrel {
namespace {

std::shared_ptr<GameObject> makeBoxObject(const char* name, const std::array<float, 6>& bounds,
                                          PhysicsShapeKind kind) {
    auto object = std::make_shared<GameObject>();
    object->mesh = std::make_unique<Mesh>(nullptr, glm::mat4(1.0f), name);
    object->bounds = bounds;
    object->kind = static_cast<int>(kind);
    PhysicsMeshData data;
    data.name = name;
    PhysicsWorld::instance().createActor(data, object->bounds->data(), kind, &object->collisionActor,
                                         &object->triggerActor);
    return object;
}

class GameObjectTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedRefreshRate = GameSettings::instance().refreshRate;
        GameSettings::instance().refreshRate = 60;
    }
    void TearDown() override { GameSettings::instance().refreshRate = savedRefreshRate; }
    int savedRefreshRate = 60;
};

// Node names decide what an object becomes: the tag is what follows the last
// underscore, matched exactly; waypoints start with "Waypoint". The near
// misses a house file can hold must not match.
TEST(GameObjectNames, OnlyTheLastTagAndTheExactPrefixCount) {
    // A tag in the middle of a name is not the tag.
    EXPECT_EQ(GameObject::tagOf("Door_box_left"), "left");
    EXPECT_EQ(GameObject::baseNameOf("engine_sound_2"), "engine_sound");
    EXPECT_EQ(GameObject::kindForTag(GameObject::tagOf("Shelf_item_back")),
              static_cast<int>(PhysicsShapeKind::None));
    // Different case, a longer or a shorter word.
    for (const char* tag : {"Box", "MESH", "Item", "items", "interactiv", "transparent2", ""}) {
        EXPECT_EQ(GameObject::kindForTag(tag), static_cast<int>(PhysicsShapeKind::None)) << tag;
    }
    EXPECT_EQ(GameObject::kindForTag("interactive"), static_cast<int>(PhysicsShapeKind::BoxWithTrigger));
    // The waypoint prefix: at the start, whole, in its own case.
    EXPECT_TRUE(GameObject::isWaypointName("Waypoint3"));
    for (const char* name : {"waypoint3", "WAYPOINT", "Waypoin", "Way", "MyWaypoint", "Hall_Waypoint_2"}) {
        EXPECT_FALSE(GameObject::isWaypointName(name)) << name;
    }
}

// The house's model matrices carry the file's Z-up to Y-up turn: a box's own
// -Y is the world's +Z.
const glm::mat4 kZUpTurn(glm::vec4(1, 0, 0, 0), glm::vec4(0, 0, -1, 0), glm::vec4(0, 1, 0, 0),
                         glm::vec4(0, 0, 0, 1));

glm::vec3 translationOf(const GameObject& object) { return glm::vec3(object.mesh->modelMatrix[3]); }

TEST_F(GameObjectTest, DoorMoveRunsFiveSecondsAndCarriesBoundsColliderAndChildren) {
    auto door = makeBoxObject("Door_box", {5.9f, -1.0f, -2.5f, 6.1f, 6.0f, 2.5f}, PhysicsShapeKind::Box);
    door->mesh->modelMatrix = glm::translate(glm::mat4(1.0f), glm::vec3(6.0f, 2.5f, 0.0f)) * kZUpTurn;
    ASSERT_NE(door->collisionActor, nullptr);
    const glm::vec3 actorStart = door->collisionActor->position();
    const glm::vec3 doorStart = translationOf(*door);

    // A handle with geometry, a trim without, and a bolt under the handle with
    // a collider of its own: all of them ride along.
    auto handle = std::make_shared<GameObject>();
    handle->mesh =
        std::make_unique<Mesh>(nullptr, glm::translate(glm::mat4(1.0f), glm::vec3(6, 1, 1.8f)), "DoorHandle");
    handle->mesh->noGeometry = false;
    auto trim = std::make_shared<GameObject>();
    trim->mesh = std::make_unique<Mesh>(nullptr, glm::mat4(1.0f), "DoorTrim");
    auto bolt = makeBoxObject("Bolt_box", {5.8f, 0.5f, 1.5f, 6.2f, 1.0f, 2.0f}, PhysicsShapeKind::Box);
    const glm::vec3 boltActorStart = bolt->collisionActor->position();
    handle->addChild(bolt);
    door->addChild(handle);
    door->addChild(trim);
    const glm::vec3 handleStart = translationOf(*handle);
    const glm::vec3 trimStart = translationOf(*trim);
    const std::size_t actorsBefore = PhysicsWorld::instance().actorCount();

    door->moveBy(glm::vec3(0.0f, -5.0f, 0.0f));
    EXPECT_EQ(door->moveStepsLeft, 300);
    EXPECT_NEAR(door->moveStep.y, -5.0f / 300.0f, 1e-7f);
    EXPECT_NEAR(door->worldMoveStep.z, 5.0f / 300.0f, 1e-7f);
    // Nothing moves before the first step.
    EXPECT_EQ(translationOf(*handle), handleStart);

    const float step = 1.0f / 60.0f;
    int steps = 0;
    while (door->moveStepsLeft > 0 && steps < 1000) {
        const std::array<float, 6> before = *door->bounds;
        door->update(step);
        ++steps;
        for (int corner = 0; corner < 6; corner += 3) {
            EXPECT_FLOAT_EQ((*door->bounds)[corner + 0], before[corner + 0]);
            EXPECT_FLOAT_EQ((*door->bounds)[corner + 1], before[corner + 1]);
            EXPECT_NEAR((*door->bounds)[corner + 2] - before[corner + 2], step, 1e-5f);
        }
        // The children keep their place on the door at every step.
        const glm::vec3 doorMoved = translationOf(*door) - doorStart;
        ASSERT_NEAR(glm::distance(translationOf(*handle) - handleStart, doorMoved), 0.0f, 1e-4f) << steps;
        ASSERT_NEAR(glm::distance(translationOf(*trim) - trimStart, doorMoved), 0.0f, 1e-4f) << steps;
        ASSERT_NE(door->collisionActor, nullptr) << "step " << steps;
        // Rebuilding the colliders every step must not pile up actors.
        ASSERT_EQ(PhysicsWorld::instance().actorCount(), actorsBefore) << "step " << steps;
    }
    EXPECT_EQ(steps, 300);
    EXPECT_EQ(door->moveStepsLeft, 0);
    EXPECT_EQ(door->moveStep, glm::vec3(0.0f));
    EXPECT_NEAR((*door->bounds)[2], 2.5f, 1e-3f);
    EXPECT_NEAR((*door->bounds)[5], 7.5f, 1e-3f);
    const glm::vec3 actorEnd = door->collisionActor->position();
    EXPECT_NEAR(actorEnd.z - actorStart.z, 5.0f, 1e-3f);
    EXPECT_NEAR(actorEnd.x, actorStart.x, 1e-4f);
    // The door went 5 along world +z, and everything on it exactly as far.
    const glm::vec3 offset(0.0f, 0.0f, 5.0f);
    EXPECT_NEAR(glm::distance(translationOf(*door) - doorStart, offset), 0.0f, 1e-3f);
    EXPECT_NEAR(glm::distance(translationOf(*handle) - handleStart, offset), 0.0f, 1e-3f);
    EXPECT_NEAR(glm::distance(translationOf(*trim) - trimStart, offset), 0.0f, 1e-3f);
    ASSERT_NE(bolt->collisionActor, nullptr);
    EXPECT_NEAR(glm::distance(bolt->collisionActor->position() - boltActorStart, offset), 0.0f, 1e-3f);

    // Further steps change nothing.
    door->update(step);
    EXPECT_NEAR((*door->bounds)[5], 7.5f, 1e-3f);
    EXPECT_NEAR(glm::distance(translationOf(*handle) - handleStart, offset), 0.0f, 1e-3f);
}

TEST_F(GameObjectTest, NewMoveReplacesRunningOneAndMovesLastFiveSecondsAtAnyRefreshRate) {
    auto box = makeBoxObject("Shower_door_box", {0, 0, 0, 1, 1, 1}, PhysicsShapeKind::Box);
    box->moveBy(glm::vec3(0.0f, 5.0f, 0.0f));
    for (int i = 0; i < 100; ++i) box->update(1.0f / 60.0f);
    box->moveBy(glm::vec3(5.0f, 0.0f, 0.0f));
    EXPECT_EQ(box->moveStepsLeft, 300);
    EXPECT_EQ(box->moveStep.y, 0.0f);

    // Steps come 60 a second whatever the display runs at: five seconds are
    // 300 steps at 144 Hz too, and a refresh rate of 0 divides nothing.
    for (int rate : {144, 0}) {
        GameSettings::instance().refreshRate = rate;
        box->moveBy(glm::vec3(1.0f, 0.0f, 0.0f));
        EXPECT_EQ(box->moveStepsLeft, 300) << rate;
        EXPECT_FLOAT_EQ(box->moveStep.x, 1.0f / 300.0f) << rate;
    }
}

TEST_F(GameObjectTest, RemoveFromWorldReleasesActorsAndSubtree) {
    PhysicsWorld& world = PhysicsWorld::instance();
    const std::size_t before = world.actorCount();
    auto rack = makeBoxObject("Racking_CrossBeams31_box", {27, -1, -3, 28, 6, 2}, PhysicsShapeKind::Box);
    auto beam = makeBoxObject("Beam_interactive", {27, 2, -3, 28, 3, 2}, PhysicsShapeKind::BoxWithTrigger);
    auto bolt = makeBoxObject("Bolt_box", {27, 2, 0, 27.5f, 2.5f, 0.5f}, PhysicsShapeKind::Box);
    beam->addChild(bolt);
    rack->addChild(beam);
    std::weak_ptr<GameObject> watchBeam = beam;
    std::weak_ptr<GameObject> watchBolt = bolt;
    beam.reset();
    bolt.reset();
    ASSERT_EQ(world.actorCount(), before + 4);

    rack->removeFromWorld();
    EXPECT_FALSE(rack->visible);
    EXPECT_TRUE(rack->children.empty());
    EXPECT_EQ(rack->collisionActor, nullptr);
    EXPECT_EQ(rack->triggerActor, nullptr);
    EXPECT_TRUE(watchBeam.expired());
    EXPECT_TRUE(watchBolt.expired());
    EXPECT_EQ(world.actorCount(), before);

    // A removed object that is still moving gets no collider back.
    rack->moveBy(glm::vec3(0.0f, -5.0f, 0.0f));
    rack->update(1.0f / 60.0f);
    EXPECT_EQ(rack->collisionActor, nullptr);
    EXPECT_EQ(world.actorCount(), before);
}

TEST_F(GameObjectTest, BoundsOfEmptyMeshStayInsideOut) {
    GameObject object;
    object.mesh = std::make_unique<Mesh>(nullptr, glm::mat4(1.0f), "Empty_mesh");
    object.computeBounds();
    ASSERT_TRUE(object.bounds.has_value());
    EXPECT_EQ(*object.bounds, (std::array<float, 6>{100000, 100000, 100000, -100000, -100000, -100000}));

    object.mesh->worldPositions = {{1, -2, 3}, {-4, 5, 0.5f}};
    object.computeBounds();
    EXPECT_EQ(*object.bounds, (std::array<float, 6>{-4, -2, 0.5f, 1, 5, 3}));
    EXPECT_EQ(object.boundsCentre(), glm::vec3(-1.5f, 1.5f, 1.75f));
}

}  // namespace
}  // namespace vestrel
