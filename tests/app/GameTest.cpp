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
