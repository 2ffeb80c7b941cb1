#pragma once

#include <array>
#include <cstdint>

namespace vestrel {

class Camera;
class Player;

// One reading of a game pad in the shape the game's rules are written for:
// thumbs -32768..32767 with up and right positive, triggers 0..255, buttons
// as a bit mask (the masks below).
struct GamepadState {
    std::uint32_t packetNumber = 0;  // changes whenever the reading changes
    std::uint16_t buttons = 0;
    std::uint8_t leftTrigger = 0;
    std::uint8_t rightTrigger = 0;
    std::int16_t thumbLX = 0;
    std::int16_t thumbLY = 0;
    std::int16_t thumbRX = 0;
    std::int16_t thumbRY = 0;
};

enum GamepadButtonMask : std::uint16_t {
    kPadDpadUp = 0x0001,  // the direction pad works the menus; play does not read it
    kPadDpadDown = 0x0002,
    kPadDpadLeft = 0x0004,
    kPadDpadRight = 0x0008,
    kPadStart = 0x0010,
    kPadBack = 0x0020,
    kPadLeftThumb = 0x0040,
    kPadRightThumb = 0x0080,
    kPadLeftShoulder = 0x0100,
    kPadRightShoulder = 0x0200,
    kPadA = 0x1000,
    kPadB = 0x2000,
    kPadX = 0x4000,
    kPadY = 0x8000,
};

// Button ids; when several are held the first in kButtonOrder wins.
enum GamepadButton : int {
    kButtonA = 0,
    kButtonB = 1,
    kButtonX = 2,
    kButtonY = 3,
    kButtonStart = 4,
    kButtonBack = 5,
    kButtonRightShoulder = 6,
    kButtonLeftShoulder = 7,
    kButtonLeftThumb = 8,
    kButtonRightThumb = 9,
    kButtonNone = 10,
};

// Converts a GLFW game-pad reading (15 buttons, 6 axes in GLFW's order and
// ranges: sticks -1..1 with up negative, triggers resting at -1) to the
// game's shape. Out-of-range or non-finite axes are clamped / read as rest.
GamepadState convertGamepadState(const unsigned char* glfwButtons, const float* glfwAxes);

// The first pressed button id in priority order, or kButtonNone.
int firstPressedButton(std::uint16_t buttons);

// A stick axis scaled to -1..1 (up and right positive) with the dead zone
// applied: magnitudes below kDeadZone read as 0.
float stickValue(std::int16_t axis);

// Where pad readings come from instead of the device: a demo replay or an
// autopilot supplies them, and a recorder sees each one on its way.
class GamepadSource {
public:
    virtual ~GamepadSource() = default;
    // Fills `reading` and returns true when a pad `index` is connected.
    virtual bool readGamepad(std::uint32_t index, GamepadState& reading) = 0;
};

// The game pad of the play state: polled once per fixed step. A held button
// acts once; it acts again only after another button, or none, was seen.
class Gamepad {
public:
    static constexpr float kDeadZone = 0.2f;
    static constexpr float kRunTrigger = 0.3f;  // right trigger share that runs
    static constexpr float kLookRate = 25.0f;   // x sensitivity = degrees per step at full tilt

    GamepadState state;
    std::uint32_t index = 0;  // which pad (GLFW joystick 1 + index)
    std::array<bool, 11> latched{};
    GamepadSource* source = nullptr;  // not owning; null: the device itself

    explicit Gamepad(std::uint32_t padIndex = 0) : index(padIndex) {}

    // Reads pad `index` into `state`, from `source` when one is set, else
    // from the device; false (state cleared) when no pad is connected.
    bool read();

    // The device: GLFW joystick 1 + index with a game-pad mapping. Needs
    // GLFW to be initialised.
    static bool readDevice(std::uint32_t padIndex, GamepadState& reading);

    // Latches the first pressed button of `state` and returns its id, or
    // kButtonNone when nothing new was pressed.
    int latchButton();

    // Applies `state` to the player and camera for one step: A jumps, B and Y
    // switch the flashlight, the right trigger runs, the left stick sets the
    // movement inputs (overwriting the keyboard's) and the right stick looks
    // around. Returns the latched button id so that the caller can act on the
    // ones that reach beyond the player (X interacts, Back quits).
    int apply(Player& player, Camera& camera);

private:
    std::uint32_t packetCounter_ = 0;
    GamepadState lastReading_;
};

}  // namespace vestrel
