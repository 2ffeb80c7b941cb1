// The level's step with the real physics world: walking, jumping, the
// camera, flashlight and listener following the player, the capture test.

#include <gtest/gtest.h>

#include <GLFW/glfw3.h>
#include <glm/geometric.hpp>

#include "app/GameSettings.h"
#include "audio/SoundSystem.h"
#include "enemy/Enemy.h"
#include "level/Level.h"
#include "physics/PhysicsTestGeometry.h"
#include "physics/PhysicsWorld.h"
#include "play/Camera.h"
#include "render/Light.h"

namespace vestrel {
namespace {

constexpr float kStep = 1.0f / 60.0f;

class LevelUpdateTest : public ::testing::Test {
protected:
    GameSettings& settings = GameSettings::instance();
    const int savedRefreshRate = settings.refreshRate;
    std::unique_ptr<Level> level;
    std::unique_ptr<PhysicsActor> floor;
    Light flashlight = makeFlashlight();

    void SetUp() override {
        if (PhysicsWorld::exists()) PhysicsWorld::destroy();
        settings.playerCaught = false;
        settings.refreshRate = 60;
        level = std::make_unique<Level>();
        level->camera = std::make_unique<Camera>(800, 600);
        level->frustum.setParameters(60.0f, 0.1f, 60.0f, 800.0f / 600.0f);
        level->player.flashlight = &flashlight;
    }
    void TearDown() override {
        level.reset();
        floor.reset();
        PhysicsWorld::destroy();
        settings.playerCaught = false;
        settings.refreshRate = savedRefreshRate;
    }

    // A flat triangle-mesh floor at y = 0 and the player standing on it.
    void standOnFloor() {
        test::TriangleSoup soup;
        soup.floor(0.0f, -100.0f, -100.0f, 100.0f, 100.0f);
        floor = test::addMesh(soup, "FLOOR");
        PhysicsWorld& world = PhysicsWorld::instance();
        level->playerControllerRecord = world.createPlayerController(&level->player.onGround);
        level->player.controller = level->playerControllerRecord.get();
        level->player.controller->controller->setPosition({0.0, 4.0, 0.0});
        for (int i = 0; i < 60; ++i) step();
        ASSERT_TRUE(level->player.onGround);
    }

    // The play state's step without the game pad: physics, gravity, level.
    void step(int cursorX = 400, int cursorY = 300) {
        PhysicsWorld& world = PhysicsWorld::instance();
        world.simulate(kStep);
        world.fetchResults(true);
        ControllerRecord* record = level->player.controller;
        if (record) record->controller->move(world.gravity * kStep, record->minDist, kStep, record->filters);
        level->update(cursorX, cursorY, kStep);
    }

