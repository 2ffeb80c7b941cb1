#include "replay/Timedemo.h"

#include "app/CommandLine.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iomanip>
#include <ostream>
#include <sstream>

namespace vestrel {

Timedemo* Timedemo::active_ = nullptr;

namespace {

double toMs(Timedemo::Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

}  // namespace

const char* stepPhaseName(StepPhase phase) {
    switch (phase) {
        case StepPhase::Physics:
            return "physics";
        case StepPhase::Player:
            return "player";
        case StepPhase::Monster:
            return "monster";
        case StepPhase::Level:
            return "level";
        case StepPhase::Audio:
            return "audio";
    }
    return "?";
}

Distribution distributionOf(std::vector<double> samples) {
    Distribution d;
    d.count = samples.size();
    if (samples.empty()) return d;
    std::sort(samples.begin(), samples.end());
    const auto rank = [&](double percent) {
        // Nearest rank: ceil(p/100 * n), counted from 1.
        const double exact = percent / 100.0 * static_cast<double>(samples.size());
        std::size_t index = static_cast<std::size_t>(std::ceil(exact - 1e-9));
        if (index < 1) index = 1;
        return samples[std::min(index, samples.size()) - 1];
    };
    d.median = rank(50.0);
    d.p95 = rank(95.0);
    d.p99 = rank(99.0);
    d.max = samples.back();
    return d;
}

float TimedemoStep::totalMs() const {
    float total = 0.0f;
    for (float ms : phaseMs) total += ms;
    return total;
}

Timedemo::Timedemo(std::size_t expectedSteps, std::size_t expectedFrames) {
    steps_.reserve(expectedSteps + 64);
    frames_.reserve(expectedFrames + 64);
}

Timedemo::~Timedemo() {
    if (active_ == this) active_ = nullptr;
}

void Timedemo::activate() { active_ = this; }

void Timedemo::beginStep() {
    current_ = TimedemoStep{};
    inStep_ = true;
}

void Timedemo::addPhase(StepPhase phase, Clock::duration spent) {
    // Phases outside a step (a level's update run by a test, say) are not
    // part of any step's time.
    if (!inStep_) return;
    current_.phaseMs[static_cast<std::size_t>(phase)] += static_cast<float>(toMs(spent));
}

void Timedemo::endStep() {
    if (!inStep_) return;
    inStep_ = false;
    steps_.push_back(current_);
    for (std::size_t i = 0; i < kStepPhaseCount; ++i) pendingFrame_.phaseMs[i] += current_.phaseMs[i];
}

void Timedemo::levelLoaded(double ms) {
    if (levelLoads_++ == 0) levelLoadMs_ = ms;
}

void Timedemo::frameVisibility(int drawn, int frustumCulled, int occluded, int passOccluded,
                               double visibilityMs) {
    pendingFrame_.drawn = drawn;
    pendingFrame_.frustumCulled = frustumCulled;
    pendingFrame_.occluded = occluded;
    pendingFrame_.passOccluded = passOccluded;
    pendingFrame_.visibilityMs = visibilityMs;
}

void Timedemo::frameDone(double ms, int steps) {
    pendingFrame_.frameMs = ms;
    pendingFrame_.steps = steps;
    frames_.push_back(pendingFrame_);
    pendingFrame_ = TimedemoFrame{};
}

void Timedemo::setStartOffset(double processAgeSeconds, Clock::time_point at) {
    startAgeSeconds_ = processAgeSeconds > 0.0 ? processAgeSeconds : 0.0;
    startAt_ = at;
}

void Timedemo::firstPlayFrameShown(Clock::time_point at) {
    if (startToFirstFrameMs_ >= 0.0) return;
    startToFirstFrameMs_ = startAgeSeconds_ * 1000.0 + toMs(at - startAt_);
}

void Timedemo::measureFloor(GLFWwindow* window, int width, int height, int frames) {
    floorMs_.clear();
    floorMs_.reserve(static_cast<std::size_t>(std::max(frames, 0)));
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(0, 0, width, height);
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    // A few unmeasured frames first, as the game's own first frames are
    // behind it by now.
    constexpr int kWarmUp = 10;
    for (int i = -kWarmUp; i < frames; ++i) {
        const Clock::time_point start = Clock::now();
        glfwPollEvents();
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glfwSwapBuffers(window);
        if (i >= 0) floorMs_.push_back(toMs(Clock::now() - start));
    }
}

void Timedemo::setDescription(std::string renderer, int width, int height, std::string sampling) {
    renderer_ = std::move(renderer);
    width_ = width;
    height_ = height;
    sampling_ = std::move(sampling);
}

void Timedemo::printReport(std::ostream& out) const {
    std::vector<double> frameMs;
    frameMs.reserve(frames_.size());
    for (const TimedemoFrame& f : frames_) frameMs.push_back(f.frameMs);
    std::vector<double> stepMs;
    std::array<std::vector<double>, kStepPhaseCount> phaseMs;
    stepMs.reserve(steps_.size());
    for (const TimedemoStep& s : steps_) {
        stepMs.push_back(s.totalMs());
        for (std::size_t i = 0; i < kStepPhaseCount; ++i) phaseMs[i].push_back(s.phaseMs[i]);
    }
    const Distribution frame = distributionOf(frameMs);
    const Distribution step = distributionOf(stepMs);
    const Distribution floor = distributionOf(floorMs_);

    const std::ios::fmtflags flags = out.flags();
    const std::streamsize precision = out.precision();
    out << std::fixed << std::setprecision(2);
    out << "Timedemo: renderer " << renderer_ << ", window " << width_ << " x " << height_ << ", sampling "
        << sampling_ << "\n";
    out << "Timedemo: start to first play frame " << startToFirstFrameMs_ << " ms, level load "
        << levelLoadMs_ << " ms\n";
    out << "Timedemo: " << frame.count << " frames, frame time median " << frame.median << " ms, p95 "
        << frame.p95 << " ms, p99 " << frame.p99 << " ms, max " << frame.max << " ms\n";
    out << std::setprecision(3);
    out << "Timedemo: " << step.count << " fixed steps, step time median " << step.median << " ms, p99 "
        << step.p99 << " ms";
    for (std::size_t i = 0; i < kStepPhaseCount; ++i) {
        const Distribution phase = distributionOf(phaseMs[i]);
        out << "; " << stepPhaseName(static_cast<StepPhase>(i)) << " " << phase.median << " / " << phase.p99;
    }
    out << " (median / p99 ms)\n";
    if (!frames_.empty()) {
        out << std::setprecision(2) << "Timedemo: process CPU time per frame "
            << playCpuSeconds_ * 1000.0 / static_cast<double>(frames_.size()) << " ms (all threads), "
            << mainThreadCpuSeconds_ * 1000.0 / static_cast<double>(frames_.size()) << " ms (game thread)\n";
    }
    if (!frames_.empty()) {
        std::vector<double> drawn, frustum, occluded, visibility;
        double passOccluded = 0.0;
        for (const TimedemoFrame& f : frames_) {
            drawn.push_back(f.drawn);
            frustum.push_back(f.frustumCulled);
            occluded.push_back(f.occluded);
            visibility.push_back(f.visibilityMs);
            passOccluded += f.passOccluded;
        }
        const auto mean = [](const std::vector<double>& values) {
            double sum = 0.0;
            for (double v : values) sum += v;
            return sum / static_cast<double>(values.size());
        };
        const Distribution stage = distributionOf(visibility);
        out << std::setprecision(1) << "Timedemo: occlusion culling " << (occlusionCulling_ ? "ON" : "OFF")
            << "; level objects per frame drawn " << mean(drawn) << ", frustum culled " << mean(frustum)
            << ", occlusion culled " << mean(occluded) << "; other passes' objects occlusion culled "
            << passOccluded / static_cast<double>(frames_.size()) << " (means); max drawn "
            << distributionOf(drawn).max << std::setprecision(3) << "; visibility median " << stage.median
            << " ms, p99 " << stage.p99 << " ms\n";
    }
    if (countingRun_) {
        const FragmentCounts& c = fragmentCounts_;
        out << std::setprecision(3)
            << "Timedemo: counting run (GL queries read every frame; its times are not the "
            << "game's): " << c.frames << " frames, fragments rasterised per pixel ";
        if (c.fragmentsCounted) {
            out << c.sceneFragmentsPerPixel << " (level tree), " << c.otherFragmentsPerPixel
                << " (other passes)";
        } else {
            out << "n/a (no pipeline statistics)";
        }
        out << ", samples written per pixel " << c.sceneSamplesPerPixel << " (level tree)\n";
        // A driver may count its fragment program's runs by block (llvmpipe:
        // 4 x 4 pixels); the pixels covered tell overlap from block edges.
        out << "Timedemo: counting run, level tree pixels covered per pixel " << c.sceneCoveredPerPixel
            << " (by its triangles, hidden or not)\n";
        out << std::setprecision(2)
            << "Timedemo: counting run, wall time a frame of each pass (the rasteriser "
            << "waited for after each; mean ms):";
        for (int i = 0; i < kFramePassCount; ++i) {
            out << (i == 0 ? " " : ", ") << kFramePassNames[i] << " " << c.passMilliseconds[i];
        }
        out << "\n";
    }
    out << std::setprecision(1);
    out << "Timedemo: peak resident memory " << static_cast<double>(peakResidentKiB_) / 1024.0 << " MiB\n";
    out << std::setprecision(2);
    out << "Timedemo: clear-and-swap floor " << floor.count << " frames, median " << floor.median
        << " ms, p99 " << floor.p99 << " ms; game median = ";
    if (floor.median > 0.0) {
        out << frame.median / floor.median << " x floor\n";
    } else {
        out << "n/a\n";
    }
    out.flags(flags);
    out.precision(precision);
}

bool Timedemo::writeCsv(const std::string& path) const {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) return false;
    file << "frame,frame_ms,steps,step_ms";
    for (std::size_t i = 0; i < kStepPhaseCount; ++i)
        file << "," << stepPhaseName(static_cast<StepPhase>(i)) << "_ms";
    file << ",drawn,frustum_culled,occluded,pass_occluded,visibility_ms";
    file << "\n" << std::fixed << std::setprecision(4);
    for (std::size_t n = 0; n < frames_.size(); ++n) {
        const TimedemoFrame& f = frames_[n];
        double total = 0.0;
        for (double ms : f.phaseMs) total += ms;
        file << n << "," << f.frameMs << "," << f.steps << "," << total;
        for (double ms : f.phaseMs) file << "," << ms;
        file << "," << f.drawn << "," << f.frustumCulled << "," << f.occluded << "," << f.passOccluded << ","
             << f.visibilityMs;
        file << "\n";
    }
    file.flush();
    return static_cast<bool>(file);
}

double processAgeSeconds() {
    std::ifstream stat("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // Field 22 (start time, in clock ticks after boot) counts from the field
    // after the command name, which may itself hold spaces and brackets.
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) return -1.0;
    std::istringstream fields(text.substr(close + 1));
    std::string field;
    unsigned long long startTicks = 0;
    for (int index = 3; fields >> field; ++index) {
        if (index == 22) {
            startTicks = std::stoull(field);
            break;
        }
    }
    std::ifstream uptimeFile("/proc/uptime");
    double uptime = 0.0;
    if (!(uptimeFile >> uptime) || startTicks == 0) return -1.0;
    const long ticks = sysconf(_SC_CLK_TCK);
    if (ticks <= 0) return -1.0;
    return uptime - static_cast<double>(startTicks) / static_cast<double>(ticks);
}

long peakResidentKiB() {
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) != 0) return 0;
    return usage.ru_maxrss;
}

double processCpuSeconds() {
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) != 0) return 0.0;
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double threadCpuSeconds() {
    timespec now{};
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now) != 0) return 0.0;
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

bool parseWindowSize(const std::string& text, int& width, int& height) {
    const std::size_t x = text.find('x');
    if (x == std::string::npos || x == 0 || x + 1 >= text.size()) return false;
    const auto digits = [](const std::string& part) {
        return !part.empty() && part.size() <= 5 &&
               std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    const std::string w = text.substr(0, x);
    const std::string h = text.substr(x + 1);
    if (!digits(w) || !digits(h)) return false;
    const int pw = std::stoi(w);
    const int ph = std::stoi(h);
    if (pw < 1 || ph < 1 || pw > kMaxWindowSide || ph > kMaxWindowSide) return false;
    width = pw;
    height = ph;
    return true;
}

}  // namespace vestrel
