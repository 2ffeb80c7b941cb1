#include "play/Gamepad.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <GLFW/glfw3.h>

#include "play/Camera.h"
#include "play/Player.h"
#include "render/Light.h"

namespace vestrel {
namespace {

// A GLFW reading at rest: sticks centred, triggers released (-1).
struct RawPad {
    unsigned char buttons[15] = {};
    float axes[6] = {0.0f, 0.0f, 0.0f, 0.0f, -1.0f, -1.0f};
};

TEST(GamepadConversion, UpIsPositiveTriggersSpanAByteButtonsMapToMasks) {
    RawPad raw;
    raw.axes[GLFW_GAMEPAD_AXIS_LEFT_Y] = -1.0f;  // GLFW: pushed fully up
    raw.axes[GLFW_GAMEPAD_AXIS_LEFT_X] = 1.0f;
    raw.axes[GLFW_GAMEPAD_AXIS_RIGHT_Y] = 0.5f;   // half down
    raw.axes[GLFW_GAMEPAD_AXIS_RIGHT_X] = -2.0f;  // out of range
    raw.axes[GLFW_GAMEPAD_AXIS_RIGHT_TRIGGER] = 1.0f;
    raw.axes[GLFW_GAMEPAD_AXIS_LEFT_TRIGGER] = std::numeric_limits<float>::quiet_NaN();
    raw.buttons[GLFW_GAMEPAD_BUTTON_A] = GLFW_PRESS;
    raw.buttons[GLFW_GAMEPAD_BUTTON_BACK] = GLFW_PRESS;
    raw.buttons[GLFW_GAMEPAD_BUTTON_RIGHT_BUMPER] = GLFW_PRESS;
    raw.buttons[GLFW_GAMEPAD_BUTTON_DPAD_UP] = GLFW_PRESS;  // for the menus; play does not read it
    raw.buttons[GLFW_GAMEPAD_BUTTON_DPAD_RIGHT] = GLFW_PRESS;

    const GamepadState state = convertGamepadState(raw.buttons, raw.axes);
    EXPECT_EQ(state.thumbLY, 32767);
    EXPECT_EQ(state.thumbLX, 32767);
    EXPECT_NEAR(state.thumbRY, -16384, 1);
    EXPECT_EQ(state.thumbRX, -32767);
    EXPECT_EQ(state.rightTrigger, 255);
    EXPECT_EQ(state.leftTrigger, 0);
    EXPECT_EQ(state.buttons, kPadA | kPadBack | kPadRightShoulder | kPadDpadUp | kPadDpadRight);
    // The direction pad takes no part in play's button order.
    EXPECT_EQ(firstPressedButton(kPadDpadUp | kPadDpadDown | kPadDpadLeft | kPadDpadRight), kButtonNone);

    const RawPad rest;
    const GamepadState idle = convertGamepadState(rest.buttons, rest.axes);
    EXPECT_EQ(idle.buttons, 0);
    EXPECT_EQ(idle.rightTrigger, 0);
    EXPECT_EQ(idle.thumbLY, 0);
}

TEST(GamepadConversion, FirstPressedButtonFollowsThePriorityOrder) {
    EXPECT_EQ(firstPressedButton(0), kButtonNone);
    EXPECT_EQ(firstPressedButton(kPadB | kPadA), kButtonA);
    EXPECT_EQ(firstPressedButton(kPadRightShoulder | kPadLeftShoulder), kButtonLeftShoulder);
    EXPECT_EQ(firstPressedButton(kPadRightShoulder | kPadStart), kButtonRightShoulder);
    EXPECT_EQ(firstPressedButton(kPadBack | kPadStart), kButtonStart);
    EXPECT_EQ(firstPressedButton(kPadBack), kButtonBack);
}

class GamepadApply : public ::testing::Test {
protected:
    Gamepad pad;
    Player player;
    Camera camera{800, 600};
    Light flashlight = makeFlashlight();

