#include "render/FragmentCounter.h"

#include "render/GlContext.h"

namespace vestrel {

FragmentCounter::FragmentCounter() {
    statistics_ = GLEW_ARB_pipeline_statistics_query != 0;
    if (statistics_) glGenQueries(2, fragments_);
    glGenQueries(1, &samples_);
    glGenQueries(1, &covered_);
}

FragmentCounter::~FragmentCounter() {
    if (!hasCurrentGlContext()) return;
    if (statistics_) glDeleteQueries(2, fragments_);
    if (samples_ != 0) glDeleteQueries(1, &samples_);
    if (covered_ != 0) glDeleteQueries(1, &covered_);
}

void FragmentCounter::begin(Span span) {
    const int i = static_cast<int>(span);
    if (statistics_) glBeginQuery(GL_FRAGMENT_SHADER_INVOCATIONS_ARB, fragments_[i]);
    if (span == Span::ScenePass) glBeginQuery(GL_SAMPLES_PASSED, samples_);
    used_[i] = true;
}

void FragmentCounter::end(Span span) {
    if (statistics_) glEndQuery(GL_FRAGMENT_SHADER_INVOCATIONS_ARB);
    if (span == Span::ScenePass) glEndQuery(GL_SAMPLES_PASSED);
}

void FragmentCounter::endFrame(std::uint64_t pixels, FragmentTotals& totals) {
    totals.fragmentsCounted = statistics_;
    ++totals.frames;
    totals.pixels += pixels;
    const auto read = [](GLuint query) {
        GLuint64 value = 0;
        glGetQueryObjectui64v(query, GL_QUERY_RESULT, &value);
        return static_cast<std::uint64_t>(value);
    };
    if (used_[0]) {
        if (statistics_) totals.sceneFragments += read(fragments_[0]);
        totals.sceneSamples += read(samples_);
    }
    if (used_[1] && statistics_) totals.otherPassFragments += read(fragments_[1]);
    if (coverageUsed_) totals.sceneCovered += read(covered_);
    used_[0] = used_[1] = coverageUsed_ = false;
}

void FragmentCounter::beginCoverage() {
    glBeginQuery(GL_SAMPLES_PASSED, covered_);
    coverageUsed_ = true;
}

void FragmentCounter::endCoverage() {
    glEndQuery(GL_SAMPLES_PASSED);
    startPasses();
}

void FragmentCounter::startPasses() {
    glFinish();
    lastMark_ = std::chrono::steady_clock::now();
}

void FragmentCounter::passDone(FramePass pass, FragmentTotals& totals) {
    glFinish();
    const std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now();
    totals.passMilliseconds[static_cast<std::size_t>(pass)] +=
        std::chrono::duration<double, std::milli>(now - lastMark_).count();
    lastMark_ = now;
}

}  // namespace vestrel
