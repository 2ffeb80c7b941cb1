// The demo session inside a real Game (window under Xvfb): scripted input
// reaches the state through the same entry points as the window callbacks,
// live input is shut out while a script plays, each frame runs the scripted
// steps, and recording writes the step every event arrived before.
#include "replay/DemoSession.h"

#include "ConsoleCapture.h"
#include "ScratchFolder.h"
#include "replay/Autopilot.h"
#include "replay/DemoFormat.h"
#include "app/Game.h"
#include "app/GameSettings.h"
#include "app/GameState.h"
#include "app/Gameoverstate.h"
#include "level/Level.h"
#include "play/Playstate.h"
#include "render/Button.h"
#include "render/TextureCache.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vestrel {
namespace {

// Logs what reaches it: keys, clicks, and per step the cursor the loop read
// and the play state's pad reading.
class ProbeState : public GameState {
public:
    ProbeState() { stateId = kStatePlay; }
    void init(Game* g) override {
        game = g;
        initialized = true;
    }
    void cleanup() override {}
    void pause() override {}
    void resume() override {}
    void handleEvents(Game* g) override { pollEvents(g); }
    void update(Game* g, float /*dt*/) override {
        Gamepad& pad = *Playstate::instance().gamepad;
        const bool connected = pad.read();
        log.push_back("step " + std::to_string(static_cast<int>(g->cursorX)) + "," +
                      std::to_string(static_cast<int>(g->cursorY)) +
                      (connected ? " pad " + std::to_string(pad.state.thumbLY) : ""));
        if (++updates == catchAtUpdate) settings->playerCaught = true;
        if (onStep) onStep();
    }
    void draw(Game* /*g*/) override {}
    void changeState(Game* g, GameState* state) override { forwardChangeState(g, state); }
    void onKey(int key, int /*scancode*/, int action, int /*mods*/, Game* /*g*/) override {
        log.push_back("key " + std::to_string(key) + "/" + std::to_string(action));
    }
    void onMouseButton(int button, int action, int /*mods*/) override {
        log.push_back("mouse " + std::to_string(button) + "/" + std::to_string(action));
    }

    std::vector<std::string> log;
    int updates = 0;
    int catchAtUpdate = -1;
    std::function<void()> onStep;
};

// The position hash of `steps` steps in which neither the player nor the
// monster exists (the probe's games): zeros after every step.
std::uint64_t hashOfEmptySteps(std::uint64_t steps) {
    std::uint64_t hash = kFnvOffset;
    const double zeros[6] = {};
    for (std::uint64_t i = 0; i < steps; ++i) hash = fnv1a(hash, zeros, sizeof zeros);
    return hash;
}

std::string hexOf(std::uint64_t value) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

// A step whose cursor is at (x, y) of the tests' 320 x 240 window, stored
// as a demo stores it: as the offset from the centre.
DemoStep stepAt(double x, double y) {
    DemoStep step;
    step.cursorX = x - 160;
    step.cursorY = y - 120;
    return step;
}

class DemoSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        GameSettings::instance() = GameSettings{};
        recordPath = test::scratchFolder() + "vestrel_session_test.dem";
        std::remove(recordPath.c_str());
    }
    void start(DemoSession& session) {
        game = std::make_unique<Game>();
        Game::registered = game.get();
        game->demo = &session;
        game->init(320, 240, 60, false);
        game->installCallbacks();
        session.attach(*game);
        game->changeState(&probe);
    }
    void TearDown() override {
        TextureCache::instance().textures.clear();
        test::ConsoleCapture quiet;
        game.reset();
        std::remove(recordPath.c_str());
    }
    // What the window system would call for a real key press or close.
    void liveKey(int key, int action) {
        GLFWkeyfun callback = glfwSetKeyCallback(game->window, nullptr);
        glfwSetKeyCallback(game->window, callback);
        callback(game->window, key, 0, action, 0);
    }
    void liveClose() {
        GLFWwindowclosefun callback = glfwSetWindowCloseCallback(game->window, nullptr);
        glfwSetWindowCloseCallback(game->window, callback);
        callback(game->window);
    }

    ProbeState probe;
    std::unique_ptr<Game> game;
    std::string recordPath;
};

