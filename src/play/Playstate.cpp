#include "play/Playstate.h"

#include "app/Game.h"
#include "app/GameSettings.h"
#include "app/Gameoverstate.h"
#include "audio/SoundSystem.h"
#include "enemy/Enemy.h"
#include "level/Level.h"
#include "physics/PhysicsWorld.h"

#include <iostream>
#include <string>

#include <GLFW/glfw3.h>

namespace vestrel {

Playstate& Playstate::instance() {
    static Playstate state;
    return state;
}

void Playstate::init(Game* newGame) {
    game = newGame;
    stateId = kStatePlay;

    Level* level = game ? game->level.get() : nullptr;
    if (level != nullptr) {
        PhysicsWorld& world = PhysicsWorld::instance();
        level->playerControllerRecord = world.createPlayerController(&level->player.onGround);
        level->player.controller = level->playerControllerRecord.get();

        const std::string levelPath = "Assets\\house1.dae";
        if (!level->loadLevel(levelPath, game->renderer.texLightsShader.get(),
                              game->renderer.skinningShader.get())) {
            std::cout << "Couldn't load mesh from " << levelPath << std::endl;
        }

        // The monster starts above its first waypoint; a level without
        // waypoints has no monster to move.
        if (level->enemy && !level->enemy->waypoints.empty()) {
            level->enemyControllerRecord =
                world.createEnemyController(level->enemy->waypoints.front().position);
            level->enemy->controller = level->enemyControllerRecord.get();
        }
    }

    SoundSystem& sounds = SoundSystem::instance();
    sounds.createSound("Assets\\Audio\\Ambient.mp3", "ambient", kSoundDefault, true);
    sounds.startLoopingSounds();

    paused = false;
    initialized = true;
}

void Playstate::cleanup() {
    if (PhysicsWorld::exists()) PhysicsWorld::destroy();
}

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
