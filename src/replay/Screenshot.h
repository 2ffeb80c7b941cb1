#pragma once

#include <cstdint>
#include <set>
#include <string>

namespace vestrel {

// When pictures are taken: after given steps ("120,600,1800") or after
// every N steps ("every:300"). Steps count from 1, over the whole run.
class ScreenshotSchedule {
public:
    // False (schedule unchanged) when the text is neither form.
    bool parse(const std::string& text);
    bool due(std::uint64_t step) const;
    bool empty() const { return every_ == 0 && steps_.empty(); }

private:
    std::uint64_t every_ = 0;
    std::set<std::uint64_t> steps_;
};

// Writes the picture in the window's back buffer (what the next swap will
// show) as a PNG of the framebuffer's size. Needs the window's context to be
// current. Prints a line and returns false when the file cannot be written.
bool saveWindowPicture(const std::string& path, int width, int height);

}  // namespace vestrel
