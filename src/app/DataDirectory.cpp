#include "app/DataDirectory.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <system_error>

// Both are paths relative to the folder of the executable, set by the build:
// where an installed game keeps its data, and where the source tree of this
// build lies.
#ifndef VESTREL_INSTALLED_DATA
#define VESTREL_INSTALLED_DATA "../share/vestrel"
#endif
#ifndef VESTREL_SOURCE_TREE
#define VESTREL_SOURCE_TREE ".."
#endif

namespace vestrel {

namespace {

std::string executableFolder() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : self.parent_path().string();
}

bool firstPartIs(const std::string& path, const char* part) {
    const std::string prefix = part;
    return path.compare(0, prefix.size(), prefix) == 0 &&
           (path.size() == prefix.size() || path[prefix.size()] == '/');
}

std::string chosen;
bool haveChoice = false;

}  // namespace

bool holdsGameData(const std::string& folder) {
    std::error_code error;
    const std::filesystem::path root =
        folder.empty() ? std::filesystem::path(".") : std::filesystem::path(folder);
    return std::filesystem::is_directory(root / "Assets", error) &&
           std::filesystem::is_directory(root / "Shader", error);
}

std::string chooseDataDirectory(const DataDirectoryProbe& probe) {
    if (!probe.overrideFolder.empty()) return probe.overrideFolder;
    if (probe.holdsGameData("")) return "";
    for (const std::string& folder : probe.besideExecutable) {
        if (probe.holdsGameData(folder)) return folder;
    }
    return "";
}

const std::string& dataDirectory() {
    if (haveChoice) return chosen;
    DataDirectoryProbe probe;
    if (const char* value = std::getenv("VESTREL_DATA_DIR")) probe.overrideFolder = value;
    const std::string exe = executableFolder();
    if (!exe.empty()) {
        for (const char* relative : {VESTREL_INSTALLED_DATA, VESTREL_SOURCE_TREE}) {
            std::error_code error;
            const std::filesystem::path folder =
                std::filesystem::weakly_canonical(std::filesystem::path(exe) / relative, error);
            if (!error) probe.besideExecutable.push_back(folder.string());
        }
    }
    probe.holdsGameData = holdsGameData;
    chosen = chooseDataDirectory(probe);
    haveChoice = true;
    if (!probe.overrideFolder.empty() && !holdsGameData(chosen)) {
        std::cout << "VESTREL_DATA_DIR is " << chosen << ", which has no Assets and Shader folders"
                  << std::endl;
    }
    return chosen;
}

void forgetDataDirectory() {
    chosen.clear();
    haveChoice = false;
}

std::string underDataDirectory(const std::string& path, const std::string& folder) {
    if (folder.empty() || path.empty() || path[0] == '/') return path;
    if (!firstPartIs(path, "Assets") && !firstPartIs(path, "Shader")) return path;
    return folder.back() == '/' ? folder + path : folder + "/" + path;
}

}  // namespace vestrel
