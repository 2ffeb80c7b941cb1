#include "app/CommandLine.h"
#include "app/Game.h"
#include "app/GameSettings.h"

#include <cstdlib>
#include <iostream>
#include <memory>

int main(int argc, char** argv) {
    using namespace vestrel;
    // On Windows the console is moved to the top-left corner here; a terminal
    // on other systems has no window of its own to place.
    int width = 800;
    int height = 600;
    bool fullscreen = false;
    int refreshRate = 60;
    float ambient = 0.1f;
    parseArguments(width, height, fullscreen, refreshRate, ambient, argc, argv);
    GameSettings::instance().ambientLight = {ambient, ambient, ambient};
    std::cout << "Starting with options: width " << width << ", height " << height
              << " fullscreen: " << fullscreen << ", " << refreshRate << "Hz, Ambient: " << ambient
              << std::endl;

    auto game = std::make_unique<Game>();
    Game::registered = game.get();
    game->init(width, height, refreshRate, fullscreen);
    game->installCallbacks();
    game->startSequence();
    while (game->running) {
        game->frame();
    }
    game.reset();
    std::exit(0);
}
