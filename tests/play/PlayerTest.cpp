#include "play/Player.h"

#include <gtest/gtest.h>

#include <GLFW/glfw3.h>
#include <glm/geometric.hpp>
#include <glm/trigonometric.hpp>

#include <cmath>

#include "play/Camera.h"
#include "render/Light.h"

namespace vestrel {
namespace {

TEST(PlayerKeys, LaterPressWinsAndAReleaseOnlyClearsItsOwnDirection) {
    Player player;
    player.pressKey(GLFW_KEY_W);
    player.pressKey(GLFW_KEY_S);
    EXPECT_EQ(player.forwardInput, -1.0f);
    player.releaseKey(GLFW_KEY_W);  // W no longer owns the input
    EXPECT_EQ(player.forwardInput, -1.0f);
    player.releaseKey(GLFW_KEY_S);
    EXPECT_EQ(player.forwardInput, 0.0f);

    player.pressKey(GLFW_KEY_D);
    player.pressKey(GLFW_KEY_A);
    player.releaseKey(GLFW_KEY_D);
    EXPECT_EQ(player.strafeInput, -1.0f);
    player.releaseKey(GLFW_KEY_A);
    EXPECT_EQ(player.strafeInput, 0.0f);

    player.pressKey(GLFW_KEY_LEFT_SHIFT);
    EXPECT_TRUE(player.running);
    player.releaseKey(GLFW_KEY_LEFT_SHIFT);
    EXPECT_FALSE(player.running);

    EXPECT_FALSE(player.pressKey(GLFW_KEY_Q));
    EXPECT_FALSE(player.releaseKey(GLFW_KEY_Q));
}

TEST(PlayerKeys, SpaceJumpsOnlyFromTheGroundAndReleaseEndsTheRise) {
    Player player;
    player.pressKey(GLFW_KEY_SPACE);  // in the air
    EXPECT_FALSE(player.jumping);

    player.onGround = true;
    player.pressKey(GLFW_KEY_SPACE);
    EXPECT_TRUE(player.jumping);
    EXPECT_FALSE(player.onGround);

    player.onGround = true;  // a ground touch while still rising does not restart it
    player.jumpBaseHeight = 5.0f;
    player.startJump();
    EXPECT_TRUE(player.onGround);

    player.releaseKey(GLFW_KEY_SPACE);
    EXPECT_FALSE(player.jumping);
    EXPECT_FALSE(player.onGround);
}

TEST(PlayerRunning, RunsTenSecondsThenBreathesAsLongAsItRan) {
    Player player;
    player.running = true;
    player.forwardInput = 1.0f;
    BreathingCue cue = BreathingCue::Keep;

    for (int step = 0; step < 600; ++step) {
        ASSERT_EQ(player.stepRunAndBreath(60, false, cue), player.runSpeed) << step;
        ASSERT_EQ(cue, BreathingCue::Keep);
    }
    EXPECT_EQ(player.runTime, 600.0f);
    EXPECT_EQ(player.breath, 600.0f);

    // Exhausted: still holding Shift and W, but walking and out of breath.
    EXPECT_EQ(player.stepRunAndBreath(60, false, cue), player.walkSpeed);
    EXPECT_EQ(cue, BreathingCue::Start);
    EXPECT_EQ(player.breath, 599.0f);
    EXPECT_EQ(player.stepRunAndBreath(60, true, cue), player.walkSpeed);
    EXPECT_EQ(cue, BreathingCue::Keep);

    // Stopping to rest keeps breathing; runTime only starts over once rested.
    player.running = false;
    for (int step = 0; step < 598; ++step) player.stepRunAndBreath(60, true, cue);
    EXPECT_EQ(player.breath, 0.0f);
    EXPECT_EQ(player.runTime, 600.0f);
    player.stepRunAndBreath(60, true, cue);
    EXPECT_EQ(cue, BreathingCue::Stop);
    EXPECT_EQ(player.runTime, 0.0f);

    player.running = true;
    EXPECT_EQ(player.stepRunAndBreath(60, false, cue), player.runSpeed);
}

TEST(PlayerRunning, ShortRunRecoversAndRunningOnTheSpotDoesNotCount) {
    Player player;
    BreathingCue cue = BreathingCue::Keep;
    player.running = true;  // Shift held, no direction
    EXPECT_EQ(player.stepRunAndBreath(60, false, cue), player.walkSpeed);
    EXPECT_EQ(player.runTime, 0.0f);
    EXPECT_EQ(cue, BreathingCue::Keep);

    player.strafeInput = -1.0f;
    for (int step = 0; step < 5; ++step) player.stepRunAndBreath(60, false, cue);
    player.running = false;
    player.stepRunAndBreath(60, false, cue);
    EXPECT_EQ(cue, BreathingCue::Start);
    for (int step = 0; step < 4; ++step) player.stepRunAndBreath(60, true, cue);
    EXPECT_EQ(player.breath, 0.0f);
    EXPECT_EQ(player.runTime, 5.0f);
    player.stepRunAndBreath(60, true, cue);
    EXPECT_EQ(cue, BreathingCue::Stop);
    EXPECT_EQ(player.runTime, 0.0f);
}

TEST(PlayerDirections, WalkIsHorizontalAndStrafeIsToTheRight) {
    const glm::vec3 up(0.0f, 1.0f, 0.0f);
    for (float pitch : {-80.0f, 0.0f, 45.0f, 80.0f}) {
        const glm::vec3 walk = walkDirection(pitch, 0.0f);
        EXPECT_NEAR(walk.x, 1.0f, 1e-5f) << pitch;
        EXPECT_EQ(walk.y, 0.0f);
        EXPECT_NEAR(walk.z, 0.0f, 1e-5f);
    }
    const glm::vec3 walk = walkDirection(30.0f, 90.0f);
    EXPECT_NEAR(walk.x, 0.0f, 1e-5f);
    EXPECT_NEAR(walk.z, 1.0f, 1e-5f);

    // Turning right increases yaw, so the right of yaw 0 is the walk of yaw 90.
    const glm::vec3 right = strafeDirection(walkDirection(0.0f, 0.0f), up);
    EXPECT_NEAR(glm::distance(right, walkDirection(0.0f, 90.0f)), 0.0f, 1e-5f);
    const glm::vec3 rightAt210 = strafeDirection(walkDirection(0.0f, 210.0f), up);
    EXPECT_NEAR(glm::distance(rightAt210, walkDirection(0.0f, 300.0f)), 0.0f, 1e-5f);

    EXPECT_EQ(walkDirection(90.0f, 0.0f), glm::vec3(0.0f));  // straight up has no walk direction
}

TEST(CameraLook, PitchIsClampedAndYawWraps) {
    Camera camera(800, 600);
    camera.yaw = 359.5f;
    camera.turn(0.0f, 1.0f);
    EXPECT_NEAR(camera.yaw, 0.5f, 1e-4f);
    camera.turn(0.0f, -1.0f);
    EXPECT_NEAR(camera.yaw, 359.5f, 1e-4f);

    camera.pitch = 79.9f;
    camera.turn(0.5f, 0.0f);
    EXPECT_EQ(camera.pitch, 80.0f);
    camera.turn(-200.0f, 0.0f);
    EXPECT_EQ(camera.pitch, -80.0f);

    // A long cursor jump is brought all the way back into range.
    camera.yaw = 10.0f;
    camera.turn(0.0f, 1000.0f);
    EXPECT_NEAR(camera.yaw, 290.0f, 1e-3f);
    camera.turn(0.0f, -1000.0f);
    EXPECT_NEAR(camera.yaw, 10.0f, 1e-3f);
}

TEST(PlayerStep, MouseLookTurnsByTheCursorOffsetAndTheFlashlightFollows) {
    Camera camera(800, 600);
    ASSERT_EQ(camera.centerX, 400);
    ASSERT_EQ(camera.centerY, 300);
    Light flashlight = makeFlashlight();
    Player player;
    player.flashlight = &flashlight;
    player.eyePosition = glm::vec3(1.0f, 2.0f, 3.0f);

    // Cursor 20 px right and 10 px up of the centre: turn right 2 degrees, look up 1.
    player.update(420, 290, 1.0f / 60.0f, camera);
    EXPECT_NEAR(camera.yaw, 2.0f, 1e-5f);
    EXPECT_NEAR(camera.pitch, 1.0f, 1e-5f);
    player.update(370, 300, 1.0f / 60.0f, camera);
    EXPECT_NEAR(camera.yaw, 359.0f, 1e-4f);

    // Without a controller the player stays where it is, but the camera and
    // light still sit at the eye, looking the new way.
    EXPECT_EQ(camera.position, player.eyePosition);
    EXPECT_EQ(flashlight.position, player.eyePosition);
    EXPECT_NEAR(glm::distance(flashlight.coneDirection, viewDirection(1.0f, 359.0f)), 0.0f, 1e-6f);

    // The player's own look rate and an inverted look: the same cursor
    // offsets turn by rate x pixels, up and down swapped.
    struct Case {
        float sensitivity;
        bool invert;
        int cursorX;
        int cursorY;
        float pitch;
        float yaw;
    };
    const Case cases[] = {
        {0.05f, false, 400, 260, 2.0f, 0.0f}, {0.05f, true, 400, 260, -2.0f, 0.0f},
        {0.2f, true, 410, 340, 8.0f, 2.0f},   {0.2f, false, 390, 340, -8.0f, 358.0f},
    };
    for (const Case& c : cases) {
        camera.pitch = 0.0f;
        camera.yaw = 0.0f;
        player.lookSensitivity = c.sensitivity;
        player.invertLook = c.invert;
        player.update(c.cursorX, c.cursorY, 1.0f / 60.0f, camera);
        EXPECT_NEAR(camera.pitch, c.pitch, 1e-4f) << c.sensitivity << " " << c.invert;
        EXPECT_NEAR(camera.yaw, c.yaw, 1e-4f) << c.sensitivity << " " << c.invert;
    }
}

TEST(CameraLook, TheFieldOfViewSetsTheProjectionAndSixtyKeepsTheGamesOwn) {
    Camera camera(800, 600);
    const glm::mat4 original = camera.projection;
    // 60 degrees as the game has always made it: the very same matrix.
    camera.setFieldOfView(60.0f);
    EXPECT_EQ(camera.projection, original);
    EXPECT_NEAR(original[1][1], 1.0f / std::tan(glm::radians(30.0f)), 1e-5f);
    for (float degrees : {45.0f, 75.0f, 90.0f}) {
        camera.setFieldOfView(degrees);
        EXPECT_NEAR(camera.projection[1][1], 1.0f / std::tan(glm::radians(degrees / 2.0f)), 1e-4f) << degrees;
        EXPECT_NEAR(camera.projection[0][0], camera.projection[1][1] * 600.0f / 800.0f, 1e-4f) << degrees;
        EXPECT_EQ(camera.viewProjection, camera.projection * camera.view);
    }
    // A new viewport keeps the chosen field of view.
    camera.setViewport(1000, 500);
    EXPECT_NEAR(camera.projection[1][1], 1.0f, 1e-4f);
    EXPECT_NEAR(camera.projection[0][0], 0.5f, 1e-4f);
}

}  // namespace
}  // namespace vestrel