    glm::dvec3 centre() const { return level->player.controller->controller->getPosition(); }
};

TEST_F(LevelUpdateTest, WalkingForwardCoversWalkSpeedPerSecondAndEverythingFollowsTheEye) {
    standOnFloor();
    const glm::dvec3 start = centre();
    level->player.pressKey(GLFW_KEY_W);
    for (int i = 0; i < 60; ++i) step();
    glm::dvec3 end = centre();
    EXPECT_NEAR(end.x - start.x, 8.0, 0.1);
    EXPECT_NEAR(end.z, start.z, 1e-3);
    EXPECT_NEAR(end.y, start.y, 0.05);

    // Turn a quarter to the right and run: 16 units per second along +z.
    level->player.pressKey(GLFW_KEY_LEFT_SHIFT);
    step(400 + 900, 300);  // 90 degrees at 0.1 degrees per pixel
    ASSERT_NEAR(level->camera->yaw, 90.0f, 1e-3f);
    const glm::dvec3 turned = centre();
    for (int i = 0; i < 60; ++i) step();
    end = centre();
    EXPECT_NEAR(end.z - turned.z, 16.0, 0.2);
    EXPECT_NEAR(end.x, turned.x, 0.05);

    const glm::vec3 eye = glm::vec3(end) + glm::vec3(0.0f, 1.5f, 0.0f);
    EXPECT_NEAR(glm::distance(level->player.eyePosition, eye), 0.0f, 1e-4f);
    EXPECT_EQ(level->camera->position, level->player.eyePosition);
    EXPECT_EQ(flashlight.position, level->player.eyePosition);
    EXPECT_NEAR(glm::distance(flashlight.coneDirection, level->camera->direction()), 0.0f, 1e-6f);
    EXPECT_NEAR(glm::distance(SoundSystem::instance().listenerPosition(), glm::vec3(end)), 0.0f, 1e-4f);
}

TEST_F(LevelUpdateTest, RunLastsTenSecondsOfStepsWhateverTheRefreshRate) {
    standOnFloor();
    settings.refreshRate = 144;  // 1440 steps if the display's rate counted
    level->player.pressKey(GLFW_KEY_W);
    level->player.pressKey(GLFW_KEY_LEFT_SHIFT);
    for (int i = 0; i < 600; ++i) step();
    EXPECT_EQ(level->player.runTime, 600.0f);
    EXPECT_EQ(level->player.breath, 600.0f);
    step();  // exhausted: walking, catching breath
    EXPECT_EQ(level->player.runTime, 600.0f);
    EXPECT_EQ(level->player.breath, 599.0f);
}

TEST_F(LevelUpdateTest, JumpRisesTwoUnitsOrUntilSpaceIsReleasedThenLands) {
    standOnFloor();
    const double ground = centre().y;
    level->player.pressKey(GLFW_KEY_SPACE);
    double peak = ground;
    int rising = 0;
    while (level->player.jumping && rising < 120) {
        step();
        peak = std::max(peak, centre().y);
        ++rising;
    }
    // The height is checked after gravity's share of the step, so the last
    // lift can start just under 2.0 and carry up to one full lift above it.
    EXPECT_GE(peak - ground, 2.0);
    EXPECT_LT(peak - ground, 2.0 + 29.43 / 60.0 + 0.01);
    EXPECT_GE(rising, 6);  // about 2 units at 19.63 per second
    EXPECT_LE(rising, 9);

    for (int i = 0; i < 60; ++i) step();
    EXPECT_NEAR(centre().y, ground, 0.05);
    EXPECT_TRUE(level->player.onGround);

    // Released half-way: the rise stops at once and gravity takes over.
    level->player.pressKey(GLFW_KEY_SPACE);
    for (int i = 0; i < 3; ++i) step();
    level->player.releaseKey(GLFW_KEY_SPACE);
    const double released = centre().y;
    EXPECT_LT(released - ground, 2.0);
    step();
    EXPECT_NEAR(centre().y, released - 9.8 / 60.0, 1e-3);
}

TEST_F(LevelUpdateTest, MonsterCatchesWithinThreeUnitsHorizontallyAtAnyHeight) {
    level->player.eyePosition = glm::vec3(5.0f, 1.5f, -2.0f);
    level->enemy = std::make_unique<Enemy>();
    level->enemyControllerRecord =
        PhysicsWorld::instance().createEnemyController(glm::vec3(40.0f, 0.0f, 40.0f));
    level->enemy->controller = level->enemyControllerRecord.get();
    CapsuleController& monster = *level->enemy->controller->controller;

    step();
    EXPECT_FALSE(settings.playerCaught);

    monster.setPosition({5.0, 1.5, 1.0});  // exactly 3.0 away
    step();
    EXPECT_FALSE(settings.playerCaught);

    monster.setPosition({7.0, 11.5, -4.0});  // 2.83 away, ten units above
    step();
    EXPECT_TRUE(settings.playerCaught);
}

TEST_F(LevelUpdateTest, CullingFrustumLooksWhereTheCameraLooks) {
    level->player.eyePosition = glm::vec3(0.0f, 1.5f, 0.0f);
    level->camera->yaw = 90.0f;  // looking along +z
    step();
    const std::array<float, 6> ahead = {-1.0f, 0.0f, 9.0f, 1.0f, 2.0f, 11.0f};
    const std::array<float, 6> behind = {-1.0f, 0.0f, -11.0f, 1.0f, 2.0f, -9.0f};
    EXPECT_NE(level->frustum.testBox(ahead), FrustumTest::Outside);
    EXPECT_EQ(level->frustum.testBox(behind), FrustumTest::Outside);
}

}  // namespace
}  // namespace vestrel
