#pragma once

#include "physics/ControllerHitCallback.h"

namespace vestrel {

// The hit report of the player's controller.
//
// A touch made while moving down means the player stands on something: the
// player's onGround flag is set (the player control reads and clears it). A
// touch of the monster's capsule ("ENEMY_CONTROLLER") made while moving
// sideways or up catches the player (GameSettings::playerCaught). Any other
// touch, including the unnamed floor plane, changes nothing.
class ControllerHitReport : public ControllerHitCallback {
public:
    // The player's onGround flag, or null while there is no player.
    void setOnGroundFlag(bool* onGround) { onGround_ = onGround; }
    bool* onGroundFlag() const { return onGround_; }

    void onShapeHit(const ControllerShapeHit& hit) override;

private:
    bool* onGround_ = nullptr;
};

}  // namespace vestrel
