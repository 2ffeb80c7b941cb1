#pragma once

#include <map>
#include <string>

#include <glm/vec3.hpp>

namespace vestrel {

class Camera;
class Item;
struct Light;
struct ControllerRecord;

// What the breathing sound should do after one step of the run counters.
enum class BreathingCue { Keep, Start, Stop };

// The player record, embedded in the Level: movement inputs, jump and
// breathing counters, the interaction target, the inventory and the
// flashlight state.
//
// The rules of a step are split from the libraries they drive: the key rules,
// the run/breath counters and the direction vectors work on this record alone,
// so they can be checked without a window, a sound card or a physics world.
class Player {
public:
    static constexpr float kEyeHeight = 1.5f;       // above the controller centre
    static constexpr float kJumpHeight = 2.0f;      // rise above the take-off height
    static constexpr float kJumpLift = 29.43f;      // units/s upwards, before gravity's 9.8
    static constexpr float kRunSecondsMax = 10.0f;  // seconds of fixed steps a run lasts

    ControllerRecord* controller = nullptr;
    glm::vec3 eyePosition{0.0f};
    float walkSpeed = 8.0f;
    float runSpeed = 16.0f;
    float lookSensitivity = 0.1f;  // degrees per pixel
    bool invertLook = false;       // the player's choice: up and down swapped
    float forwardInput = 0.0f;     // +1 forward, -1 back
    float strafeInput = 0.0f;      // +1 right, -1 left
    bool jumping = false;
    bool running = false;
    bool onGround = false;  // set by the controller's hit report
    float jumpBaseHeight = 0.0f;
    float breath = 0.0f;   // steps; grows while running, shrinks otherwise
    float runTime = 0.0f;  // steps run since the player was last fully rested
    std::string targetName;
    int targetKind = 0;                      // 0 none, 1 item, 2 interactive
    std::map<std::string, Item*> inventory;  // items picked up, by name
    Light* flashlight = nullptr;             // also in the level's lights
    int flashlightMode = 0;                  // 0 white, 1 blue
    bool hasFlashlight = false;

    // Without the flashlight item nothing changes.
    void toggleFlashlight();
    // Switches white <-> blue, only while the flashlight is carried and on.
    void toggleFlashlightColour();

    // Movement keys (GLFW codes: W, S, A, D, Space, Left Shift). A press sets
    // its input, so of two opposite keys the later press wins; a release only
    // clears the input when it still is that key's own value. Returns false
    // for keys that are not movement keys.
    bool pressKey(int key);
    bool releaseKey(int key);

    // Starts a jump when standing on the ground and not already rising; a jump
    // in the air does nothing. Letting go (releaseKey Space) ends the rise.
    void startJump();

    // Advances the run and breath counters by one step and returns the speed
    // to move with and what the breathing sound must do, given whether it is
    // playing now. Running only counts while a movement input is held; after
    // stepsPerSecond x 10 run steps the player is exhausted and walks,
    // breathing for as many steps as were run before `runTime` starts over.
    float stepRunAndBreath(int stepsPerSecond, bool breathingPlaying, BreathingCue& cue);

    // One fixed step: run and breath (with the "breathing" sound), movement
    // and jump through the controller, mouse look from the cursor's offset to
    // the camera's rest position, then camera and flashlight placement. Without
    // a controller the movement is skipped and the eye stays where it was.
    void update(int cursorX, int cursorY, float dt, Camera& camera);
};

// The horizontal unit direction the player walks in for pitch and yaw in
// degrees (the view direction with its height removed).
glm::vec3 walkDirection(float pitchDegrees, float yawDegrees);

// The direction to the right of a walk direction for the given up vector.
glm::vec3 strafeDirection(const glm::vec3& walk, const glm::vec3& up);

}  // namespace vestrel
