#pragma once

// Timings of a replayed demo played as fast as the machine allows: how long
// the game takes to start, how long each frame and each fixed step takes and
// what the bare window costs. Switched on by VESTREL_TIMEDEMO (README,
// "Timedemo"); with it off the hooks below read no clock and allocate nothing.

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "render/FramePass.h"

struct GLFWwindow;

namespace vestrel {

// The parts of one fixed step, timed separately.
enum class StepPhase : int { Physics = 0, Player, Monster, Level, Audio };
inline constexpr std::size_t kStepPhaseCount = 5;
const char* stepPhaseName(StepPhase phase);

// Median, 95th and 99th percentile and maximum of a set of samples, by
// nearest rank (the p-th percentile is the smallest sample with at least p%
// of the samples at or below it). All zero for no samples.
struct Distribution {
    std::size_t count = 0;
    double median = 0.0;
    double p95 = 0.0;
    double p99 = 0.0;
    double max = 0.0;
};
Distribution distributionOf(std::vector<double> samples);

// One drawn frame: its wall time and the fixed steps it ran, with their
// summed phase times (milliseconds), and what the renderer's visibility
// stage decided: level tree objects drawn, left out by the frustum and left
// out as hidden, other passes' objects left out as hidden, and the stage's
// own time.
struct TimedemoFrame {
    double frameMs = 0.0;
    int steps = 0;
    std::array<double, kStepPhaseCount> phaseMs{};
    int drawn = 0;
    int frustumCulled = 0;
    int occluded = 0;
    int passOccluded = 0;
    double visibilityMs = 0.0;
};

// What a counting run's GL queries found, per pixel of every frame drawn.
struct FragmentCounts {
    std::uint64_t frames = 0;
    double sceneFragmentsPerPixel = 0.0;  // rasterised by the level tree's pass
    double sceneSamplesPerPixel = 0.0;    // written by it (passed the depth test)
    double sceneCoveredPerPixel = 0.0;    // covered by its triangles, hidden or not
    double otherFragmentsPerPixel = 0.0;  // glow, hidden writing, glass, monster
    bool fragmentsCounted = false;        // the driver reports fragment shader runs
    // Mean wall time a frame of each pass (kFramePassNames), the rasteriser
    // waited for at every boundary.
    std::array<double, kFramePassCount> passMilliseconds{};
};

// One fixed step's phase times (milliseconds).
struct TimedemoStep {
    std::array<float, kStepPhaseCount> phaseMs{};
    float totalMs() const;
};

class Timedemo {
public:
    using Clock = std::chrono::steady_clock;

    // `expectedSteps` and `expectedFrames` size the sample buffers up front,
    // so that recording a step or a frame does not allocate.
    Timedemo(std::size_t expectedSteps, std::size_t expectedFrames);
    ~Timedemo();
    Timedemo(const Timedemo&) = delete;
    Timedemo& operator=(const Timedemo&) = delete;

    // The timedemo the hooks report to; null when none runs (the usual case).
    static Timedemo* active() { return active_; }
    // Makes this the active one (until it is destroyed or another is).
    void activate();

    // --- Hooks ----------------------------------------------------------
    void beginStep();
    void addPhase(StepPhase phase, Clock::duration spent);
    void endStep();
    // The level's file loaded in `ms` (the first load counts; later ones are
    // restarts and are counted but not timed here).
    void levelLoaded(double ms);
    // What the visibility stage decided for the frame about to be done.
    void frameVisibility(int drawn, int frustumCulled, int occluded, int passOccluded, double visibilityMs);
    // One play frame took `ms` wall time and ran `steps` fixed steps.
    void frameDone(double ms, int steps);

    // Whether occlusion culling was on (the report says so).
    void setOcclusionCulling(bool on) { occlusionCulling_ = on; }
    // A counting run reads GL queries every frame (which slows it) and
    // reports fragments per pixel; its times are not the game's.
    void setCountingRun(bool counting) { countingRun_ = counting; }
    bool countingRun() const { return countingRun_; }
    void setFragmentCounts(const FragmentCounts& counts) { fragmentCounts_ = counts; }

