#include "level/DirectoryListing.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "app/Platform.h"

namespace vestrel {

namespace {

constexpr std::size_t kMaxNameBytes = 256;   // a name this long or longer is an error
constexpr std::size_t kMaxPathBytes = 4096;  // folder + "/" + name + terminator must stay below

struct Entry {
    std::string name;
    bool directory = false;
};

bool isDirectory(const std::string& folder, const dirent& entry) {
    if (entry.d_type == DT_DIR) return true;
    if (entry.d_type != DT_UNKNOWN && entry.d_type != DT_LNK) return false;
    // The file system did not say (or it is a link): ask for the target itself.
    struct stat info {};
    const std::string path = folder + "/" + entry.d_name;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

std::vector<std::string> listDirectory(const std::string& folder) {
    const std::string native = nativePath(folder);
    DIR* dir = opendir(native.c_str());
    if (dir == nullptr) return {};

    std::vector<Entry> entries;
    bool failed = false;
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir);
        if (entry == nullptr) {
            failed = errno != 0;
            break;
        }
        const std::size_t nameLength = std::strlen(entry->d_name);
        if (nameLength >= kMaxNameBytes || native.size() + nameLength + 3 >= kMaxPathBytes) {
            failed = true;
            break;
        }
        entries.push_back({entry->d_name, isDirectory(native, *entry)});
    }
    closedir(dir);
    if (failed) return {};

    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        if (a.directory != b.directory) return a.directory;
        // std::string compares as unsigned bytes, which is the order wanted.
        return a.name < b.name;
    });
    std::vector<std::string> names;
    names.reserve(entries.size());
    for (const Entry& entry : entries) {
        if (entry.name == "." || entry.name == "..") continue;
        names.push_back(entry.name);
    }
    return names;
}

}  // namespace vestrel
