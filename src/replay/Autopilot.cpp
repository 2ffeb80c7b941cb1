#include "replay/Autopilot.h"

#include <algorithm>
#include <utility>

#include "app/GameSettings.h"

namespace vestrel {

Autopilot::Autopilot(int stepsPerFrame, AutopilotPlanner planner)
    : stepsPerFrame_(std::clamp(stepsPerFrame, 1, kMaxStepsPerFrame)), planner_(std::move(planner)) {}

bool Autopilot::nextFrame(Game& game, DemoFrame& frame) {
    AutopilotFrame plan;
    if (!planner_ || !planner_(game, steps_, plan)) return false;
    const GameSettings& settings = GameSettings::instance();
    const CursorPosition rest{static_cast<double>(settings.windowWidth / 2),
                              static_cast<double>(settings.windowHeight / 2)};
    const CursorPosition cursor = plan.cursor.value_or(rest);

    frame = DemoFrame{};
    frame.centreX = rest.x;  // the planner's cursor is a position in this window
    frame.centreY = rest.y;
    frame.events = std::move(plan.events);
    DemoStep step;
    step.cursorX = cursor.x;
    step.cursorY = cursor.y;
    step.padConnected = plan.pad.has_value();
    if (plan.pad) step.pad = *plan.pad;
    frame.steps.assign(static_cast<std::size_t>(stepsPerFrame_), step);
    steps_ += static_cast<std::uint64_t>(stepsPerFrame_);
    return true;
}

}  // namespace vestrel
