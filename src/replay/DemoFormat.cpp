#include "replay/DemoFormat.h"

#include "app/GameLoop.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <istream>
#include <ostream>
#include <sstream>
#include <string_view>
#include <system_error>

namespace vestrel {

namespace {

// No line the recorder writes comes near this; a longer one is damage.
constexpr std::size_t kMaxLineLength = 256;
constexpr long long kMaxCursor = 1000000;
constexpr long long kMaxHoverMask = 0xFF;
constexpr std::uint64_t kMaxCount = 1000000000ull;

std::string formatFloat(float value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string hex64(std::uint64_t value) {
    static const char digits[] = "0123456789abcdef";
    std::string text(16, '0');
    for (int i = 15; i >= 0; --i) {
        text[static_cast<std::size_t>(i)] = digits[value & 0xF];
        value >>= 4;
    }
    return text;
}

std::vector<std::string_view> splitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (start <= line.size()) {
        const std::size_t space = line.find(' ', start);
        const std::size_t end = space == std::string_view::npos ? line.size() : space;
        fields.push_back(line.substr(start, end - start));
        if (space == std::string_view::npos) break;
        start = space + 1;
    }
    return fields;
}

// The whole field must be the number: no sign tricks, no trailing bytes.
bool parseInt(std::string_view field, long long low, long long high, long long& value) {
    if (field.empty()) return false;
    const auto result = std::from_chars(field.data(), field.data() + field.size(), value);
    return result.ec == std::errc() && result.ptr == field.data() + field.size() && value >= low &&
           value <= high;
}

bool parseUnsigned(std::string_view field, std::uint64_t high, std::uint64_t& value) {
    if (field.empty() || field[0] == '-' || field[0] == '+') return false;
    const auto result = std::from_chars(field.data(), field.data() + field.size(), value);
    return result.ec == std::errc() && result.ptr == field.data() + field.size() && value <= high;
}

bool parseDouble(std::string_view field, double& value) {
    if (field.empty()) return false;
    const auto result = std::from_chars(field.data(), field.data() + field.size(), value);
    return result.ec == std::errc() && result.ptr == field.data() + field.size() && std::isfinite(value);
}

bool parseHex64(std::string_view field, std::uint64_t& value) {
    if (field.size() != 16) return false;
    const auto result = std::from_chars(field.data(), field.data() + field.size(), value, 16);
    return result.ec == std::errc() && result.ptr == field.data() + field.size();
}

bool parseOutcome(std::string_view name, DemoOutcome& outcome) {
    for (DemoOutcome candidate : {DemoOutcome::Neither, DemoOutcome::Won, DemoOutcome::Caught}) {
        if (name == outcomeName(candidate)) {
            outcome = candidate;
            return true;
        }
    }
    return false;
}

// Reads the lines of a demo in order and builds the Demo, failing on the
// first line that does not fit.
class DemoParser {
public:
    explicit DemoParser(Demo& demo) : demo_(demo) {}

    bool parse(std::istream& in, std::string& error) {
        demo_ = Demo{};
        std::string line;
        bool ended = false;
        std::uint64_t bytes = 0;
        for (;;) {
            const LineRead read = readLine(in, line);
            if (read == LineRead::None) break;
            ++lineNumber_;
            bytes += line.size() + 1;
            if (bytes > kMaxDemoBytes) {
                error = "the file is larger than 256 MiB";
                return false;
            }
            if (read == LineRead::TooLong) {
                return fail(error, lineNumber_ == 1 ? "not a Vestrel demo" : "line too long");
            }
            if (ended) return fail(error, "text after the end line");
            if (read == LineRead::Unfinished) {
                // Nothing the recorder writes ends without its line break.
                if (lineNumber_ == 1 && line.rfind(kDemoMagic, 0) != 0)
                    return fail(error, "not a Vestrel demo");
                return fail(error, "the file ends in the middle of a line (truncated)");
            }
            if (!parseLine(line, ended, error)) return false;
            if (!ended) {
                checksum_ = fnv1a(checksum_, line.data(), line.size());
                checksum_ = fnv1a(checksum_, "\n", 1);
            }
        }
        if (in.bad()) return fail(error, "read error");
        if (lineNumber_ == 0) {
            error = "the file is empty";
            return false;
        }
        if (!ended) {
            ++lineNumber_;
            return fail(error, "the file ends before its end line (truncated)");
        }
        return true;
    }

private:
    enum class LineRead { Line, Unfinished, TooLong, None };

