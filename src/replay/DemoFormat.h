#pragma once

// The demo file: every input one run of the game received, in the order it
// arrived, so that the same build can play the run again step for step.
// The text format is described in docs/demo-format.md.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "app/CommandLine.h"
#include "play/Gamepad.h"

namespace vestrel {

inline constexpr const char* kDemoMagic = "vestrel-demo";
// Version 2 stores each step's cursor as its offset from the window's centre
// and the game-over buttons it was over; version 1 (absolute cursor
// positions in the window the header names) is still read.
inline constexpr int kDemoVersion = 2;
inline constexpr int kOldestDemoVersion = 1;

// A window event as the GLFW callbacks deliver it.
struct DemoEvent {
    enum Kind { Key, MouseButton, Close };
    Kind kind = Key;
    int key = 0;  // Key: GLFW key code; MouseButton: the button
    int scancode = 0;
    int action = 0;
    int mods = 0;

    static DemoEvent keyEvent(int key, int scancode, int action, int mods) {
        return {Key, key, scancode, action, mods};
    }
    static DemoEvent mouseEvent(int button, int action, int mods) {
        return {MouseButton, button, 0, action, mods};
    }
    static DemoEvent closeEvent() { return {Close, 0, 0, 0, 0}; }
    bool operator==(const DemoEvent& o) const {
        return kind == o.kind && key == o.key && scancode == o.scancode && action == o.action &&
               mods == o.mods;
    }
};

// As in the file, without the step ("key 87 25 1 0"); for logs and tests.
std::ostream& operator<<(std::ostream& out, const DemoEvent& event);

// What one fixed step read: the cursor position (taken against the window
// centre its frame names) and, when the play state polled a pad that was
// connected, its reading; on the game-over screen, which buttons the cursor
// was over.
struct DemoStep {
    double cursorX = 0.0;
    double cursorY = 0.0;
    bool padConnected = false;
    GamepadState pad;  // packetNumber is not stored; the reader recounts it
    int hover = -1;    // bit k: over the k-th game-over button; -1: not recorded
};

// One iteration of the main loop: the events delivered while it polled the
// window system, then the fixed steps it ran. The last frame of a run that
// ended during its start sequence has events but never ran (`ran` false).
//
// Mouse look reads the cursor's offset from the centre of the window, so a
// step's cursor only means something together with that centre: a replay
// moves every cursor by the difference between its own window's centre and
// (centreX, centreY). Version 2 files store offsets (centre 0, 0); version 1
// files the positions in the window of the header.
struct DemoFrame {
    std::vector<DemoEvent> events;
    std::vector<DemoStep> steps;
    bool ran = true;
    double centreX = 0.0;
    double centreY = 0.0;
};

// How the last game that ended during the run ended.
enum class DemoOutcome { Neither, Won, Caught };
const char* outcomeName(DemoOutcome outcome);

// The options a demo is played with: the refresh rate sets the run limit,
// so a replay uses the recorded ones.
struct DemoSettings {
    int width = 800;
    int height = 600;
    int refreshRate = 60;
    float ambient = 0.1f;
};

// What a demo's window line may hold; a recording is refused up front with
// options outside these, since no replay would accept its file.
inline constexpr int kMaxDemoWindowSide = kMaxWindowSide;
inline constexpr int kMaxDemoRefreshRate = 1000;
inline constexpr float kMaxDemoAmbient = 100.0f;
// False with `why` ("refresh rate 2000 is outside 1 to 1000") when a replay
// would refuse these options.
bool demoSettingsAcceptable(const DemoSettings& settings, std::string& why);

// The end line: what the run came to, and a checksum of everything before it.
struct DemoTotals {
    DemoOutcome outcome = DemoOutcome::Neither;
    std::uint64_t steps = 0;
    std::uint64_t frames = 0;
    std::uint64_t items = 0;     // items picked up, over every game of the run
    std::uint64_t switches = 0;  // interactions that used an item
    std::uint64_t hash = 0;      // of player and monster positions after every step
};

struct Demo {
    int version = kDemoVersion;
    DemoSettings settings;
    std::vector<DemoFrame> frames;
    DemoTotals totals;
};

// Reads a whole demo and checks it: magic and version, every line's fields
// and ranges, step numbers that agree with the frames, the end line's counts
// and the checksum. Never reads more than kMaxDemoBytes, nor more than one
// line's worth past the longest line, so an endless source (/dev/zero, a
// pipe) is refused, not swallowed. On any fault returns false with `error`
// naming the line and what is wrong ("line 7: ..."), or the whole file's
// fault ("the file is empty"); `demo` is then unusable.
bool readDemo(std::istream& in, Demo& demo, std::string& error);
// The same from a file: `error` always starts with the path
// ("PATH: line 7: ...", "PATH: can't open the file (No such file or directory)").
bool loadDemo(const std::string& path, Demo& demo, std::string& error);

// Files larger than this are refused before they are read.
inline constexpr std::uint64_t kMaxDemoBytes = 256ull * 1024 * 1024;

// `text` with every byte outside printable ASCII written as \xNN (and the
// backslash as \\), so that junk read from a file cannot reach the console raw.
std::string printableText(std::string_view text);

// 64-bit FNV-1a, the demo's checksum and position hash.
inline constexpr std::uint64_t kFnvOffset = 14695981039346656037ull;
std::uint64_t fnv1a(std::uint64_t hash, const void* data, std::size_t size);

// The text of each line (without its line break), as the recorder writes them.
std::string demoHeaderLine(const DemoSettings& settings);
std::string demoEventLine(const DemoEvent& event, std::uint64_t step);
// The cursor's offset from the window's centre, in whole pixels as mouse
// look reads it.
std::string demoCursorLine(std::uint64_t step, int offsetX, int offsetY);
std::string demoPadLine(std::uint64_t step, const GamepadState& pad);
std::string demoHoverLine(std::uint64_t step, int hover);
std::string demoFrameLine(int steps);
std::string demoEndLine(const DemoTotals& totals, std::uint64_t checksum);

}  // namespace vestrel
