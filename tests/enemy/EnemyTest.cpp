// The monster in the real physics world: the order it walks its path, its
// turns, short or odd paths, the catch and the growl, and how it looks on
// screen.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include <glm/geometric.hpp>
#include <glm/gtc/type_ptr.hpp>

#include "GlTestContext.h"
#include "ScratchFolder.h"
#include "app/GameSettings.h"
#include "audio/SoundSystem.h"
#include "enemy/Enemy.h"
#include "level/Level.h"
#include "physics/PhysicsTestGeometry.h"
#include "physics/PhysicsWorld.h"
#include "play/Camera.h"
#include "render/Light.h"
#include "render/MonsterTextures.h"
#include "render/Shader.h"

namespace vestrel {
namespace {

using test::kStep;

bool finite(const glm::vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

class EnemyTest : public ::testing::Test {
protected:
    std::unique_ptr<PhysicsActor> floor;
    std::unique_ptr<ControllerRecord> record;
    Enemy enemy;

    void SetUp() override {
        PhysicsWorld::destroy();
        GameSettings::instance().playerCaught = false;
        test::TriangleSoup soup;
        soup.floor(0.0f, -100.0f, -100.0f, 100.0f, 100.0f);
        floor = test::addMesh(soup, "FLOOR");
    }
    void TearDown() override {
        record.reset();
        floor.reset();
        PhysicsWorld::destroy();
        GameSettings::instance().playerCaught = false;
    }

    // The play state's order: the path is ordered first, then the controller
    // goes 3.0 above waypoint 0.
    void start() {
        enemy.preparePath();
        ASSERT_FALSE(enemy.waypoints.empty());
        record = PhysicsWorld::instance().createEnemyController(enemy.waypoints.front().position);
        enemy.controller = record.get();
    }
    void step() {
        PhysicsWorld& world = PhysicsWorld::instance();
        world.simulate(kStep);
        world.fetchResults(true);
        enemy.update(kStep);
    }
    // Steps until `arrivals` waypoints have been reached; returns their names.
    std::vector<std::string> walk(int arrivals, int maxSteps = 4000) {
        std::vector<std::string> reached;
        int last = enemy.currentIndex;
        for (int i = 0; i < maxSteps && static_cast<int>(reached.size()) < arrivals; ++i) {
            step();
            if (enemy.currentIndex != last) {
                last = enemy.currentIndex;
                reached.push_back(enemy.waypoints[static_cast<std::size_t>(last)].name);
            }
        }
        return reached;
    }
    glm::vec3 centre() const { return glm::vec3(record->controller->getPosition()); }
    // Where the model faces, in the horizontal plane: the game stands the
    // model up and turns it half round so that its own +Y looks along +Z.
    glm::vec2 facing() const {
        const glm::vec4 f = enemy.model.modelMatrix * glm::vec4(0.0f, 1.0f, 0.0f, 0.0f);
        return glm::normalize(glm::vec2(f.x, f.z));
    }
    void standModelUp() {
        enemy.model.modelMatrix = glm::rotate(glm::mat4(1.0f), -1.570796f, glm::vec3(1, 0, 0));
        enemy.model.rotate(180.0f, 1.0f);
    }
};

TEST_F(EnemyTest, WaypointNumbersAndTheOrderOfThePath) {
    EXPECT_EQ(waypointNumber("Waypoint_07"), 7);
    EXPECT_EQ(waypointNumber("Waypoint_12"), 12);
    EXPECT_EQ(waypointNumber("Waypoint_123"), 12);  // two characters only
    EXPECT_EQ(waypointNumber("Waypoint_5"), 5);
    EXPECT_EQ(waypointNumber("Waypoint_xx"), 0);
    EXPECT_EQ(waypointNumber("Waypoint"), 0);
    EXPECT_EQ(waypointNumber("Waypoint_"), 0);

    enemy.addWaypoint("Waypoint_02", {2, 0, 0});
    enemy.addWaypoint("Waypoint_01", {1, 0, 0});
    enemy.addWaypoint("Waypoint_xx", {0, 0, 0});
    enemy.addWaypoint("Waypoint_01", {1, 0, 5});
    enemy.preparePath();
    // Ascending by number; equal numbers in the reverse of the order added.
    ASSERT_EQ(enemy.waypoints.size(), 4u);
    EXPECT_EQ(enemy.waypoints[0].name, "Waypoint_xx");
    EXPECT_EQ(enemy.waypoints[1].position, glm::vec3(1, 0, 5));
    EXPECT_EQ(enemy.waypoints[2].position, glm::vec3(1, 0, 0));
    EXPECT_EQ(enemy.waypoints[3].name, "Waypoint_02");
    EXPECT_EQ(enemy.currentIndex, 0);
    EXPECT_EQ(enemy.targetIndex, 1);
    EXPECT_TRUE(enemy.forward);
    EXPECT_NEAR(glm::length(enemy.direction - glm::normalize(glm::vec3(1, 0, 5))), 0.0f, 1e-6f);
}

TEST_F(EnemyTest, WalksItsPathInNumberOrderThereAndBack) {
    enemy.addWaypoint("Waypoint_02", {0, 0, 20});
    enemy.addWaypoint("Waypoint_00", {0, 0, 0});
    enemy.addWaypoint("Waypoint_01", {0, 0, 10});
    start();
    // The controller starts 3.0 above waypoint 0 and the model 3.0 below it.
    EXPECT_EQ(centre(), glm::vec3(0, 3, 0));
    step();
    const glm::vec3 origin(enemy.model.modelMatrix[3]);
    EXPECT_NEAR(origin.y, 0.0f, 1e-4f);
    EXPECT_NEAR(origin.z, kStep * Enemy::kSpeed, 1e-3f);  // one step along +z at 7 units/s

    const std::vector<std::string> expected{"Waypoint_01", "Waypoint_02", "Waypoint_01", "Waypoint_00",
                                            "Waypoint_01"};
    EXPECT_EQ(walk(5), expected);
    EXPECT_TRUE(enemy.forward);
    EXPECT_EQ(enemy.targetIndex, 2);
}

TEST_F(EnemyTest, TheModelTurnsLeftRightAndAboutToFaceEachLeg) {
    // An L: a right turn at its corner going out, about at its end, a left
    // turn at the corner coming back (a turn taken the wrong way round shows
    // on the quarter turns only), about again at its start.
    enemy.addWaypoint("Waypoint_00", {0, 0, 0});
    enemy.addWaypoint("Waypoint_01", {0, 0, 10});
    enemy.addWaypoint("Waypoint_02", {10, 0, 10});
    standModelUp();
    start();
    EXPECT_GT(glm::dot(facing(), glm::vec2(0, 1)), 0.9999f);

    const std::vector<std::string> expected{"Waypoint_01", "Waypoint_02", "Waypoint_01", "Waypoint_00"};
    int legs = 0;
    for (const std::string& name : expected) {
        const std::vector<std::string> reached = walk(1);
        ASSERT_EQ(reached, std::vector<std::string>{name}) << "leg " << legs;
        ++legs;
        // Each new leg points down from the capsule centre to the waypoint on
        // the floor; the model still faces straight along it.
        const glm::vec2 travel = glm::normalize(glm::vec2(enemy.direction.x, enemy.direction.z));
        EXPECT_LT(enemy.direction.y, -0.1f);
        EXPECT_GT(glm::dot(facing(), travel), 0.9999f) << "after leg " << legs;
        EXPECT_NEAR(glm::length(glm::vec3(enemy.model.modelMatrix[0])), 1.0f, 1e-4f);
    }
}

TEST_F(EnemyTest, ShortAndDegeneratePathsNeverMoveToNaN) {
    // No waypoints, no controller: updates do nothing.
    enemy.update(kStep);

    // One waypoint: reported once, the monster stands above it.
    enemy.addWaypoint("Waypoint", {4, 0, 4});
    testing::internal::CaptureStdout();
    start();
    enemy.preparePath();
    const std::string said = testing::internal::GetCapturedStdout();
    EXPECT_NE(said.find("Waypoint Waypoint has no number and counts as 0"), std::string::npos) << said;
    const std::string stands = "The monster has 1 waypoint(s) and needs two to walk; it stands still";
    ASSERT_NE(said.find(stands), std::string::npos) << said;
    EXPECT_EQ(said.find(stands), said.rfind(stands));
    for (int i = 0; i < 30; ++i) step();
    EXPECT_EQ(centre(), glm::vec3(4, 3, 4));
    EXPECT_EQ(glm::vec3(enemy.model.modelMatrix[3]), glm::vec3(4, 0, 4));

    // Waypoints 0 and 1 in one place: no heading to start with; the monster
    // arrives at once and goes on to waypoint 2 without a NaN anywhere.
    Enemy same;
    same.addWaypoint("Waypoint_00", {0, 0, 0});
    same.addWaypoint("Waypoint_01", {0, 0, 0});
    same.addWaypoint("Waypoint_02", {0, 0, 8});
    same.preparePath();
    EXPECT_EQ(same.direction, glm::vec3(0.0f));
    std::unique_ptr<ControllerRecord> sameRecord = PhysicsWorld::instance().createEnemyController({0, 0, 0});
    same.controller = sameRecord.get();
    same.model.modelMatrix = glm::mat4(1.0f);
    for (int i = 0; i < 40; ++i) {  // 4.7 units: waypoint 1 reached, 2 not yet
        PhysicsWorld::instance().simulate(kStep);
        PhysicsWorld::instance().fetchResults(true);
        same.update(kStep);
    }
    EXPECT_EQ(same.currentIndex, 1);
    EXPECT_EQ(same.targetIndex, 2);
    EXPECT_TRUE(finite(same.direction));
    for (int c = 0; c < 4; ++c) EXPECT_TRUE(finite(glm::vec3(same.model.modelMatrix[c]))) << c;
    EXPECT_GT(sameRecord->controller->getPosition().z, 4.0);
}

// The capture test and the growl, through the level's own step.
class EnemyCatchTest : public EnemyTest {
protected:
    test::GlTestContext gl{64, 64};
    std::unique_ptr<Shader> shader;
    Level level;
    Light flashlight = makeFlashlight();

    void SetUp() override {
        EnemyTest::SetUp();
        ASSERT_TRUE(gl.ok());
        shader = std::make_unique<Shader>(kSkinningSources);
        level.camera = std::make_unique<Camera>(800, 600);
        level.frustum.setParameters(60.0f, 0.1f, 60.0f, 800.0f / 600.0f);
        level.player.flashlight = &flashlight;
        SoundSystem::instance().releaseAll();
    }
    void TearDown() override {
        level.enemyControllerRecord.reset();
        level.enemy.reset();
        SoundSystem::instance().releaseAll();
        test::forgetMonsterTextures();
        EnemyTest::TearDown();
    }
    float growlVolume() {
        float volume = -1.0f;
        EXPECT_EQ(SoundSystem::instance().channel("growl1").getVolume(volume), AudioResult::Ok);
        return volume;
    }
    void levelStep() {
        PhysicsWorld::instance().simulate(kStep);
        PhysicsWorld::instance().fetchResults(true);
        level.update(400, 300, kStep);
    }
};

TEST_F(EnemyCatchTest, CaughtCloserThanThreeUnitsHorizontallyAtAnyHeightAndTheGrowlFallsSilent) {
    level.enemy = std::make_unique<Enemy>();
    Enemy& monster = *level.enemy;
    monster.addWaypoint("Waypoint_00", {0, 0, 0});  // one waypoint: it stands where it is put
    monster.load(level.lights, level.camera.get(), shader.get());
    ASSERT_NE(monster.growl, nullptr);
    float lo = 0.0f, hi = 0.0f;
    ASSERT_EQ(monster.growl->sound.get3DMinMaxDistance(lo, hi), AudioResult::Ok);
    EXPECT_EQ(lo, 1.0f);
    EXPECT_EQ(hi, 10000.0f);
    level.enemyControllerRecord =
        PhysicsWorld::instance().createEnemyController(monster.waypoints[0].position);
    monster.controller = level.enemyControllerRecord.get();
    SoundSystem::instance().startLoopingSounds();

    level.player.eyePosition = glm::vec3(0.0f, -20.0f, 0.0f);  // ten units below the monster's centre
    CapsuleController& capsule = *monster.controller->controller;
    capsule.setPosition({3.0, -10.0, 0.0});  // exactly 3.0 away horizontally
    levelStep();
    EXPECT_FALSE(GameSettings::instance().playerCaught);
    EXPECT_EQ(growlVolume(), 1.0f);
    // The growl is heard from the monster.
    glm::vec3 heard;
    ASSERT_EQ(SoundSystem::instance().channel("growl1").get3DAttributes(heard), AudioResult::Ok);
    EXPECT_EQ(heard, glm::vec3(3.0f, -10.0f, 0.0f));

    capsule.setPosition({2.0, -10.0, -2.1});  // sqrt(2.0^2 + 2.1^2) = 2.9 away
    levelStep();
    EXPECT_TRUE(GameSettings::instance().playerCaught);
    for (int i = 0; i < 3; ++i) {
        levelStep();
        EXPECT_EQ(growlVolume(), 0.0f) << "update " << i;
    }
}

// The monster on screen: upright, textured, standing on the floor, and
// walking.
TEST_F(EnemyCatchTest, DrawnUprightTexturedOnTheFloorAndMovingAsItWalks) {
    level.enemy = std::make_unique<Enemy>();
    Enemy& monster = *level.enemy;
    monster.addWaypoint("Waypoint_00", {0, 0, -4});
    monster.addWaypoint("Waypoint_01", {0, 0, 4});
    monster.load(level.lights, level.camera.get(), shader.get());
    level.enemyControllerRecord =
        PhysicsWorld::instance().createEnemyController(monster.waypoints[0].position);
    monster.controller = level.enemyControllerRecord.get();

    // Seen from the side, eye at 2.75 above the floor, 15 units away.
    Camera& camera = *level.camera;
    camera = Camera(64, 64);
    camera.position = glm::vec3(15.0f, 2.75f, 0.0f);
    camera.yaw = 180.0f;
    camera.update();
    const GLuint program = shader->program;
    glUseProgram(program);
    glUniform1i(glGetUniformLocation(program, "numLights"), 0);
    glUniform3f(glGetUniformLocation(program, "ambientLight"), 1.0f, 1.0f, 1.0f);
    glUniform1i(glGetUniformLocation(program, "fogEnabled"), 0);
    glEnable(GL_DEPTH_TEST);
    glViewport(0, 0, 64, 64);

    const auto frame = [&](int steps) {
        for (int i = 0; i < steps; ++i) {
            PhysicsWorld::instance().simulate(kStep);
            PhysicsWorld::instance().fetchResults(true);
            monster.update(kStep);
        }
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        monster.model.draw();
        glFinish();
        return gl.readPixels();
    };
    const std::vector<std::uint8_t> first = frame(1);

    // Rows the monster covers; the camera's centre row (31.5) is 2.75 above
    // the floor, and 15 units away the half height of the view is
    // 15 tan 30 = 8.66 units.
    int lowest = 64, highest = -1, leftmost = 64, rightmost = -1, covered = 0;
    std::vector<std::uint32_t> colours;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const std::uint8_t* p = &first[(static_cast<std::size_t>(y) * 64 + x) * 4];
            if (p[0] + p[1] + p[2] == 0) continue;
            ++covered;
            lowest = std::min(lowest, y);
            highest = std::max(highest, y);
            leftmost = std::min(leftmost, x);
            rightmost = std::max(rightmost, x);
            colours.push_back((p[0] << 16) | (p[1] << 8) | p[2]);
        }
    ASSERT_GT(covered, 40);
    const float unitsPerRow = 2.0f * 8.66f / 64.0f;
    const float floorRow = 31.5f - 2.75f / unitsPerRow;
    EXPECT_NEAR(static_cast<float>(lowest), floorRow, 2.0f) << "feet on the floor";
    EXPECT_NEAR(static_cast<float>(highest - lowest + 1) * unitsPerRow, 5.5f, 0.8f) << "standing upright";
    EXPECT_LT(rightmost - leftmost, highest - lowest) << "taller than wide";
    std::sort(colours.begin(), colours.end());
    colours.erase(std::unique(colours.begin(), colours.end()), colours.end());
    EXPECT_GT(colours.size(), 20u) << "textured, not one flat colour";
    gl.savePng((test::scratchFolder() + "vestrel_monster_side.png").c_str());

    // Half a second later it has walked 3.5 units along z (across the view)
    // and moved its legs: the pictures differ where it was and where it is.
    const std::vector<std::uint8_t> later = frame(30);
    int changed = 0;
    for (std::size_t i = 0; i < later.size(); i += 4) {
        if (std::abs(later[i] - first[i]) + std::abs(later[i + 1] - first[i + 1]) +
                std::abs(later[i + 2] - first[i + 2]) >
            30)
            ++changed;
    }
    EXPECT_GT(changed, covered / 2);
    glUseProgram(0);
}

}  // namespace
}  // namespace vestrel
