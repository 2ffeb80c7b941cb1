// Renders the real house through the full frame pipeline from viewpoints along
// the player's route, and from one facing the monster, and prints, per view and
// overall, the median and p95 wall-clock time per frame (glFinish after each
// frame) and the CPU time per frame summed over all threads. Every effect is
// on: fog, the glow around items and interactive objects, hidden text under the
// blue flashlight, glass and the stats overlay. One PNG per view is written
// into the output folder.
//
//   house_frame [out_dir] [frames_per_view] [sampling_mode] [width] [height]
//
// Run from the repository root (the level is read from Assets). Set
// VESTREL_BENCH_STRIP to any of "glow", "hidden", "glass", "stats", "fog", "tree", "lights" to
// leave effects out and see what each costs, and VESTREL_BENCH_SCENE_BUFFER=1
// to draw through the off-screen scene buffer instead of into the window.
// VESTREL_OCCLUSION=0 switches the visibility stage off (as F10 does in the
// game); each view's line says what the stage drew and left out and its CPU
// time (median). VESTREL_BENCH_COUNT=1 adds, per view, one frame counted with
// GL queries: fragments rasterised and samples written per pixel by the level
// tree's pass, and fragments of the other passes.

#include <GL/glew.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "app/GameSettings.h"
#include "enemy/Enemy.h"
#include "level/GameObject.h"
#include "level/Level.h"
#include "play/Camera.h"
#include "render/HUD.h"
#include "render/Light.h"
#include "render/Renderer.h"
#include "render/TextureCache.h"
#include "support/GlTestContext.h"
#include "support/HouseViews.h"

using namespace vestrel;

namespace {

double percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, static_cast<size_t>(fraction * values.size()));
    return values[index];
}

}  // namespace

