#include "app/Gameoverstate.h"

#include "app/Game.h"
#include "level/Level.h"
#include "render/Button.h"

#include <GLFW/glfw3.h>

namespace vestrel {

Gameoverstate& Gameoverstate::instance() {
    static Gameoverstate state;
    return state;
}

void Gameoverstate::init(Game* newGame) {
    game = newGame;
    stateId = kStateGameOver;
    initialized = true;
}

void Gameoverstate::onMouseButton(int button, int action, int /*mods*/) {
    if (button != GLFW_MOUSE_BUTTON_LEFT || game == nullptr || game->level == nullptr) {
        return;
    }
    if (action == GLFW_PRESS) {
        for (const auto& b : game->level->buttons) {
            if (b->state == 1) {
                b->state = 2;
            }
        }
        return;
    }
    if (action != GLFW_RELEASE) {
        return;
    }
    // A restart replaces the level and its buttons, so the list must not be
    // walked any further once it has happened.
    for (const auto& b : game->level->buttons) {
        if (b->state != 2) {
            continue;
        }
        if (b->name == "EXIT") {
            game->running = false;
        } else if (b->name == "RESTART") {
            game->restart();
            game->startSequence();
            return;
        }
    }
}

}  // namespace vestrel
