#pragma once

#include "app/PassiveState.h"

namespace vestrel {

// Shown over the paused play when the game is won or lost: the message and the
// Restart and Exit buttons, worked with the left mouse button. Keys do nothing.
class Gameoverstate : public PassiveState {
public:
    static Gameoverstate& instance();

    void init(Game* newGame) override;
    // A left press turns hovered buttons into pressed ones; the release acts
    // on every pressed button, wherever the cursor is by then.
    void onMouseButton(int button, int action, int mods) override;

private:
    Gameoverstate() = default;
};

}  // namespace vestrel
