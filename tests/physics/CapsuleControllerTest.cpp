#include "physics/CapsuleController.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <glm/geometric.hpp>
#include <glm/trigonometric.hpp>
#include <random>

#include "PhysicsTestGeometry.h"
#include "app/GameSettings.h"
#include "physics/ControllerRecord.h"
#include "physics/PhysicsWorld.h"

namespace vestrel {
namespace {

using test::addBox;
using test::addMesh;
using test::TriangleSoup;

constexpr float kDt = 1.0f / 60.0f;
constexpr float kRunSpeed = 16.0f;
// Player capsule: centre above its lowest point, and the gap kept to shapes.
constexpr double kHalfTall = 2.5;
constexpr double kGap = 0.05;

class CapsuleControllerTest : public test::ControllerWorldTest {
protected:
    PhysicsWorld& world() { return PhysicsWorld::instance(); }

    ControllerRecord& makePlayer(const glm::dvec3& at) {
        player = world().createPlayerController(&onGround);
        player->controller->setPosition(at);
        return *player;
    }

    // One play step: gravity, then a walk along direction at run speed.
    void step(ControllerRecord& record, const glm::vec3& direction = glm::vec3(0.0f)) {
        move(record, world().gravity * kDt);
        if (glm::length(direction) > 0.0f) move(record, glm::normalize(direction) * kRunSpeed * kDt);
    }

    glm::dvec3 walk(ControllerRecord& record, const glm::vec3& direction, int steps) {
        for (int i = 0; i < steps; ++i) step(record, direction);
        return record.controller->getPosition();
    }

    void settle(ControllerRecord& record) {
        for (int i = 0; i < 60; ++i) step(record);
    }

    std::unique_ptr<PhysicsActor> flatFloor(float halfSize = 50.0f) {
        TriangleSoup soup;
        soup.floor(0.0f, -halfSize, -halfSize, halfSize, halfSize);
        return addMesh(soup, "Floor_mesh");
    }

