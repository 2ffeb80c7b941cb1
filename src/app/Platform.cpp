#include "app/Platform.h"

#include "app/DataDirectory.h"

#include <termios.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
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
