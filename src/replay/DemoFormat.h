#pragma once

// The demo file: every input one run of the game received, in the order it
// arrived, so that the same build can play the run again step for step.
// The text format is described in docs/demo-format.md.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "play/Gamepad.h"

namespace vestrel {

inline constexpr const char* kDemoMagic = "vestrel-demo";
inline constexpr int kDemoVersion = 1;

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

// What one fixed step read: the cursor position and, when the play state
// polled a pad that was connected, its reading.
struct DemoStep {
    double cursorX = 0.0;
    double cursorY = 0.0;
    bool padConnected = false;
    GamepadState pad;  // packetNumber is not stored; the reader recounts it
};

// One iteration of the main loop: the events delivered while it polled the
// window system, then the fixed steps it ran. The last frame of a run that
// ended during its start sequence has events but never ran (`ran` false).
struct DemoFrame {
    std::vector<DemoEvent> events;
    std::vector<DemoStep> steps;
    bool ran = true;
};

// How the last game that ended during the run ended.
enum class DemoOutcome { Neither, Won, Caught };
const char* outcomeName(DemoOutcome outcome);

// The options a demo is played with: they decide the cursor's rest position
// and the run limit, so a replay uses the recorded ones.
struct DemoSettings {
    int width = 800;
    int height = 600;
    int refreshRate = 60;
    float ambient = 0.1f;
};

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
    DemoSettings settings;
    std::vector<DemoFrame> frames;
    DemoTotals totals;
};

// Reads a whole demo and checks it: magic and version, every line's fields
// and ranges, step numbers that agree with the frames, the end line's counts
// and the checksum. On any fault returns false with `error` naming the line
// and what is wrong; `demo` is then unusable.
bool readDemo(std::istream& in, Demo& demo, std::string& error);
bool loadDemo(const std::string& path, Demo& demo, std::string& error);

// Files larger than this are refused before they are read.
inline constexpr std::uint64_t kMaxDemoBytes = 256ull * 1024 * 1024;

// 64-bit FNV-1a, the demo's checksum and position hash.
inline constexpr std::uint64_t kFnvOffset = 14695981039346656037ull;
std::uint64_t fnv1a(std::uint64_t hash, const void* data, std::size_t size);

// The text of each line (without its line break), as the recorder writes them.
std::string demoHeaderLine(const DemoSettings& settings);
std::string demoEventLine(const DemoEvent& event, std::uint64_t step);
std::string demoCursorLine(std::uint64_t step, double x, double y);
std::string demoPadLine(std::uint64_t step, const GamepadState& pad);
std::string demoFrameLine(int steps);
std::string demoEndLine(const DemoTotals& totals, std::uint64_t checksum);

}  // namespace vestrel
