#include "app/Pausestate.h"

// Game.h brings GLEW, which must come before GLFW's GL header.
#include "app/Game.h"

#include <GLFW/glfw3.h>

#include <iostream>

#include "app/GameSettings.h"
#include "audio/SoundSystem.h"
#include "enemy/Enemy.h"
#include "level/Level.h"
#include "play/Playstate.h"
#include "render/MenuOverlay.h"
#include "replay/DemoSession.h"

namespace vestrel {

namespace {

void holdMonster(Game* game, bool held) {
    if (game != nullptr && game->level != nullptr && game->level->enemy) {
        game->level->enemy->model.animationHeld = held;
    }
}

}  // namespace

Pausestate& Pausestate::instance() {
    static Pausestate state;
    return state;
}

Pausestate::Pausestate() = default;

Pausestate::~Pausestate() = default;

void Pausestate::init(Game* newGame) {
    game = newGame;
    stateId = kStatePause;
    initialized = true;
}

void Pausestate::open(Game* game) {
    if (game == nullptr || game->currentState() == nullptr || game->currentState()->stateId != kStatePlay) {
        return;
    }
    Pausestate& state = instance();
    state.game = game;
    state.menu_.open();
    state.pendingPad_ = MenuCommand::None;
    state.pressedRow_ = -1;
    game->pushState(&state);
    SoundSystem::instance().pauseAll(true);
    holdMonster(game, true);
    std::cout << "Game paused" << std::endl;
}

void Pausestate::close() {
    if (game == nullptr) return;
    game->saveSettings();
    holdMonster(game, false);
    SoundSystem::instance().pauseAll(false);
    game->popState();
    std::cout << "Game resumed" << std::endl;
}

int Pausestate::rowUnderPointer(int& side) const {
    const GameSettings& s = *settings;
    const MenuOverlay::Layout layout =
        MenuOverlay::layout(s.windowWidth, s.windowHeight, menu_.navigator().count());
    return MenuOverlay::rowAt(layout, s.windowHeight, game->cursorX, game->cursorY, side);
}

void Pausestate::handleEvents(Game* current) {
    pollEvents(current);
    // The pad was read in the steps; what it asked for happens here, between
    // frames, as a key would.
    if (pendingPad_ != MenuCommand::None && current != nullptr && current->currentState() == this) {
        const MenuCommand command = pendingPad_;
        pendingPad_ = MenuCommand::None;
        carryOut(command);
    }
}

void Pausestate::update(Game* current, float /*dt*/) {
    if (current == nullptr) return;
    int side = 0;
    menu_.navigator().pointerOver(rowUnderPointer(side), current->cursorX, current->cursorY);
    Gamepad& pad = *Playstate::instance().gamepad;
    if (pad.read()) {
        const MenuCommand command = menu_.navigator().padCommand(pad.state);
        if (command != MenuCommand::None && pendingPad_ == MenuCommand::None) pendingPad_ = command;
    }
}

void Pausestate::draw(Game* current) {
    current->renderer.render(*current->level);
    std::vector<std::string> rows;
    for (const PauseMenu::Row& row : menu_.rows(current->playerSettings)) {
        rows.push_back(MenuOverlay::rowText(row.label, row.value));
    }
    if (current->renderer.initialized()) {
        if (current->menuOverlay == nullptr) current->menuOverlay = std::make_unique<MenuOverlay>();
        current->menuOverlay->draw(*current->renderer.messageShader, *current->renderer.fontShader, menu_.title(), rows,
                       menu_.navigator().focus(), settings->windowWidth, settings->windowHeight);
    }
    if (current->demo != nullptr) current->demo->beforePresent(*current);
    glfwSwapBuffers(current->window);
}

void Pausestate::onKey(int key, int /*scancode*/, int action, int /*mods*/, Game* /*current*/) {
    if (key == GLFW_KEY_P && action == GLFW_PRESS) {
        close();
        return;
    }
    carryOut(menuCommandForKey(key, action));
}

void Pausestate::onMouseButton(int button, int action, int /*mods*/) {
    if (button != GLFW_MOUSE_BUTTON_LEFT || game == nullptr) return;
    int side = 0;
    const int row = rowUnderPointer(side);
    if (action == GLFW_PRESS) {
        pressedRow_ = row;
        return;
    }
    if (action != GLFW_RELEASE) return;
    const int pressed = pressedRow_;
    pressedRow_ = -1;
    if (row < 0 || row != pressed) return;
    SettingsFile::Key changed{};
    const PauseMenu::Page page = menu_.page();
    act(page, menu_.click(row, side, game->playerSettings, changed), changed);
}

void Pausestate::carryOut(MenuCommand command) {
    if (command == MenuCommand::None || game == nullptr) return;
    SettingsFile::Key changed{};
    const PauseMenu::Page page = menu_.page();
    const PauseMenu::Action action = menu_.command(command, game->playerSettings, changed);
    act(page, action, changed);
}

void Pausestate::act(PauseMenu::Page before, PauseMenu::Action action, SettingsFile::Key changed) {
    // Leaving the settings page is when its changes are written.
    if (before == PauseMenu::Page::Settings && menu_.page() == PauseMenu::Page::Main) game->saveSettings();
    switch (action) {
        case PauseMenu::Action::Resume:
            close();
            break;
        case PauseMenu::Action::Quit:
            game->running = false;
            break;
        case PauseMenu::Action::Changed:
            game->settingChanged(changed);
            break;
        case PauseMenu::Action::None:
            break;
    }
}

}  // namespace vestrel
