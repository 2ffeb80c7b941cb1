// The pause screen over a real game: what stops, what comes back, how the
// menu's settings reach the game and the file, and when losing the window's
// focus pauses.
#include "app/Pausestate.h"

#include <gtest/gtest.h>

// Game.h brings GLEW, which must come before GLFW's GL header.
#include "app/Game.h"

#include <GLFW/glfw3.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <glm/trigonometric.hpp>

#include "ConsoleCapture.h"
#include "PlayingGame.h"
#include "app/GameLoop.h"
#include "app/GameSettings.h"
#include "audio/SoundSystem.h"
#include "enemy/Enemy.h"
#include "level/Level.h"
#include "physics/ControllerRecord.h"
#include "play/Camera.h"
#include "play/Playstate.h"
#include "replay/DemoSession.h"

namespace vestrel {
namespace {

class PausestateTest : public ::testing::Test {
protected:
    void SetUp() override {
        game = test::startPlaying();
        ASSERT_EQ(game->currentState(), &Playstate::instance());
        ASSERT_TRUE(game->level->enemy && game->level->enemy->controller);
    }
    void TearDown() override {
        Playstate::instance().gamepad->source = nullptr;
        test::stopPlaying(game);
    }

    void key(int k) {
        game->deliverKey(k, 0, GLFW_PRESS, 0, InputOrigin::Script);
        game->deliverKey(k, 0, GLFW_RELEASE, 0, InputOrigin::Script);
    }
    // Frames as the loop runs them, on the clock, until `steps` fixed steps ran.
    void runSteps(int steps) {
        test::ConsoleCapture quiet;
        for (int ran = 0; ran < steps;) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            game->frame();
            ran += game->stepsThisFrame;
        }
    }
    glm::dvec3 monster() const { return game->level->enemy->controller->controller->getPosition(); }
    bool paused(const char* channel) const {
        bool flag = false;
        SoundSystem::instance().channel(channel).getPaused(flag);
        return flag;
    }