int main(int argc, char** argv) {
    const std::string outDir = argc > 1 ? argv[1] : "";
    const int frames = argc > 2 ? std::max(1, std::atoi(argv[2])) : 200;
    const int samplingMode = argc > 3 ? std::atoi(argv[3]) : 2;
    const int width = argc > 4 ? std::atoi(argv[4]) : 1280;
    const int height = argc > 5 ? std::atoi(argv[5]) : 720;

    if (!outDir.empty()) {
        std::error_code error;
        std::filesystem::create_directories(outDir, error);
    }

    test::GlTestContext ctx(width, height);
    if (!ctx.ok()) {
        std::printf("no GL context\n");
        return 1;
    }
    GameSettings& settings = GameSettings::instance();
    settings.refreshRate = 60;
    settings.ambientLight = glm::vec3(0.1f);
    settings.samplingMode = samplingMode;
    settings.showFps = true;
    settings.fps = 60;
    settings.windowWidth = width;
    settings.windowHeight = height;

    const char* stripEnv = std::getenv("VESTREL_BENCH_STRIP");
    const std::string strip = stripEnv ? stripEnv : "";
    if (strip.find("fog") != std::string::npos) settings.fog = false;
    if (strip.find("stats") != std::string::npos) settings.showFps = false;
    const char* occlusionEnv = std::getenv("VESTREL_OCCLUSION");
    settings.occlusionCulling = !(occlusionEnv && std::string(occlusionEnv) == "0");
    const char* countEnv = std::getenv("VESTREL_BENCH_COUNT");
    const bool countFragments = countEnv && std::string(countEnv) == "1";

    Renderer renderer;
    // VESTREL_BENCH_SCENE_BUFFER=1: draw through the off-screen scene buffer
    // and copy it to the window, as on drivers that cannot copy the window's depth.
    const char* sceneBufferEnv = std::getenv("VESTREL_BENCH_SCENE_BUFFER");
    renderer.allowWindowTarget = !(sceneBufferEnv && std::string(sceneBufferEnv) == "1");
    renderer.init();
    Level level;
    level.loadLoadingScreen();
    level.setUp();
    HUD::instance().init();
    if (!level.loadLevel("Assets\\house1.dae", renderer.texLightsShader.get(),
                         renderer.skinningShader.get())) {
        std::printf("could not load the house\n");
        return 1;
    }
    level.stateId = 0;

    // The flashlight picked up, on and blue, as when reading the hidden text.
    level.player.hasFlashlight = true;
    level.player.flashlight->enabled = true;
    level.player.toggleFlashlightColour();

    if (strip.find("glow") != std::string::npos) {
        level.itemsInWorld.clear();
        level.switches.clear();
    }
    if (strip.find("hidden") != std::string::npos) level.hiddenTextObjects.clear();
    if (strip.find("glass") != std::string::npos) level.transparentObjects.clear();
    if (strip.find("tree") != std::string::npos) level.rootObject->children.clear();
    if (strip.find("lights") != std::string::npos) level.lights.resize(1);  // the flashlight alone

    std::printf(
        "house_frame %dx%d, sampling mode %d, %d frames per view, %zu lights, scene drawn %s, "
        "occlusion culling %s%s%s\n",
        width, height, samplingMode, frames, level.lights.size(),
        renderer.drawsIntoWindow() ? "into the window" : "through the scene buffer",
        settings.occlusionCulling ? "on" : "off", strip.empty() ? "" : ", without: ", strip.c_str());

    std::vector<double> all;
    double allCpu = 0.0;
    for (const test::HouseView& view : test::kHouseViews) {
        if (!test::placeView(level, view)) {
            std::printf("  %-10s the level has no monster path to face\n", view.name);
            continue;
        }
        for (int i = 0; i < 5; ++i) renderer.render(level);  // warm-up
        glFinish();

        std::vector<double> times;
        std::vector<double> stageTimes;
        times.reserve(frames);
        stageTimes.reserve(frames);
        const std::clock_t cpuStart = std::clock();
        for (int i = 0; i < frames; ++i) {
            const auto start = std::chrono::steady_clock::now();
            renderer.render(level);
            glFinish();
            stageTimes.push_back(renderer.visibilityCounts().milliseconds);
            times.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        }
        const double cpuMs = 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC / frames;
        allCpu += cpuMs;
        all.insert(all.end(), times.begin(), times.end());
        const VisibilityCounts& counts = renderer.visibilityCounts();
        std::printf(
            "  %-10s median %6.2f ms  p95 %6.2f ms  CPU %6.2f ms/frame  drawn %d, culled %d, occluded %d"
            " (+%d), %d clusters hidden, %d occluders, %d triangles, stage CPU %.3f ms\n",
            view.name, percentile(times, 0.5), percentile(times, 0.95), cpuMs, counts.drawn,
            counts.frustumCulled, counts.occluded, counts.passOccluded, counts.clustersHidden,
            counts.occluders, counts.occluderTriangles, percentile(stageTimes, 0.5));
        if (countFragments) {
            renderer.setCountingFragments(true);
            const FragmentTotals before = renderer.fragmentTotals();
            renderer.render(level);
            const FragmentTotals& after = renderer.fragmentTotals();
            const double pixels = static_cast<double>(after.pixels - before.pixels);
            std::printf(
                "  %-10s tree pass: %.3f fragments, %.3f samples per pixel; other passes %.3f fragments\n",
                "", static_cast<double>(after.sceneFragments - before.sceneFragments) / pixels,
                static_cast<double>(after.sceneSamples - before.sceneSamples) / pixels,
                static_cast<double>(after.otherPassFragments - before.otherPassFragments) / pixels);
            renderer.setCountingFragments(false);
        }

        if (!outDir.empty()) {
            const std::string path = outDir + "/" + view.name + ".png";
            glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
            if (!ctx.savePng(path.c_str())) std::printf("  could not write %s\n", path.c_str());
        }
    }
    const size_t viewCount = sizeof(test::kHouseViews) / sizeof(test::kHouseViews[0]);
    std::printf("  %-10s median %6.2f ms  p95 %6.2f ms  CPU %6.2f ms/frame\n", "overall",
                percentile(all, 0.5), percentile(all, 0.95), allCpu / static_cast<double>(viewCount));

    HUD::instance().clear();
    TextureCache::instance().textures.clear();
    return 0;
}