    // One line without its break, never holding more than kMaxLineLength
    // bytes: a longer one is not read further.
    static LineRead readLine(std::istream& in, std::string& line) {
        line.clear();
        std::streambuf* buffer = in.rdbuf();
        for (;;) {
            const int c = buffer->sbumpc();
            if (c == std::char_traits<char>::eof()) {
                in.setstate(std::ios::eofbit);
                return line.empty() ? LineRead::None : LineRead::Unfinished;
            }
            if (c == '\n') return LineRead::Line;
            if (line.size() == kMaxLineLength) return LineRead::TooLong;
            line.push_back(static_cast<char>(c));
        }
    }

    bool fail(std::string& error, const std::string& what) {
        error = "line " + std::to_string(lineNumber_) + ": " + what;
        return false;
    }

    bool parseLine(const std::string& line, bool& ended, std::string& error) {
        const std::vector<std::string_view> f = splitFields(line);
        if (lineNumber_ == 1) return parseVersion(f, error);
        if (lineNumber_ == 2) return parseWindow(f, error);
        const std::string_view word = f[0];
        if (word == "key" || word == "mouse" || word == "close") return parseEvent(f, error);
        if (word == "cursor") return parseCursor(f, error);
        if (word == "pad") return parsePad(f, error);
        if (word == "frame") return parseFrame(f, error);
        if (word == "end") {
            ended = true;
            return parseEnd(f, error);
        }
        if (word == "hover" && demo_.version >= 2) return parseHover(f, error);
        return fail(error, "unknown record \"" + printableText(word.substr(0, 24)) + "\"");
    }

    bool parseVersion(const std::vector<std::string_view>& f, std::string& error) {
        if (f.size() != 2 || f[0] != kDemoMagic) return fail(error, "not a Vestrel demo");
        long long version = 0;
        if (!parseInt(f[1], 0, 1000000, version)) return fail(error, "unreadable demo version");
        if (version < kOldestDemoVersion || version > kDemoVersion) {
            return fail(error, "demo version " + std::to_string(version) +
                                   " is not supported (this build reads versions " +
                                   std::to_string(kOldestDemoVersion) + " to " +
                                   std::to_string(kDemoVersion) + ")");
        }
        demo_.version = static_cast<int>(version);
        return true;
    }

    bool parseWindow(const std::vector<std::string_view>& f, std::string& error) {
        long long width = 0, height = 0, rate = 0;
        double ambient = 0.0;
        std::string why;
        if (f.size() != 5 || f[0] != "window" || !parseInt(f[1], 1, kMaxDemoWindowSide, width) ||
            !parseInt(f[2], 1, kMaxDemoWindowSide, height) || !parseInt(f[3], 1, kMaxDemoRefreshRate, rate) ||
            !parseDouble(f[4], ambient) ||
            !demoSettingsAcceptable({static_cast<int>(width), static_cast<int>(height),
                                     static_cast<int>(rate), static_cast<float>(ambient)},
                                    why)) {
            return fail(error, "expected \"window WIDTH HEIGHT REFRESH_RATE AMBIENT\"");
        }
        demo_.settings = {static_cast<int>(width), static_cast<int>(height), static_cast<int>(rate),
                          static_cast<float>(ambient)};
        // Version 1 cursors are positions in a window of the header's size.
        if (demo_.version == 1) {
            centreX_ = static_cast<double>(width / 2);
            centreY_ = static_cast<double>(height / 2);
        }
        current_.centreX = centreX_;
        current_.centreY = centreY_;
        return true;
    }

    // Events arrive while the loop polls, before the steps of their frame,
    // and carry the number of the step they come before.
    bool checkStep(std::string_view field, std::uint64_t expected, std::string& error) {
        std::uint64_t step = 0;
        if (!parseUnsigned(field, kMaxCount, step)) return fail(error, "unreadable step number");
        if (step != expected) {
            return fail(error, "step " + std::to_string(step) + " out of order (expected " +
                                   std::to_string(expected) + ")");
        }
        return true;
    }

