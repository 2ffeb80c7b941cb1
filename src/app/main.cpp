#include "app/CommandLine.h"
#include "replay/DemoFormat.h"
#include "replay/DemoSession.h"
#include "replay/GameRun.h"
#include "app/GameSettings.h"
#include "replay/Timedemo.h"

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

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
              << " fullscreen: " << options.fullscreen << ", " << options.refreshRate
              << "Hz, Ambient: " << options.ambient << std::endl;

    const int status = runGame(options, demo.get());
    demo.reset();
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
