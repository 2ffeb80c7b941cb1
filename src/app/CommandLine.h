#pragma once

namespace vestrel {

// Reads up to five positional options: WIDTH HEIGHT FULLSCREEN_FLAG
// REFRESH_RATE AMBIENT. Fewer than two arguments leave every option at its
// default; arguments past the fifth are ignored. Each argument is read by its
// own string stream, so trailing characters after a number are ignored ("800px"
// reads as 800). A width, height or refresh rate below 1 counts as malformed.
// A malformed argument prints the usage line, waits for a key
// (only on a terminal) and ends the process with status 1.
void parseArguments(int& width, int& height, bool& fullscreen, int& refreshRate, float& ambient, int argc,
                    const char* const* argv);

// Same rules, without ending the process: false on a malformed argument.
// The entry point's parseArguments is this plus the usage line and exit.
bool tryParseArguments(int& width, int& height, bool& fullscreen, int& refreshRate, float& ambient, int argc,
                       const char* const* argv);

}  // namespace vestrel
