#include "app/Loadstate.h"

#include "app/Game.h"
#include "level/Level.h"
#include "render/HUD.h"

namespace vestrel {

Loadstate& Loadstate::instance() {
    static Loadstate state;
    return state;
}

void Loadstate::init(Game* newGame) {
    game = newGame;
    stateId = kStateLoading;
    game->level->setUp();
    HUD::instance().init();
    initialized = true;
}

}  // namespace vestrel
