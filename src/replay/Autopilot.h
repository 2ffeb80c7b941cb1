#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "replay/DemoFormat.h"
#include "app/GameLoop.h"
#include "replay/InputScript.h"

namespace vestrel {

// What an autopilot decides for one frame of the real game.
struct AutopilotFrame {
    // Delivered in order before the frame's steps, as if the player had
    // pressed them while the loop polled the window system.
    std::vector<DemoEvent> events;
    // The cursor every step of the frame reads; without one, the window's
    // centre (the rest position: no mouse look in play).
    std::optional<CursorPosition> cursor;
    // A connected pad's reading for every step of the frame; none: no pad.
    std::optional<GamepadState> pad;

    void press(int key) { events.push_back(DemoEvent::keyEvent(key, 0, 1, 0)); }
    void release(int key) { events.push_back(DemoEvent::keyEvent(key, 0, 0, 0)); }
    void tap(int key) {
        press(key);
        release(key);
    }
    void mouse(int button, int action) { events.push_back(DemoEvent::mouseEvent(button, action, 0)); }
};

// Decides the next frame from the game as it stands (the player's position,
// the camera, the current state) and the number of steps run so far.
// Returns false to stop: the main loop then ends.
using AutopilotPlanner = std::function<bool(Game& game, std::uint64_t step, AutopilotFrame& frame)>;

// Drives the real game without a person: every frame runs `stepsPerFrame`
// steps with the planner's events, cursor and pad. Route drivers plan with
// one step a frame so that they can steer after every step.
class Autopilot : public InputScript {
public:
    Autopilot(int stepsPerFrame, AutopilotPlanner planner);

    bool nextFrame(Game& game, DemoFrame& frame) override;

    std::uint64_t steps() const { return steps_; }

private:
    int stepsPerFrame_;
    AutopilotPlanner planner_;
    std::uint64_t steps_ = 0;
};

}  // namespace vestrel
