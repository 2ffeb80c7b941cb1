#pragma once

#include "app/GameState.h"

namespace vestrel {

// Shown over the paused play when the game is won or lost: the message and the
// Restart and Exit buttons, worked with the left mouse button. Keys do nothing.
class Gameoverstate : public GameState {
public:
    static Gameoverstate& instance();

    void init(Game* newGame) override;
    void cleanup() override {}
    void pause() override {}
    void resume() override {}
    void handleEvents(Game* current) override { pollEvents(current); }
    void update(Game* /*game*/, float /*dt*/) override {}
    void draw(Game* current) override { drawAndPresent(current); }
    void changeState(Game* current, GameState* state) override { forwardChangeState(current, state); }
    void onKey(int /*key*/, int /*scancode*/, int /*action*/, int /*mods*/, Game* /*game*/) override {}
    // A left press turns hovered buttons into pressed ones; the release acts
    // on every pressed button, wherever the cursor is by then.
    void onMouseButton(int button, int action, int mods) override;

private:
    Gameoverstate() = default;
};

}  // namespace vestrel