    bool parseEvent(const std::vector<std::string_view>& f, std::string& error) {
        if (!current_.steps.empty()) return fail(error, "event between the steps of a frame");
        DemoEvent event;
        long long a = 0, b = 0, c = 0, d = 0;
        if (f[0] == "key") {
            if (f.size() != 6 || !parseInt(f[2], -1, 348, a) || !parseInt(f[3], -1, 65535, b) ||
                !parseInt(f[4], 0, 2, c) || !parseInt(f[5], 0, 0xFF, d)) {
                return fail(error, "expected \"key STEP KEY SCANCODE ACTION MODS\"");
            }
            event = DemoEvent::keyEvent(static_cast<int>(a), static_cast<int>(b), static_cast<int>(c),
                                        static_cast<int>(d));
        } else if (f[0] == "mouse") {
            if (f.size() != 5 || !parseInt(f[2], 0, 7, a) || !parseInt(f[3], 0, 1, c) ||
                !parseInt(f[4], 0, 0xFF, d)) {
                return fail(error, "expected \"mouse STEP BUTTON ACTION MODS\"");
            }
            event = DemoEvent::mouseEvent(static_cast<int>(a), static_cast<int>(c), static_cast<int>(d));
        } else {
            if (f.size() != 2) return fail(error, "expected \"close STEP\"");
            event = DemoEvent::closeEvent();
        }
        if (!checkStep(f[1], steps_, error)) return false;
        current_.events.push_back(event);
        return true;
    }

    bool parseCursor(const std::vector<std::string_view>& f, std::string& error) {
        DemoStep step;
        if (demo_.version >= 2) {
            long long dx = 0, dy = 0;
            if (f.size() != 4 || !parseInt(f[2], -kMaxCursor, kMaxCursor, dx) ||
                !parseInt(f[3], -kMaxCursor, kMaxCursor, dy)) {
                return fail(error, "expected \"cursor STEP DX DY\" with whole pixels");
            }
            step.cursorX = static_cast<double>(dx);
            step.cursorY = static_cast<double>(dy);
        } else if (f.size() != 4 || !parseDouble(f[2], step.cursorX) || !parseDouble(f[3], step.cursorY) ||
                   std::fabs(step.cursorX) > kMaxCursor || std::fabs(step.cursorY) > kMaxCursor) {
            return fail(error, "expected \"cursor STEP X Y\"");
        }
        if (!checkStep(f[1], steps_, error)) return false;
        if (current_.steps.size() >= static_cast<std::size_t>(kMaxStepsPerFrame)) {
            return fail(error, "more steps in one frame than the loop runs");
        }
        current_.steps.push_back(step);
        ++steps_;
        return true;
    }

    bool parsePad(const std::vector<std::string_view>& f, std::string& error) {
        long long v[7] = {};
        const long long low[7] = {0, 0, 0, -32768, -32768, -32768, -32768};
        const long long high[7] = {0xFFFF, 255, 255, 32767, 32767, 32767, 32767};
        bool ok = f.size() == 9;
        for (int i = 0; ok && i < 7; ++i)
            ok = parseInt(f[static_cast<std::size_t>(i) + 2], low[i], high[i], v[i]);
        if (!ok) return fail(error, "expected \"pad STEP BUTTONS LT RT LX LY RX RY\"");
        if (current_.steps.empty() || current_.steps.back().padConnected) {
            return fail(error, "pad reading without a step of its own");
        }
        if (!checkStep(f[1], steps_ - 1, error)) return false;
        DemoStep& step = current_.steps.back();
        step.padConnected = true;
        step.pad.buttons = static_cast<std::uint16_t>(v[0]);
        step.pad.leftTrigger = static_cast<std::uint8_t>(v[1]);
        step.pad.rightTrigger = static_cast<std::uint8_t>(v[2]);
        step.pad.thumbLX = static_cast<std::int16_t>(v[3]);
        step.pad.thumbLY = static_cast<std::int16_t>(v[4]);
        step.pad.thumbRX = static_cast<std::int16_t>(v[5]);
        step.pad.thumbRY = static_cast<std::int16_t>(v[6]);
        return true;
    }

