#include "app/Game.h"

#include "replay/DemoFormat.h"
#include "replay/DemoSession.h"
#include "app/GameLoop.h"
#include "app/GameSettings.h"
#include "app/GameState.h"
#include "app/Gameoverstate.h"
#include "app/Loadstate.h"
#include "app/Platform.h"
#include "replay/Timedemo.h"
#include "audio/SoundSystem.h"
#include "level/Level.h"
#include "play/Playstate.h"
#include "render/HUD.h"
#include "render/MenuOverlay.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

namespace vestrel {

Game* Game::registered = nullptr;

namespace {

// True from the start of Game::init until the window, context and loader are
// up; errors in that span leave nothing to play with.
bool startingUp = false;

}  // namespace

void onWindowSystemError(int code, const char* description) {
    const char* text = description != nullptr ? description : "(no description)";
    if (startingUp) {
        std::cout << text << std::endl;
        fatalExit();
    }
    // After start-up a failed request (an iconify the window manager refuses,
    // a cursor mode it does not offer) leaves the game playable: say so and go on.
    std::cout << "GLFW error " << code << ": " << text << std::endl;
}

bool windowSystemStartingUp() { return startingUp; }

namespace {

void onKey(GLFWwindow* /*window*/, int key, int scancode, int action, int mods) {
    if (Game::registered != nullptr) Game::registered->deliverKey(key, scancode, action, mods);
}

void onMouseButton(GLFWwindow* /*window*/, int button, int action, int mods) {
    if (Game::registered != nullptr) Game::registered->deliverMouseButton(button, action, mods);
}

void onFramebufferSize(GLFWwindow* /*window*/, int width, int height) {
    if (Game::registered != nullptr) {
        Game::registered->applyFramebufferSize(width, height);
    }
}

void onWindowClose(GLFWwindow* /*window*/) {
    if (Game::registered != nullptr) Game::registered->deliverClose();
}

void onWindowFocus(GLFWwindow* /*window*/, int focused) {
    if (Game::registered != nullptr) Game::registered->windowFocusChanged(focused == GLFW_TRUE);
}

}  // namespace

bool isSoftwareRasterizer(const char* rendererName) {
    if (rendererName == nullptr) {
        return false;
    }
    const std::string name = rendererName;
    return name.find("llvmpipe") != std::string::npos || name.find("softpipe") != std::string::npos ||
           name.find("swrast") != std::string::npos;
}

void chooseStartSampling(const char* rendererName, GameSettings& settings) {
    // On a software rasteriser texture filtering is most of a frame's cost:
    // anisotropic filtering takes several times trilinear, and trilinear
    // alone keeps the house above 16.7 ms a frame at 1280 x 720 on two cores
    // (docs/performance.md). Start at bilinear there; F4 still reaches every mode.
    if (settings.samplingMode == 3 && isSoftwareRasterizer(rendererName)) {
        settings.samplingMode = 1;
        std::cout << "Software renderer " << rendererName << ": starting with BILINEAR texture sampling"
                  << std::endl;
    }
}

Game::Game() = default;

void Game::init(int width, int height, int refreshRate, bool fullscreen) {
    GameSettings& settings = GameSettings::instance();
    settings.windowWidth = width;
    settings.windowHeight = height;
    settings.refreshRate = refreshRate;

    startingUp = true;
    glfwSetErrorCallback(onWindowSystemError);
    if (!glfwInit()) {
        std::exit(1);
    }
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    glfwWindowHint(GLFW_REFRESH_RATE, refreshRate);
    GLFWmonitor* monitor = fullscreen ? glfwGetPrimaryMonitor() : nullptr;
    window = glfwCreateWindow(width, height, "Vestrel", monitor, nullptr);
    if (window == nullptr) {
        std::cout << "Failed to open GLFW window!" << std::endl;
        glfwTerminate();
        std::exit(1);
    }
    glfwMakeContextCurrent(window);
    // The picture follows the window's real framebuffer: a full screen at a
    // size the monitor cannot switch to, or a window manager that resizes
    // the window as it maps it, gives a size other than the one asked for.
    int framebufferWidth = 0;
    int framebufferHeight = 0;
    glfwGetFramebufferSize(window, &framebufferWidth, &framebufferHeight);
    if (framebufferWidth > 0 && framebufferHeight > 0 &&
        (framebufferWidth != width || framebufferHeight != height)) {
        std::cout << "Window is " << framebufferWidth << " x " << framebufferHeight << " pixels (asked for "
                  << width << " x " << height << ")" << std::endl;
        settings.windowWidth = framebufferWidth;
        settings.windowHeight = framebufferHeight;
    }
    glfwSetFramebufferSizeCallback(window, onFramebufferSize);

    glewExperimental = GL_TRUE;
    const GLenum glewStatus = glewInit();
    if (glewStatus != GLEW_OK) {
        std::cout << "ERROR: " << reinterpret_cast<const char*>(glewGetErrorString(glewStatus)) << std::endl;
        std::exit(1);
    }
    // GLEW's probing can leave GL_INVALID_ENUM on core profiles; nothing reads it.
    while (glGetError() != GL_NO_ERROR) {
    }
    // A replay or an autopilot runs as fast as it can.
    glfwSwapInterval(demo != nullptr && !demo->waitsForScreen() ? 0 : 1);
    glfwSetInputMode(window, GLFW_CURSOR, GLFW_CURSOR_DISABLED);
    chooseStartSampling(reinterpret_cast<const char*>(glGetString(GL_RENDERER)), settings);

    startingUp = false;

    renderer.init();
    createLevel();
    running = true;
    windowed_ = {0, 0, width, height};
    if (playerSettings.fullscreen) setFullscreen(true);
}

void Game::createLevel() {
    level = std::make_unique<Level>();
    ++levelsMade;
    level->loadLoadingScreen();
    applyPlayerSettings();
}

void Game::applyFramebufferSize(int width, int height) {
    // A minimised window reports 0 x 0; the last picture size stands until it
    // comes back.
    if (width < 1 || height < 1) return;
    GameSettings& settings = GameSettings::instance();
    if (width == settings.windowWidth && height == settings.windowHeight) return;
    settings.windowWidth = width;
    settings.windowHeight = height;
    renderer.resize(width, height);
    HUD::instance().resize(width, height);
    if (level != nullptr) level->resizeView(width, height);
    // Mouse look measures from the centre: a captured cursor left at the old
    // centre would turn the view by the difference on the next step.
    if (currentState() != nullptr) applyCursorMode(currentState()->stateId);
}

void Game::installCallbacks() {
    glfwSetKeyCallback(window, onKey);
    glfwSetMouseButtonCallback(window, onMouseButton);
    glfwSetWindowCloseCallback(window, onWindowClose);
    glfwSetWindowFocusCallback(window, onWindowFocus);
}

bool Game::acceptsInput(InputOrigin origin) const {
    return origin == InputOrigin::Script || demo == nullptr || demo->acceptsLiveInput();
}

void Game::deliverKey(int key, int scancode, int action, int mods, InputOrigin origin) {
    if (!acceptsInput(origin) || currentState() == nullptr) return;
    if (demo != nullptr) demo->eventAccepted(DemoEvent::keyEvent(key, scancode, action, mods));
    // F11 works on every screen; no state has a use for it.
    if (key == GLFW_KEY_F11) {
        if (action == GLFW_PRESS) toggleFullscreen();
        return;
    }
    currentState()->onKey(key, scancode, action, mods, this);
}

void Game::deliverMouseButton(int button, int action, int mods, InputOrigin origin) {
    if (!acceptsInput(origin) || currentState() == nullptr) return;
    if (demo != nullptr) demo->eventAccepted(DemoEvent::mouseEvent(button, action, mods));
    currentState()->onMouseButton(button, action, mods);
}

void Game::deliverClose(InputOrigin origin) {
    if (!acceptsInput(origin)) {
        demo->liveCloseDuringScript(*this);
        return;
    }
    if (demo != nullptr) demo->eventAccepted(DemoEvent::closeEvent());
    running = false;
}

void Game::pollEvents() {
    glfwPollEvents();
    if (demo != nullptr) demo->deliverScriptedEvents(*this);
}

void Game::startSequence() {
    changeState(&Loadstate::instance());
    currentState()->draw(this);
    countFrame();
    changeState(&Playstate::instance());
    // Pointer motion that queued up while the house loaded (the capture's own
    // warp among it) must not become the first step's mouse look.
    pollEvents();
    applyCursorMode(currentState()->stateId);
    // The time spent loading is not owed to the new game as a burst of
    // steps: its clock starts now.
    restartClock();
}

void Game::countFrame() {
    ++frameCount;
    fpsTimer += frameTime;
    stepAccumulator = addFrameTime(stepAccumulator, frameTime);
}

void Game::restartClock() {
    previousTime = glfwGetTime();
    stepAccumulator = 0.0f;
}

void Game::frame() {
    pauseIfFocusStaysAway();
    // The state may change during handleEvents (a restart): fetch it each time.
    currentState()->handleEvents(this);
    update();
    currentState()->draw(this);
    countFrame();
}

void Game::update() {
    GameSettings& settings = GameSettings::instance();
    currentTime = glfwGetTime();
    frameTime = static_cast<float>(currentTime - previousTime);
    previousTime = currentTime;

    if (updateFrameRate(fpsTimer, frameCount, fps)) {
        settings.fps = static_cast<int>(fps);
    }
    stepsThisFrame = 0;

    // The title changes once a second at most; setting it every frame cost a
    // string and a round of window-system traffic per frame for nothing.
    if (titleNeedsUpdate(fps, shownTitleFps, titleShown)) {
        std::ostringstream title;
        title << "FPS: " << fps;
        glfwSetWindowTitle(window, title.str().c_str());
    }

    Timedemo* timedemo = Timedemo::active();
    auto step = [this, &settings, timedemo] {
        if (timedemo != nullptr) timedemo->beginStep();
        glfwGetCursorPos(window, &cursorX, &cursorY);
        if (demo != nullptr) demo->cursorForStep(cursorX, cursorY);
        GameState* state = currentState();
        state->update(this, kFixedStep);
        // The step may have pushed the game-over state; place the cursor for
        // whichever state is current now.
        state = currentState();
        CursorPosition moved;
        if (placeCursor(state->stateId, {cursorX, cursorY}, settings.windowWidth, settings.windowHeight,
                        moved)) {
            glfwSetCursorPos(window, moved.x, moved.y);
        }
        if (state->stateId == kStateGameOver && level != nullptr) {
            int over = buttonsUnderCursor(level->buttons, cursorX, cursorY, settings.windowHeight);
            // A replay hovers what the recording hovered, whatever size the
            // buttons have in this window.
            if (demo != nullptr) over = demo->hoverForStep(over);
            // The end screens share the highlight with the keys and the pad.
            if (state == &Gameoverstate::instance()) {
                Gameoverstate::instance().pointerAt(cursorX, cursorY, over);
            } else {
                applyButtonHover(level->buttons, over);
            }
        }
        if (demo != nullptr) demo->afterStep(*this);
        if (timedemo != nullptr) timedemo->endStep();
    };
    // A replay runs the recorded number of steps whatever the clock says.
    const int scriptedSteps = demo != nullptr ? demo->stepsForFrame(*this) : -1;
    if (scriptedSteps >= 0) {
        for (int i = 0; i < scriptedSteps; ++i) step();
        stepsThisFrame = scriptedSteps;
        stepAccumulator = 0.0f;
    } else {
        stepsThisFrame = runFixedSteps(stepAccumulator, step);
    }
    if (demo != nullptr) demo->afterFrame(*this, stepsThisFrame);

    // The renderer's copy of the scene covers the whole window every frame
    // and nothing drawn on the window tests depth, so clearing the window
    // here only cost a full-screen colour and depth fill per frame. It is
    // kept for a renderer that has nothing to copy.
    if (!renderer.initialized()) glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void Game::changeState(GameState* state) {
    if (!states.empty()) {
        states.back()->cleanup();
        states.pop_back();
    }
    states.push_back(state);
    state->init(this);
    if (level != nullptr) {
        level->stateId = state->stateId;
    }
    applyCursorMode(state->stateId);
}

void Game::pushState(GameState* state) {
    if (!states.empty()) {
        states.back()->pause();
    }
    states.push_back(state);
    if (!state->initialized) {
        state->init(this);
    }
    if (level != nullptr) {
        level->stateId = state->stateId;
    }
    applyCursorMode(state->stateId);
}

void Game::popState() {
    if (states.size() < 2) return;
    states.back()->cleanup();
    states.pop_back();
    GameState* state = states.back();
    state->resume();
    if (level != nullptr) {
        level->stateId = state->stateId;
    }
    applyCursorMode(state->stateId);
}

void Game::applyCursorMode(int stateId) {
    if (window == nullptr) {
        return;
    }
    const bool captured = stateId == kStatePlay || stateId == kStateLoading;
    glfwSetInputMode(window, GLFW_CURSOR, captured ? GLFW_CURSOR_DISABLED : GLFW_CURSOR_NORMAL);
    if (captured) {
        // Mouse look reads the offset from the window's centre after each
        // step; starting there keeps the first step from turning the view by
        // wherever the pointer happened to be.
        const GameSettings& settings = GameSettings::instance();
        glfwSetCursorPos(window, settings.windowWidth / 2, settings.windowHeight / 2);
    }
}

void Game::restart() {
    if (demo != nullptr && level != nullptr) demo->levelEnding(*level);
    SoundSystem::instance().releaseAll();
    renderer.cleanup();
    renderer.init();
    level.reset();
    createLevel();
    GameSettings& settings = GameSettings::instance();
    settings.playerWon = false;
    settings.playerCaught = false;
}

Game::~Game() {
    // The pause menu's GL names go while their window's context is current.
    menuOverlay.reset();
    if (window != nullptr) {
        glfwDestroyWindow(window);
        window = nullptr;
    }
    std::cout << "window closed" << std::endl;
    // GL objects the level still holds are released without a context; their
    // owners turn those releases into no-ops.
    level.reset();
    std::cout << "scene deleted" << std::endl;
    glfwTerminate();
    std::cout << "GLFW Terminated, Game Delete done" << std::endl;
    states.clear();
    if (registered == this) {
        registered = nullptr;
    }
}

}  // namespace vestrel
