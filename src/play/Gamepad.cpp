#include "play/Gamepad.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <GLFW/glfw3.h>

#include "play/Camera.h"
#include "play/Player.h"

namespace vestrel {

namespace {

// GLFW reports a stick pushed up as negative; the game's rules want up positive.
std::int16_t thumbFromAxis(float axis, bool invert) {
    if (!std::isfinite(axis)) return 0;
    float v = std::clamp(axis, -1.0f, 1.0f);
    if (invert) v = -v;
    return static_cast<std::int16_t>(std::lround(v * 32767.0f));
}

// GLFW's triggers rest at -1 and reach 1 when pulled fully.
std::uint8_t triggerFromAxis(float axis) {
    if (!std::isfinite(axis)) return 0;
    const float share = (std::clamp(axis, -1.0f, 1.0f) + 1.0f) * 0.5f;
    return static_cast<std::uint8_t>(std::lround(share * 255.0f));
}

struct ButtonSlot {
    GamepadButtonMask mask;
    int id;
};

// The order in which held buttons are considered; the first one wins.
constexpr ButtonSlot kButtonOrder[] = {
    {kPadA, kButtonA},
    {kPadB, kButtonB},
    {kPadX, kButtonX},
    {kPadY, kButtonY},
    {kPadLeftShoulder, kButtonLeftShoulder},
    {kPadRightShoulder, kButtonRightShoulder},
    {kPadLeftThumb, kButtonLeftThumb},
    {kPadRightThumb, kButtonRightThumb},
    {kPadStart, kButtonStart},
    {kPadBack, kButtonBack},
};

bool sameReading(const GamepadState& a, const GamepadState& b) {
    return a.buttons == b.buttons && a.leftTrigger == b.leftTrigger && a.rightTrigger == b.rightTrigger &&
           a.thumbLX == b.thumbLX && a.thumbLY == b.thumbLY && a.thumbRX == b.thumbRX &&
           a.thumbRY == b.thumbRY;
}

}  // namespace

GamepadState convertGamepadState(const unsigned char* glfwButtons, const float* glfwAxes) {
    struct Mapping {
        int glfwButton;
        GamepadButtonMask mask;
    };
    static constexpr Mapping kButtons[] = {
        {GLFW_GAMEPAD_BUTTON_A, kPadA},
        {GLFW_GAMEPAD_BUTTON_B, kPadB},
        {GLFW_GAMEPAD_BUTTON_X, kPadX},
        {GLFW_GAMEPAD_BUTTON_Y, kPadY},
        {GLFW_GAMEPAD_BUTTON_LEFT_BUMPER, kPadLeftShoulder},
        {GLFW_GAMEPAD_BUTTON_RIGHT_BUMPER, kPadRightShoulder},
        {GLFW_GAMEPAD_BUTTON_BACK, kPadBack},
        {GLFW_GAMEPAD_BUTTON_START, kPadStart},
        {GLFW_GAMEPAD_BUTTON_LEFT_THUMB, kPadLeftThumb},
        {GLFW_GAMEPAD_BUTTON_RIGHT_THUMB, kPadRightThumb},
        {GLFW_GAMEPAD_BUTTON_DPAD_UP, kPadDpadUp},
        {GLFW_GAMEPAD_BUTTON_DPAD_DOWN, kPadDpadDown},
        {GLFW_GAMEPAD_BUTTON_DPAD_LEFT, kPadDpadLeft},
        {GLFW_GAMEPAD_BUTTON_DPAD_RIGHT, kPadDpadRight},
    };
    GamepadState state;
    for (const Mapping& m : kButtons) {
        if (glfwButtons[m.glfwButton] == GLFW_PRESS) state.buttons |= m.mask;
    }
    state.thumbLX = thumbFromAxis(glfwAxes[GLFW_GAMEPAD_AXIS_LEFT_X], false);
    state.thumbLY = thumbFromAxis(glfwAxes[GLFW_GAMEPAD_AXIS_LEFT_Y], true);
    state.thumbRX = thumbFromAxis(glfwAxes[GLFW_GAMEPAD_AXIS_RIGHT_X], false);
    state.thumbRY = thumbFromAxis(glfwAxes[GLFW_GAMEPAD_AXIS_RIGHT_Y], true);
    state.leftTrigger = triggerFromAxis(glfwAxes[GLFW_GAMEPAD_AXIS_LEFT_TRIGGER]);
    state.rightTrigger = triggerFromAxis(glfwAxes[GLFW_GAMEPAD_AXIS_RIGHT_TRIGGER]);
    return state;
}

int firstPressedButton(std::uint16_t buttons) {
    for (const ButtonSlot& slot : kButtonOrder) {
        if (buttons & slot.mask) return slot.id;
    }
    return kButtonNone;
}

float stickValue(std::int16_t axis) {
    const float v = static_cast<float>(axis) / 32768.0f;
    return std::fabs(v) < Gamepad::kDeadZone ? 0.0f : v;
}

bool Gamepad::readDevice(std::uint32_t padIndex, GamepadState& reading) {
    reading = GamepadState{};
    if (padIndex > static_cast<std::uint32_t>(GLFW_JOYSTICK_LAST - GLFW_JOYSTICK_1)) return false;
    const int joystick = GLFW_JOYSTICK_1 + static_cast<int>(padIndex);
    GLFWgamepadstate raw;
    std::memset(&raw, 0, sizeof raw);
    if (!glfwJoystickIsGamepad(joystick) || !glfwGetGamepadState(joystick, &raw)) return false;
    reading = convertGamepadState(raw.buttons, raw.axes);
    return true;
}

bool Gamepad::read() {
    GamepadState reading;
    const bool connected =
        source != nullptr ? source->readGamepad(index, reading) : readDevice(index, reading);
    if (!connected) {
        state = GamepadState{};
        return false;
    }
    state = reading;
    if (!sameReading(state, lastReading_)) ++packetCounter_;
    lastReading_ = state;
    state.packetNumber = packetCounter_;
    return true;
}

int Gamepad::latchButton() {
    const int id = firstPressedButton(state.buttons);
    if (latched[static_cast<std::size_t>(id)]) return kButtonNone;
    latched.fill(false);
    latched[static_cast<std::size_t>(id)] = true;
    return id;
}

int Gamepad::apply(Player& player, Camera& camera) {
    const int id = latchButton();
    switch (id) {
        case kButtonA:
            player.startJump();
            break;
        case kButtonB:
            player.toggleFlashlight();
            break;
        case kButtonY:
            player.toggleFlashlightColour();
            break;
        default:
            break;
    }

    player.running = static_cast<float>(state.rightTrigger) / 255.0f > kRunTrigger;
    player.forwardInput = stickValue(state.thumbLY);
    player.strafeInput = stickValue(state.thumbLX);

    const float lookStep = player.lookSensitivity * kLookRate;
    const float pitchSign = player.invertLook ? -1.0f : 1.0f;
    camera.turn(stickValue(state.thumbRY) * lookStep * pitchSign, stickValue(state.thumbRX) * lookStep);
    return id;
}

}  // namespace vestrel
