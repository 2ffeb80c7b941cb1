#pragma once

#include "app/GameState.h"

namespace vestrel {

// The shared bodies of the two small states (loading and game over): events
// are polled, the level is drawn and presented, state changes are forwarded,
// and everything else does nothing. Each state adds its own init.
class PassiveState : public GameState {
public:
    void cleanup() override {}
    void pause() override {}
    void resume() override {}
    void handleEvents(Game* current) override { pollEvents(current); }
    void update(Game* /*game*/, float /*dt*/) override {}
    void draw(Game* current) override { drawAndPresent(current); }
    void changeState(Game* current, GameState* state) override { forwardChangeState(current, state); }
    void onKey(int /*key*/, int /*scancode*/, int /*action*/, int /*mods*/, Game* /*game*/) override {}
    void onMouseButton(int /*button*/, int /*action*/, int /*mods*/) override {}

protected:
    PassiveState() = default;
};

}  // namespace vestrel
