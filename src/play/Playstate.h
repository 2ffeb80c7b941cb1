#pragma once

#include "app/GameState.h"

namespace vestrel {

// The state the game is played in. Its init builds the play on top of the level
// the loading state prepared; its update is one fixed step of the simulation.
class Playstate : public GameState {
public:
    static Playstate& instance();

    void init(Game* game) override;
    void cleanup() override;
    void pause() override { paused = true; }
    void resume() override { paused = false; }
    void handleEvents(Game* game) override { pollEvents(game); }
    void update(Game* game, float dt) override;
    void draw(Game* game) override { drawAndPresent(game); }
    void changeState(Game* game, GameState* state) override { forwardChangeState(game, state); }
    void onKey(int key, int scancode, int action, int mods, Game* game) override;
    void onMouseButton(int button, int action, int mods) override;

private:
    Playstate() = default;
};

}  // namespace vestrel