TEST_F(DemoSessionTest, AReplayRunsItsFramesThroughTheEntryPointsAndShutsOutLiveInput) {
    Demo demo;
    demo.settings = {320, 240, 60, 0.1f};
    DemoFrame first;
    first.events = {DemoEvent::keyEvent(GLFW_KEY_W, 25, 1, 0), DemoEvent::mouseEvent(1, 0, 0)};
    first.steps = {stepAt(10, 20), stepAt(30, 40), stepAt(50, 60)};
    first.steps[1].padConnected = true;
    first.steps[1].pad.thumbLY = -1234;
    DemoFrame idle;  // a frame that ran no step
    DemoFrame last;
    last.events = {DemoEvent::keyEvent(GLFW_KEY_W, 25, 0, 0), DemoEvent::closeEvent()};
    last.steps = {stepAt(70, 80)};
    demo.frames = {first, idle, last};
    demo.totals.outcome = DemoOutcome::Caught;
    demo.totals.steps = 4;
    demo.totals.frames = 3;
    demo.totals.hash = hashOfEmptySteps(4);

    DemoSession session;
    session.setScript(std::make_unique<DemoPlayer>(demo), "probe");
    std::string error;
    ASSERT_TRUE(session.startRecording(recordPath, demo.settings, error)) << error;
    start(session);
    probe.catchAtUpdate = 2;

    liveKey(GLFW_KEY_S, GLFW_PRESS);  // a person at the keyboard during the replay
    game->frame();
    // Three steps although the clock had nothing due, each with its cursor;
    // the pad is connected only where the demo says.
    EXPECT_EQ(probe.log, (std::vector<std::string>{"key 87/1", "mouse 1/0", "step 10,20",
                                                   "step 30,40 pad -1234", "step 50,60"}));
    EXPECT_EQ(game->stepsThisFrame, 3);
    probe.log.clear();
    game->previousTime -= 1.0;  // a second passed: the clock would run five steps
    game->frame();
    EXPECT_EQ(game->stepsThisFrame, 0);
    EXPECT_TRUE(probe.log.empty());
    // The window grows while the demo plays: the cursor keeps its offset
    // from the new centre (200, 150), which is what mouse look reads.
    game->applyFramebufferSize(400, 300);
    game->frame();
    EXPECT_EQ(probe.log, (std::vector<std::string>{"key 87/0", "step 110,110"}));
    EXPECT_FALSE(game->running);  // the recorded close

    EXPECT_EQ(session.finish(*game), 0);  // caught, as recorded
    EXPECT_EQ(session.totals().steps, 4u);
    EXPECT_EQ(session.totals().frames, 3u);
    EXPECT_EQ(session.totals().outcome, DemoOutcome::Caught);

    // Recorded again while replayed, the run reads back as the same input.
    Demo again;
    ASSERT_TRUE(loadDemo(recordPath, again, error)) << error;
    ASSERT_EQ(again.frames.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(again.frames[i].events, demo.frames[i].events) << i;
        ASSERT_EQ(again.frames[i].steps.size(), demo.frames[i].steps.size()) << i;
        for (std::size_t s = 0; s < demo.frames[i].steps.size(); ++s) {
            EXPECT_EQ(again.frames[i].steps[s].cursorX, demo.frames[i].steps[s].cursorX);
            EXPECT_EQ(again.frames[i].steps[s].padConnected, demo.frames[i].steps[s].padConnected);
            EXPECT_EQ(again.frames[i].steps[s].pad.thumbLY, demo.frames[i].steps[s].pad.thumbLY);
        }
    }
    EXPECT_EQ(again.totals.outcome, DemoOutcome::Caught);
    EXPECT_EQ(again.totals.hash, session.totals().hash);
}