    // The game-over buttons the cursor of the step just read was over.
    bool parseHover(const std::vector<std::string_view>& f, std::string& error) {
        long long mask = 0;
        if (f.size() != 3 || !parseInt(f[2], 0, kMaxHoverMask, mask)) {
            return fail(error, "expected \"hover STEP BUTTONS\"");
        }
        if (current_.steps.empty() || current_.steps.back().hover >= 0) {
            return fail(error, "hover without a step of its own");
        }
        if (!checkStep(f[1], steps_ - 1, error)) return false;
        current_.steps.back().hover = static_cast<int>(mask);
        return true;
    }

    bool parseFrame(const std::vector<std::string_view>& f, std::string& error) {
        long long steps = 0;
        if (f.size() != 2 || !parseInt(f[1], 0, kMaxStepsPerFrame, steps)) {
            return fail(error,
                        "expected \"frame STEPS\" with 0 to " + std::to_string(kMaxStepsPerFrame) + " steps");
        }
        if (static_cast<std::size_t>(steps) != current_.steps.size()) {
            return fail(error, "frame of " + std::to_string(steps) + " steps follows " +
                                   std::to_string(current_.steps.size()) + " cursor readings");
        }
        demo_.frames.push_back(std::move(current_));
        current_ = DemoFrame{};
        current_.centreX = centreX_;
        current_.centreY = centreY_;
        return true;
    }

    bool parseEnd(const std::vector<std::string_view>& f, std::string& error) {
        DemoTotals& t = demo_.totals;
        std::uint64_t check = 0;
        if (f.size() != 14 || !parseOutcome(f[1], t.outcome) || f[2] != "steps" ||
            !parseUnsigned(f[3], kMaxCount, t.steps) || f[4] != "frames" ||
            !parseUnsigned(f[5], kMaxCount, t.frames) || f[6] != "items" ||
            !parseUnsigned(f[7], kMaxCount, t.items) || f[8] != "switches" ||
            !parseUnsigned(f[9], kMaxCount, t.switches) || f[10] != "hash" || !parseHex64(f[11], t.hash) ||
            f[12] != "check" || !parseHex64(f[13], check)) {
            return fail(error,
                        "expected \"end OUTCOME steps N frames N items N switches N hash HEX check HEX\"");
        }
        if (!current_.steps.empty()) return fail(error, "steps without their frame line (truncated)");
        if (check != checksum_) return fail(error, "checksum mismatch: the file is damaged");
        if (t.steps != steps_ || t.frames != demo_.frames.size()) {
            return fail(error, "the end line counts " + std::to_string(t.steps) + " steps and " +
                                   std::to_string(t.frames) + " frames; the file holds " +
                                   std::to_string(steps_) + " and " + std::to_string(demo_.frames.size()));
        }
        if (!current_.events.empty()) {
            // The run ended during a start sequence: these events were
            // delivered but no frame ran after them.
            current_.ran = false;
            demo_.frames.push_back(std::move(current_));
        }
        return true;
    }

    Demo& demo_;
    DemoFrame current_;
    std::uint64_t steps_ = 0;
    std::uint64_t lineNumber_ = 0;
    std::uint64_t checksum_ = kFnvOffset;
    double centreX_ = 0.0;
    double centreY_ = 0.0;
};

}  // namespace

const char* outcomeName(DemoOutcome outcome) {
    switch (outcome) {
        case DemoOutcome::Won:
            return "won";
        case DemoOutcome::Caught:
            return "caught";
        case DemoOutcome::Neither:
            break;
    }
    return "neither";
}

std::uint64_t fnv1a(std::uint64_t hash, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        hash ^= bytes[i];
        hash *= 1099511628211ull;
    }
    return hash;
}

bool readDemo(std::istream& in, Demo& demo, std::string& error) {
    DemoParser parser(demo);
    return parser.parse(in, error);
}

