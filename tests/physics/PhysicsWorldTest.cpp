#include "physics/PhysicsWorld.h"

#include <btBulletCollisionCommon.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <vector>

#include "ConsoleCapture.h"
#include "PhysicsTestGeometry.h"

namespace vestrel {
namespace {

using test::addMesh;
using test::TriangleSoup;

constexpr float kDt = 1.0f / 60.0f;

struct Event {
    std::string trigger;
    TriggerStatus status;
    bool operator==(const Event& other) const { return trigger == other.trigger && status == other.status; }
    friend std::ostream& operator<<(std::ostream& out, const Event& event) {
        return out << (event.status == TriggerStatus::TouchFound ? "found " : "lost ") << event.trigger;
    }
};

// Records the trigger events it receives.
class RecordingCallback : public SimulationEventCallback {
public:
    explicit RecordingCallback(std::vector<Event>& events) : events_(events) {}
    void onTrigger(const TriggerPair* pairs, std::uint32_t count) override {
        for (std::uint32_t i = 0; i < count; ++i)
            events_.push_back({pairs[i].triggerActor->name(), pairs[i].status});
    }

private:
    std::vector<Event>& events_;
};

Event found(const std::string& name) { return {name, TriggerStatus::TouchFound}; }
Event lost(const std::string& name) { return {name, TriggerStatus::TouchLost}; }

class PhysicsWorldTest : public ::testing::Test {
protected:
    void SetUp() override { PhysicsWorld::destroy(); }
    void TearDown() override {
        player.reset();
        PhysicsWorld::destroy();
    }

    PhysicsWorld& world() { return PhysicsWorld::instance(); }

    struct Actors {
        std::unique_ptr<PhysicsActor> solid;
        std::unique_ptr<PhysicsActor> trigger;
    };
    Actors create(const std::string& name, std::vector<float> bounds, PhysicsShapeKind kind) {
        Actors actors;
        PhysicsMeshData mesh;
        mesh.name = name;
        world().createActor(mesh, bounds.data(), kind, &actors.solid, &actors.trigger);
        return actors;
    }

    static glm::vec3 halfExtents(const PhysicsActor& actor) {
        const auto* box = static_cast<const btBoxShape*>(actor.collisionObject().getCollisionShape());
        const btVector3 half = box->getHalfExtentsWithMargin();
        return {half.x(), half.y(), half.z()};
    }

    // Player standing at x on a floor, with the world stepped once so that
    // the starting overlaps are settled.
    void placePlayer(float x, float z = 0.0f) {
        if (!player) {
            player = world().createPlayerController(&onGround);
            world().setSimulationEventCallback(std::make_unique<RecordingCallback>(events));
        }
        player->controller->setPosition({x, 2.55, z});
        stepWorld();
    }

    void stepWorld() {
        world().simulate(kDt);
        world().fetchResults(true);
    }

    // Walks the player along x in small steps, stepping the world each time.
    void walkTo(float x) {
        glm::dvec3 p = player->controller->getPosition();
        while (std::abs(p.x - x) > 1e-3) {
            p.x += std::clamp(x - p.x, -0.2, 0.2);
            player->controller->setPosition(p);
            stepWorld();
        }
    }

