#include "app/CommandLine.h"

#include "app/Platform.h"

#include <iostream>
#include <sstream>

namespace vestrel {

namespace {

// Only fail and bad are tested, never end-of-input, so "800abc" is 800.
template <typename T>
bool extract(const char* text, T& out) {
    std::istringstream stream(text);
    stream >> out;
    return !stream.fail() && !stream.bad();
}

}  // namespace

bool tryParseArguments(int& width, int& height, bool& fullscreen, int& refreshRate, float& ambient, int argc,
                       const char* const* argv) {
    if (argc < 3) {
        return true;
    }
    if (!extract(argv[1], width) || !extract(argv[2], height)) {
        return false;
    }
    // bool extraction without boolalpha accepts exactly 0 and 1.
    if (argc > 3 && !extract(argv[3], fullscreen)) {
        return false;
    }
    if (argc > 4 && !extract(argv[4], refreshRate)) {
        return false;
    }
    if (argc > 5 && !extract(argv[5], ambient)) {
        return false;
    }
    // The window library asserts on a size below 1, fails or wraps on huge
    // ones, and a refresh rate below 1 would make every timed move a division
    // by zero: refuse them here, before any window exists.
    return width > 0 && height > 0 && width <= kMaxWindowSide && height <= kMaxWindowSide && refreshRate > 0;
}

void parseArguments(int& width, int& height, bool& fullscreen, int& refreshRate, float& ambient, int argc,
                    const char* const* argv) {
    if (!tryParseArguments(width, height, fullscreen, refreshRate, ambient, argc, argv)) {
        std::cout << "Usage: programm.exe WIDTH HEIGHT FULLSCREEN_FLAG REFRESH_RATE AMBIENT" << std::endl;
        fatalExit();
    }
}

}  // namespace vestrel
