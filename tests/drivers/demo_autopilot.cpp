// Records a demo by playing the real game without a person: the Game runs in
// its window (Xvfb on a machine without a display) with recording on, and an
// autopilot feeds keys, cursor positions and pad readings through the same
// entry points a player's input takes.
//
//   demo_autopilot walk OUT.dem [STEPS_PER_FRAME]
//
// "walk" is a short scripted walk through the living room: it waits for the
// landing, shows the statistics (F2), walks, turns with the mouse, runs,
// jumps, strafes, walks and looks with the pad, and quits with Escape. Route
// drivers for longer demos plug in the same way: an AutopilotPlanner that
// steers from the player's position every step.
#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

#include "app/Autopilot.h"
#include "app/DemoSession.h"
#include "app/Game.h"
#include "app/GameRun.h"
#include "app/GameSettings.h"

namespace {

using namespace vestrel;

// The walk, as a table of steps at which something changes. Times are in
// steps of 1/60 s; a key pressed at one entry stays held until released at
// a later one.
bool planWalk(Game& /*game*/, std::uint64_t step, AutopilotFrame& frame, int stepsPerFrame) {
    const GameSettings& settings = GameSettings::instance();
    const double centreX = settings.windowWidth / 2;
    const double centreY = settings.windowHeight / 2;
    // Fires once for the frame whose steps contain `at`.
    auto at = [&](std::uint64_t when) {
        return when >= step && when < step + static_cast<std::uint64_t>(stepsPerFrame);
    };
    auto during = [&](std::uint64_t from, std::uint64_t to) { return step >= from && step < to; };

    if (at(30)) frame.tap(GLFW_KEY_F2);
    if (at(60)) frame.press(GLFW_KEY_W);
    if (during(150, 180)) frame.cursor = CursorPosition{centreX + 30.0, centreY};  // 3 degrees right a step
    if (at(200)) frame.press(GLFW_KEY_LEFT_SHIFT);
    if (at(240)) frame.press(GLFW_KEY_SPACE);
    if (at(255)) frame.release(GLFW_KEY_SPACE);
    if (at(270)) frame.release(GLFW_KEY_LEFT_SHIFT);
    if (at(280)) frame.press(GLFW_KEY_D);
    if (at(330)) frame.release(GLFW_KEY_D);
    if (at(340)) frame.release(GLFW_KEY_W);
    if (during(350, 380)) frame.cursor = CursorPosition{centreX - 20.0, centreY + 10.0};
    if (during(400, 460)) {
        // A pad: left stick pushed forward, right stick a little to the right.
        GamepadState pad;
        pad.thumbLY = 32767;
        pad.thumbRX = 16000;
        frame.pad = pad;
    }
    if (at(470)) frame.mouse(GLFW_MOUSE_BUTTON_RIGHT, GLFW_PRESS);
    if (at(471)) frame.mouse(GLFW_MOUSE_BUTTON_RIGHT, GLFW_RELEASE);
    if (at(500)) frame.tap(GLFW_KEY_ESCAPE);
    return step < 600;  // Escape has ended the run long before
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || std::string(argv[1]) != "walk") {
        std::cout << "usage: demo_autopilot walk OUT.dem [STEPS_PER_FRAME]" << std::endl;
        return 2;
    }
    const std::string out = argv[2];
    const int stepsPerFrame = argc > 3 ? std::atoi(argv[3]) : 2;
    if (stepsPerFrame < 1 || stepsPerFrame > kMaxStepsPerFrame) {
        std::cout << "STEPS_PER_FRAME must be 1 to " << kMaxStepsPerFrame << std::endl;
        return 2;
    }

    GameOptions options;
    options.ambient = 0.3f;
    GameSettings::instance().ambientLight = glm::vec3(options.ambient);
    DemoSettings recorded{options.width, options.height, options.refreshRate, options.ambient};

    // Screenshots and the position trace follow the usual variables.
    std::unique_ptr<DemoSession> session;
    std::string error;
    DemoSettings ignored = recorded;
    if (!DemoSession::fromEnvironment([](const char* name) { return std::getenv(name); }, ignored, session,
                                      error)) {
        std::cout << error << std::endl;
        return 1;
    }
    if (!session) session = std::make_unique<DemoSession>();
    if (session->scripted() || session->recording()) {
        std::cout << "demo_autopilot records on its own: unset VESTREL_REPLAY and VESTREL_RECORD"
                  << std::endl;
        return 1;
    }
    session->setScript(
        std::make_unique<Autopilot>(stepsPerFrame,
                                    [stepsPerFrame](Game& game, std::uint64_t step, AutopilotFrame& frame) {
                                        return planWalk(game, step, frame, stepsPerFrame);
                                    }),
        "walk");
    if (!session->startRecording(out, recorded, error)) {
        std::cout << "Can't record demo: " << error << std::endl;
        return 1;
    }
    const int status = runGame(options, session.get());
    session.reset();
    return status;
}
