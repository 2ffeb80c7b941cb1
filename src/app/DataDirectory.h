#pragma once

#include <functional>
#include <string>
#include <vector>

namespace vestrel {

// Where the game's two data folders, Assets/ and Shader/, are found. The game
// names its files relative to that place ("Shader\texLights.vert",
// "Assets/Items/duck_item.png"); nativePath puts it in front when it opens
// one, so keys and messages keep the names as written.
//
// The place is chosen once, on first use, in this order:
//  1. the folder named by VESTREL_DATA_DIR, when that is set and not empty;
//  2. the working directory, when it holds both folders (the repository
//     root, where the game has always been run);
//  3. beside the executable: <bin>/../share/vestrel for an installed game,
//     then the source tree the executable was built from;
//  4. otherwise the working directory, where the usual messages then name
//     the files that are missing.
// Only paths whose first part is "Assets" or "Shader" are moved; every other
// path (a demo, a test's own file) is opened as given.

// What the choice looks at, so tests can make it without touching the
// process: the variable's value ("" when unset), the folders beside the
// executable to try in order (empty when the executable is unknown), and a
// test whether a folder holds Assets/ and Shader/.
struct DataDirectoryProbe {
    std::string overrideFolder;
    std::vector<std::string> besideExecutable;
    std::function<bool(const std::string&)> holdsGameData;
};

// The folder to put in front of data paths; "" means the working directory
// (paths stay relative, as they are written).
std::string chooseDataDirectory(const DataDirectoryProbe& probe);

// True when `folder` holds both Assets/ and Shader/ folders.
bool holdsGameData(const std::string& folder);

// The process's choice, made on the first call from VESTREL_DATA_DIR, the
// working directory and the executable's place.
const std::string& dataDirectory();

// Forgets the process's choice, so the next call to dataDirectory chooses
// again (tests that change VESTREL_DATA_DIR).
void forgetDataDirectory();

// `path` (already with forward slashes) under the data directory when its
// first part is Assets or Shader and it is relative; otherwise unchanged.
std::string underDataDirectory(const std::string& path, const std::string& folder);

}  // namespace vestrel
