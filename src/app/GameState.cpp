#include "app/GameState.h"

#include "replay/DemoSession.h"
#include "app/Game.h"
#include "level/Level.h"

#include <GLFW/glfw3.h>

namespace vestrel {

void GameState::pollEvents(Game* game) {
    if (game != nullptr) {
        game->pollEvents();
    } else {
        glfwPollEvents();
    }
}

void GameState::drawAndPresent(Game* game) {
    game->renderer.render(*game->level);
    if (game->demo != nullptr) game->demo->beforePresent(*game);
    glfwSwapBuffers(game->window);
}

void GameState::forwardChangeState(Game* game, GameState* state) { game->changeState(state); }

}  // namespace vestrel
