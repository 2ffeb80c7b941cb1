#include "play/Playstate.h"

#include "app/Game.h"
#include "app/GameSettings.h"
#include "app/Gameoverstate.h"

#include <GLFW/glfw3.h>

namespace vestrel {

Playstate& Playstate::instance() {
    static Playstate state;
    return state;
}

void Playstate::init(Game* newGame) {
    game = newGame;
    stateId = kStatePlay;
    paused = false;
    initialized = true;
}

void Playstate::cleanup() {}

void Playstate::update(Game* currentGame, float /*dt*/) {
    if (paused) {
        return;
    }
    if (settings->playerWon || settings->playerCaught) {
        currentGame->pushState(&Gameoverstate::instance());
    }
}

void Playstate::onKey(int key, int /*scancode*/, int action, int /*mods*/, Game* currentGame) {
    if (key == GLFW_KEY_ESCAPE && action == GLFW_PRESS) {
        currentGame->running = false;
    }
}

void Playstate::onMouseButton(int /*button*/, int /*action*/, int /*mods*/) {}

}  // namespace vestrel