bool loadDemo(const std::string& path, Demo& demo, std::string& error) {
    std::error_code failed;
    if (std::filesystem::is_directory(path, failed)) {
        error = path + ": a folder, not a demo file";
        return false;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = path + ": can't open the file (" + std::strerror(errno) + ")";
        return false;
    }
    // A regular file's size is known before reading; anything else (a pipe,
    // a device) is bounded while it is read.
    const std::uintmax_t size = std::filesystem::file_size(path, failed);
    if (!failed && std::filesystem::is_regular_file(path, failed) && size > kMaxDemoBytes) {
        error = path + ": the file is larger than 256 MiB";
        return false;
    }
    if (!readDemo(file, demo, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

std::string printableText(std::string_view text) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '\\') {
            out += "\\\\";
        } else if (byte >= 0x20 && byte < 0x7F) {
            out.push_back(c);
        } else {
            out += "\\x";
            out.push_back(digits[byte >> 4]);
            out.push_back(digits[byte & 0xF]);
        }
    }
    return out;
}

bool demoSettingsAcceptable(const DemoSettings& s, std::string& why) {
    const std::string side = " is outside 1 to " + std::to_string(kMaxDemoWindowSide);
    if (s.width < 1 || s.width > kMaxDemoWindowSide) {
        why = "width " + std::to_string(s.width) + side;
    } else if (s.height < 1 || s.height > kMaxDemoWindowSide) {
        why = "height " + std::to_string(s.height) + side;
    } else if (s.refreshRate < 1 || s.refreshRate > kMaxDemoRefreshRate) {
        why = "refresh rate " + std::to_string(s.refreshRate) + " is outside 1 to " +
              std::to_string(kMaxDemoRefreshRate);
    } else if (!std::isfinite(s.ambient) || s.ambient < 0.0f || s.ambient > kMaxDemoAmbient) {
        why = "ambient " + formatFloat(s.ambient) + " is outside 0 to " + formatFloat(kMaxDemoAmbient);
    } else {
        return true;
    }
    return false;
}

std::string demoHeaderLine(const DemoSettings& s) {
    return "window " + std::to_string(s.width) + " " + std::to_string(s.height) + " " +
           std::to_string(s.refreshRate) + " " + formatFloat(s.ambient);
}

std::string demoEventLine(const DemoEvent& e, std::uint64_t step) {
    const std::string at = std::to_string(step);
    switch (e.kind) {
        case DemoEvent::Key:
            return "key " + at + " " + std::to_string(e.key) + " " + std::to_string(e.scancode) + " " +
                   std::to_string(e.action) + " " + std::to_string(e.mods);
        case DemoEvent::MouseButton:
            return "mouse " + at + " " + std::to_string(e.key) + " " + std::to_string(e.action) + " " +
                   std::to_string(e.mods);
        case DemoEvent::Close:
            break;
    }
    return "close " + at;
}

std::ostream& operator<<(std::ostream& out, const DemoEvent& event) {
    std::string line = demoEventLine(event, 0);
    const std::size_t step = line.find(" 0");
    return out << line.erase(step, 2);
}

std::string demoCursorLine(std::uint64_t step, int offsetX, int offsetY) {
    return "cursor " + std::to_string(step) + " " + std::to_string(offsetX) + " " + std::to_string(offsetY);
}

std::string demoHoverLine(std::uint64_t step, int hover) {
    return "hover " + std::to_string(step) + " " + std::to_string(hover);
}

std::string demoPadLine(std::uint64_t step, const GamepadState& p) {
    std::ostringstream line;
    line << "pad " << step << " " << p.buttons << " " << int(p.leftTrigger) << " " << int(p.rightTrigger)
         << " " << p.thumbLX << " " << p.thumbLY << " " << p.thumbRX << " " << p.thumbRY;
    return line.str();
}

std::string demoFrameLine(int steps) { return "frame " + std::to_string(steps); }

std::string demoEndLine(const DemoTotals& t, std::uint64_t checksum) {
    return std::string("end ") + outcomeName(t.outcome) + " steps " + std::to_string(t.steps) + " frames " +
           std::to_string(t.frames) + " items " + std::to_string(t.items) + " switches " +
           std::to_string(t.switches) + " hash " + hex64(t.hash) + " check " + hex64(checksum);
}

}  // namespace vestrel
