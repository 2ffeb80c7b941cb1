#pragma once

namespace vestrel {

class SoundSystem;
struct GameSettings;

// The function keys of the play state: F1 prints the help, F2 to F10 flip a
// switch of GameSettings and print its new value, one line each. F10
// (occlusion culling, for comparing the frame with and without it) is not
// in the help, which lists F1 to F9 only.
class DebugKeys {
public:
    // Handles a press of `key` (GLFW code). Returns false, changing nothing,
    // for keys outside F1..F10. F6 applies the new mute to `sounds` at once.
    static bool handle(int key, GameSettings& settings, SoundSystem& sounds);

    // The eleven lines of the help text.
    static void printHelp();

    // The printed name of a texture sampling mode; "UNKNOWN" outside 0..3.
    static const char* samplingModeName(int mode);
};

}  // namespace vestrel