    // A slope rising along +x from x = 3, angle in degrees, 10 units along x,
    // with a long landing on top.
    std::unique_ptr<PhysicsActor> ramp(float degrees) {
        const float top = 10.0f * std::tan(glm::radians(degrees));
        TriangleSoup soup;
        soup.quad({3.0f, 0.0f, -10.0f}, {3.0f, 0.0f, 10.0f}, {13.0f, top, 10.0f}, {13.0f, top, -10.0f});
        soup.floor(top, 13.0f, -10.0f, 60.0f, 10.0f);
        return addMesh(soup, "Ramp_mesh");
    }
};

TEST_F(CapsuleControllerTest, FallingCapsuleLandsOnTriangleMeshFloorAndStays) {
    auto floor = flatFloor();
    ControllerRecord& record = makePlayer({0.0, 10.0, 0.0});
    walk(record, glm::vec3(0.0f), 120);
    const double landed = record.controller->getPosition().y;
    EXPECT_NEAR(landed, kHalfTall + kGap, 0.01);
    EXPECT_TRUE(onGround);

    walk(record, glm::vec3(0.0f), 600);
    EXPECT_NEAR(record.controller->getPosition().y, landed, 1e-4);
}

TEST_F(CapsuleControllerTest, FastFallNeverPassesThroughAThinFloor) {
    auto floor = flatFloor();
    ControllerRecord& record = makePlayer({0.0, 200.0, 0.0});
    for (int i = 0; i < 20; ++i) move(record, {0.0f, -25.0f, 0.0f});
    EXPECT_NEAR(record.controller->getPosition().y, kHalfTall + kGap, 0.01);
}

TEST_F(CapsuleControllerTest, CapsuleOffTheLevelLandsOnTheFloorPlane) {
    auto floor = flatFloor(5.0f);
    ControllerRecord& record = makePlayer({20.0, 2.0, 0.0});
    walk(record, glm::vec3(0.0f), 200);
    EXPECT_NEAR(record.controller->getPosition().y, -20.0 + kHalfTall + kGap, 0.01);
}

TEST_F(CapsuleControllerTest, WallStopsTheCapsuleAtContactOffsetAndItSlidesAlong) {
    auto floor = flatFloor();
    TriangleSoup wall;
    wall.quad({5.0f, 0.0f, -50.0f}, {5.0f, 10.0f, -50.0f}, {5.0f, 10.0f, 50.0f}, {5.0f, 0.0f, 50.0f});
    auto wallActor = addMesh(wall, "Wall_mesh");
    ControllerRecord& record = makePlayer({0.0, kHalfTall + kGap, 0.0});
    settle(record);

    glm::dvec3 p = walk(record, {1.0f, 0.0f, 0.0f}, 60);
    EXPECT_NEAR(p.x, 5.0 - 1.0 - kGap, 0.01);
    EXPECT_NEAR(p.z, 0.0, 1e-3);

    // Heading diagonally into the wall keeps the along-wall part of the walk.
    p = walk(record, {1.0f, 0.0f, 1.0f}, 30);
    EXPECT_NEAR(p.x, 5.0 - 1.0 - kGap, 0.01);
    EXPECT_GT(p.z, 0.8 * 30 * kRunSpeed * kDt * std::sqrt(0.5));
    EXPECT_NEAR(p.y, kHalfTall + kGap, 0.01);  // sliding along a wall never lifts
}

TEST_F(CapsuleControllerTest, HugeMoveIntoAThinWallStopsAtTheWall) {
    auto floor = flatFloor();
    TriangleSoup wall;
    wall.quad({5.0f, 0.0f, -50.0f}, {5.0f, 10.0f, -50.0f}, {5.0f, 10.0f, 50.0f}, {5.0f, 0.0f, 50.0f});
    auto wallActor = addMesh(wall, "Wall_mesh");
    ControllerRecord& record = makePlayer({0.0, kHalfTall + kGap, 0.0});
    move(record, {40.0f, 0.0f, 0.0f});
    EXPECT_LT(record.controller->getPosition().x, 5.0 - 1.0);
}

// The game's capsule climbs steps up to its step height of 0.1 (with a small
// allowance) and nothing higher: probed at 0.1 and at 0.14, on boxes and on a
// level's triangle mesh.
TEST_F(CapsuleControllerTest, ClimbsAStepOfStepOffsetButNotAHigherOne) {
    auto floor = flatFloor();
    for (bool mesh : {false, true}) {
        for (float height : {0.1f, 0.14f}) {
            SCOPED_TRACE(testing::Message() << (mesh ? "mesh" : "box") << " step " << height);
            std::unique_ptr<PhysicsActor> step;
            if (mesh) {
                TriangleSoup soup;
                soup.box({3.0f, 0.0f, -5.0f}, {10.0f, height, 5.0f});
                step = addMesh(soup, "Step_mesh");
            } else {
                step = addBox({3.0f, 0.0f, -5.0f}, {10.0f, height, 5.0f}, "Step_box");
            }
            ControllerRecord& record = makePlayer({0.0, kHalfTall + kGap, 0.0});
            settle(record);
            const glm::dvec3 p = walk(record, {1.0f, 0.0f, 0.0f}, 30);
            if (height <= 0.1f) {
                EXPECT_GT(p.x, 6.0);
                EXPECT_NEAR(p.y, height + kHalfTall + kGap, 0.01);
            } else {
                EXPECT_LT(p.x, 3.0);
                EXPECT_NEAR(p.y, kHalfTall + kGap, 0.01);
            }
        }
    }
}

// The slope limit is 45 degrees: a 43 degree ramp is walked up, a 47 degree
// one is not.
TEST_F(CapsuleControllerTest, SlopeLimitDecidesWhichRampsCanBeWalkedUp) {
    auto floor = flatFloor();
    {
        auto steep = ramp(47.0f);
        ControllerRecord& record = makePlayer({0.0, kHalfTall + kGap, 0.0});
        settle(record);
        const glm::dvec3 p = walk(record, {1.0f, 0.0f, 0.0f}, 120);
        EXPECT_LT(p.y, kHalfTall + kGap + 0.2) << "climbed a 47 degree ramp";
        EXPECT_LT(p.x, 3.5);
    }
    {
        auto gentle = ramp(43.0f);
        ControllerRecord& record = makePlayer({0.0, kHalfTall + kGap, 0.0});
        settle(record);
        const glm::dvec3 p = walk(record, {1.0f, 0.0f, 0.0f}, 120);
        EXPECT_GT(p.x, 14.5) << "did not get up a 43 degree ramp";
        EXPECT_NEAR(p.y, 10.0 * std::tan(glm::radians(43.0)) + kHalfTall + kGap, 0.05);
    }
}

TEST_F(CapsuleControllerTest, RandomMovesNeverLeaveAClosedRoom) {
    const glm::vec3 lo(-10.0f, 0.0f, -10.0f), hi(10.0f, 9.0f, 10.0f);
    TriangleSoup soup;
    soup.box(lo, hi);
    soup.box({-2.0f, 0.0f, -2.0f}, {2.0f, 9.0f, 2.0f});  // a pillar in the middle
    soup.box({4.0f, 0.0f, 4.0f}, {10.0f, 0.1f, 10.0f});  // a low platform in one corner
    soup.quad({-10.0f, 0.0f, 4.0f}, {-10.0f, 0.0f, 10.0f}, {-4.0f, 3.0f, 10.0f},
              {-4.0f, 3.0f, 4.0f});  // a ramp
    auto room = addMesh(soup, "Room_mesh");
    ControllerRecord& record = makePlayer({6.0, 4.0, -6.0});

    std::mt19937 random(1234);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    for (int i = 0; i < 10000; ++i) {
        glm::vec3 d(unit(random), unit(random) * 0.3f, unit(random));
        if (glm::length(d) < 1e-3f) continue;
        const float speed = (i % 50 == 0) ? 300.0f : kRunSpeed;  // the odd huge jump
        move(record, glm::normalize(d) * speed * kDt);
        if (i % 3 == 0) move(record, world().gravity * kDt);
        const glm::dvec3 p = record.controller->getPosition();
        ASSERT_GT(p.x, lo.x + 1.0 - 0.01) << "move " << i;
        ASSERT_LT(p.x, hi.x - 1.0 + 0.01) << "move " << i;
        ASSERT_GT(p.z, lo.z + 1.0 - 0.01) << "move " << i;
        ASSERT_LT(p.z, hi.z - 1.0 + 0.01) << "move " << i;
        ASSERT_GT(p.y, lo.y + kHalfTall - 0.01) << "move " << i;
        ASSERT_LT(p.y, hi.y - kHalfTall + 0.01) << "move " << i;
        const double outsideX = std::max(std::abs(p.x) - 2.0, 0.0),
                     outsideZ = std::max(std::abs(p.z) - 2.0, 0.0);
        ASSERT_GT(std::hypot(outsideX, outsideZ), 1.0 - 0.01) << "into the pillar at move " << i;
    }
}

TEST_F(CapsuleControllerTest, ShortOrBrokenMovesDoNothing) {
    auto floor = flatFloor();
    ControllerRecord& record = makePlayer({0.0, 5.0, 0.0});
    EXPECT_EQ(move(record, {0.005f, 0.0f, 0.0f}), 0u);
    EXPECT_EQ(move(record, {NAN, 0.0f, 0.0f}), 0u);
    EXPECT_EQ(record.controller->getPosition(), glm::dvec3(0.0, 5.0, 0.0));
    EXPECT_FALSE(record.controller->setPosition({0.0, INFINITY, 0.0}));
}

TEST_F(CapsuleControllerTest, BoxRebuiltOverTheCapsulePushesItOut) {
    auto floor = flatFloor();
    ControllerRecord& record = makePlayer({0.0, kHalfTall + kGap, 0.0});
    settle(record);
    // A door box that slid into the player: the next move pushes the capsule out.
    auto door = addBox({0.6f, 0.0f, -5.0f}, {3.0f, 6.0f, 5.0f}, "Door_box");
    step(record, {0.0f, 0.0f, 1.0f});
    step(record, {0.0f, 0.0f, 1.0f});
    EXPECT_LT(record.controller->getPosition().x, 0.6 - 1.0);
}

TEST_F(CapsuleControllerTest, CapsulesBlockEachOther) {
    auto floor = flatFloor();
    ControllerRecord& record = makePlayer({0.0, kHalfTall + kGap, 0.0});
    enemy = world().createEnemyController({6.0f, 0.0f, 0.0f});
    settle(record);
    const glm::dvec3 p = walk(record, {1.0f, 0.0f, 0.0f}, 60);
    // The monster's capsule (radius 1.3) stops the player's (radius 1.0) with the gap between.
    EXPECT_NEAR(p.x, 6.0 - 1.3 - 1.0 - kGap, 0.02);
}

TEST_F(CapsuleControllerTest, ControllerOutlivingItsWorldIsInert) {
    ControllerRecord& record = makePlayer({0.0, 5.0, 0.0});
    PhysicsWorld::destroy();
    EXPECT_FALSE(record.controller->inWorld());
    EXPECT_EQ(move(record, {1.0f, 0.0f, 0.0f}), 0u);
    EXPECT_EQ(record.controller->getPosition(), glm::dvec3(0.0, 5.0, 0.0));
    player.reset();  // must not reach back into the destroyed world
}

}  // namespace
}  // namespace vestrel
