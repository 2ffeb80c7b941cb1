#include "play/Playstate.h"

#include "app/Game.h"
#include "app/GameSettings.h"
#include "app/Gameoverstate.h"
#include "app/Pausestate.h"
#include "replay/Timedemo.h"
#include "audio/SoundSystem.h"
#include "enemy/Enemy.h"
#include "level/InteractionSimulationCallback.h"
#include "level/Level.h"
#include "physics/PhysicsWorld.h"
#include "play/DebugKeys.h"
#include "replay/Timedemo.h"

#include <chrono>
#include <iostream>
#include <memory>
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
        // Trigger events set this level's player's interaction target.
        world.setSimulationEventCallback(std::make_unique<InteractionSimulationCallback>(&level->player));

        const auto loadStart = std::chrono::steady_clock::now();
        const bool loaded = level->loadLevel(levelPath, game->renderer.texLightsShader.get(),
                                             game->renderer.skinningShader.get());
        if (Timedemo* timedemo = Timedemo::active()) {
            timedemo->levelLoaded(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - loadStart)
                    .count());
        }
        if (!loaded) {
            std::cout << "Couldn't load mesh from " << levelPath << std::endl;
        }

        // The monster starts above waypoint 0 of its path, which its load
        // has put in number order; a level without waypoints has no monster
        // to move.
        if (level->enemy && !level->enemy->waypoints.empty()) {
            level->enemyControllerRecord =
                world.createEnemyController(level->enemy->waypoints.front().position);
            level->enemy->controller = level->enemyControllerRecord.get();
        }

        level->setUpItemsAndSwitches();
    }

    SoundSystem& sounds = SoundSystem::instance();
    cues.reset();
    sounds.createSound("Assets\\Audio\\Ambient.mp3", "ambient", kSoundDefault, true);
    sounds.startLoopingSounds();

    paused = false;
    initialized = true;
}

void Playstate::cleanup() {
    if (PhysicsWorld::exists()) PhysicsWorld::destroy();
}

void Playstate::update(Game* currentGame, float dt) {
    if (paused || currentGame == nullptr) {
        return;
    }
    Level* level = currentGame->level.get();

    {
        const PhaseTimer timer(StepPhase::Player);
        if (level != nullptr && level->camera && gamepad->read()) {
            const GamepadState& pad = gamepad->state;
            if (pad.buttons != 0 || pad.leftTrigger != 0 || pad.rightTrigger != 0 ||
                stickValue(pad.thumbLX) != 0.0f || stickValue(pad.thumbLY) != 0.0f ||
                stickValue(pad.thumbRX) != 0.0f || stickValue(pad.thumbRY) != 0.0f) {
                cues.setUsingPad(true);
            }
            const int button = gamepad->apply(level->player, *level->camera);
            if (button == kButtonX) {
                pressInteract(*level);
            } else if (button == kButtonBack) {
                currentGame->running = false;
            } else if (button == kButtonStart) {
                // Nothing more of this step runs: the game stands from here.
                Pausestate::open(currentGame);
                return;
            }
        }
    }

    PhysicsWorld& world = PhysicsWorld::instance();
    {
        const PhaseTimer timer(StepPhase::Physics);
        world.simulate(dt);
        world.fetchResults(true);
    }

    if (level != nullptr) {
        ControllerRecord* record = level->player.controller;
        if (record != nullptr && record->controller) {
            // The player's fall is a controller sweep like its walk.
            const PhaseTimer timer(StepPhase::Player);
            record->controller->move(world.gravity * dt, record->minDist, dt, record->filters);
        }
        level->update(static_cast<int>(currentGame->cursorX), static_cast<int>(currentGame->cursorY), dt);
    }

    if (settings->playerWon || settings->playerCaught) {
        if (settings->playerCaught) {
            SoundSystem& sounds = SoundSystem::instance();
            sounds.playSound(
                sounds.createSound("Assets\\Audio\\death_scream.wav", "death_scream", kSoundDefault, false),
                false, "death_scream");
        }
        Gameoverstate::instance().show();
        currentGame->pushState(&Gameoverstate::instance());
    }

    if (level != nullptr) {
        cues.update(*level, dt);
        currentGame->renderer.hudState = cues.state();
    }
}

void Playstate::pressInteract(Level& level) {
    const std::string target = level.player.targetName;
    cues.interacted(level.interact(), target, level);
}

void Playstate::onKey(int key, int /*scancode*/, int action, int /*mods*/, Game* currentGame) {
    if (key == GLFW_KEY_ESCAPE && action == GLFW_PRESS) {
        if (currentGame) currentGame->running = false;
        return;
    }
    if (key == GLFW_KEY_P && action == GLFW_PRESS) {
        Pausestate::open(currentGame);
        return;
    }
    Level* level = currentGame ? currentGame->level.get() : nullptr;
    if (action == GLFW_PRESS) cues.setUsingPad(false);
    if (action == GLFW_PRESS) {
        if (key >= GLFW_KEY_F1 && key <= GLFW_KEY_F10) {
            DebugKeys::handle(key, *settings, SoundSystem::instance());
        } else if (key == GLFW_KEY_E) {
            if (level != nullptr) pressInteract(*level);
        } else if (level != nullptr) {
            level->player.pressKey(key);
        }
    } else if (action == GLFW_RELEASE && level != nullptr) {
        level->player.releaseKey(key);
    }
}

void Playstate::onMouseButton(int button, int action, int /*mods*/) {
    if (action != GLFW_RELEASE || game == nullptr || game->level == nullptr) {
        return;
    }
    cues.setUsingPad(false);
    Player& player = game->level->player;
    if (button == GLFW_MOUSE_BUTTON_LEFT) {
        player.toggleFlashlightColour();
    } else if (button == GLFW_MOUSE_BUTTON_RIGHT) {
        player.toggleFlashlight();
    }
}

}  // namespace vestrel
