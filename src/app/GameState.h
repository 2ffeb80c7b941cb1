#pragma once

#include "app/GameSettings.h"

namespace vestrel {

class Game;

// Ids the renderer and the game loop switch on (Level::stateId mirrors the
// current state's id).
enum StateId : int { kStatePlay = 0, kStateGameOver = 1, kStateLoading = 2, kStatePause = 3 };

// One screen of the game: loading, play, pause or game over. The four states are
// process-wide single objects reached through their instance() accessors and
// referred to by plain pointers; the Game's stack never owns them.
//
// Every operation is abstract here; the bodies most states share (poll
// events, draw and present, forward a state change) are the protected
// helpers below.
class GameState {
public:
    virtual ~GameState() = default;

    virtual void init(Game* game) = 0;
    virtual void cleanup() = 0;
    virtual void pause() = 0;
    virtual void resume() = 0;
    virtual void handleEvents(Game* game) = 0;
    virtual void update(Game* game, float dt) = 0;
    virtual void draw(Game* game) = 0;
    virtual void changeState(Game* game, GameState* state) = 0;
    virtual void onKey(int key, int scancode, int action, int mods, Game* game) = 0;
    virtual void onMouseButton(int button, int action, int mods) = 0;

    bool paused = true;
    bool initialized = false;
    GameSettings* settings = &GameSettings::instance();
    int stateId = 0;
    Game* game = nullptr;

protected:
    GameState() = default;
    GameState(const GameState&) = delete;
    GameState& operator=(const GameState&) = delete;

    // Polls the window system once; key and mouse callbacks run from here.
    static void pollEvents(Game* game);
    // Draws the game's level through its renderer and swaps the buffers.
    static void drawAndPresent(Game* game);
    static void forwardChangeState(Game* game, GameState* state);
};

}  // namespace vestrel