TEST_F(DemoSessionTest, AReplayThatEndsOtherwiseThanRecordedOrIsClosedEarlyFails) {
    Demo demo;
    DemoFrame frame;
    frame.steps = {stepAt(160, 120)};
    demo.frames = {frame};

    // The same outcome, steps and totals but another position hash: the
    // same input must give the same game, so the replay fails.
    demo.totals.steps = 1;
    demo.totals.frames = 1;
    demo.totals.hash = hashOfEmptySteps(1) ^ 1;
    {
        DemoSession session;
        session.setScript(std::make_unique<DemoPlayer>(demo), "probe");
        start(session);
        game->frame();
        test::ConsoleCapture console;
        EXPECT_EQ(session.finish(*game), 1);
        session.printSummary();
        EXPECT_NE(
            console.text().find("outcome neither (recorded: neither), hash " + hexOf(hashOfEmptySteps(1))),
            std::string::npos)
            << console.text();
        session.detach();
        game.reset();
    }

    demo.frames = {frame, frame, frame};
    demo.totals.outcome = DemoOutcome::Won;
    DemoSession session;
    session.setScript(std::make_unique<DemoPlayer>(demo), "probe");
    start(session);
    game->frame();

    liveClose();  // a person closes the window: the replay stops there
    EXPECT_FALSE(game->running);
    test::ConsoleCapture console;
    EXPECT_EQ(session.finish(*game), 1);
    session.printSummary();
    EXPECT_NE(console.text().find("outcome neither (recorded: won)"), std::string::npos) << console.text();
    EXPECT_NE(console.text().find("stopped early: the window was closed"), std::string::npos)
        << console.text();
}

// A replay that hands over at its end: the recorded frames play with live
// input shut out, then the player's keys, the window's close and the clock
// take over, and the run is not held to the recording's outcome. The quit
// that ended the recording (here the window's close) is where the script
// ends: it is neither played nor recorded again.
TEST_F(DemoSessionTest, AReplayThatHandsOverGivesThePlayerTheKeysAndTheClock) {
    Demo demo;
    demo.settings = {320, 240, 60, 0.1f};
    DemoFrame first;
    first.events = {DemoEvent::keyEvent(GLFW_KEY_W, 25, 1, 0)};
    first.steps = {stepAt(10, 20)};
    DemoFrame second;
    second.events = {DemoEvent::keyEvent(GLFW_KEY_W, 25, 0, 0), DemoEvent::closeEvent(),
                     DemoEvent::keyEvent(GLFW_KEY_A, 30, 1, 0)};
    second.steps = {stepAt(30, 40)};
    demo.frames = {first, second};
    demo.totals.outcome = DemoOutcome::Won;
    demo.totals.steps = 2;
    demo.totals.frames = 2;

    DemoSession session;
    session.setScript(std::make_unique<DemoPlayer>(demo), "probe");
    session.setHandOverAtEnd(true);
    std::string error;
    ASSERT_TRUE(session.startRecording(recordPath, demo.settings, error)) << error;
    start(session);
    EXPECT_FALSE(session.waitsForScreen());
    liveKey(GLFW_KEY_S, GLFW_PRESS);  // still the demo's turn: ignored
    game->frame();
    EXPECT_EQ(probe.log, (std::vector<std::string>{"key 87/1", "step 10,20"}));
    EXPECT_FALSE(session.handedOver());

    // The recorded close: not played. A second passed while the demo played
    // as fast as it could: that time is not owed to the player as a burst
    // of steps, so the clock runs none of the recorded frame's steps.
    probe.log.clear();
    game->previousTime -= 1.0;
    {
        test::ConsoleCapture console;
        game->frame();
        EXPECT_EQ(console.text(), "Demo ended at step 1: live input takes over\n");
    }
    EXPECT_EQ(probe.log, std::vector<std::string>{"key 87/0"});
    EXPECT_TRUE(session.handedOver());
    EXPECT_TRUE(game->running);
    EXPECT_TRUE(session.waitsForScreen());
    std::uint64_t handOverSteps = static_cast<std::uint64_t>(game->stepsThisFrame);
    EXPECT_LT(game->stepsThisFrame, kMaxStepsPerFrame);

    probe.log.clear();
    liveKey(GLFW_KEY_S, GLFW_PRESS);
    game->stepAccumulator = 2.5f * (1.0f / 60.0f);  // the clock owes two steps
    game->previousTime = glfwGetTime();
    game->update();
    ASSERT_EQ(probe.log.size(), 3u);
    EXPECT_EQ(probe.log[0], "key 83/1");
    EXPECT_EQ(probe.log[1].rfind("step ", 0), 0u);
    EXPECT_EQ(game->stepsThisFrame, 2);
    handOverSteps += 2;

    liveClose();  // the player's own close ends the run normally
    EXPECT_FALSE(game->running);
    test::ConsoleCapture console;
    EXPECT_EQ(session.finish(*game), 0);  // neither, where the recording won: live play decided
    session.printSummary();
    EXPECT_EQ(console.text().rfind("Demo replayed, then played live from step 1: ", 0), 0u) << console.text();
    EXPECT_EQ(console.text().find("stopped early"), std::string::npos) << console.text();
    // Every step counts, the replayed and the live ones.
    EXPECT_EQ(session.totals().steps, 1u + handOverSteps);

    // Recorded meanwhile: the replayed keys, not the recording's close; then
    // the live key and the player's own close.
    Demo again;
    ASSERT_TRUE(loadDemo(recordPath, again, error)) << error;
    ASSERT_GE(again.frames.size(), 2u);
    EXPECT_EQ(again.frames[1].events, std::vector<DemoEvent>{DemoEvent::keyEvent(GLFW_KEY_W, 25, 0, 0)});
    EXPECT_EQ(again.frames.back().events.back(), DemoEvent::closeEvent());
    int closes = 0;
    for (const DemoFrame& frame : again.frames) {
        for (const DemoEvent& event : frame.events) closes += event == DemoEvent::closeEvent() ? 1 : 0;
    }
    EXPECT_EQ(closes, 1);
}

