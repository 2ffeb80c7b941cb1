#pragma once

// The arithmetic of the main loop, kept free of GLFW so tests reach it
// directly: fixed steps, the frame-rate counter, cursor placement and the
// hover state of the game-over buttons.

#include <memory>
#include <vector>

namespace vestrel {

class Button;

// Length of one simulation step, in seconds, and how many a frame may run.
inline constexpr float kFixedStep = 1.0f / 60.0f;
inline constexpr int kMaxStepsPerFrame = 5;
// Fixed steps in one second of simulation: the unit of every duration the
// game counts in steps (a door's move, a run).
inline constexpr int kFixedStepsPerSecond = 60;
static_assert(kFixedStep * kFixedStepsPerSecond == 1.0f, "steps per second must match the step length");

// The most frame time the clock keeps owing: fifteen steps, a quarter of a
// second. A longer hitch (a slow disk, a debugger, the window being dragged)
// is dropped instead of being played back as seconds of five-step frames.
inline constexpr float kMaxStepBacklog = 15 * kFixedStep;

// Adds one frame's time to the step accumulator, holding it to
// kMaxStepBacklog. At any frame rate above four frames a second the bound is
// never reached, so normal play is unchanged.
float addFrameTime(float accumulator, float frameTime);

// Runs step() while a whole step is due and fewer than kMaxStepsPerFrame have
// run, subtracting each from the accumulator. A long frame leaves the rest of
// its backlog (bounded by addFrameTime) for the following frames.
// Returns the number of steps run.
template <typename Step>
int runFixedSteps(float& accumulator, Step&& step) {
    int steps = 0;
    while (accumulator >= kFixedStep && steps < kMaxStepsPerFrame) {
        step();
        accumulator -= kFixedStep;
        ++steps;
    }
    return steps;
}

// Once a full second has been summed, computes fps = frames / time, resets
// the counters and returns true.
bool updateFrameRate(float& fpsTimer, int& frameCount, float& fps);

// True when the window title must be set to show `fps`: the first time, and
// whenever the value differs from the one shown; records it as shown.
bool titleNeedsUpdate(float fps, float& shownFps, bool& shown);

struct CursorPosition {
    double x = 0.0;
    double y = 0.0;
};

// Where the cursor goes after a step. Play and loading re-centre it (integer
// centre of the window) for mouse look; the game-over screen keeps it inside
// the window. Returns false when the cursor can stay where it is.
bool placeCursor(int stateId, CursorPosition cursor, int width, int height, CursorPosition& moved);

// Moves each game-over button between normal (0) and mouse over (1) as the
// cursor enters and leaves it; pressed buttons (2) keep their state. The
// cursor's y counts from the top, the buttons' from the bottom edge.
void updateButtonHover(const std::vector<std::shared_ptr<Button>>& buttons, double cursorX, double cursorY,
                       int windowHeight);

// The same in two halves, for a replay that hands the hover over as
// recorded: which buttons the cursor is over (bit k for the k-th button; at
// most kMaxHoverButtons), then the state changes for such a set.
inline constexpr int kMaxHoverButtons = 8;
int buttonsUnderCursor(const std::vector<std::shared_ptr<Button>>& buttons, double cursorX, double cursorY,
                       int windowHeight);
void applyButtonHover(const std::vector<std::shared_ptr<Button>>& buttons, int over);

}  // namespace vestrel
