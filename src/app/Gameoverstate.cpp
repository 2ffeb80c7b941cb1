#include "app/Gameoverstate.h"

#include "app/Game.h"
#include "app/GameLoop.h"
#include "level/Level.h"
#include "play/Playstate.h"
#include "render/Button.h"

#include <GLFW/glfw3.h>

namespace vestrel {

namespace {

// Where the highlight goes first when nothing is highlighted: Restart.
int restartIndex(const Level& level) {
    for (std::size_t i = 0; i < level.buttons.size(); ++i) {
        if (level.buttons[i] && level.buttons[i]->name == "RESTART") return static_cast<int>(i);
    }
    return 0;
}

}  // namespace

Gameoverstate& Gameoverstate::instance() {
    static Gameoverstate state;
    return state;
}

void Gameoverstate::init(Game* newGame) {
    game = newGame;
    stateId = kStateGameOver;
    initialized = true;
}

void Gameoverstate::show() {
    navigator_.reset(0, -1);
    pendingPad_ = MenuCommand::None;
}

void Gameoverstate::pointerAt(double x, double y, int over) {
    if (game == nullptr || game->level == nullptr) return;
    const auto& buttons = game->level->buttons;
    const int count = static_cast<int>(buttons.size());
    if (navigator_.count() != count) navigator_.reset(count, navigator_.focus());
    if (!navigator_.pointerLeads(x, y)) return;
    applyButtonHover(buttons, over);
    int hovered = -1;
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        if (buttons[i] && buttons[i]->state == 1) hovered = static_cast<int>(i);
    }
    navigator_.pointerOver(hovered, x, y);
}

void Gameoverstate::handleEvents(Game* current) {
    pollEvents(current);
    if (pendingPad_ != MenuCommand::None && current != nullptr && current->currentState() == this) {
        const MenuCommand command = pendingPad_;
        pendingPad_ = MenuCommand::None;
        carryOut(command);
    }
}

void Gameoverstate::update(Game* /*current*/, float /*dt*/) {
    Gamepad& pad = *Playstate::instance().gamepad;
    if (!pad.read()) return;
    const MenuCommand command = navigator_.padCommand(pad.state);
    // Restart and Exit happen between frames, as the mouse's do.
    if (command != MenuCommand::None && pendingPad_ == MenuCommand::None) pendingPad_ = command;
}

void Gameoverstate::onKey(int key, int /*scancode*/, int action, int /*mods*/, Game* /*current*/) {
    carryOut(menuCommandForKey(key, action));
}

void Gameoverstate::carryOut(MenuCommand command) {
    if (game == nullptr || game->level == nullptr || game->level->buttons.empty()) return;
    const int count = static_cast<int>(game->level->buttons.size());
    if (navigator_.count() != count) navigator_.reset(count, navigator_.focus());
    switch (command) {
        case MenuCommand::Left:
        case MenuCommand::Up:
            navigator_.step(-1, 0);
            highlight(navigator_.focus());
            break;
        case MenuCommand::Right:
        case MenuCommand::Down:
            navigator_.step(1, count - 1);
            highlight(navigator_.focus());
            break;
        case MenuCommand::Press:
            if (navigator_.focus() < 0) {
                navigator_.focusByKey(restartIndex(*game->level));
                highlight(navigator_.focus());
            } else {
                press(navigator_.focus());
            }
            break;
        default:
            // Escape, Start and the rest do nothing on this screen.
            break;
    }
}

void Gameoverstate::highlight(int index) {
    const auto& buttons = game->level->buttons;
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        if (!buttons[i] || buttons[i]->state == 2) continue;
        buttons[i]->state = static_cast<int>(i) == index ? 1 : 0;
    }
}

void Gameoverstate::press(int index) {
    const auto& buttons = game->level->buttons;
    if (index < 0 || index >= static_cast<int>(buttons.size()) || !buttons[static_cast<std::size_t>(index)])
        return;
    Button& button = *buttons[static_cast<std::size_t>(index)];
    button.state = 2;
    if (button.name == "EXIT") {
        game->running = false;
    } else if (button.name == "RESTART") {
        game->restart();
        game->startSequence();
    }
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
