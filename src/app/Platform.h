#pragma once

#include <string>

namespace vestrel {

// The game writes its file paths with backslashes ("Shader\texLights.vert").
// Those strings stay as they are wherever they are keys or printed; this turns
// one into a path the operating system opens, at the moment it is opened:
// slashes, and the data directory in front of Assets/ and Shader/ paths
// (app/DataDirectory.h).
std::string nativePath(const std::string& path);

// Reads the whole file at `path` (written as the game writes paths; see
// nativePath) into `text`. False, with `text` cleared, when it cannot be opened
// or read to its end: missing, a folder, no permission, an I/O error. Never
// throws for a file that fails while it is read.
bool readWholeFile(const std::string& path, std::string& text);

// The console's "press any key" wait before a fatal exit. Prints the prompt
// and waits for one key when standard input is a terminal; returns at once
// otherwise (CI and tests have no terminal).
void pauseConsole();

// Flushes the console, runs pauseConsole and ends the process with status 1.
// Used only for the start-up failures the game treats as fatal.
[[noreturn]] void fatalExit();

}  // namespace vestrel