// On the game-over screen a replay hovers the buttons the recording hovered
// (the buttons scale with the window, so a cursor offset alone would miss
// them in a window of another size); a step without a recorded set falls
// back to the cursor. Either way the set applied is recorded.
TEST_F(DemoSessionTest, GameOverHoverIsReplayedAsRecorded) {
    Demo demo;
    DemoFrame frame;
    frame.steps = {stepAt(160, 120), stepAt(310, 230), stepAt(310, 230)};
    frame.steps[0].hover = 1;  // over the first button, whatever the cursor says
    frame.steps[2].hover = 0;  // over none, although the cursor is on the second
    demo.frames = {frame};
    demo.totals.steps = 3;
    demo.totals.frames = 1;
    demo.totals.hash = hashOfEmptySteps(3);
    DemoSession session;
    session.setScript(std::make_unique<DemoPlayer>(demo), "probe");
    std::string error;
    ASSERT_TRUE(session.startRecording(recordPath, {320, 240, 60, 0.1f}, error)) << error;
    start(session);
    ProbeState over;
    over.stateId = kStateGameOver;
    game->changeState(&over);
    auto button = [](float x, float y, float size) {
        auto b = std::make_shared<Button>("TEST");
        b->x = x;
        b->y = y;
        b->width = b->height = size;
        return b;
    };
    game->level->buttons = {button(0, 0, 10), button(300, 0, 20)};  // bottom-left, bottom-right
    std::vector<std::vector<int>> states;
    over.onStep = [&] { states.push_back({game->level->buttons[0]->state, game->level->buttons[1]->state}); };
    game->frame();
    over.onStep();
    // Seen at the start of each step and at the end: what each step set.
    EXPECT_EQ(states, (std::vector<std::vector<int>>{{0, 0}, {1, 0}, {0, 1}, {0, 0}}));
    game->running = false;
    EXPECT_EQ(session.finish(*game), 0);

    Demo again;
    ASSERT_TRUE(loadDemo(recordPath, again, error)) << error;
    ASSERT_EQ(again.frames.size(), 1u);
    std::vector<int> recorded;
    for (const DemoStep& step : again.frames[0].steps) recorded.push_back(step.hover);
    EXPECT_EQ(recorded, (std::vector<int>{1, 2, 0}));
}

