#pragma once

#include <GL/glew.h>

#include <array>
#include <chrono>
#include <cstdint>

#include "render/FramePass.h"

namespace vestrel {

// Sums over a run of what the counting queries reported.
struct FragmentTotals {
    std::uint64_t frames = 0;
    std::uint64_t pixels = 0;          // frame width x height, summed over the frames
    std::uint64_t sceneFragments = 0;  // fragments the level tree's pass rasterised
    std::uint64_t sceneSamples = 0;    // samples it wrote (passed the depth test)
    // Pixels its triangles cover, hidden or not. llvmpipe runs (and counts)
    // the fragment program on whole 4 x 4 blocks, so sceneFragments also
    // holds the uncovered pixels of the blocks along every triangle edge.
    std::uint64_t sceneCovered = 0;
    std::uint64_t otherPassFragments = 0;  // glow (half size), hidden writing, glass, monster
    bool fragmentsCounted = false;         // the driver counts fragment shader runs
    // Wall time of each pass, with the rasteriser waited for at every
    // boundary (so a pass's pixels count in its own time).
    std::array<double, kFramePassCount> passMilliseconds{};

    double perPixel(std::uint64_t count) const {
        return pixels > 0 ? static_cast<double>(count) / static_cast<double>(pixels) : 0.0;
    }
};

// GL queries around the scene passes, for the timedemo's counting run: how
// many fragments were rasterised (fragment shader runs, where the driver has
// pipeline statistics) and how many samples were written. Reading them waits
// for the rasteriser at the end of every frame, so a counted run is not a
// timed one. Owns its query objects; needs a current GL context.
class FragmentCounter {
public:
    enum class Span : int { ScenePass = 0, OtherPasses = 1 };

    FragmentCounter();
    ~FragmentCounter();
    FragmentCounter(const FragmentCounter&) = delete;
    FragmentCounter& operator=(const FragmentCounter&) = delete;

    void begin(Span span);
    void end(Span span);
    // Waits for this frame's results and adds them to `totals` for a frame
    // of `pixels` pixels. Spans not begun this frame add nothing.
    void endFrame(std::uint64_t pixels, FragmentTotals& totals);

    // Around a second drawing of the level tree's pass that writes nothing
    // (the caller masks colour and depth and passes every depth test): its
    // samples are the pixels the tree covers. Not timed: endCoverage waits
    // for the rasteriser and starts the next pass's clock after it.
    void beginCoverage();
    void endCoverage();

    // Pass times: startPasses waits for the rasteriser and starts the clock;
    // passDone waits again and adds the time since the last mark to `pass`.
    void startPasses();
    void passDone(FramePass pass, FragmentTotals& totals);

private:
    std::chrono::steady_clock::time_point lastMark_{};
    bool statistics_ = false;
    GLuint fragments_[2] = {0, 0};
    GLuint samples_ = 0;
    GLuint covered_ = 0;
    bool used_[2] = {false, false};
    bool coverageUsed_ = false;
};

}  // namespace vestrel
