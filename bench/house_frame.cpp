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

using namespace vestrel;

namespace {

struct View {
    const char* name;
    glm::vec3 eye;
    float pitch;
    float yaw;                  // degrees; 0 looks along +x, 90 along +z
    bool facesMonster = false;  // eye and yaw are worked out from the monster's path
};

// Eye height: the player's capsule stands on the floor (-1) and is 5 tall.
constexpr float kEyeY = 3.0f;

const View kViews[] = {
    {"spawn", {0.0f, kEyeY, 0.0f}, 0.0f, 0.0f},           // living room toward the pocket door
    {"writing", {0.0f, kEyeY, 1.0f}, 5.0f, 270.0f},       // living room's north wall, hidden text
    {"reading", {1.5f, kEyeY, -3.0f}, 5.0f, 270.0f},      // the same writing up close
    {"kitchen", {-5.0f, kEyeY, -9.0f}, -10.0f, 225.0f},   // over the table
    {"corridor", {9.0f, kEyeY, 18.0f}, 0.0f, 270.0f},     // the monster's corridor, full length
    {"bathroom", {16.0f, kEyeY, -11.0f}, -5.0f, 330.0f},  // toward the shower screen
    {"generator", {16.0f, kEyeY, 13.0f}, -5.0f, 0.0f},    // generator room
    {"monster", {0.0f, kEyeY, 0.0f}, -5.0f, 0.0f, true},  // 8 units up its path, facing it
};

// Where the player would stand to see the monster at its first waypoint from
// kMonsterDistance along its path (toward the second waypoint), facing it.
constexpr float kMonsterDistance = 8.0f;

bool placeFacingMonster(const Level& level, View& view) {
    if (!level.enemy || level.enemy->waypoints.size() < 2) return false;
    const glm::vec3 feet(level.enemy->model.modelMatrix[3]);
    glm::vec3 along = level.enemy->waypoints[1].position - level.enemy->waypoints[0].position;
    along.y = 0.0f;
    if (glm::length(along) < 1e-3f) return false;
    along = glm::normalize(along);
    view.eye = glm::vec3(feet.x, kEyeY, feet.z) + along * kMonsterDistance;
    view.yaw = std::atan2(-along.z, -along.x) * 180.0f / 3.14159265f;
    return true;
}

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

    std::printf("house_frame %dx%d, sampling mode %d, %d frames per view, %zu lights, scene drawn %s%s%s\n",
                width, height, samplingMode, frames, level.lights.size(),
                renderer.drawsIntoWindow() ? "into the window" : "through the scene buffer",
                strip.empty() ? "" : ", without: ", strip.c_str());

    std::vector<double> all;
    double allCpu = 0.0;
    for (View view : kViews) {
        if (view.facesMonster && !placeFacingMonster(level, view)) {
            std::printf("  %-10s the level has no monster path to face\n", view.name);
            continue;
        }
        Camera& camera = *level.camera;
        camera.position = view.eye;
        camera.pitch = view.pitch;
        camera.yaw = view.yaw;
        camera.update();
        level.player.flashlight->position = view.eye;
        level.player.flashlight->coneDirection = camera.direction();
        level.frustum.update(view.eye, camera.direction());

        for (int i = 0; i < 5; ++i) renderer.render(level);  // warm-up
        glFinish();

        std::vector<double> times;
        times.reserve(frames);
        const std::clock_t cpuStart = std::clock();
        for (int i = 0; i < frames; ++i) {
            const auto start = std::chrono::steady_clock::now();
            renderer.render(level);
            glFinish();
            times.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        }
        const double cpuMs = 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC / frames;
        allCpu += cpuMs;
        all.insert(all.end(), times.begin(), times.end());
        std::printf("  %-10s median %6.2f ms  p95 %6.2f ms  CPU %6.2f ms/frame  culled %d\n", view.name,
                    percentile(times, 0.5), percentile(times, 0.95), cpuMs, settings.culledCount);

        if (!outDir.empty()) {
            const std::string path = outDir + "/" + view.name + ".png";
            glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
            if (!ctx.savePng(path.c_str())) std::printf("  could not write %s\n", path.c_str());
        }
    }
    const size_t viewCount = sizeof(kViews) / sizeof(kViews[0]);
    std::printf("  %-10s median %6.2f ms  p95 %6.2f ms  CPU %6.2f ms/frame\n", "overall",
                percentile(all, 0.5), percentile(all, 0.95), allCpu / static_cast<double>(viewCount));

    HUD::instance().clear();
    TextureCache::instance().textures.clear();
    return 0;
}
