#pragma once

#include <cstdint>

#include "play/Gamepad.h"

namespace vestrel {

// What a key or the pad asks of a menu.
enum class MenuCommand { None, Up, Down, Left, Right, Press, Back, Start };

// A key event (GLFW codes) as a menu command: the arrow keys move, on a
// press or while held (repeats); Enter, the keypad's Enter and Space press
// the focused item; Escape is Back. Releases and other keys give None.
MenuCommand menuCommandForKey(int key, int action);

// The focus of a menu worked with keys, the pad and the mouse together: the
// pause screen's rows and the end screens' buttons. Plain logic, no window.
//
// The pointer decides the focus while it moves over the items, as it always
// has. Once a key or the pad has moved the focus, a pointer that stands still
// does not take it back; the pointer leads again as soon as it moves.
class MenuNavigator {
public:
    // A menu of `count` items with `focus` focused (-1: none). A focus given
    // here stays until the pointer moves from where it is first seen. Whatever
    // the pad holds now must be let go before it acts.
    void reset(int count, int focus);

    int count() const { return count_; }
    int focus() const { return focus_; }

    // Moves the focus by `delta` items, stopping at the first and the last;
    // with nothing focused, focuses `start` instead.
    void step(int delta, int start);
    // Focuses `item` by key or pad. The pointer does not take the focus back
    // until it moves from where the next look finds it (keys may come in a
    // batch, before the pointer is looked at again).
    void focusByKey(int item);

    // Whether the pointer at (x, y) decides the focus now (see above).
    bool pointerLeads(double x, double y);
    // The pointer at (x, y) is over `item` (-1: over none): it takes the
    // focus when it leads.
    void pointerOver(int item, double x, double y);

    // One pad reading per fixed step, turned into at most one command: a
    // button or a direction of the left stick (or the direction pad) acts
    // when it is pressed, not while it is held. A, B and Start are Press,
    // Back and Start, checked in that order before the directions.
    MenuCommand padCommand(const GamepadState& reading);

    // The stick's share of full tilt that counts as a push.
    static constexpr float kStickPush = 0.5f;

private:
    int count_ = 0;
    int focus_ = -1;
    bool keyLed_ = false;
    bool anchorPending_ = false;  // the pointer's place is taken at its next look
    double keyPointerX_ = 0.0;
    double keyPointerY_ = 0.0;
    bool padSeeded_ = false;
    std::uint16_t padButtons_ = 0;
    MenuCommand padDirection_ = MenuCommand::None;
};

// The direction a pad reading points in: the direction pad first, then the
// left stick's larger axis when pushed past kStickPush; None when centred.
MenuCommand padDirection(const GamepadState& reading);

}  // namespace vestrel
