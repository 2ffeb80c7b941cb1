#pragma once

#include <memory>
#include <string>

#include "app/GameState.h"
#include "play/Gamepad.h"
#include "play/PlayCues.h"

namespace vestrel {

class Level;

// The state the game is played in. Its init builds the play on top of the level
// the loading state prepared; its update is one fixed step of the simulation.
class Playstate : public GameState {
public:
    static Playstate& instance();

    void init(Game* newGame) override;
    void cleanup() override;
    void pause() override { paused = true; }
    void resume() override { paused = false; }
    void handleEvents(Game* current) override { pollEvents(current); }
    void update(Game* current, float dt) override;
    void draw(Game* current) override { drawAndPresent(current); }
    void changeState(Game* current, GameState* state) override { forwardChangeState(current, state); }
    void onKey(int key, int scancode, int action, int mods, Game* current) override;
    void onMouseButton(int button, int action, int mods) override;

    // Game pad 0, read at the start of every step; its latches live as long
    // as the play state, across restarts.
    std::unique_ptr<Gamepad> gamepad = std::make_unique<Gamepad>(0);

    // Prompts, answers, hint, captions and the monster's warning: reset with
    // each game, stepped with the play, handed to the renderer every step.
    PlayCues cues;

    // The level every start sequence loads. Tests point it at other levels
    // (the Blender sample); the game itself always plays the house.
    std::string levelPath = kHousePath;
    static constexpr const char* kHousePath = "Assets\\house1.dae";

private:
    Playstate() = default;
    // E or the pad's X: the level's interact, and its answer on screen.
    void pressInteract(Level& level);
};

}  // namespace vestrel
