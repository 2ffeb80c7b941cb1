#include "app/CommandLine.h"
#include "app/GameSettings.h"

#include <iostream>

int main(int argc, char** argv) {
    using namespace vestrel;
    int width = 800;
    int height = 600;
    bool fullscreen = false;
    int refreshRate = 60;
    float ambient = 0.1f;
    parseArguments(width, height, fullscreen, refreshRate, ambient, argc, argv);
    GameSettings::instance().ambientLight = {ambient, ambient, ambient};
    std::cout << "Starting with options: width " << width << ", height " << height
              << " fullscreen: " << fullscreen << ", " << refreshRate << "Hz, Ambient: " << ambient << std::endl;
    return 0;
}
