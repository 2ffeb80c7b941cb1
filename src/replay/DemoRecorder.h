#pragma once

#include <cstdint>
#include <fstream>
#include <string>

#include "replay/DemoFormat.h"

namespace vestrel {

// Writes a demo file as the run goes, one line per input, and keeps the
// checksum of everything written. The end line is written only by finish,
// so a run that dies early leaves a file every reader refuses.
class DemoRecorder {
public:
    // Creates (or truncates) `path` and writes the version and window lines.
    // Options a replay would refuse are refused here, before the file is
    // touched: what is recorded must replay.
    bool open(const std::string& path, const DemoSettings& settings, std::string& error);

    void event(const DemoEvent& event, std::uint64_t step) { line(demoEventLine(event, step)); }
    void cursor(std::uint64_t step, int offsetX, int offsetY) {
        line(demoCursorLine(step, offsetX, offsetY));
    }
    void pad(std::uint64_t step, const GamepadState& reading) { line(demoPadLine(step, reading)); }
    void hover(std::uint64_t step, int buttons) { line(demoHoverLine(step, buttons)); }
    void frame(int steps) { line(demoFrameLine(steps)); }

    // Writes the end line and closes the file; false when any write failed.
    bool finish(const DemoTotals& totals);

    const std::string& path() const { return path_; }

private:
    void line(const std::string& text);

    std::ofstream out_;
    std::string path_;
    std::uint64_t checksum_ = kFnvOffset;
};

}  // namespace vestrel
