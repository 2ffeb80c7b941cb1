#include "level/Level.h"

#include <iostream>

#include <assimp/scene.h>
#include <assimp/Importer.hpp>

#include "app/GameSettings.h"
#include "enemy/Enemy.h"
#include "level/GameObject.h"
#include "level/InteractiveSwitch.h"
#include "level/Item.h"
#include "play/Camera.h"
#include "render/Button.h"
#include "render/Light.h"
#include "render/TextureCache.h"

namespace vestrel {

namespace {

constexpr float kFrustumFieldOfView = 60.0f;
constexpr float kFrustumNear = 0.1f;
constexpr float kFrustumFar = 60.0f;

// Loads the three images of one button ("EXIT" or "RESTART") and builds it.
std::shared_ptr<Button> makeButton(const std::string& name, const std::string& fileStem) {
    TextureCache& cache = TextureCache::instance();
    const std::string folder = "Assets/Screen_message/Buttons/";
    Texture* normal = cache.load(folder + fileStem + ".png", name + "_NORMAL");
    Texture* mouseOver = cache.load(folder + fileStem + "_Mouseover.png", name + "_MOUSEOVER");
    Texture* pressed = cache.load(folder + fileStem + "_Pressed.png", name + "_PRESSED");
    auto button = std::make_shared<Button>(name);
    button->setTextures(normal, mouseOver, pressed);
    return button;
}

}  // namespace

Level::Level() : ambient(GameSettings::instance().ambientLight) {}

Level::~Level() = default;

void Level::loadLoadingScreen() {
    const GameSettings& settings = GameSettings::instance();
    camera = std::make_unique<Camera>(settings.windowWidth, settings.windowHeight);
    TextureCache::instance().load("Assets/Screen_message/Loadingscreen/Loadingscreen_0.png",
                                  "MESSAGE_LOADING_0");
    std::cout << "Done loading screen" << std::endl;
}

void Level::addLight(Light* light) { lights.push_back(std::shared_ptr<Light>(light)); }

void Level::setUp() {
    const GameSettings& settings = GameSettings::instance();
    const int width = settings.windowWidth;
    const int height = settings.windowHeight;

    if (!importer) importer = std::make_unique<Assimp::Importer>();
    if (!enemy) enemy = std::make_unique<Enemy>();
    if (!camera) camera = std::make_unique<Camera>(width, height);

    const float aspect = height > 0 ? static_cast<float>(width) / static_cast<float>(height) : 1.0f;
    frustum.setParameters(kFrustumFieldOfView, kFrustumNear, kFrustumFar, aspect);
    frustum.update(camera->position, camera->direction());

    auto* flashlight = new Light(makeFlashlight());
    addLight(flashlight);
    player.flashlight = flashlight;
    flashlight->enabled = false;

    boxNames = {"Door_box", "Shower_door_box", "Racking_CrossBeams31_box"};

    tvFrameIndex = 0;
    tvFrameTime = 1.0f / 29.0f;
    tvElapsed = 0.0f;

    TextureCache& cache = TextureCache::instance();
    cache.load("Assets/Screen_message/WinMsg.png", "WIN");
    cache.load("Assets/Screen_message/LoseMsg.png", "LOST");

    buttons.clear();
    buttons.push_back(makeButton("EXIT", "Exit_Button"));
    buttons.push_back(makeButton("RESTART", "Restart_Button"));
    exitButton = buttons[0].get();
    restartButton = buttons[1].get();
}

}  // namespace vestrel
