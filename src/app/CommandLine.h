#pragma once

namespace vestrel {

// The largest window side accepted, from the command line as from a demo:
// larger sizes make the window system fail (a crash at 2147483647, a raw X
// error at 100000) or wrap (X keeps sizes in 16 bits, so 70000 becomes 4464).
inline constexpr int kMaxWindowSide = 16384;

// Reads up to five positional options: WIDTH HEIGHT FULLSCREEN_FLAG
// REFRESH_RATE AMBIENT. Fewer than two arguments leave every option at its
// default; arguments past the fifth are ignored. Each argument is read by its
// own string stream, so trailing characters after a number are ignored ("800px"
// reads as 800). A width, height or refresh rate below 1, or a width or height
// above kMaxWindowSide, counts as malformed.
// A malformed argument prints the usage line, waits for a key
// (only on a terminal) and ends the process with status 1.
void parseArguments(int& width, int& height, bool& fullscreen, int& refreshRate, float& ambient, int argc,
                    const char* const* argv);

// Same rules, without ending the process: false on a malformed argument.
// The entry point's parseArguments is this plus the usage line and exit.
bool tryParseArguments(int& width, int& height, bool& fullscreen, int& refreshRate, float& ambient, int argc,
                       const char* const* argv);

}  // namespace vestrel
