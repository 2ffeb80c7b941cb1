#include "physics/CapsuleControllerDesc.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "physics/CapsuleController.h"
#include "physics/ControllerRecord.h"
#include "physics/PhysicsWorld.h"

namespace vestrel {
namespace {

CapsuleControllerDesc playerLike() {
    CapsuleControllerDesc desc;
    desc.position = {0.0, 2.0, 0.0};
    desc.radius = 1.0f;
    desc.height = 3.0f;
    desc.slopeLimit = static_cast<float>(std::cos(3.14159265358979323846 / 4.0));
    desc.contactOffset = 0.05f;
    desc.stepOffset = 0.1f;
    return desc;
}

// The capsules as the world builds them for the game, not a copy of their
// description: what the movement and catch tests rely on.
TEST(CapsuleControllerDescTest, TheGamesCapsulesAreTheOnesTheWorldBuilds) {
    PhysicsWorld::destroy();
    PhysicsWorld& world = PhysicsWorld::instance();
    bool onGround = false;
    std::unique_ptr<ControllerRecord> player = world.createPlayerController(&onGround);
    std::unique_ptr<ControllerRecord> monster = world.createEnemyController({4.0f, 1.0f, -2.0f});
    const CapsuleController& p = *player->controller;
    const CapsuleController& m = *monster->controller;
    EXPECT_FLOAT_EQ(p.getRadius(), 1.0f);
    EXPECT_FLOAT_EQ(m.getRadius(), 1.3f);
    for (const CapsuleController* capsule : {&p, &m}) {
        EXPECT_FLOAT_EQ(capsule->getHeight(), 3.0f);
        EXPECT_FLOAT_EQ(capsule->getContactOffset(), 0.05f);
        EXPECT_FLOAT_EQ(capsule->getStepOffset(), 0.1f);
        EXPECT_NEAR(capsule->getSlopeLimit(), std::cos(3.14159265358979323846 / 4.0), 1e-6);
        EXPECT_EQ(capsule->getUpDirection(), glm::vec3(0.0f, 1.0f, 0.0f));
    }
    // The player starts with its lowest point half a unit below the origin;
    // the monster 3 above its first waypoint.
    EXPECT_DOUBLE_EQ(p.getPosition().y - p.getHeight() / 2 - p.getRadius(), -0.5);
    EXPECT_EQ(m.getPosition(), glm::dvec3(4.0, 4.0, -2.0));
    player.reset();
    monster.reset();
    PhysicsWorld::destroy();
}

TEST(CapsuleControllerDescTest, RejectsShapesAControllerCannotUse) {
    auto invalidWith = [](auto change) {
        CapsuleControllerDesc desc = playerLike();
        change(desc);
        return !desc.isValid();
    };
    EXPECT_TRUE(invalidWith([](CapsuleControllerDesc& d) { d.radius = 0.0f; }));
    EXPECT_TRUE(invalidWith([](CapsuleControllerDesc& d) { d.height = -1.0f; }));
    EXPECT_TRUE(invalidWith([](CapsuleControllerDesc& d) { d.contactOffset = 0.0f; }));
    EXPECT_TRUE(invalidWith([](CapsuleControllerDesc& d) { d.stepOffset = -0.1f; }));
    EXPECT_TRUE(invalidWith([](CapsuleControllerDesc& d) { d.slopeLimit = 1.5f; }));
    EXPECT_TRUE(invalidWith([](CapsuleControllerDesc& d) { d.upDirection = glm::vec3(0.0f); }));
    EXPECT_TRUE(invalidWith([](CapsuleControllerDesc& d) { d.position.x = NAN; }));
    EXPECT_TRUE(invalidWith([](CapsuleControllerDesc& d) { d.radius = INFINITY; }));
    // The step may reach the top of the capsule but not beyond.
    EXPECT_FALSE(invalidWith([](CapsuleControllerDesc& d) { d.stepOffset = 5.0f; }));
    EXPECT_TRUE(invalidWith([](CapsuleControllerDesc& d) { d.stepOffset = 5.01f; }));
}

}  // namespace
}  // namespace vestrel
