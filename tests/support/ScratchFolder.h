#pragma once

// A folder of this test program's own for the files its tests write, made on
// first use under the system's temporary folder (mkdtemp) and removed when
// the program ends. Two runs of the suite side by side never meet there.

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace vestrel::test {

// The folder's path, ending in "/".
inline const std::string& scratchFolder() {
    struct Folder {
        std::string path;
        pid_t owner = getpid();
        Folder() {
            std::error_code error;
            std::string pattern =
                (std::filesystem::temp_directory_path(error) / "vestrel_test_XXXXXX").string();
            if (error) pattern = "/tmp/vestrel_test_XXXXXX";
            if (mkdtemp(pattern.data()) == nullptr) std::abort();
            path = pattern + "/";
        }
        ~Folder() {
            // Only the process that made it: a forked death-test child that
            // exits must not take the parent's files with it.
            if (getpid() != owner) return;
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);  // links inside are removed, never followed
        }
    };
    static const Folder folder;
    return folder.path;
}

}  // namespace vestrel::test
