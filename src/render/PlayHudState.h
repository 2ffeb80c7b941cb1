#pragma once

#include <string>
#include <vector>

namespace vestrel {

// What the play state puts on screen besides the item icons, as plain values
// the renderer draws (PlayHud): the crosshair, the prompt for what can be
// reached, a moment's answer to the last press of E, the one-time hint, the
// captions of what is heard, the monster's warning and the flashlight's state
// on its icon. Texts are drawn in capitals.
struct PlayHudState {
    bool crosshair = false;
    std::string prompt;                 // "E  PICK UP THE FLASHLIGHT"; empty: none
    std::string message;                // the answer to the last press; empty: none
    std::vector<std::string> hint;      // lines of the one-time flashlight hint
    std::vector<std::string> captions;  // oldest first; empty while captions are off
    float warning = 0.0f;               // 0 calm .. 1 the monster is upon the player
    float pulse = 0.0f;                 // 0 .. 1, the heartbeat's swell
    int flashlightSlot = -1;            // the flashlight's place in the icon row; -1: not carried
    bool flashlightOn = false;
    bool flashlightBlue = false;
};

}  // namespace vestrel
