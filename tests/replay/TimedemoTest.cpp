// The timedemo's arithmetic (percentiles, per-step and per-frame sums, the
// start date, the CSV) and its hooks inside a real Game loop under Xvfb.
#include "replay/Timedemo.h"

#include "ConsoleCapture.h"
#include "ScratchFolder.h"
#include "app/Game.h"
#include "app/GameLoop.h"
#include "app/GameSettings.h"
#include "app/GameState.h"
#include "render/TextureCache.h"
#include "replay/DemoFormat.h"
#include "replay/DemoSession.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace vestrel {
namespace {

using std::chrono::microseconds;

TEST(TimedemoStatistics, PercentilesAreNearestRankOfTheSortedSamples) {
    std::vector<double> hundred;
    for (int i = 100; i >= 1; --i) hundred.push_back(i);  // unsorted on purpose
    const Distribution d = distributionOf(hundred);
    EXPECT_EQ(d.count, 100u);
    EXPECT_DOUBLE_EQ(d.median, 50.0);
    EXPECT_DOUBLE_EQ(d.p95, 95.0);
    EXPECT_DOUBLE_EQ(d.p99, 99.0);
    EXPECT_DOUBLE_EQ(d.max, 100.0);

    // Ten samples: the 95th and 99th percentile are the largest one, the
    // median the fifth.
    const Distribution ten = distributionOf({3, 1, 4, 1, 5, 9, 2, 6, 5, 3});
    EXPECT_DOUBLE_EQ(ten.median, 3.0);
    EXPECT_DOUBLE_EQ(ten.p95, 9.0);
    EXPECT_DOUBLE_EQ(ten.p99, 9.0);

    const Distribution one = distributionOf({7.5});
    EXPECT_DOUBLE_EQ(one.median, 7.5);
    EXPECT_DOUBLE_EQ(one.p99, 7.5);
    const Distribution none = distributionOf({});
    EXPECT_EQ(none.count, 0u);
    EXPECT_DOUBLE_EQ(none.max, 0.0);
}

TEST(TimedemoStatistics, StepsSumIntoTheirFrameAndTheReportAndCsvAgree) {
    Timedemo timedemo(8, 8);
    timedemo.addPhase(StepPhase::Physics, microseconds(999));  // outside a step: not counted
    timedemo.beginStep();
    timedemo.addPhase(StepPhase::Physics, microseconds(100));
    timedemo.addPhase(StepPhase::Player, microseconds(50));
    timedemo.addPhase(StepPhase::Player, microseconds(25));  // a phase timed twice in one step adds up
    timedemo.endStep();
    timedemo.beginStep();
    timedemo.addPhase(StepPhase::Audio, microseconds(300));
    timedemo.endStep();
    timedemo.frameVisibility(30, 40, 12, 3, 0.25);
    timedemo.frameDone(12.0, 2);
    timedemo.frameVisibility(20, 50, 4, 0, 0.75);
    timedemo.frameDone(20.0, 0);  // a frame with no step carries no step time

    ASSERT_EQ(timedemo.steps().size(), 2u);
    EXPECT_NEAR(timedemo.steps()[0].totalMs(), 0.175, 1e-6);
    EXPECT_NEAR(timedemo.steps()[1].phaseMs[static_cast<int>(StepPhase::Audio)], 0.3, 1e-6);
    ASSERT_EQ(timedemo.frames().size(), 2u);
    const TimedemoFrame& first = timedemo.frames()[0];
    EXPECT_NEAR(first.phaseMs[static_cast<int>(StepPhase::Physics)], 0.1, 1e-6);
    EXPECT_NEAR(first.phaseMs[static_cast<int>(StepPhase::Player)], 0.075, 1e-6);
    EXPECT_NEAR(first.phaseMs[static_cast<int>(StepPhase::Audio)], 0.3, 1e-6);
    EXPECT_EQ(first.steps, 2);
    EXPECT_DOUBLE_EQ(timedemo.frames()[1].phaseMs[0], 0.0);

    // Only the first level load is the start's; the date of the first play
    // frame is the process's age at the start plus the time since.
    timedemo.levelLoaded(80.0);
    timedemo.levelLoaded(500.0);
    EXPECT_DOUBLE_EQ(timedemo.levelLoadMs(), 80.0);
    const Timedemo::Clock::time_point start = Timedemo::Clock::now();
    timedemo.setStartOffset(0.25, start);
    timedemo.firstPlayFrameShown(start + std::chrono::milliseconds(500));
    timedemo.firstPlayFrameShown(start + std::chrono::milliseconds(900));
    EXPECT_NEAR(timedemo.startToFirstFrameMs(), 750.0, 1e-6);

    std::ostringstream report;
    timedemo.printReport(report);
    const std::string text = report.str();
    EXPECT_NE(text.find("Timedemo: start to first play frame 750.00 ms, level load 80.00 ms"),
              std::string::npos)
        << text;
    EXPECT_NE(
        text.find("Timedemo: 2 frames, frame time median 12.00 ms, p95 20.00 ms, p99 20.00 ms, max 20.00 ms"),
        std::string::npos)
        << text;
    // No floor measured: no ratio invented.
    EXPECT_NE(text.find("game median = n/a"), std::string::npos) << text;
    // What the visibility stage decided, as means per frame; its CPU time
    // by nearest rank (the median of two frames is the first).
    EXPECT_NE(
        text.find("Timedemo: occlusion culling ON; level objects per frame drawn 25.0, frustum culled 45.0, "
                  "occlusion culled 8.0; other passes' objects occlusion culled 1.5 (means); max drawn 30.0; "
                  "visibility median 0.250 ms, p99 0.750 ms"),
        std::string::npos)
        << text;
    // Only a counting run reports fragments.
    EXPECT_EQ(text.find("counting run"), std::string::npos) << text;
    timedemo.setCountingRun(true);
    FragmentCounts counts;
    counts.frames = 2;
    counts.sceneFragmentsPerPixel = 1.2345;
    counts.sceneSamplesPerPixel = 1.0125;
    counts.sceneCoveredPerPixel = 1.1875;
    counts.otherFragmentsPerPixel = 0.25;
    counts.fragmentsCounted = true;
    for (int i = 0; i < kFramePassCount; ++i) counts.passMilliseconds[i] = 0.5 * i;
    counts.passMilliseconds[1] = 9.876;
    timedemo.setFragmentCounts(counts);
    std::ostringstream counted;
    timedemo.printReport(counted);
    EXPECT_NE(
        counted.str().find("2 frames, fragments rasterised per pixel 1.234 (level tree), 0.250 (other "
                           "passes), samples written per pixel 1.012 (level tree)\nTimedemo: counting "
                           "run, level tree pixels covered per pixel 1.188 (by its triangles, hidden or "
                           "not)\n"),
        std::string::npos)
        << counted.str();
    // Every pass by name, in the frame's order.
    EXPECT_NE(
        counted.str().find("mean ms): clear and visibility 0.00, level tree 9.88, glow 1.00, hidden writing "
                           "1.50, glass 2.00, monster 2.50, vignette 3.00, icons and text 3.50\n"),
        std::string::npos)
        << counted.str();

    const std::string csv = test::scratchFolder() + "vestrel_timedemo_test.csv";
    ASSERT_TRUE(timedemo.writeCsv(csv));
    std::ifstream in(csv);
    std::string header;
    std::string row0;
    std::string row1;
    std::getline(in, header);
    std::getline(in, row0);
    std::getline(in, row1);
    EXPECT_EQ(
        header,
        "frame,frame_ms,steps,step_ms,physics_ms,player_ms,monster_ms,level_ms,audio_ms,drawn,frustum_culled,"
        "occluded,pass_occluded,visibility_ms");
    EXPECT_EQ(row0, "0,12.0000,2,0.4750,0.1000,0.0750,0.0000,0.0000,0.3000,30,40,12,3,0.2500");
    EXPECT_EQ(row1, "1,20.0000,0,0.0000,0.0000,0.0000,0.0000,0.0000,0.0000,20,50,4,0,0.7500");
    std::remove(csv.c_str());
    EXPECT_FALSE(timedemo.writeCsv("/nonexistent-folder/x.csv"));
}

TEST(TimedemoOptions, WindowSizeAndTitleUpdates) {
    int width = 0;
    int height = 0;
    EXPECT_TRUE(parseWindowSize("1280x720", width, height));
    EXPECT_EQ(width, 1280);
    EXPECT_EQ(height, 720);
    EXPECT_TRUE(parseWindowSize("1x1", width, height));
    EXPECT_TRUE(parseWindowSize("16384x16384", width, height));
    EXPECT_EQ(width, 16384);
    for (const char* bad : {"", "1280", "1280x", "x720", "0x720", "1280x0", "-5x7", "12 80x720", "1280x720x3",
                            "999999x10", "16385x10", "10x16385", "99999x10"}) {
        width = height = 42;
        EXPECT_FALSE(parseWindowSize(bad, width, height)) << bad;
        EXPECT_EQ(width, 42) << bad;
    }

    // The title is set the first time and then only when the rate changes.
    float shown = 0.0f;
    bool titled = false;
    EXPECT_TRUE(titleNeedsUpdate(0.0f, shown, titled));
    EXPECT_FALSE(titleNeedsUpdate(0.0f, shown, titled));
    EXPECT_TRUE(titleNeedsUpdate(59.5f, shown, titled));
    EXPECT_FALSE(titleNeedsUpdate(59.5f, shown, titled));
    EXPECT_EQ(shown, 59.5f);
}

// A play state whose every step spends a known time in the monster phase
// and logs the cursor the loop read.
class TimedState : public GameState {
public:
    TimedState() { stateId = kStatePlay; }
    void init(Game* /*g*/) override { initialized = true; }
    void cleanup() override {}
    void pause() override {}
    void resume() override {}
    void handleEvents(Game* g) override { pollEvents(g); }
    void update(Game* g, float /*dt*/) override {
        cursors.push_back(std::to_string(static_cast<int>(g->cursorX)) + "," +
                          std::to_string(static_cast<int>(g->cursorY)));
        const PhaseTimer timer(StepPhase::Monster);
        const auto until = Timedemo::Clock::now() + microseconds(300);
        while (Timedemo::Clock::now() < until) {
        }
    }
    void draw(Game* /*g*/) override {}
    void changeState(Game* g, GameState* state) override { forwardChangeState(g, state); }
    void onKey(int, int, int, int, Game*) override {}
    void onMouseButton(int, int, int) override {}

