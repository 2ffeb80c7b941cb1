#pragma once

#include "app/GameState.h"

namespace vestrel {

// Prepares a fresh level and the HUD at the start of every game and stays on
// screen (the loading image) for the one frame drawn while the house loads.
class Loadstate : public GameState {
public:
    static Loadstate& instance();

    void init(Game* newGame) override;
    void cleanup() override {}
    void pause() override {}
    void resume() override {}
    void handleEvents(Game* current) override { pollEvents(current); }
    void update(Game* /*game*/, float /*dt*/) override {}
    void draw(Game* current) override { drawAndPresent(current); }
    void changeState(Game* current, GameState* state) override { forwardChangeState(current, state); }
    void onKey(int /*key*/, int /*scancode*/, int /*action*/, int /*mods*/, Game* /*game*/) override {}
    void onMouseButton(int /*button*/, int /*action*/, int /*mods*/) override {}

private:
    Loadstate() = default;
};

}  // namespace vestrel