    void SetUp() override {
        player.flashlight = &flashlight;
        player.hasFlashlight = true;
    }
    int step(std::uint16_t buttons) {
        pad.state.buttons = buttons;
        return pad.apply(player, camera);
    }
};

TEST_F(GamepadApply, LeftStickAndTriggerOverwriteTheKeyboardWithADeadZone) {
    player.forwardInput = 1.0f;  // W held on the keyboard
    player.running = true;
    step(0);
    EXPECT_EQ(player.forwardInput, 0.0f);
    EXPECT_FALSE(player.running);

    pad.state.thumbLY = static_cast<std::int16_t>(0.19f * 32768.0f);
    pad.state.thumbLX = static_cast<std::int16_t>(-0.5f * 32768.0f);
    pad.state.rightTrigger = 77;  // just over 0.3
    step(0);
    EXPECT_EQ(player.forwardInput, 0.0f);
    EXPECT_NEAR(player.strafeInput, -0.5f, 1e-4f);
    EXPECT_TRUE(player.running);

    pad.state.thumbLY = 32767;
    pad.state.rightTrigger = 76;
    step(0);
    EXPECT_NEAR(player.forwardInput, 1.0f, 1e-4f);
    EXPECT_FALSE(player.running);
}

TEST_F(GamepadApply, RightStickLooksTwoAndAHalfDegreesPerStepAtFullTilt) {
    pad.state.thumbRY = 32767;
    pad.state.thumbRX = 32767;
    step(0);
    EXPECT_NEAR(camera.pitch, 2.5f, 1e-3f);
    EXPECT_NEAR(camera.yaw, 2.5f, 1e-3f);

    pad.state.thumbRY = -32768;
    pad.state.thumbRX = -32768;
    for (int i = 0; i < 100; ++i) step(0);
    EXPECT_EQ(camera.pitch, -80.0f);
    EXPECT_GE(camera.yaw, 0.0f);
    EXPECT_LE(camera.yaw, 360.0f);

    pad.state.thumbRX = static_cast<std::int16_t>(0.1f * 32768.0f);  // inside the dead zone
    const float yaw = camera.yaw;
    step(0);
    EXPECT_EQ(camera.yaw, yaw);

    // Inverted, up on the stick looks down; left and right stay as they are.
    // Twice the look rate turns twice as far.
    camera.pitch = 0.0f;
    camera.yaw = 10.0f;
    player.invertLook = true;
    player.lookSensitivity = 0.2f;
    pad.state.thumbRY = 32767;
    pad.state.thumbRX = 32767;
    step(0);
    EXPECT_NEAR(camera.pitch, -5.0f, 1e-3f);
    EXPECT_NEAR(camera.yaw, 15.0f, 1e-3f);
}

TEST_F(GamepadApply, AHeldJumpsOnceAndBlocksBUntilReleased) {
    player.onGround = true;
    EXPECT_EQ(step(kPadA), kButtonA);
    EXPECT_TRUE(player.jumping);

    player.jumping = false;  // landed while A is still held
    player.onGround = true;
    EXPECT_EQ(step(kPadA), kButtonNone);
    EXPECT_FALSE(player.jumping);

    // B pressed while A is held: A still has priority and is latched.
    flashlight.enabled = false;
    EXPECT_EQ(step(kPadA | kPadB), kButtonNone);
    EXPECT_FALSE(flashlight.enabled);

    EXPECT_EQ(step(kPadB), kButtonB);  // A let go: B acts once
    EXPECT_TRUE(flashlight.enabled);
    EXPECT_EQ(step(kPadB), kButtonNone);
    EXPECT_TRUE(flashlight.enabled);

    EXPECT_EQ(step(0), kButtonNone);
    EXPECT_EQ(step(kPadY), kButtonY);
    EXPECT_EQ(player.flashlightMode, kFlashlightBlue);
    EXPECT_EQ(flashlight.intensity, kFlashlightBlueIntensity);
}

TEST_F(GamepadApply, XAndBackAreHandedToTheCallerOncePerPress) {
    EXPECT_EQ(step(kPadX), kButtonX);
    EXPECT_EQ(step(kPadX), kButtonNone);
    EXPECT_EQ(step(kPadBack), kButtonBack);
    EXPECT_EQ(step(kPadBack), kButtonNone);
    EXPECT_EQ(step(0), kButtonNone);
    EXPECT_EQ(step(kPadX), kButtonX);
}

// A source standing in for the device (a replay, an autopilot): what it
// hands over is what the step sees, and the packet number still counts
// changes of reading.
class ScriptedPad : public GamepadSource {
public:
    bool readGamepad(std::uint32_t index, GamepadState& reading) override {
        askedFor = index;
        reading = next;
        reading.packetNumber = 999;  // a source cannot choose the packet number
        return connected;
    }
    GamepadState next;
    bool connected = true;
    std::uint32_t askedFor = 99;
};

TEST(GamepadSourceTest, ReadingsComeFromTheSourceAndPacketsCountChanges) {
    ScriptedPad source;
    Gamepad pad(2);
    pad.source = &source;
    source.next.thumbLY = 20000;
    ASSERT_TRUE(pad.read());
    EXPECT_EQ(source.askedFor, 2u);
    EXPECT_EQ(pad.state.thumbLY, 20000);
    EXPECT_EQ(pad.state.packetNumber, 1u);
    ASSERT_TRUE(pad.read());
    EXPECT_EQ(pad.state.packetNumber, 1u);  // same reading, same packet
    source.next.buttons = kPadA;
    ASSERT_TRUE(pad.read());
    EXPECT_EQ(pad.state.packetNumber, 2u);
    EXPECT_EQ(pad.state.buttons, kPadA);

    // Unplugged: the state is cleared so nothing acts on a stale reading.
    source.connected = false;
    EXPECT_FALSE(pad.read());
    EXPECT_EQ(pad.state.buttons, 0);
    EXPECT_EQ(pad.state.thumbLY, 0);

    // Without a source, an index past the last joystick is simply no pad.
    pad.source = nullptr;
    pad.index = 4000000000u;
    EXPECT_FALSE(pad.read());
}

}  // namespace
}  // namespace vestrel
