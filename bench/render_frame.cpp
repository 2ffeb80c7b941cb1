// Renders a house-sized scene through the full frame pipeline and prints the
// time per frame (glFinish after each frame). Every effect is on: fog, glow
// around items and interactive objects, hidden text under the blue
// flashlight, glass, the stats overlay.
//
//   render_frame [frames] [width] [height]
//
// VESTREL_BENCH_STRIP leaves effects out; VESTREL_BENCH_HUD=1 adds the play
// HUD with the monster's warning (see below).

#include <GL/glew.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

#include "../tests/render/FrameTestScene.h"
#include "app/GameSettings.h"
#include "level/InteractiveSwitch.h"
#include "level/Item.h"
#include "level/Level.h"
#include "play/Camera.h"
#include "render/HUD.h"
#include "render/Light.h"
#include "render/Renderer.h"
#include "support/GlTestContext.h"

using namespace vestrel;

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::atoi(argv[1]) : 300;
    const int width = argc > 2 ? std::atoi(argv[2]) : 1280;
    const int height = argc > 3 ? std::atoi(argv[3]) : 720;

    test::GlTestContext ctx(width, height);
    if (!ctx.ok()) {
        std::printf("no GL context\n");
        return 1;
    }
    GameSettings& settings = GameSettings::instance();
    settings.refreshRate = 60;
    settings.ambientLight = glm::vec3(0.1f);
    settings.showFps = true;
    test::setWindowSize(width, height);

    Renderer renderer;
    renderer.init();
    Level level;
    level.loadLoadingScreen();
    level.setUp();
    HUD::instance().init();
    level.stateId = 0;
    level.ambient = glm::vec3(0.1f);

    test::loadSolidImage("bench_wall0", 64, 64, {150, 140, 120});
    test::loadSolidImage("bench_glass0", 8, 8, {120, 160, 200});
    Shader* lit = renderer.texLightsShader.get();

    // About 150 objects of 32 triangles (4800 triangles), spread over the
    // view at several depths like the rooms of the house, plus a back wall.
    level.rootObject = test::makeEmptyRoot(lit);
    for (int depth = 0; depth < 6; ++depth) {
        for (int row = -2; row < 3; ++row) {
            for (int col = -2; col < 3; ++col) {
                level.rootObject->addChild(test::makeFacingQuad(
                    lit, "Panel_mesh", 6.0f + depth * 7.0f, row * 2.5f, col * 3.5f, 0.9f, "bench_wall", 4));
            }
        }
    }
    level.rootObject->addChild(
        test::makeFacingQuad(lit, "Back_mesh", 58.0f, 0.0f, 0.0f, 40.0f, "bench_wall", 8));

    // Seven room lights plus the flashlight (on, blue).
    for (int i = 0; i < 7; ++i) {
        auto* light = new Light();
        light->type = i % 3 == 0 ? LightType::Spot : LightType::Point;
        light->enabled = true;
        light->intensity = glm::vec3(0.6f, 0.55f, 0.5f);
        light->position = glm::vec3(5.0f + i * 6.0f, 3.0f, (i % 2 ? -4.0f : 4.0f));
        light->constAttenuation = 1.0f;
        light->linearAttenuation = 0.05f;
        light->quadraticAttenuation = 0.01f;
        light->coneDirection = glm::vec3(0.0f, -1.0f, 0.0f);
        light->coneInnerAngle = 0.9f;
        light->coneOuterAngle = 0.8f;
        level.addLight(light);
    }
    level.player.hasFlashlight = true;
    level.player.flashlight->enabled = true;
    level.player.toggleFlashlightColour();

    std::vector<std::shared_ptr<GameObject>> keep;
    for (int i = 0; i < 5; ++i) {
        auto object =
            test::makeFacingQuad(lit, "Thing_item", 4.0f, -1.0f, -3.0f + i * 1.5f, 0.3f, "bench_wall");
        auto item = std::make_shared<Item>(object.get(), "Item" + std::to_string(i));
        level.items[item->name] = item;
        level.itemsInWorld[item->name] = item;
        keep.push_back(object);
    }
    for (int i = 0; i < 4; ++i) {
        auto object =
            test::makeFacingQuad(lit, "Zone_interactive", 5.0f, 1.2f, -3.0f + i * 2.0f, 0.4f, "bench_wall");
        level.switches["Zone" + std::to_string(i)] =
            std::make_shared<InteractiveSwitch>(object.get(), nullptr);
        keep.push_back(object);
    }
    level.hiddenTextObjects.push_back(
        test::makeFacingQuad(lit, "Hint_hiddenText", 7.0f, 0.0f, 0.0f, 1.5f, "bench_wall"));
    level.transparentObjects.push_back(
        test::makeFacingQuad(lit, "Window_transparent", 3.0f, 0.0f, 2.5f, 1.5f, "bench_glass"));

    // VESTREL_BENCH_STRIP lists effects to leave out, to see what each costs:
    // any of "glow", "hidden", "glass", "stats", "tree".
    const char* stripEnv = std::getenv("VESTREL_BENCH_STRIP");
    const std::string strip = stripEnv ? stripEnv : "";
    if (strip.find("glow") != std::string::npos) {
        level.itemsInWorld.clear();
        level.switches.clear();
    }
    if (strip.find("hidden") != std::string::npos) level.hiddenTextObjects.clear();
    if (strip.find("glass") != std::string::npos) level.transparentObjects.clear();
    if (strip.find("stats") != std::string::npos) settings.showFps = false;
    if (strip.find("tree") != std::string::npos) level.rootObject->children.clear();

    // VESTREL_BENCH_HUD=1 adds the play HUD at its busiest: crosshair, a
    // prompt, three captions and the monster's full warning, its vignette
    // swelling with every frame (a new vignette picture each frame).
    const char* hudEnv = std::getenv("VESTREL_BENCH_HUD");
    const bool hud = hudEnv != nullptr && std::string(hudEnv) == "1";
    if (hud) {
        renderer.hudState.crosshair = true;
        renderer.hudState.prompt = "E  USE THE STATUE";
        renderer.hudState.captions = {"A CRASH - LEFT", "GROWLING NEARBY - BEHIND", "YOUR HEART RACES"};
        renderer.hudState.warning = 1.0f;
    }

    level.frustum.update(level.camera->position, level.camera->direction());
    for (int i = 0; i < 10; ++i) renderer.render(level);  // warm-up: shader variants, allocations
    glFinish();

    const std::clock_t cpuStart = std::clock();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < frames; ++i) {
        if (hud) renderer.hudState.pulse = static_cast<float>(i % 20) / 20.0f;
        renderer.render(level);
        glFinish();
    }
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() / frames;
    // CPU time over all threads (the program's and llvmpipe's): on a busy
    // shared machine this divided by the core count estimates an idle one.
    const double cpuMs = 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC / frames;
    std::printf(
        "render_frame %dx%d: %d frames, %.2f ms/frame wall (%.1f fps), %.2f ms/frame CPU, culled %u\n", width,
        height, frames, ms, 1000.0 / ms, cpuMs, settings.culledCount);

    HUD::instance().clear();
    TextureCache::instance().textures.clear();
    return 0;
}
