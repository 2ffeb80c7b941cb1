#pragma once

// A real game for the play tests: a hidden window, the loading screen, then
// the play state over the house, as the entry point starts it.

// Game.h brings GLEW, which must come before GLFW's GL header.
#include "app/Game.h"

#include <functional>
#include <memory>
#include <string>

#include "ConsoleCapture.h"
#include "app/GameSettings.h"
#include "app/Gameoverstate.h"
#include "render/TextureCache.h"

namespace vestrel::test {

// Starts a game in a width x height window through its start sequence.
// `beforeStart` runs on the new Game before the start sequence (to put
// another monster model in, say); the console of the start goes to
// `output` when given, else nowhere. The caller checks that play began.
inline std::unique_ptr<Game> startPlaying(int width = 320, int height = 240,
                                          const std::function<void(Game&)>& beforeStart = {},
                                          std::string* output = nullptr) {
    GameSettings::instance() = GameSettings{};
    auto game = std::make_unique<Game>();
    Game::registered = game.get();
    ConsoleCapture console;
    game->init(width, height, 60, false);
    if (beforeStart) beforeStart(*game);
    game->startSequence();
    if (output != nullptr) *output = console.text();
    Gameoverstate::instance().initialized = false;
    return game;
}

// Ends a game begun with startPlaying, quietly, and forgets its textures
// (their GL names die with the window) and its settings.
inline void stopPlaying(std::unique_ptr<Game>& game) {
    TextureCache::instance().textures.clear();
    ConsoleCapture quiet;
    game.reset();
    GameSettings::instance() = GameSettings{};
}

}  // namespace vestrel::test
