#pragma once

#include "app/SettingsFile.h"

namespace vestrel {

class DemoSession;

// The options of one run, as the command line gives them.
struct GameOptions {
    int width = 800;
    int height = 600;
    bool fullscreen = false;
    int refreshRate = 60;
    float ambient = 0.1f;
    // The player's settings for the run and the file they are kept in
    // (null: the defaults, nothing kept).
    SettingsFile::Values playerSettings;
    SettingsFile* settingsFile = nullptr;
};

// Runs one whole game: creates the Game with `demo` hooked in (may be null),
// opens the window, installs the callbacks, runs the start sequence and the
// main loop until it ends, tears the game down and prints the demo's
// summary. Returns the exit status: 0, or the demo's verdict (1 when a
// replay did not reach its recorded outcome). Fatal start-up failures end
// the process inside, as always.
int runGame(const GameOptions& options, DemoSession* demo);

}  // namespace vestrel
