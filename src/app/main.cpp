#include "app/CommandLine.h"
#include "replay/DemoFormat.h"
#include "replay/DemoSession.h"
#include "replay/GameRun.h"
#include "app/GameSettings.h"
#include "app/SettingsFile.h"
#include "replay/Timedemo.h"

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    using namespace vestrel;
    // On Windows the console is moved to the top-left corner here; a terminal
    // on other systems has no window of its own to place.
    // A timedemo dates the first play frame from here and the process's age now.
    const auto mainEntered = std::chrono::steady_clock::now();
    const double ageAtMain = processAgeSeconds();
    GameOptions options;
    parseArguments(options.width, options.height, options.fullscreen, options.refreshRate, options.ambient,
                   argc, argv);

    // The player's settings file ($XDG_CONFIG_HOME/vestrel/settings.ini);
    // what the command line gives overrides it for this run. Without a file
    // every value is the game's own default and nothing is printed.
    const auto environment = [](const char* name) { return static_cast<const char*>(std::getenv(name)); };
    SettingsFile settingsFile(SettingsFile::defaultPath(environment));
    std::vector<std::string> settingsReport;
    settingsFile.load(settingsReport);
    for (const std::string& line : settingsReport) std::cout << line << std::endl;
    SettingsFile::Values player = settingsFile.values();
    const int given = argc >= 3 ? argc - 1 : 0;  // fewer than two arguments count as none
    const bool fullscreenGiven = given >= 3;
    if (given >= 5) {
        player.brightness = options.ambient;
    } else {
        options.ambient = player.brightness;
    }
    if (fullscreenGiven) player.fullscreen = options.fullscreen;

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
    player.brightness = options.ambient;
    if (demo != nullptr && (demo->recording() || demo->scripted())) {
        // A demo holds the cursor's offsets, not the turns they made: it is
        // recorded and replayed with the game's own look rate, upright look
        // and window, whatever the file says. Changes made in the pause menu
        // during the run are part of the demo and replay with it.
        const SettingsFile::Values defaults;
        if (player.lookSensitivity != defaults.lookSensitivity || player.invertY != defaults.invertY ||
            (player.fullscreen && !fullscreenGiven)) {
            std::cout << "Settings: look sensitivity, invert Y and full screen from " << settingsFile.path()
                      << " are set aside while a demo is recorded or replayed" << std::endl;
        }
        player.lookSensitivity = defaults.lookSensitivity;
        player.invertY = defaults.invertY;
        if (!fullscreenGiven) player.fullscreen = false;
        if (demo->scripted()) settingsFile.holdWrites("a demo is being replayed");
    }
    options.playerSettings = player;
    options.settingsFile = &settingsFile;
    GameSettings::instance().captions = player.captions;

    // VESTREL_TIMEDEMO=FILE times a replay and writes its frames to FILE
    // (README, "Timedemo"); VESTREL_TIMEDEMO_SIZE=WIDTHxHEIGHT plays it in a
    // window of that size instead of the recorded one.
    std::unique_ptr<Timedemo> timedemo;
    std::string timedemoCsv;
    if (const char* csv = std::getenv("VESTREL_TIMEDEMO"); csv != nullptr && csv[0] != '\0') {
        if (demo == nullptr || !demo->scripted()) {
            std::cout << "VESTREL_TIMEDEMO needs a demo to replay (VESTREL_REPLAY)" << std::endl;
            std::exit(1);
        }
        timedemoCsv = csv;
        if (const char* size = std::getenv("VESTREL_TIMEDEMO_SIZE"); size != nullptr && size[0] != '\0') {
            int width = 0;
            int height = 0;
            if (!parseWindowSize(size, width, height)) {
                std::cout << "VESTREL_TIMEDEMO_SIZE must be WIDTHxHEIGHT such as 1280x720, not \""
                          << printableText(size) << "\"" << std::endl;
                std::exit(1);
            }
            options.width = width;
            options.height = height;
        }
        // Enough room for a long demo; the buffers grow past it if need be.
        timedemo = std::make_unique<Timedemo>(200000, 100000);
        timedemo->setStartOffset(ageAtMain, mainEntered);
        // VESTREL_TIMEDEMO_COUNT=1: the counting run (fragments per pixel).
        if (const char* count = std::getenv("VESTREL_TIMEDEMO_COUNT"); count != nullptr && count[0] == '1') {
            timedemo->setCountingRun(true);
        }
        timedemo->activate();
    }
    // VESTREL_OCCLUSION=0 starts with occlusion culling off (F10 switches it),
    // for timing the same binary with and without it.
    if (const char* occlusion = std::getenv("VESTREL_OCCLUSION");
        occlusion != nullptr && occlusion[0] == '0') {
        GameSettings::instance().occlusionCulling = false;
        std::cout << "Occlusion culling: OFF" << std::endl;
    }

    GameSettings::instance().ambientLight = {options.ambient, options.ambient, options.ambient};
    std::cout << "Starting with options: width " << options.width << ", height " << options.height
              << " fullscreen: " << player.fullscreen << ", " << options.refreshRate
              << "Hz, Ambient: " << options.ambient << std::endl;

    const int status = runGame(options, demo.get());
    demo.reset();
    // Changes not written yet (the window closed on the settings page).
    settingsReport.clear();
    settingsFile.save(settingsReport);
    for (const std::string& line : settingsReport) std::cout << line << std::endl;
    if (timedemo != nullptr) {
        if (timedemo->writeCsv(timedemoCsv)) {
            std::cout << "Timedemo: per-frame times in " << timedemoCsv << std::endl;
        } else {
            std::cout << "Timedemo: couldn't write " << timedemoCsv << std::endl;
            std::exit(1);
        }
        timedemo.reset();
    }
    std::exit(status);
}