    bool onGround = false;
    std::unique_ptr<ControllerRecord> player;
    std::vector<Event> events;
};

TEST_F(PhysicsWorldTest, BoxIsFittedToTheBoundsAndFlatAxesGetATenthOfAUnit) {
    Actors box = create("Door_box", {1.0f, 2.0f, 3.0f, 3.0f, 6.0f, 3.0f}, PhysicsShapeKind::Box);
    ASSERT_TRUE(box.solid);
    EXPECT_EQ(box.solid->name(), "Door_box");
    // Flat along z: 0.1 thick, reaching from the flat face towards +z.
    const glm::vec3 half = halfExtents(*box.solid);
    EXPECT_FLOAT_EQ(half.x, 1.0f);
    EXPECT_FLOAT_EQ(half.y, 2.0f);
    EXPECT_FLOAT_EQ(half.z, 0.05f);
    EXPECT_FLOAT_EQ(box.solid->position().x, 2.0f);
    EXPECT_FLOAT_EQ(box.solid->position().y, 4.0f);
    EXPECT_FLOAT_EQ(box.solid->position().z, 3.05f);
}

TEST_F(PhysicsWorldTest, TriggerSphereReachesTwoUnitsBeyondTheLargestHalfSize) {
    Actors item = create("Duck_item", {0.0f, 0.0f, 0.0f, 1.0f, 0.5f, 0.2f}, PhysicsShapeKind::Trigger);
    ASSERT_TRUE(item.trigger);
    EXPECT_TRUE(item.trigger->isTrigger());
    EXPECT_EQ(item.trigger->name(), "Duck_item");
    EXPECT_FLOAT_EQ(item.trigger->radius(), 2.5f);
    const auto* sphere =
        static_cast<const btSphereShape*>(item.trigger->collisionObject().getCollisionShape());
    EXPECT_FLOAT_EQ(sphere->getRadius(), 2.5f);
    EXPECT_FLOAT_EQ(item.trigger->position().x, 0.5f);
    EXPECT_FLOAT_EQ(item.trigger->position().y, 0.25f);
    EXPECT_FLOAT_EQ(item.trigger->position().z, 0.1f);
}

TEST_F(PhysicsWorldTest, EachKindWritesOnlyItsOwnOutPointers) {
    const std::vector<float> bounds{0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f};
    const std::size_t floorOnly = world().actorCount();
    ASSERT_EQ(floorOnly, 1u);

    // Kind 4 leaves the solid slot alone, kind 2 the trigger slot.
    PhysicsMeshData mesh;
    mesh.name = "x";
    std::unique_ptr<PhysicsActor> solid, trigger;
    world().createActor(mesh, bounds.data(), PhysicsShapeKind::Trigger, &solid, &trigger);
    EXPECT_FALSE(solid);
    ASSERT_TRUE(trigger);
    // Known by name, not by address: a trigger made anew could reuse the old one's.
    mesh.name = "y";
    world().createActor(mesh, bounds.data(), PhysicsShapeKind::Box, &solid, &trigger);
    EXPECT_TRUE(solid);
    ASSERT_TRUE(trigger);
    EXPECT_EQ(trigger->name(), "x");

    Actors both = create("Generator_interactive", bounds, PhysicsShapeKind::BoxWithTrigger);
    EXPECT_TRUE(both.solid && !both.solid->isTrigger());
    EXPECT_TRUE(both.trigger && both.trigger->isTrigger());
    EXPECT_EQ(world().actorCount(), floorOnly + 4);

    for (int kind : {0, 5, -1}) {
        Actors none = create("none", bounds, static_cast<PhysicsShapeKind>(kind));
        EXPECT_FALSE(none.solid || none.trigger) << kind;
    }
    EXPECT_EQ(world().actorCount(), floorOnly + 4);

    // Dropping an actor takes it out of the world.
    both = Actors();
    EXPECT_EQ(world().actorCount(), floorOnly + 2);
}

TEST_F(PhysicsWorldTest, EmptyOrBrokenBoundsBuildNothingAndAreReported) {
    test::ConsoleCapture console;
    // What an object without vertices gets as bounds.
    Actors empty =
        create("Empty_box", {1e5f, 1e5f, 1e5f, -1e5f, -1e5f, -1e5f}, PhysicsShapeKind::BoxWithTrigger);
    Actors nan = create("Nan_box", {0.0f, NAN, 0.0f, 1.0f, 1.0f, 1.0f}, PhysicsShapeKind::Box);
    EXPECT_FALSE(empty.solid || empty.trigger || nan.solid);
    EXPECT_EQ(world().actorCount(), 1u);
    EXPECT_NE(console.text().find("Empty_box"), std::string::npos);
    EXPECT_NE(console.text().find("Nan_box"), std::string::npos);
}

TEST_F(PhysicsWorldTest, TriangleMeshKeepsItsOwnCopyOfTheTriangles) {
    std::unique_ptr<PhysicsActor> floor;
    {
        TriangleSoup soup;
        soup.floor(0.0f, -10.0f, -10.0f, 10.0f, 10.0f);
        floor = addMesh(soup, "Floor_mesh");
    }  // the level's arrays are gone; the world must not read them any more
    ASSERT_TRUE(floor);
    EXPECT_EQ(floor->name(), "Floor_mesh");
    player = world().createPlayerController(&onGround);
    player->controller->setPosition({0.0, 5.0, 0.0});
    for (int i = 0; i < 60; ++i) player->controller->move(world().gravity * kDt, 0.01f, kDt, player->filters);
    EXPECT_NEAR(player->controller->getPosition().y, 2.55, 0.01);
}

using PhysicsWorldDeathTest = PhysicsWorldTest;

// The fatal messages go to the console; the death tests send it to stderr,
// where EXPECT_EXIT looks.
TEST_F(PhysicsWorldDeathTest, BrokenTriangleDataIsFatal) {
    TriangleSoup soup;
    soup.floor(0.0f, -1.0f, -1.0f, 1.0f, 1.0f);
    soup.indices[4] = 99;  // past the last vertex
    EXPECT_EXIT(
        {
            std::cout.rdbuf(std::cerr.rdbuf());
            addMesh(soup, "Broken_mesh");
        },
        ::testing::ExitedWithCode(1), "ERROR: PhysX: Mesh cooking failed!");

    TriangleSoup empty;
    EXPECT_EXIT(
        {
            std::cout.rdbuf(std::cerr.rdbuf());
            addMesh(empty, "Empty_mesh");
        },
        ::testing::ExitedWithCode(1), "ERROR: PhysX: Mesh cooking failed!");
}

TEST_F(PhysicsWorldDeathTest, InvalidControllerDescriptionIsFatal) {
    EXPECT_EXIT(
        {
            std::cout.rdbuf(std::cerr.rdbuf());
            world().createEnemyController({NAN, 0.0f, 0.0f});
        },
        ::testing::ExitedWithCode(1), "Error creating enemy controller! Description is invalid!");
    CapsuleControllerDesc desc;
    desc.radius = 1.0f;  // no height
    EXPECT_EXIT(
        {
            std::cout.rdbuf(std::cerr.rdbuf());
            world().createController(desc, "x",
                                     "Error creating character controller! Description is invalid!");
        },
        ::testing::ExitedWithCode(1), "Error creating character controller! Description is invalid!");
}

// The item's sphere (its largest half size 0.5 plus 2) and the player's
// capsule (radius 1) touch when the capsule's axis comes within 3.5 of the
// item's centre, here level with the capsule's middle: probed 0.05 either side
// on the way in and on the way out.
TEST_F(PhysicsWorldTest, TriggerReportsTouchFoundOnEnteringAndTouchLostOnLeaving) {
    Actors item = create("Banana_item", {9.5f, 2.05f, -0.5f, 10.5f, 3.05f, 0.5f}, PhysicsShapeKind::Trigger);
    placePlayer(0.0f);
    walkTo(10.0f - 3.55f);
    EXPECT_TRUE(events.empty()) << "out of reach";
    walkTo(10.0f - 3.45f);
    EXPECT_EQ(events, std::vector<Event>{found("Banana_item")});
    walkTo(10.5f);  // moving about inside says nothing more
    walkTo(10.0f + 3.45f);
    EXPECT_EQ(events, std::vector<Event>{found("Banana_item")});
    walkTo(10.0f + 3.55f);
    EXPECT_EQ(events, (std::vector<Event>{found("Banana_item"), lost("Banana_item")}));
}

TEST_F(PhysicsWorldTest, OverlappingTriggersReportEachEnteringAndLeavingOnce) {
    Actors a = create("A_item", {9.5f, 0.0f, -0.5f, 10.5f, 1.0f, 0.5f}, PhysicsShapeKind::Trigger);
    Actors b =
        create("B_interactive", {11.5f, 0.0f, -0.5f, 12.5f, 1.0f, 0.5f}, PhysicsShapeKind::BoxWithTrigger);
    placePlayer(0.0f);
    walkTo(30.0f);
    EXPECT_EQ(events, (std::vector<Event>{found("A_item"), found("B_interactive"), lost("A_item"),
                                          lost("B_interactive")}));
}

TEST_F(PhysicsWorldTest, LeavingOneTriggerForAnotherInOneStepReportsTheLossFirst) {
    Actors a = create("A_item", {-0.5f, 0.0f, -0.5f, 0.5f, 1.0f, 0.5f}, PhysicsShapeKind::Trigger);
    Actors b = create("B_item", {19.5f, 0.0f, -0.5f, 20.5f, 1.0f, 0.5f}, PhysicsShapeKind::Trigger);
    placePlayer(0.0f);
    events.clear();
    placePlayer(20.0f);
    EXPECT_EQ(events, (std::vector<Event>{lost("A_item"), found("B_item")}));
}

TEST_F(PhysicsWorldTest, RemovedTriggerReportsNothingMore) {
    Actors item = create("file_item", {9.5f, 0.0f, -0.5f, 10.5f, 1.0f, 0.5f}, PhysicsShapeKind::Trigger);
    placePlayer(10.0f);
    ASSERT_EQ(events, std::vector<Event>{found("file_item")});

    // Picked up while the player stands in it: no touch lost, now or later.
    item.trigger.reset();
    walkTo(0.0f);
    walkTo(10.0f);

    // An event found by simulate but not yet delivered goes with its actor.
    Actors other = create("can_item", {29.5f, 0.0f, -0.5f, 30.5f, 1.0f, 0.5f}, PhysicsShapeKind::Trigger);
    player->controller->setPosition({30.0, 2.55, 0.0});
    world().simulate(kDt);
    other.trigger.reset();
    world().fetchResults(true);
    EXPECT_EQ(events, std::vector<Event>{found("file_item")});
}

TEST_F(PhysicsWorldTest, OnlyThePlayersCapsuleSetsOffTriggers) {
    Actors item = create("can_item", {9.5f, 0.0f, -0.5f, 10.5f, 1.0f, 0.5f}, PhysicsShapeKind::Trigger);
    placePlayer(-30.0f);
    auto enemy = world().createEnemyController({10.0f, 0.0f, 0.0f});
    stepWorld();
    stepWorld();
    EXPECT_TRUE(events.empty());
    EXPECT_FALSE(world().fetchResults(true)) << "nothing was simulated";
}

TEST_F(PhysicsWorldTest, ControllersAreNamedAndRememberedUntilReleased) {
    player = world().createPlayerController(&onGround);
    auto enemy = world().createEnemyController({4.0f, 1.0f, -2.0f});
    EXPECT_EQ(world().playerController(), player.get());
    EXPECT_EQ(world().enemyController(), enemy.get());
    EXPECT_EQ(player->controller->getActor()->name(), "PLAYER_CONTROLLER");
    EXPECT_EQ(enemy->controller->getActor()->name(), "ENEMY_CONTROLLER");
    EXPECT_EQ(player->controller->getPosition(), world().playerStart);
    EXPECT_EQ(enemy->controller->getPosition(), glm::dvec3(4.0, 4.0, -2.0));
    EXPECT_FLOAT_EQ(enemy->controller->getRadius(), 1.3f);
    EXPECT_EQ(player->filters.queryFlags, 7u);
    EXPECT_FLOAT_EQ(player->minDist, 0.01f);
    EXPECT_EQ(world().hitReport().onGroundFlag(), &onGround);

    player.reset();
    enemy.reset();
    EXPECT_EQ(world().playerController(), nullptr);
    EXPECT_EQ(world().enemyController(), nullptr);
    EXPECT_EQ(world().hitReport().onGroundFlag(), nullptr);
    EXPECT_EQ(world().actorCount(), 1u);
}

TEST_F(PhysicsWorldTest, DestroyThenInstanceGivesAFreshWorldAndLeavesOldHandlesInert) {
    PhysicsWorld* first = &world();
    Actors box = create("Door_box", {0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f}, PhysicsShapeKind::BoxWithTrigger);
    player = world().createPlayerController(&onGround);
    EXPECT_EQ(world().actorCount(), 4u);

    PhysicsWorld::destroy();
    EXPECT_FALSE(PhysicsWorld::exists());
    EXPECT_FALSE(box.solid->inWorld());
    EXPECT_FALSE(box.trigger->inWorld());

    PhysicsWorld& second = PhysicsWorld::instance();
    EXPECT_TRUE(PhysicsWorld::exists());
    EXPECT_EQ(second.actorCount(), 1u);  // just the floor
    EXPECT_EQ(second.playerController(), nullptr);
    (void)first;

    // The level lets go of its old handles after the restart: nothing happens
    // to the new world.
    box = Actors();
    player.reset();
    EXPECT_EQ(second.actorCount(), 1u);
}

}  // namespace
}  // namespace vestrel