    std::unique_ptr<Game> game;
};

TEST_F(PausestateTest, PFreezesTheGameAndEscapeOrPBringItBack) {
    runSteps(5);
    for (int way : {GLFW_KEY_ESCAPE, GLFW_KEY_P}) {
        test::ConsoleCapture console;
        key(GLFW_KEY_P);
        ASSERT_EQ(game->currentState(), &Pausestate::instance());
        EXPECT_EQ(game->level->stateId, kStatePause);
        EXPECT_EQ(glfwGetInputMode(game->window, GLFW_CURSOR), GLFW_CURSOR_NORMAL);
        EXPECT_TRUE(Playstate::instance().paused);
        EXPECT_TRUE(paused("growl1"));
        EXPECT_TRUE(paused("ambient"));
        EXPECT_TRUE(game->level->enemy->model.animationHeld);

        const glm::dvec3 before = monster();
        runSteps(30);
        EXPECT_EQ(monster(), before) << "the monster walked during the pause";

        key(way);
        EXPECT_EQ(game->currentState(), &Playstate::instance());
        EXPECT_EQ(game->level->stateId, kStatePlay);
        EXPECT_EQ(glfwGetInputMode(game->window, GLFW_CURSOR), GLFW_CURSOR_DISABLED);
        EXPECT_FALSE(paused("growl1"));
        EXPECT_FALSE(game->level->enemy->model.animationHeld);
        runSteps(30);
        EXPECT_NE(monster(), before) << "the monster stands after the pause";
        EXPECT_TRUE(game->running);
        EXPECT_NE(console.text().find("Game paused\nGame resumed\n"), std::string::npos) << console.text();
    }
    // Escape in play still ends the game.
    key(GLFW_KEY_ESCAPE);
    EXPECT_FALSE(game->running);
}

TEST_F(PausestateTest, SettingsApplyAtOnceAndAreWrittenWhenThePageIsLeft) {
    char pattern[] = "/tmp/vestrel_pause_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string path = std::string(pattern) + "/vestrel/settings.ini";
    SettingsFile file(path);
    game->settingsFile = &file;
    const glm::mat4 wideBefore = game->level->camera->projection;

    key(GLFW_KEY_P);
    key(GLFW_KEY_DOWN);
    key(GLFW_KEY_ENTER);  // SETTINGS
    ASSERT_EQ(Pausestate::instance().menu().page(), PauseMenu::Page::Settings);
    for (int i = 0; i < 3; ++i) key(GLFW_KEY_RIGHT);  // sensitivity 0.13
    key(GLFW_KEY_DOWN);
    key(GLFW_KEY_ENTER);  // invert Y on
    key(GLFW_KEY_DOWN);
    key(GLFW_KEY_DOWN);
    key(GLFW_KEY_DOWN);
    key(GLFW_KEY_LEFT);  // brightness 0.05
    key(GLFW_KEY_DOWN);
    key(GLFW_KEY_RIGHT);  // field of view 65
    key(GLFW_KEY_DOWN);
    key(GLFW_KEY_SPACE);  // captions off

    Player& player = game->level->player;
    EXPECT_FLOAT_EQ(player.lookSensitivity, 0.13f);
    EXPECT_TRUE(player.invertLook);
    EXPECT_FLOAT_EQ(game->level->ambient.x, 0.05f);
    EXPECT_FLOAT_EQ(GameSettings::instance().ambientLight.z, 0.05f);
    EXPECT_FALSE(GameSettings::instance().captions);
    EXPECT_FLOAT_EQ(game->level->camera->fieldOfView, 65.0f);
    // The vertical scale of the projection is 1 / tan(half the field of view).
    EXPECT_NEAR(game->level->camera->projection[1][1], 1.0f / std::tan(glm::radians(32.5f)), 1e-4f);
    EXPECT_NE(game->level->camera->projection, wideBefore);
    EXPECT_NEAR(game->level->frustum.tanHalfFov, std::tan(glm::radians(32.5f)), 1e-4f);
    EXPECT_FALSE(std::filesystem::exists(path)) << "written before the page was left";

    key(GLFW_KEY_ESCAPE);  // resume: the page is left
    EXPECT_EQ(game->currentState(), &Playstate::instance());
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    const std::string written = text.str();
    for (const char* line : {"look_sensitivity = 0.13\n", "invert_y = true\n", "brightness = 0.05\n",
                             "field_of_view = 65\n", "captions = false\n"}) {
        EXPECT_NE(written.find(line), std::string::npos) << line << " in\n" << written;
    }
    EXPECT_EQ(written.find("volume"), std::string::npos) << written;

    // A new game (a restart) keeps the look settings.
    game->restart();
    {
        test::ConsoleCapture quiet;
        game->startSequence();
    }
    EXPECT_FLOAT_EQ(game->level->player.lookSensitivity, 0.13f);
    EXPECT_TRUE(game->level->player.invertLook);
    EXPECT_FLOAT_EQ(game->level->camera->fieldOfView, 65.0f);
    EXPECT_NEAR(game->level->frustum.tanHalfFov, std::tan(glm::radians(32.5f)), 1e-4f);
    game->settingsFile = nullptr;
    std::filesystem::remove_all(pattern);
}

TEST_F(PausestateTest, OnlyALastingLossOfFocusPausesAndNeverWhileADemoIsRecorded) {
    auto waitPastGrace = [] {
        std::this_thread::sleep_for(std::chrono::duration<double>(Game::kFocusLossGrace + 0.05));
    };
    test::ConsoleCapture quiet;

    // Lost and given back at once (a pointer grab): nothing happens.
    game->windowFocusChanged(false);
    game->windowFocusChanged(true);
    waitPastGrace();
    game->pauseIfFocusStaysAway();
    EXPECT_EQ(game->currentState(), &Playstate::instance());

    // Another window takes the focus: nothing within the grace, the pause after it.
    GLFWwindow* other = glfwCreateWindow(64, 64, "other", nullptr, nullptr);
    ASSERT_NE(other, nullptr);
    glfwMakeContextCurrent(game->window);
    glfwFocusWindow(other);
    for (int i = 0; i < 500 && glfwGetWindowAttrib(game->window, GLFW_FOCUSED) == GLFW_TRUE; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        game->pollEvents();
    }
    ASSERT_EQ(glfwGetWindowAttrib(game->window, GLFW_FOCUSED), GLFW_FALSE);
    // What the window system says as the focus goes (without a window
    // manager it may not say it to a window it never focused itself).
    game->windowFocusChanged(false);
    game->pauseIfFocusStaysAway();
    EXPECT_EQ(game->currentState(), &Playstate::instance());
    waitPastGrace();
    game->pauseIfFocusStaysAway();
    EXPECT_EQ(game->currentState(), &Pausestate::instance());
    key(GLFW_KEY_ESCAPE);
    ASSERT_EQ(game->currentState(), &Playstate::instance());

    // While a demo is recorded the run must stay as recorded.
    char pattern[] = "/tmp/vestrel_focus_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    DemoSession recording;
    std::string error;
    ASSERT_TRUE(recording.startRecording(std::string(pattern) + "/run.dem", DemoSettings{}, error)) << error;
    game->demo = &recording;
    game->windowFocusChanged(false);
    waitPastGrace();
    game->pauseIfFocusStaysAway();
    EXPECT_EQ(game->currentState(), &Playstate::instance());
    // Nor does full screen change under it.
    EXPECT_FALSE(game->setFullscreen(true));
    EXPECT_FALSE(game->isFullscreen());
    game->demo = nullptr;
    glfwDestroyWindow(other);
    std::filesystem::remove_all(pattern);
}

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

TEST_F(PausestateTest, ThePadsStartPausesAndItsBResumes) {
    ScriptedPad pad;
    GamepadState start;
    start.buttons = kPadStart;
    GamepadState b;
    b.buttons = kPadB;
    // Start pressed in play, still held in the pause's first steps, let go, then B.
    pad.readings = {GamepadState{}, start, start, start, GamepadState{}, b};
    Playstate::instance().gamepad->source = &pad;
    test::ConsoleCapture quiet;
    Playstate::instance().update(game.get(), kFixedStep);
    ASSERT_EQ(game->currentState(), &Playstate::instance());
    Playstate::instance().update(game.get(), kFixedStep);
    ASSERT_EQ(game->currentState(), &Pausestate::instance());
    Pausestate& pause = Pausestate::instance();
    for (int i = 0; i < 3; ++i) {
        pause.update(game.get(), kFixedStep);
        pause.handleEvents(game.get());
        EXPECT_EQ(game->currentState(), &Pausestate::instance()) << "step " << i;
    }
    pause.update(game.get(), kFixedStep);  // B: the resume waits for the frame's events
    EXPECT_EQ(game->currentState(), &Pausestate::instance());
    pause.handleEvents(game.get());
    EXPECT_EQ(game->currentState(), &Playstate::instance());
}

}  // namespace
}  // namespace vestrel