TEST_F(DemoSessionTest, RecordingLivePlayNotesTheStepEachEventArrivesBefore) {
    DemoSession session;
    std::string error;
    ASSERT_TRUE(session.startRecording(recordPath, {320, 240, 60, 0.1f}, error)) << error;
    start(session);
    EXPECT_TRUE(session.waitsForScreen());

    liveKey(GLFW_KEY_D, GLFW_PRESS);
    glfwSetCursorPos(game->window, 170.0, 100.0);   // the mouse moved right and up
    game->stepAccumulator = 2.5f * (1.0f / 60.0f);  // the clock owes two steps
    game->previousTime = glfwGetTime();
    game->update();
    // The window is made larger; the same move is the same offset from the
    // new centre (200, 150).
    game->applyFramebufferSize(400, 300);
    glfwSetCursorPos(game->window, 210.0, 130.0);
    game->stepAccumulator = 1.5f * (1.0f / 60.0f);
    game->previousTime = glfwGetTime();
    game->update();
    liveKey(GLFW_KEY_D, GLFW_RELEASE);
    liveClose();
    game->stepAccumulator = 0.0f;
    game->previousTime = glfwGetTime();
    game->update();
    EXPECT_FALSE(game->running);
    EXPECT_EQ(session.finish(*game), 0);

    Demo demo;
    ASSERT_TRUE(loadDemo(recordPath, demo, error)) << error;
    ASSERT_EQ(demo.frames.size(), 3u);
    EXPECT_EQ(demo.frames[0].events, std::vector<DemoEvent>{DemoEvent::keyEvent(GLFW_KEY_D, 0, 1, 0)});
    ASSERT_EQ(demo.frames[0].steps.size(), 2u);
    // Mouse look's offsets: the move, then none (the step put the cursor back).
    EXPECT_EQ(demo.frames[0].steps[0].cursorX, 10.0);
    EXPECT_EQ(demo.frames[0].steps[0].cursorY, -20.0);
    EXPECT_EQ(demo.frames[0].steps[1].cursorX, 0.0);
    EXPECT_EQ(demo.frames[0].steps[1].cursorY, 0.0);
    ASSERT_EQ(demo.frames[1].steps.size(), 1u);
    EXPECT_EQ(demo.frames[1].steps[0].cursorX, 10.0);
    EXPECT_EQ(demo.frames[1].steps[0].cursorY, -20.0);
    EXPECT_EQ(demo.frames[2].events,
              (std::vector<DemoEvent>{DemoEvent::keyEvent(GLFW_KEY_D, 0, 0, 0), DemoEvent::closeEvent()}));
    EXPECT_TRUE(demo.frames[2].steps.empty());
    EXPECT_EQ(demo.totals.steps, 3u);
    // The live keys reached the state as well as the file.
    EXPECT_EQ(probe.log.front(), "key 68/1");
}

// Every frame carries the planned steps, all alike, and the planner is told
// how many steps ran before it: 0, then 3, then 6 at three a frame.
TEST_F(DemoSessionTest, AnAutopilotFrameRunsItsStepsWithThePlannedInputAndCountsThem) {
    GameSettings::instance().windowWidth = 321;
    GameSettings::instance().windowHeight = 240;
    std::vector<std::uint64_t> asked;
    auto planner = [&asked](Game&, std::uint64_t step, AutopilotFrame& frame) {
        asked.push_back(step);
        if (asked.size() == 2) {
            frame.cursor = CursorPosition{10.5, 20.0};
            frame.pad = GamepadState{};
            frame.pad->thumbLX = 1234;
            frame.tap(GLFW_KEY_E);
        }
        return asked.size() < 3;
    };
    game = std::make_unique<Game>();  // never started: the planner only reads it
    Autopilot pilot(3, planner);
    DemoFrame frame;
    ASSERT_TRUE(pilot.nextFrame(*game, frame));
    ASSERT_EQ(frame.steps.size(), 3u);
    EXPECT_TRUE(frame.events.empty());
    for (const DemoStep& step : frame.steps) {
        EXPECT_EQ(step.cursorX, 160.0);  // the rest position: the integer centre
        EXPECT_EQ(step.cursorY, 120.0);
        EXPECT_FALSE(step.padConnected);
    }
    ASSERT_TRUE(pilot.nextFrame(*game, frame));
    ASSERT_EQ(frame.steps.size(), 3u);
    EXPECT_EQ(frame.events, (std::vector<DemoEvent>{DemoEvent::keyEvent(GLFW_KEY_E, 0, 1, 0),
                                                    DemoEvent::keyEvent(GLFW_KEY_E, 0, 0, 0)}));
    for (const DemoStep& step : frame.steps) {
        EXPECT_EQ(step.cursorX, 10.5);
        EXPECT_EQ(step.cursorY, 20.0);
        EXPECT_TRUE(step.padConnected);
        EXPECT_EQ(step.pad.thumbLX, 1234);
    }
    EXPECT_FALSE(pilot.nextFrame(*game, frame));
    EXPECT_EQ(asked, (std::vector<std::uint64_t>{0, 3, 6}));
    EXPECT_EQ(pilot.steps(), 6u);

    // Steps a frame are kept between one and what one frame of the loop runs.
    auto always = [](Game&, std::uint64_t, AutopilotFrame&) { return true; };
    Autopilot none(0, always), many(kMaxStepsPerFrame + 4, always);
    ASSERT_TRUE(none.nextFrame(*game, frame));
    EXPECT_EQ(frame.steps.size(), 1u);
    ASSERT_TRUE(many.nextFrame(*game, frame));
    EXPECT_EQ(frame.steps.size(), static_cast<std::size_t>(kMaxStepsPerFrame));
}

