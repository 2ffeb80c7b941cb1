#pragma once

#include <map>
#include <string>

#include <glm/vec3.hpp>

namespace vestrel {

class Item;
struct Light;
struct ControllerRecord;

// The player record, embedded in the Level: movement inputs, jump and
// breathing counters, the interaction target, the inventory and the
// flashlight state.
class Player {
public:
    ControllerRecord* controller = nullptr;
    glm::vec3 eyePosition{0.0f};
    float walkSpeed = 8.0f;
    float runSpeed = 16.0f;
    float lookSensitivity = 0.1f;
    float forwardInput = 0.0f;
    float strafeInput = 0.0f;
    bool jumping = false;
    bool running = false;
    bool onGround = false;
    float jumpBaseHeight = 0.0f;
    float breath = 0.0f;
    float runTime = 0.0f;
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
};

}  // namespace vestrel
