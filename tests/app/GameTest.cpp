// The Game with a real window and GL context (Xvfb + llvmpipe): state
// switching, the loop's clock and title, restart, and the teardown order.
#include "app/Game.h"

#include "ConsoleCapture.h"
#include "GlReleaseWatch.h"
#include "app/GameLoop.h"
#include "app/GameSettings.h"
#include "app/GameState.h"
#include "app/Gameoverstate.h"
#include "audio/SoundSystem.h"
#include "level/Level.h"
#include "play/Camera.h"
#include "play/Gamepad.h"
#include "play/Playstate.h"
#include "render/Button.h"
#include "render/GlContext.h"
#include "render/HUD.h"
#include "render/Texture.h"
#include "render/TextureCache.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace vestrel {
namespace {

// A state that records what the Game asks of it.
class RecordingState : public GameState {
public:
    RecordingState(std::string stateName, int id, std::vector<std::string>& journal)
        : name(std::move(stateName)), log(journal) {
        stateId = id;
    }
    void init(Game* g) override {
        game = g;
        initialized = true;
        log.push_back(name + ".init");
    }
    void cleanup() override { log.push_back(name + ".cleanup"); }
    void pause() override {
        paused = true;
        log.push_back(name + ".pause");
    }
    void resume() override { paused = false; }
    void handleEvents(Game* g) override { pollEvents(g); }
    void update(Game* /*g*/, float dt) override {
        ++updates;
        lastDt = dt;
    }
    void draw(Game* /*g*/) override { ++draws; }
    void changeState(Game* g, GameState* state) override { forwardChangeState(g, state); }
    void onKey(int key, int /*scancode*/, int action, int /*mods*/, Game* /*g*/) override {
        log.push_back(name + ".key " + std::to_string(key) + "/" + std::to_string(action));
    }
    void onMouseButton(int /*button*/, int /*action*/, int /*mods*/) override {}