// The Restart button is clicked in the middle of a frame's events: the new
// game's start sequence polls again, and the events after the click must
// reach the new game, once each, in their order.
TEST_F(DemoSessionTest, EventsAfterARestartClickReachTheNewGameOnceInOrder) {
    int firstLevel = 0;
    auto planner = [&firstLevel](Game& g, std::uint64_t step, AutopilotFrame& frame) {
        const Button* restart = g.level->restartButton;
        switch (step) {
            case 0:  // the first step ends the game
                firstLevel = g.levelsMade;
                GameSettings::instance().playerCaught = true;
                return true;
            case 1:  // rest on Restart so that the step marks it as hovered
                frame.cursor =
                    CursorPosition{restart->x + restart->width / 2, GameSettings::instance().windowHeight -
                                                                        (restart->y + restart->height / 2)};
                return true;
            case 2:
                frame.cursor =
                    CursorPosition{restart->x + restart->width / 2, GameSettings::instance().windowHeight -
                                                                        (restart->y + restart->height / 2)};
                frame.mouse(GLFW_MOUSE_BUTTON_LEFT, GLFW_PRESS);
                frame.mouse(GLFW_MOUSE_BUTTON_LEFT, GLFW_RELEASE);
                frame.press(GLFW_KEY_W);
                return true;
            default:
                return false;
        }
    };
    DemoSession session;
    session.setScript(std::make_unique<Autopilot>(1, planner), "restart");
    std::string error;
    ASSERT_TRUE(session.startRecording(recordPath, {320, 240, 60, 0.1f}, error)) << error;
    game = std::make_unique<Game>();
    Game::registered = game.get();
    game->demo = &session;
    game->init(320, 240, 60, false);
    game->installCallbacks();
    session.attach(*game);
    Gameoverstate::instance().initialized = false;  // it records its game once
    {
        test::ConsoleCapture quiet;
        game->startSequence();
        game->frame();
        ASSERT_EQ(game->currentState(), &Gameoverstate::instance());
        game->frame();
        ASSERT_EQ(game->level->restartButton->state, 1);
        game->frame();
    }
    ASSERT_EQ(game->levelsMade, firstLevel + 1);  // restarted once
    EXPECT_EQ(game->currentState(), &Playstate::instance());
    EXPECT_EQ(game->level->player.forwardInput, 1.0f);  // W reached the new game
    EXPECT_EQ(session.totals().outcome, DemoOutcome::Caught);
    game->frame();
    EXPECT_FALSE(game->running);
    EXPECT_EQ(session.finish(*game), 0);

    Demo demo;
    ASSERT_TRUE(loadDemo(recordPath, demo, error)) << error;
    ASSERT_GE(demo.frames.size(), 3u);
    EXPECT_EQ(demo.frames[2].events,
              (std::vector<DemoEvent>{DemoEvent::mouseEvent(GLFW_MOUSE_BUTTON_LEFT, GLFW_PRESS, 0),
                                      DemoEvent::mouseEvent(GLFW_MOUSE_BUTTON_LEFT, GLFW_RELEASE, 0),
                                      DemoEvent::keyEvent(GLFW_KEY_W, 0, GLFW_PRESS, 0)}));
    // The autopilot's end is a close, so a replay ends on the same frame.
    EXPECT_EQ(demo.frames.back().events, std::vector<DemoEvent>{DemoEvent::closeEvent()});
    EXPECT_TRUE(demo.frames.back().steps.empty());
    EXPECT_EQ(demo.frames.size(), 4u);
}

}  // namespace
}  // namespace vestrel
