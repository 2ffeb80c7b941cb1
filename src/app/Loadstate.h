#pragma once

#include "app/PassiveState.h"

namespace vestrel {

// Prepares a fresh level and the HUD at the start of every game and stays on
// screen (the loading image) for the one frame drawn while the house loads.
class Loadstate : public PassiveState {
public:
    static Loadstate& instance();

    void init(Game* newGame) override;

private:
    Loadstate() = default;
};

}  // namespace vestrel
