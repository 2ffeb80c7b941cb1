#pragma once

#include "app/MenuNavigator.h"
#include "app/PassiveState.h"

namespace vestrel {

// Shown over the paused play when the game is won or lost: the message and the
// Restart and Exit buttons. The left mouse button works them as always; the
// arrow keys and the pad's stick (or direction pad) move the highlight
// between them and Enter, Space or the pad's A press the highlighted one.
// Escape and every other key do nothing here.
class Gameoverstate : public PassiveState {
public:
    static Gameoverstate& instance();

    void init(Game* newGame) override;
    // Polls events, then carries out what the pad asked for in the steps.
    void handleEvents(Game* current) override;
    // One fixed step: reads the pad.
    void update(Game* current, float dt) override;
    void onKey(int key, int scancode, int action, int mods, Game* current) override;
    // A left press turns hovered buttons into pressed ones; the release acts
    // on every pressed button, wherever the cursor is by then.
    void onMouseButton(int button, int action, int mods) override;

    // The screen appears for a new end of a game: nothing highlighted, the
    // pad's held buttons to be let go first.
    void show();
    // The cursor at (x, y) after a step (y from the top) over the buttons
    // whose bits are set in `over` (bit k: button k): those are highlighted, unless a key moved the
    // highlight and the cursor has not moved since.
    void pointerAt(double x, double y, int over);

private:
    Gameoverstate() = default;

    void carryOut(MenuCommand command);
    void highlight(int index);
    void press(int index);

    MenuNavigator navigator_;
    MenuCommand pendingPad_ = MenuCommand::None;
};

}  // namespace vestrel
