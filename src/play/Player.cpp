#include "play/Player.h"

#include "render/Light.h"

namespace vestrel {

void Player::toggleFlashlight() {
    if (flashlight) vestrel::toggleFlashlight(*flashlight, hasFlashlight);
}

void Player::toggleFlashlightColour() {
    if (flashlight) vestrel::toggleFlashlightColour(*flashlight, hasFlashlight, flashlightMode);
}

}  // namespace vestrel
