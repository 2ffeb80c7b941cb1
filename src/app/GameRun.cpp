#include "app/GameRun.h"

#include <memory>

#include "app/DemoSession.h"
#include "app/Game.h"

namespace vestrel {

int runGame(const GameOptions& options, DemoSession* demo) {
    auto game = std::make_unique<Game>();
    Game::registered = game.get();
    game->demo = demo;
    game->init(options.width, options.height, options.refreshRate, options.fullscreen);
    game->installCallbacks();
    if (demo != nullptr) demo->attach(*game);
    game->startSequence();
    while (game->running) {
        game->frame();
    }
    const int status = demo != nullptr ? demo->finish(*game) : 0;
    game.reset();
    if (demo != nullptr) {
        demo->detach();
        demo->printSummary();
    }
    return status;
}

}  // namespace vestrel
