#include "app/Platform.h"

#include "app/DataDirectory.h"

#include <termios.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>

namespace vestrel {

std::string nativePath(const std::string& path) {
#ifdef _WIN32
    std::string native = path;
#else
    std::string native = path;
    for (char& c : native) {
        if (c == '\\') {
            c = '/';
        }
    }
#endif
    return underDataDirectory(native, dataDirectory());
}

bool readWholeFile(const std::string& path, std::string& text) {
    text.clear();
    const std::string native = nativePath(path);
    // A folder opens like a file here and only fails once it is read.
    std::error_code error;
    if (std::filesystem::is_directory(native, error)) return false;
    std::ifstream file(native, std::ios::in | std::ios::binary);
    if (!file.good()) return false;
    // istream::read turns a failing read (which the file buffer reports by
    // throwing) into badbit; reading through stream iterators would not.
    char chunk[65536];
    while (file.read(chunk, sizeof chunk) || file.gcount() > 0) {
        text.append(chunk, static_cast<std::size_t>(file.gcount()));
        if (file.eof()) break;
    }
    if (file.bad()) {
        text.clear();
        return false;
    }
    return true;
}

void pauseConsole() {
    if (!isatty(STDIN_FILENO)) {
        return;
    }
    std::cout << "Press any key to continue . . . " << std::flush;
    termios saved{};
    const bool haveTerminal = tcgetattr(STDIN_FILENO, &saved) == 0;
    if (haveTerminal) {
        termios raw = saved;
        raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    }
    char key = 0;
    [[maybe_unused]] const ssize_t got = read(STDIN_FILENO, &key, 1);
    if (haveTerminal) {
        tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    }
    std::cout << std::endl;
}

void fatalExit() {
    std::cout.flush();
    pauseConsole();
    std::exit(1);
}

}  // namespace vestrel
