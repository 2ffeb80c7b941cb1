#include "app/GameState.h"

#include "app/Game.h"
#include "level/Level.h"

#include <GLFW/glfw3.h>

namespace vestrel {

void GameState::pollEvents(Game* /*game*/) { glfwPollEvents(); }

void GameState::drawAndPresent(Game* game) {
    game->renderer.render(*game->level);
    glfwSwapBuffers(game->window);
}

void GameState::forwardChangeState(Game* game, GameState* state) { game->changeState(state); }

}  // namespace vestrel
