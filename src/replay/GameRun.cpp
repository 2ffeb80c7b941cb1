#include "replay/GameRun.h"

#include <GL/glew.h>

#include <chrono>
#include <iostream>
#include <memory>

#include "app/Game.h"
#include "app/GameSettings.h"
#include "play/DebugKeys.h"
#include "replay/DemoSession.h"
#include "replay/Timedemo.h"

namespace vestrel {

namespace {

// Frames of the bare clear-and-swap loop a timedemo ends with.
constexpr int kFloorFrames = 300;

}  // namespace

int runGame(const GameOptions& options, DemoSession* demo) {
    auto game = std::make_unique<Game>();
    Game::registered = game.get();
    game->demo = demo;
    game->playerSettings = options.playerSettings;
    game->settingsFile = options.settingsFile;
    game->init(options.width, options.height, options.refreshRate, options.fullscreen);
    game->installCallbacks();
    if (demo != nullptr) demo->attach(*game);
    game->startSequence();
    Timedemo* timedemo = Timedemo::active();
    if (timedemo != nullptr && timedemo->countingRun()) game->renderer.setCountingFragments(true);
    if (timedemo == nullptr) {
        while (game->running) {
            game->frame();
        }
    } else {
        const double cpuAtStart = processCpuSeconds();
        const double threadCpuAtStart = threadCpuSeconds();
        while (game->running) {
            const Timedemo::Clock::time_point start = Timedemo::Clock::now();
            game->frame();
            const Timedemo::Clock::time_point end = Timedemo::Clock::now();
            const VisibilityCounts& seen = game->renderer.visibilityCounts();
            timedemo->frameVisibility(seen.drawn, seen.frustumCulled, seen.occluded, seen.passOccluded,
                                      seen.milliseconds);
            timedemo->firstPlayFrameShown(end);
            timedemo->frameDone(std::chrono::duration<double, std::milli>(end - start).count(),
                                game->stepsThisFrame);
        }
        timedemo->setPlayCpuSeconds(processCpuSeconds() - cpuAtStart);
        timedemo->setMainThreadCpuSeconds(threadCpuSeconds() - threadCpuAtStart);
        const GameSettings& settings = GameSettings::instance();
        timedemo->setOcclusionCulling(settings.occlusionCulling);
        if (timedemo->countingRun()) {
            const FragmentTotals& totals = game->renderer.fragmentTotals();
            FragmentCounts counts;
            counts.frames = totals.frames;
            counts.sceneFragmentsPerPixel = totals.perPixel(totals.sceneFragments);
            counts.sceneSamplesPerPixel = totals.perPixel(totals.sceneSamples);
            counts.sceneCoveredPerPixel = totals.perPixel(totals.sceneCovered);
            counts.otherFragmentsPerPixel = totals.perPixel(totals.otherPassFragments);
            counts.fragmentsCounted = totals.fragmentsCounted;
            for (int i = 0; i < kFramePassCount; ++i) {
                counts.passMilliseconds[i] =
                    totals.frames > 0 ? totals.passMilliseconds[i] / static_cast<double>(totals.frames) : 0.0;
            }
            timedemo->setFragmentCounts(counts);
            game->renderer.setCountingFragments(false);
        }
        const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
        timedemo->setDescription(renderer != nullptr ? renderer : "unknown", settings.windowWidth,
                                 settings.windowHeight, DebugKeys::samplingModeName(settings.samplingMode));
        timedemo->measureFloor(game->window, settings.windowWidth, settings.windowHeight, kFloorFrames);
    }
    const int status = demo != nullptr ? demo->finish(*game) : 0;
    game.reset();
    if (demo != nullptr) {
        demo->detach();
        demo->printSummary();
    }
    if (timedemo != nullptr) {
        timedemo->setPeakResidentKiB(peakResidentKiB());
        timedemo->printReport(std::cout);
        std::cout.flush();
    }
    return status;
}

}  // namespace vestrel
