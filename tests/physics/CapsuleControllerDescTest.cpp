#include "physics/CapsuleControllerDesc.h"

#include <gtest/gtest.h>

#include <cmath>

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

TEST(CapsuleControllerDescTest, TheGamesCapsulesAreValid) {
    CapsuleControllerDesc player = playerLike();
    EXPECT_TRUE(player.isValid());
    EXPECT_DOUBLE_EQ(player.position.y - player.height / 2 - player.radius,
                     -0.5);  // bottom of the start capsule
    CapsuleControllerDesc monster = playerLike();
    monster.radius = 1.3f;
    EXPECT_TRUE(monster.isValid());
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
