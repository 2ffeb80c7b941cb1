#pragma once

#include "app/GameState.h"
#include "app/MenuNavigator.h"
#include "app/PauseMenu.h"

namespace vestrel {

// The pause screen, put over the play by P, the pad's Start or the window
// losing the focus. Nothing of the game moves while it shows: no fixed step
// of the play runs, every sound is paused and the monster's animation
// stands. Its menu (PauseMenu) resumes, changes the player's settings, which
// apply at once, or quits; keys, the pad and the mouse all work it.
// Escape, P and Start resume.
class Pausestate : public GameState {
public:
    static Pausestate& instance();

    // Pauses `game` when it is in play: the menu opens on its main page.
    static void open(Game* game);

    void init(Game* newGame) override;
    void cleanup() override {}
    void pause() override {}
    void resume() override {}
    // Polls events, then carries out what the pad asked for in the steps.
    void handleEvents(Game* current) override;
    // One fixed step: the pointer's hover and the pad (nothing of the play runs).
    void update(Game* current, float dt) override;
    // The frozen picture with the menu over it.
    void draw(Game* current) override;
    void changeState(Game* current, GameState* state) override { forwardChangeState(current, state); }
    void onKey(int key, int scancode, int action, int mods, Game* current) override;
    void onMouseButton(int button, int action, int mods) override;

    const PauseMenu& menu() const { return menu_; }

private:
    Pausestate();
    ~Pausestate() override;

    void carryOut(MenuCommand command);
    void act(PauseMenu::Page before, PauseMenu::Action action, SettingsFile::Key changed);
    // Leaves the pause screen: settings saved, sounds and monster going again.
    void close();
    int rowUnderPointer(int& side) const;

    PauseMenu menu_;
    MenuCommand pendingPad_ = MenuCommand::None;
    int pressedRow_ = -1;
};

}  // namespace vestrel
