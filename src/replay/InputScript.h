#pragma once

#include "replay/DemoFormat.h"

namespace vestrel {

class Game;

// Input that stands in for the player: a demo being replayed, or an
// autopilot steering the player. The demo session asks it for one frame at
// a time, delivers the frame's events through the same entry points the
// window callbacks use, runs exactly the frame's steps and hands each step
// its cursor position and pad reading.
class InputScript {
public:
    virtual ~InputScript() = default;

    // Fills `frame` with the next frame's input. Returns false when the
    // script has no more: the main loop then ends.
    virtual bool nextFrame(Game& game, DemoFrame& frame) = 0;

    // The recording being replayed, for the verdict at the end; autopilots
    // have none.
    virtual const Demo* recording() const { return nullptr; }
};

// Plays a demo back frame by frame.
class DemoPlayer : public InputScript {
public:
    explicit DemoPlayer(Demo demo) : demo_(std::move(demo)) {}

    bool nextFrame(Game& /*game*/, DemoFrame& frame) override {
        if (next_ >= demo_.frames.size()) return false;
        frame = demo_.frames[next_++];
        return true;
    }
    const Demo* recording() const override { return &demo_; }

    // Frames not played yet: non-zero at the end means the game stopped
    // before the recording did.
    std::size_t framesLeft() const { return demo_.frames.size() - next_; }

private:
    Demo demo_;
    std::size_t next_ = 0;
};

}  // namespace vestrel