    std::string name;
    std::vector<std::string>& log;
    int updates = 0;
    int draws = 0;
    float lastDt = 0.0f;
};

class GameTest : public ::testing::Test {
protected:
    void SetUp() override {
        GameSettings::instance() = GameSettings{};
        game = std::make_unique<Game>();
        Game::registered = game.get();
        game->init(320, 240, 60, false);
    }
    void TearDown() override {
        // Cached textures belong to this window's context; a later test's
        // context could reuse their names.
        TextureCache::instance().textures.clear();
        test::ConsoleCapture quiet;
        game.reset();
    }
    std::unique_ptr<Game> game;
    std::vector<std::string> journal;
};

TEST_F(GameTest, InitOpensTheWindowAndPreparesTheLoadingScreen) {
    ASSERT_NE(game->window, nullptr);
    EXPECT_TRUE(game->running);
    EXPECT_TRUE(game->states.empty());
    EXPECT_EQ(GameSettings::instance().windowWidth, 320);
    EXPECT_EQ(GameSettings::instance().windowHeight, 240);
    EXPECT_EQ(GameSettings::instance().refreshRate, 60);
    int major = 0, minor = 0;
    glGetIntegerv(GL_MAJOR_VERSION, &major);
    glGetIntegerv(GL_MINOR_VERSION, &minor);
    EXPECT_GE(major * 10 + minor, 33);
    ASSERT_NE(game->level, nullptr);
    EXPECT_NE(game->level->camera, nullptr);
    EXPECT_EQ(TextureCache::instance().textures.count("MESSAGE_LOADING_0"), 1u);
    EXPECT_EQ(glfwGetInputMode(game->window, GLFW_CURSOR), GLFW_CURSOR_DISABLED);
}

TEST_F(GameTest, ChangeStateReplacesAndPushStateKeepsTheStateBelow) {
    RecordingState play("play", kStatePlay, journal);
    RecordingState over("over", kStateGameOver, journal);

    game->changeState(&play);
    EXPECT_EQ(game->level->stateId, kStatePlay);
    game->pushState(&over);
    ASSERT_EQ(game->states.size(), 2u);
    EXPECT_EQ(game->currentState(), &over);
    EXPECT_EQ(game->level->stateId, kStateGameOver);
    EXPECT_EQ(glfwGetInputMode(game->window, GLFW_CURSOR), GLFW_CURSOR_NORMAL);

    // A second push of an initialised state does not run its init again.
    game->changeState(&play);
    game->pushState(&over);
    EXPECT_EQ(journal, (std::vector<std::string>{"play.init", "play.pause", "over.init", "over.cleanup",
                                                 "play.init", "play.pause"}));
    EXPECT_EQ(game->states.size(), 3u);
}

TEST_F(GameTest, UpdateRunsFixedStepsAndShowsTheFrameRateInTheTitle) {
    RecordingState play("play", kStatePlay, journal);
    game->changeState(&play);

    game->stepAccumulator = 0.2f;  // a long frame's worth
    game->previousTime = glfwGetTime();
    game->update();
    EXPECT_EQ(game->stepsThisFrame, 5);
    EXPECT_EQ(play.updates, 5);
    EXPECT_FLOAT_EQ(play.lastDt, kFixedStep);
    EXPECT_GT(game->stepAccumulator, 0.1f);  // the rest waits for the next frames

    // A counted second of frames sets the rate and the shared statistic.
    game->fpsTimer = 1.0f;
    game->frameCount = 45;
    game->update();
    EXPECT_FLOAT_EQ(game->fps, 45.0f);
    EXPECT_EQ(GameSettings::instance().fps, 45);
}

TEST_F(GameTest, PlayRecentresTheCursorAfterEveryStep) {
    RecordingState play("play", kStatePlay, journal);
    glfwSetCursorPos(game->window, 300.0, 5.0);
    game->changeState(&play);
    double startX = 0.0, startY = 0.0;
    glfwGetCursorPos(game->window, &startX, &startY);
    EXPECT_NEAR(startX, 160.0, 1.0);  // entering play starts the look from the centre
    EXPECT_NEAR(startY, 120.0, 1.0);
    glfwSetCursorPos(game->window, 10.0, 10.0);
    game->stepAccumulator = kFixedStep;
    game->previousTime = glfwGetTime();
    game->update();
    double x = 0.0, y = 0.0;
    glfwGetCursorPos(game->window, &x, &y);
    EXPECT_NEAR(x, 160.0, 1.0);
    EXPECT_NEAR(y, 120.0, 1.0);
}

TEST_F(GameTest, RestartGivesAFreshLevelAndClearsTheEndFlags) {
    GameSettings& settings = GameSettings::instance();
    settings.playerWon = true;
    settings.playerCaught = true;
    settings.fog = false;  // other switches survive a restart
    {
        test::ConsoleCapture console;
        game->restart();
        EXPECT_NE(console.text().find("Done loading screen"), std::string::npos);
    }
    EXPECT_NE(game->level.get(), nullptr);
    EXPECT_FALSE(settings.playerWon);
    EXPECT_FALSE(settings.playerCaught);
    EXPECT_FALSE(settings.fog);
    EXPECT_TRUE(game->renderer.initialized());
}

TEST_F(GameTest, WindowCloseEndsTheLoop) {
    RecordingState play("play", kStatePlay, journal);
    game->changeState(&play);
    game->installCallbacks();
    glfwSetWindowShouldClose(game->window, GLFW_FALSE);
    // The close callback is what a window manager's close button reaches.
    GLFWwindowclosefun previous = glfwSetWindowCloseCallback(game->window, nullptr);
    ASSERT_NE(previous, nullptr);
    previous(game->window);
    EXPECT_FALSE(game->running);
}

TEST_F(GameTest, WindowSystemErrorsAfterStartUpAreReportedAndPlayGoesOn) {
    EXPECT_FALSE(windowSystemStartingUp());
    RecordingState play("play", kStatePlay, journal);
    game->changeState(&play);
    {
        test::ConsoleCapture console;
        // A real failed request: GLFW reports an invalid input mode through
        // the installed callback.
        glfwSetInputMode(game->window, 0x12345, GLFW_TRUE);
        EXPECT_NE(console.text().find("GLFW error 65539: "), std::string::npos) << console.text();
    }
    // Still alive, and the loop still runs its steps.
    EXPECT_TRUE(game->running);
    game->stepAccumulator = kFixedStep;
    game->previousTime = glfwGetTime();
    game->update();
    EXPECT_EQ(play.updates, 1);
}

TEST_F(GameTest, ResizingTheWindowResizesEverythingThePictureDependsOn) {
    RecordingState play("play", kStatePlay, journal);
    game->changeState(&play);
    game->level->setUp();
    const GameSettings& settings = GameSettings::instance();

    glfwSetWindowSize(game->window, 480, 200);
    // The window system answers asynchronously: wait for the new size.
    const double deadline = glfwGetTime() + 20.0;
    while (settings.windowWidth != 480 && glfwGetTime() < deadline) {
        glfwWaitEventsTimeout(0.05);
    }
    ASSERT_EQ(settings.windowWidth, 480);
    ASSERT_EQ(settings.windowHeight, 200);
    EXPECT_EQ(game->renderer.frameWidth(), 480);
    EXPECT_EQ(game->renderer.frameHeight(), 200);
    EXPECT_EQ(game->renderer.glowBuffer.width, 240);
    EXPECT_EQ(game->renderer.glowBuffer.height, 100);
    EXPECT_FLOAT_EQ(HUD::instance().orthoTransformation.x, 2.0f / 480.0f);
    EXPECT_FLOAT_EQ(HUD::instance().orthoTransformation.y, 2.0f / 200.0f);
    const Camera& camera = *game->level->camera;
    EXPECT_EQ(camera.centerX, 240);
    EXPECT_EQ(camera.centerY, 100);
    // The captured cursor waits at the new centre: the next step reads no turn.
    double cursorX = 0.0, cursorY = 0.0;
    glfwGetCursorPos(game->window, &cursorX, &cursorY);
    EXPECT_EQ(cursorX, 240.0);
    EXPECT_EQ(cursorY, 100.0);
    EXPECT_NEAR(camera.projection[1][1] / camera.projection[0][0], 2.4f, 1e-4f);
    EXPECT_NEAR(game->level->frustum.aspect, 2.4f, 1e-4f);

    // Minimised (0 x 0), or rolled up to no height or no width: not a
    // picture size; the last one stands.
    for (const auto& size : {std::pair{0, 0}, std::pair{480, 0}, std::pair{0, 200}}) {
        game->applyFramebufferSize(size.first, size.second);
        EXPECT_EQ(settings.windowWidth, 480) << size.first << " x " << size.second;
        EXPECT_EQ(settings.windowHeight, 200) << size.first << " x " << size.second;
        EXPECT_EQ(game->renderer.frameHeight(), 200) << size.first << " x " << size.second;
    }
    EXPECT_EQ(game->renderer.frameWidth(), 480);

    // A change of one side only is a new size all the same.
    for (const auto& size : {std::pair{480, 300}, std::pair{600, 300}}) {
        game->applyFramebufferSize(size.first, size.second);
        EXPECT_EQ(settings.windowWidth, size.first);
        EXPECT_EQ(settings.windowHeight, size.second);
        EXPECT_EQ(game->renderer.frameWidth(), size.first);
        EXPECT_EQ(game->renderer.frameHeight(), size.second);
        EXPECT_FLOAT_EQ(HUD::instance().orthoTransformation.x, 2.0f / static_cast<float>(size.first));
        EXPECT_FLOAT_EQ(HUD::instance().orthoTransformation.y, 2.0f / static_cast<float>(size.second));
        EXPECT_NEAR(game->level->frustum.aspect, static_cast<float>(size.first) / size.second, 1e-4f);
    }
}

TEST(GameDeathTest, WindowSystemErrorsDuringStartUpAreFatal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // A window of size 0 fails inside glfwCreateWindow with a reported error:
    // the process ends at once with GLFW's description (not the game's own
    // window message) and status 1. The console goes to stderr to be matched.
    EXPECT_EXIT(
        {
            std::cout.rdbuf(std::cerr.rdbuf());
            GameSettings::instance() = GameSettings{};
            Game game;
            game.init(0, 0, 60, false);
        },
        ::testing::ExitedWithCode(1), "^Invalid window size 0x0\\s*$");
}

// The game-over screen over a real level: its buttons come from the loading
// state's set-up.
class GameOverTest : public GameTest {
protected:
    void SetUp() override {
        GameTest::SetUp();
        game->startSequence();
        // The state records its game only on its first init; each test has a
        // game of its own.
        Gameoverstate::instance().initialized = false;
        game->pushState(&Gameoverstate::instance());
        ASSERT_EQ(game->level->buttons.size(), 2u);
    }
    Button& button(const std::string& name) {
        for (const auto& b : game->level->buttons) {
            if (b->name == name) return *b;
        }
        throw std::runtime_error("no button " + name);
    }
    void click(int glfwButton, int action) { Gameoverstate::instance().onMouseButton(glfwButton, action, 0); }
};

TEST_F(GameOverTest, ExitActsOnReleaseEvenAwayFromTheButton) {
    EXPECT_EQ(glfwGetInputMode(game->window, GLFW_CURSOR), GLFW_CURSOR_NORMAL);
    button("EXIT").state = 1;  // hovered
    click(GLFW_MOUSE_BUTTON_LEFT, GLFW_PRESS);
    EXPECT_EQ(button("EXIT").state, 2);
    EXPECT_TRUE(game->running);
    button("EXIT").state = 2;  // the cursor moved off: a pressed button stays pressed
    click(GLFW_MOUSE_BUTTON_LEFT, GLFW_RELEASE);
    EXPECT_FALSE(game->running);
}

TEST_F(GameOverTest, OnlyHoveredButtonsArePressedAndOnlyTheLeftButtonCounts) {
    click(GLFW_MOUSE_BUTTON_LEFT, GLFW_PRESS);  // over nothing
    button("EXIT").state = 1;                   // then released over Exit
    click(GLFW_MOUSE_BUTTON_LEFT, GLFW_RELEASE);
    EXPECT_TRUE(game->running);
    click(GLFW_MOUSE_BUTTON_RIGHT, GLFW_PRESS);
    click(GLFW_MOUSE_BUTTON_RIGHT, GLFW_RELEASE);
    EXPECT_EQ(button("EXIT").state, 1);
    EXPECT_TRUE(game->running);
}

TEST_F(GameOverTest, RestartBuildsAFreshGameOnTopOfTheStack) {
    GameSettings::instance().playerCaught = true;
    const size_t before = game->states.size();
    button("RESTART").state = 1;
    click(GLFW_MOUSE_BUTTON_LEFT, GLFW_PRESS);
    click(GLFW_MOUSE_BUTTON_LEFT, GLFW_RELEASE);
    EXPECT_FALSE(GameSettings::instance().playerCaught);
    // Sounds were released and the new game's set-up made its own again.
    EXPECT_NE(SoundSystem::instance().findSound("breathing"), nullptr);
    EXPECT_NE(SoundSystem::instance().findSound("ambient"), nullptr);
    EXPECT_EQ(game->currentState(), &Playstate::instance());
    EXPECT_EQ(game->states.size(), before);  // [play, play]: one more play entry than [play] before the loss
    EXPECT_EQ(game->level->stateId, kStatePlay);
    for (const auto& b : game->level->buttons) {
        EXPECT_EQ(b->state, 0);  // the new level's buttons
    }
    EXPECT_TRUE(game->running);
}

// Keys and the pad on the end screen: which button they light, and what a
// press does. The buttons are Exit (left) and Restart (right).
TEST_F(GameOverTest, ArrowKeysMoveTheHighlightAndAStillPointerLeavesItAlone) {
    struct Case {
        std::vector<int> keys;  // pressed in turn
        int exitState;
        int restartState;
    };
    const Case cases[] = {
        {{}, 0, 0},
        {{GLFW_KEY_ESCAPE, GLFW_KEY_W, GLFW_KEY_E}, 0, 0},  // nothing here for these
        {{GLFW_KEY_RIGHT}, 0, 1},
        {{GLFW_KEY_LEFT}, 1, 0},
        {{GLFW_KEY_RIGHT, GLFW_KEY_LEFT, GLFW_KEY_LEFT}, 1, 0},
        {{GLFW_KEY_LEFT, GLFW_KEY_DOWN, GLFW_KEY_DOWN}, 0, 1},
        {{GLFW_KEY_DOWN, GLFW_KEY_UP}, 1, 0},
        {{GLFW_KEY_ENTER}, 0, 1},  // nothing lit: Enter lights Restart, presses nothing
    };
    for (const Case& c : cases) {
        button("EXIT").state = 0;
        button("RESTART").state = 0;
        Gameoverstate::instance().show();
        Gameoverstate::instance().pointerAt(5, 5, 0);  // over neither button
        for (int key : c.keys) Gameoverstate::instance().onKey(key, 0, GLFW_PRESS, 0, game.get());
        EXPECT_EQ(button("EXIT").state, c.exitState) << c.keys.size();
        EXPECT_EQ(button("RESTART").state, c.restartState) << c.keys.size();
        EXPECT_TRUE(game->running);
        EXPECT_EQ(game->currentState(), &Gameoverstate::instance());
    }
    // The steps go on with the cursor where it was: the highlight stays;
    // the first move of the mouse takes it back.
    game->cursorX = 5;
    game->cursorY = 5;
    Gameoverstate::instance().onKey(GLFW_KEY_LEFT, 0, GLFW_PRESS, 0, game.get());
    Gameoverstate::instance().pointerAt(5, 5, 0);
    EXPECT_EQ(button("EXIT").state, 1);
    Gameoverstate::instance().pointerAt(6, 5, 0);
    EXPECT_EQ(button("EXIT").state, 0);
}

TEST_F(GameOverTest, SpaceOnExitEndsTheGame) {
    Gameoverstate::instance().show();
    Gameoverstate::instance().onKey(GLFW_KEY_LEFT, 0, GLFW_PRESS, 0, game.get());
    Gameoverstate::instance().onKey(GLFW_KEY_SPACE, 0, GLFW_RELEASE, 0, game.get());
    EXPECT_TRUE(game->running);
    Gameoverstate::instance().onKey(GLFW_KEY_SPACE, 0, GLFW_PRESS, 0, game.get());
    EXPECT_FALSE(game->running);
    EXPECT_EQ(button("EXIT").state, 2);
}

// Pad readings, one per step, as a replay hands them in.
class ScriptedPad : public GamepadSource {
public:
    std::vector<GamepadState> readings;
    std::size_t next = 0;
    bool readGamepad(std::uint32_t /*index*/, GamepadState& reading) override {
        if (next >= readings.size()) return false;
        reading = readings[next++];
        return true;
    }
};

GamepadState padReading(std::uint16_t buttons, std::int16_t stickX = 0) {
    GamepadState state;
    state.buttons = buttons;
    state.thumbLX = stickX;
    return state;
}

TEST_F(GameOverTest, ThePadLightsWithTheStickAndRestartsWithAButNotWithTheAHeldFromPlay) {
    ScriptedPad pad;
    // A held from a jump when the screen came up, let go, the stick pushed
    // right then left, then A.
    pad.readings = {padReading(kPadA),         padReading(kPadA),          padReading(0),
                    padReading(0, 30000),      padReading(0, 30000),       padReading(0, -30000),
                    padReading(0, 0),          padReading(0, 30000),       padReading(kPadA, 30000)};
    Gamepad& gamepad = *Playstate::instance().gamepad;
    gamepad.source = &pad;
    Gameoverstate& screen = Gameoverstate::instance();
    screen.show();
    screen.pointerAt(5, 5, 0);
    const std::vector<std::pair<int, int>> lit = {{0, 0}, {0, 0}, {0, 0}, {0, 1}, {0, 1}, {1, 0}, {1, 0}, {0, 1}};
    for (std::size_t i = 0; i < lit.size(); ++i) {
        screen.update(game.get(), kFixedStep);
        screen.handleEvents(game.get());
        EXPECT_EQ(button("EXIT").state, lit[i].first) << "reading " << i;
        EXPECT_EQ(button("RESTART").state, lit[i].second) << "reading " << i;
    }
    GameSettings::instance().playerCaught = true;
    screen.update(game.get(), kFixedStep);  // A: the restart waits for the frame's events
    EXPECT_EQ(game->currentState(), &Gameoverstate::instance());
    screen.handleEvents(game.get());
    gamepad.source = nullptr;
    EXPECT_EQ(game->currentState(), &Playstate::instance());
    EXPECT_FALSE(GameSettings::instance().playerCaught);
    EXPECT_TRUE(game->running);
}

TEST(FullScreen, GoesToTheMonitorHoldingTheWindowsCentre) {
    const std::vector<ScreenRect> monitors = {{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}, {-1024, 0, 1024, 768}};
    struct Case {
        ScreenRect window;
        int expected;
    };
    const Case cases[] = {
        {{100, 100, 800, 600}, 0},
        {{1500, 100, 800, 600}, 0},   // centre at 1900: still the first
        {{1540, 100, 800, 600}, 1},   // centre at 1940: the second
        {{-700, 500, 800, 600}, 2},   // centre at (-300, 800): below the third, which it overlaps most
        {{5000, 5000, 100, 100}, 0},  // on none: the first
    };
    for (const Case& c : cases) {
        EXPECT_EQ(monitorForWindow(c.window, monitors), c.expected) << c.window.x << "," << c.window.y;
    }
    EXPECT_EQ(monitorForWindow({0, 0, 10, 10}, {}), -1);
}

TEST(StartSampling, SoftwareRasterizersStartAtBilinear) {
    test::ConsoleCapture console;
    GameSettings settings;
    chooseStartSampling("llvmpipe (LLVM 15.0.6, 256 bits)", settings);
    EXPECT_EQ(settings.samplingMode, 1);
    EXPECT_NE(console.text().find("BILINEAR"), std::string::npos);

    GameSettings hardware;
    chooseStartSampling("NVIDIA H100/PCIe/SSE2", hardware);
    EXPECT_EQ(hardware.samplingMode, 3);

    GameSettings chosen;
    chosen.samplingMode = 0;
    chooseStartSampling("llvmpipe", chosen);
    EXPECT_EQ(chosen.samplingMode, 0);
    chooseStartSampling(nullptr, hardware);
    EXPECT_EQ(hardware.samplingMode, 3);
}

TEST(GameTeardown, PrintsItsThreeLinesInOrderMakesNoLateGlCallsAndLeavesNoRegistration) {
    GameSettings::instance() = GameSettings{};
    auto game = std::make_unique<Game>();
    Game::registered = game.get();
    test::ConsoleCapture console;
    game->init(200, 150, 60, false);
    game->installCallbacks();
    // A texture that outlives the window, as the level's textures do.
    auto late = std::make_unique<Texture>();
    const unsigned char pixels[3 * 4] = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
    late->upload(pixels, 2, 2);
    EXPECT_TRUE(hasCurrentGlContext());
    console.clear();
    {
        // The level, renderer and cached textures go after the window: every
        // owner must see that the context is gone and leave GL alone.
        test::GlReleaseWatch watch;
        game.reset();
        EXPECT_FALSE(hasCurrentGlContext());
        late.reset();
        TextureCache::instance().textures.clear();
        EXPECT_EQ(watch.calls(), 0) << watch.journal();
    }
    EXPECT_EQ(Game::registered, nullptr) << "window callbacks would reach a deleted game";
    EXPECT_EQ(console.text(), "window closed\nscene deleted\nGLFW Terminated, Game Delete done\n");
}

}  // namespace
}  // namespace vestrel
