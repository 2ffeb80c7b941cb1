#include "play/Player.h"

#include <cmath>

#include <GLFW/glfw3.h>
#include <glm/geometric.hpp>

#include "app/GameLoop.h"
#include "audio/SoundSystem.h"
#include "physics/ControllerRecord.h"
#include "play/Camera.h"
#include "render/Light.h"

namespace vestrel {

namespace {
const char* const kBreathingName = "breathing";
}  // namespace

glm::vec3 walkDirection(float pitchDegrees, float yawDegrees) {
    glm::vec3 walk = viewDirection(pitchDegrees, yawDegrees);
    walk.y = 0.0f;
    const float length = glm::length(walk);
    // Pitch stays within +-80 degrees, so this only guards a camera set by hand.
    if (!(length > 1e-6f)) return glm::vec3(0.0f);
    return walk / length;
}

glm::vec3 strafeDirection(const glm::vec3& walk, const glm::vec3& up) { return glm::cross(walk, up); }

void Player::toggleFlashlight() {
    if (flashlight) vestrel::toggleFlashlight(*flashlight, hasFlashlight);
}

void Player::toggleFlashlightColour() {
    if (flashlight) vestrel::toggleFlashlightColour(*flashlight, hasFlashlight, flashlightMode);
}

bool Player::pressKey(int key) {
    switch (key) {
        case GLFW_KEY_SPACE:
            startJump();
            return true;
        case GLFW_KEY_W:
            forwardInput = 1.0f;
            return true;
        case GLFW_KEY_S:
            forwardInput = -1.0f;
            return true;
        case GLFW_KEY_A:
            strafeInput = -1.0f;
            return true;
        case GLFW_KEY_D:
            strafeInput = 1.0f;
            return true;
        case GLFW_KEY_LEFT_SHIFT:
            running = true;
            return true;
        default:
            return false;
    }
}

bool Player::releaseKey(int key) {
    switch (key) {
        case GLFW_KEY_SPACE:
            onGround = false;
            jumping = false;
            return true;
        case GLFW_KEY_W:
            if (forwardInput == 1.0f) forwardInput = 0.0f;
            return true;
        case GLFW_KEY_S:
            if (forwardInput == -1.0f) forwardInput = 0.0f;
            return true;
        case GLFW_KEY_A:
            if (strafeInput == -1.0f) strafeInput = 0.0f;
            return true;
        case GLFW_KEY_D:
            if (strafeInput == 1.0f) strafeInput = 0.0f;
            return true;
        case GLFW_KEY_LEFT_SHIFT:
            running = false;
            return true;
        default:
            return false;
    }
}

void Player::startJump() {
    if (onGround && !jumping) {
        onGround = false;
        jumping = true;
    }
}

float Player::stepRunAndBreath(int stepsPerSecond, bool breathingPlaying, BreathingCue& cue) {
    cue = BreathingCue::Keep;
    const bool moving = forwardInput != 0.0f || strafeInput != 0.0f;
    if (running && moving && runTime < static_cast<float>(stepsPerSecond) * kRunSecondsMax) {
        runTime += 1.0f;
        breath += 1.0f;
        return runSpeed;
    }
    // Walking, standing or exhausted: catch one step of breath back.
    if (breath > 0.0f) {
        breath -= 1.0f;
        if (!breathingPlaying) cue = BreathingCue::Start;
    } else {
        runTime = 0.0f;
        if (breathingPlaying) cue = BreathingCue::Stop;
    }
    return walkSpeed;
}

void Player::update(int cursorX, int cursorY, float dt, Camera& camera) {
    CapsuleController* capsule = controller ? controller->controller.get() : nullptr;
    if (capsule && onGround && !jumping) {
        jumpBaseHeight = static_cast<float>(capsule->getPosition().y);
    }

    SoundSystem& sounds = SoundSystem::instance();
    bool breathingPlaying = false;
    sounds.channel(kBreathingName).isPlaying(breathingPlaying);
    BreathingCue cue = BreathingCue::Keep;
    // The run limit counts fixed steps, which come 1 / kFixedStep per second
    // whatever the display's refresh rate.
    const float speed = stepRunAndBreath(kFixedStepsPerSecond, breathingPlaying, cue);
    if (cue == BreathingCue::Start) {
        sounds.playSound(sounds.findSound(kBreathingName), true, kBreathingName);
    } else if (cue == BreathingCue::Stop) {
        sounds.channel(kBreathingName).stop();
    }

    if (capsule) {
        const glm::vec3 walk = walkDirection(camera.pitch, camera.yaw);
        const float minDist = controller->minDist;
        const ControllerFilters& filters = controller->filters;
        capsule->move(walk * forwardInput * speed * dt, minDist, dt, filters);
        capsule->move(strafeDirection(walk, camera.up) * strafeInput * speed * dt, minDist, dt, filters);
        if (jumping) {
            if (static_cast<float>(capsule->getPosition().y) - jumpBaseHeight < kJumpHeight) {
                capsule->move(glm::vec3(0.0f, kJumpLift * dt, 0.0f), minDist, dt, filters);
            } else {
                jumping = false;
            }
        }
    }

    // Integer offsets from the rest position the game puts the cursor back to.
    const float pitchSign = invertLook ? -1.0f : 1.0f;
    camera.turn(static_cast<float>(camera.centerY - cursorY) * lookSensitivity * pitchSign,
                static_cast<float>(cursorX - camera.centerX) * lookSensitivity);

    if (capsule) {
        eyePosition = glm::vec3(capsule->getPosition()) + glm::vec3(0.0f, kEyeHeight, 0.0f);
    }
    camera.position = eyePosition;
    if (flashlight) {
        flashlight->position = eyePosition;
        flashlight->coneDirection = camera.direction();
    }
}

}  // namespace vestrel