    std::vector<std::string> cursors;
};

TEST(TimedemoInTheLoop, StepsOfAReplayAreTimedAndTheCursorKeepsItsOffsetFromTheCentre) {
    GameSettings::instance() = GameSettings{};
    Demo demo;
    demo.settings = {320, 240, 60, 0.1f};
    DemoFrame frame;
    frame.steps.resize(3);
    frame.centreX = 160;  // positions in the recorded window, as a version 1 file has them
    frame.centreY = 120;
    frame.steps[0].cursorX = 160;  // the recorded window's centre
    frame.steps[0].cursorY = 120;
    frame.steps[1].cursorX = 170;
    frame.steps[1].cursorY = 100;
    frame.steps[2].cursorX = 0;
    frame.steps[2].cursorY = 0;
    demo.frames = {frame};

    DemoSession session;
    session.setScript(std::make_unique<DemoPlayer>(demo), "probe");
    // Played in a 400 x 300 window: the centre moves by (40, 30).
    TimedState state;
    auto game = std::make_unique<Game>();
    Game::registered = game.get();
    game->demo = &session;
    game->init(400, 300, 60, false);
    session.attach(*game);
    game->changeState(&state);

    {
        // With no timedemo the step is not timed at all.
        Timedemo idle(4, 4);
        game->frame();
        EXPECT_TRUE(idle.steps().empty());
    }
    EXPECT_EQ(state.cursors, (std::vector<std::string>{"200,150", "210,130", "40,30"}));

    // A frame's steps are recorded one by one, with the monster phase's time.
    DemoSession second;
    second.setScript(std::make_unique<DemoPlayer>(demo), "probe");
    game->demo = &second;
    Timedemo timedemo(4, 4);
    timedemo.activate();
    game->frame();
    ASSERT_EQ(timedemo.steps().size(), 3u);
    for (const TimedemoStep& step : timedemo.steps()) {
        EXPECT_GE(step.phaseMs[static_cast<int>(StepPhase::Monster)], 0.3f);
        EXPECT_EQ(step.phaseMs[static_cast<int>(StepPhase::Physics)], 0.0f);
    }

    session.detach();
    second.detach();
    TextureCache::instance().textures.clear();
    test::ConsoleCapture quiet;
    game.reset();
}

}  // namespace
}  // namespace vestrel
