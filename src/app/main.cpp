#include "app/CommandLine.h"
#include "app/DemoFormat.h"
#include "app/DemoSession.h"
#include "app/GameRun.h"
#include "app/GameSettings.h"

#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

int main(int argc, char** argv) {
    using namespace vestrel;
    // On Windows the console is moved to the top-left corner here; a terminal
    // on other systems has no window of its own to place.
    GameOptions options;
    parseArguments(options.width, options.height, options.fullscreen, options.refreshRate, options.ambient,
                   argc, argv);

    // Recording, replay and screenshots are switched on from the environment
    // (README, "Recording and replaying"). A replay plays with the window
    // size, refresh rate and ambient light it was recorded with.
    DemoSettings demoSettings{options.width, options.height, options.refreshRate, options.ambient};
    std::unique_ptr<DemoSession> demo;
    std::string error;
    if (!DemoSession::fromEnvironment([](const char* name) { return std::getenv(name); }, demoSettings, demo,
                                      error)) {
        std::cout << error << std::endl;
        std::exit(1);
    }
    options.width = demoSettings.width;
    options.height = demoSettings.height;
    options.refreshRate = demoSettings.refreshRate;
    options.ambient = demoSettings.ambient;

    GameSettings::instance().ambientLight = {options.ambient, options.ambient, options.ambient};
    std::cout << "Starting with options: width " << options.width << ", height " << options.height
              << " fullscreen: " << options.fullscreen << ", " << options.refreshRate
              << "Hz, Ambient: " << options.ambient << std::endl;

    const int status = runGame(options, demo.get());
    demo.reset();
    std::exit(status);
}