    // Seconds the process had been running when the timedemo was created,
    // and that moment; together they date the first play frame.
    void setStartOffset(double processAgeSeconds, Clock::time_point at);
    void firstPlayFrameShown(Clock::time_point at);

    // The machine's floor: `frames` iterations of clearing the window and
    // swapping it, nothing else, at the window's size on the same display.
    // The GL context must be current; swap interval as the run had it.
    void measureFloor(GLFWwindow* window, int width, int height, int frames);

    void setDescription(std::string renderer, int width, int height, std::string sampling);
    void setPeakResidentKiB(long kib) { peakResidentKiB_ = kib; }
    // CPU time of the whole process (every thread, llvmpipe's among them)
    // over the play frames: steadier than wall time on a busy machine.
    void setPlayCpuSeconds(double seconds) { playCpuSeconds_ = seconds; }
    // CPU time of the game's own thread over the play frames: the game, the
    // GL calls and whatever llvmpipe does on the calling thread.
    void setMainThreadCpuSeconds(double seconds) { mainThreadCpuSeconds_ = seconds; }

    const std::vector<TimedemoFrame>& frames() const { return frames_; }
    const std::vector<TimedemoStep>& steps() const { return steps_; }
    const std::vector<double>& floorFrames() const { return floorMs_; }
    double startToFirstFrameMs() const { return startToFirstFrameMs_; }
    double levelLoadMs() const { return levelLoadMs_; }

    // The summary lines, each starting with "Timedemo: ".
    void printReport(std::ostream& out) const;
    // One row per play frame: frame,frame_ms,steps,step_ms,physics_ms,...
    bool writeCsv(const std::string& path) const;

private:
    static Timedemo* active_;

    std::vector<TimedemoFrame> frames_;
    std::vector<TimedemoStep> steps_;
    std::vector<double> floorMs_;
    TimedemoStep current_;
    TimedemoFrame pendingFrame_;
    bool inStep_ = false;
    double levelLoadMs_ = -1.0;
    int levelLoads_ = 0;
    double startAgeSeconds_ = 0.0;
    Clock::time_point startAt_{};
    double startToFirstFrameMs_ = -1.0;
    std::string renderer_;
    int width_ = 0;
    int height_ = 0;
    std::string sampling_;
    long peakResidentKiB_ = 0;
    bool occlusionCulling_ = true;
    bool countingRun_ = false;
    FragmentCounts fragmentCounts_;
    double playCpuSeconds_ = 0.0;
    double mainThreadCpuSeconds_ = 0.0;
};

// Times one phase of a fixed step for the active timedemo. With none active
// it reads no clock.
class PhaseTimer {
public:
    explicit PhaseTimer(StepPhase phase) : timedemo_(Timedemo::active()), phase_(phase) {
        if (timedemo_ != nullptr) start_ = Timedemo::Clock::now();
    }
    ~PhaseTimer() {
        if (timedemo_ != nullptr) timedemo_->addPhase(phase_, Timedemo::Clock::now() - start_);
    }
    PhaseTimer(const PhaseTimer&) = delete;
    PhaseTimer& operator=(const PhaseTimer&) = delete;

private:
    Timedemo* timedemo_;
    StepPhase phase_;
    Timedemo::Clock::time_point start_{};
};

// How long this process has run, from the kernel's record of its start
// (/proc, resolution one clock tick); negative where that cannot be read.
double processAgeSeconds();
// The process's peak resident set, in KiB.
long peakResidentKiB();
// User and system CPU time of the whole process so far, in seconds.
double processCpuSeconds();
// CPU time of the calling thread so far, in seconds.
double threadCpuSeconds();

// Parses "WIDTHxHEIGHT" (both 1 to kMaxWindowSide). Returns false on anything else.
bool parseWindowSize(const std::string& text, int& width, int& height);

}  // namespace vestrel
