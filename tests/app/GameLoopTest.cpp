#include "app/GameLoop.h"

#include "app/GameState.h"
#include "render/Button.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace vestrel {
namespace {

// Feeds `frames` frames of `frameTime` seconds through the fixed-step clock
// and returns the steps each frame ran.
std::vector<int> stepsPerFrame(float frameTime, int frames, float& accumulator) {
    std::vector<int> steps;
    for (int i = 0; i < frames; ++i) {
        accumulator = addFrameTime(accumulator, frameTime);
        steps.push_back(runFixedSteps(accumulator, [] {}));
    }
    return steps;
}

TEST(FixedSteps, AverageOneStepAt60AndTwoAt30) {
    float accumulator = 0.0f;
    std::vector<int> at60 = stepsPerFrame(1.0f / 60.0f, 600, accumulator);
    int total60 = 0;
    for (int s : at60) total60 += s;
    EXPECT_NEAR(total60, 600, 1);

    accumulator = 0.0f;
    std::vector<int> at30 = stepsPerFrame(1.0f / 30.0f, 300, accumulator);
    int total30 = 0;
    for (int s : at30) total30 += s;
    EXPECT_NEAR(total30, 600, 1);
}

TEST(FixedSteps, LongFrameRunsFiveAndKeepsTheBacklog) {
    float accumulator = addFrameTime(0.0f, 0.2f);
    EXPECT_EQ(accumulator, 0.2f);  // under the bound: kept whole
    int calls = 0;
    EXPECT_EQ(runFixedSteps(accumulator, [&] { ++calls; }), 5);
    EXPECT_EQ(calls, 5);
    EXPECT_NEAR(accumulator, 0.2f - 5.0f / 60.0f, 1e-5f);  // about 0.117 s left

    // The backlog drains over the next frames at five steps a frame.
    accumulator = addFrameTime(accumulator, 1.0f / 60.0f);
    EXPECT_EQ(runFixedSteps(accumulator, [] {}), 5);
    EXPECT_NEAR(accumulator, 0.2f + 1.0f / 60.0f - 10.0f / 60.0f, 1e-4f);
}

// The clock owes at most a quarter of a second, fifteen steps: a longer
// hitch is dropped, not played back as seconds of five-step frames.
TEST(FixedSteps, TheBacklogStopsAtFifteenSteps) {
    EXPECT_FLOAT_EQ(kMaxStepBacklog, 0.25f);
    struct Case {
        float accumulator;
        float frameTime;
        float expected;
    };
    const Case cases[] = {
        {kMaxStepBacklog - kFixedStep, kFixedStep,
         (kMaxStepBacklog - kFixedStep) + kFixedStep},   // at the bound
        {kMaxStepBacklog, kFixedStep, kMaxStepBacklog},  // one step past it
        {kMaxStepBacklog, 1e-6f, kMaxStepBacklog},       // the least bit past it
        {0.0f, 10.0f, kMaxStepBacklog},                  // a ten-second hitch
        {0.0f, 0.25f - 1e-6f, 0.25f - 1e-6f},            // just under it
    };
    for (const Case& c : cases) {
        EXPECT_EQ(addFrameTime(c.accumulator, c.frameTime), c.expected)
            << c.accumulator << " + " << c.frameTime;
    }
    EXPECT_LE((kMaxStepBacklog - kFixedStep) + kFixedStep, kMaxStepBacklog);

    // After the hitch: three frames of five steps, then the clock again.
    float accumulator = addFrameTime(0.0f, 10.0f);
    std::vector<int> steps;
    for (int frame = 0; frame < 4; ++frame) steps.push_back(runFixedSteps(accumulator, [] {}));
    EXPECT_EQ(steps, (std::vector<int>{5, 5, 5, 0}));
}

TEST(FixedSteps, LessThanAStepRunsNothing) {
    float accumulator = kFixedStep * 0.99f;
    EXPECT_EQ(runFixedSteps(accumulator, [] {}), 0);
    EXPECT_FLOAT_EQ(accumulator, kFixedStep * 0.99f);
}

TEST(FrameRate, ComputedOnlyAfterAFullSecond) {
    float timer = 0.99f;
    int frames = 59;
    float fps = 0.0f;
    EXPECT_FALSE(updateFrameRate(timer, frames, fps));
    EXPECT_EQ(fps, 0.0f);
    timer = 1.25f;
    frames = 50;
    EXPECT_TRUE(updateFrameRate(timer, frames, fps));
    EXPECT_FLOAT_EQ(fps, 40.0f);
    EXPECT_EQ(timer, 0.0f);
    EXPECT_EQ(frames, 0);
}

TEST(CursorPlacement, PlayAndLoadingRecentreOnTheIntegerCentre) {
    CursorPosition moved;
    for (int state : {kStatePlay, kStateLoading}) {
        ASSERT_TRUE(placeCursor(state, {10.0, 700.0}, 801, 601, moved));
        EXPECT_EQ(moved.x, 400.0);
        EXPECT_EQ(moved.y, 300.0);
    }
}

TEST(CursorPlacement, GameOverAndPauseKeepTheCursorInsideTheWindow) {
    // The pause screen's menu is worked with a free cursor, as the end screens are.
    for (int state : {kStateGameOver, kStatePause}) {
        CursorPosition moved;
        EXPECT_FALSE(placeCursor(state, {400.0, 300.0}, 800, 600, moved)) << state;
        ASSERT_TRUE(placeCursor(state, {950.0, 300.0}, 800, 600, moved));
        EXPECT_EQ(moved.x, 800.0);
        EXPECT_EQ(moved.y, 300.0);
        ASSERT_TRUE(placeCursor(state, {-3.0, -7.0}, 800, 600, moved));
        EXPECT_EQ(moved.x, 0.0);
        EXPECT_EQ(moved.y, 0.0);
        // Beyond a corner it comes back to the corner in one move.
        ASSERT_TRUE(placeCursor(state, {900.0, 700.0}, 800, 600, moved));
        EXPECT_EQ(moved.x, 800.0);
        EXPECT_EQ(moved.y, 600.0);
    }
}

std::shared_ptr<Button> makeButton(float x, float y, float w, float h, int state) {
    auto b = std::make_shared<Button>("TEST");
    b->x = x;
    b->y = y;
    b->width = w;
    b->height = h;
    b->state = state;
    return b;
}

TEST(ButtonHover, EntersAndLeavesWithStrictEdgesAndYFromTheBottom) {
    // A 100x50 button at (100, 400) from the bottom of a 600-high window:
    // cursor y (from the top) 150..200 is over it.
    auto button = makeButton(100, 400, 100, 50, 0);
    std::vector<std::shared_ptr<Button>> buttons{button};
    updateButtonHover(buttons, 150.0, 175.0, 600);
    EXPECT_EQ(button->state, 1);
    updateButtonHover(buttons, 100.0, 175.0, 600);  // on the left edge: outside
    EXPECT_EQ(button->state, 0);
    updateButtonHover(buttons, 150.0, 150.0, 600);  // on the top edge: outside
    EXPECT_EQ(button->state, 0);
    updateButtonHover(buttons, 199.0, 151.0, 600);
    EXPECT_EQ(button->state, 1);
}

TEST(ButtonHover, PressedButtonKeepsItsStateWhenTheCursorLeaves) {
    auto pressed = makeButton(0, 0, 10, 10, 2);
    std::vector<std::shared_ptr<Button>> buttons{pressed};
    updateButtonHover(buttons, 500.0, 500.0, 600);
    EXPECT_EQ(pressed->state, 2);
    updateButtonHover(buttons, 5.0, 595.0, 600);
    EXPECT_EQ(pressed->state, 2);
}

}  // namespace
}  // namespace vestrel
