// Records a demo by playing the real game without a person: the Game runs in
// its window (Xvfb on a machine without a display) with recording on, and an
// autopilot feeds keys, cursor positions and pad readings through the same
// entry points a player's input takes.
//
//   demo_autopilot walk OUT.dem [STEPS_PER_FRAME]
//   demo_autopilot win OUT.dem
//   demo_autopilot caught OUT.dem
//
// "walk" is a short scripted walk through the living room: it waits for the
// landing, shows the statistics (F2), walks, turns with the mouse, runs,
// jumps, strafes, walks and looks with the pad, and quits with Escape.
//
// "win" plays the whole puzzle (tests/support/PuzzleRoute.h) with W, the
// mouse and E, one step a frame, with the monster walking its round: before
// each stretch through the corridor it stands where the monster cannot reach
// and watches it, and goes only when the walk it is about to make keeps well
// clear of where the monster will be. "caught" opens the door to the
// corridor the same way and walks into the monster's path.
//
// Both stay on the game-over screen for a second and a half and then close
// the window. A run that goes wrong (the player stuck, a place that does not
// answer E, the wrong ending) exits 1 and its file must not be kept.
#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "PuzzleRoute.h"
#include "replay/Autopilot.h"
#include "replay/DemoSession.h"
#include "app/Game.h"
#include "replay/GameRun.h"
#include "app/GameSettings.h"
#include "enemy/Enemy.h"
#include "level/Level.h"
#include "play/Camera.h"
#include "play/Playstate.h"

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

// Plays route steps with a player's inputs, one step a frame, deciding each
// frame from where the player stands and where the monster is.
class RoutePilot {
public:
    static constexpr float kArrive = 0.3f;        // a point counts as reached this close
    static constexpr float kTurnInPlace = 30.0f;  // degrees: turn before walking on
    static constexpr int kStuckSteps = 120;       // two seconds without progress
    static constexpr int kLandingSteps = 90;      // the drop at the start
    static constexpr int kLingerSteps = 90;       // on the game-over screen before closing
    static constexpr float kKeepClear = 6.0f;     // twice the monster's reach
    static constexpr int kMostWaitSteps = 60 * 60;

    RoutePilot(std::vector<test::RouteStep> route, bool watchMonster)
        : route_(std::move(route)), watchMonster_(watchMonster) {}

    // After the route: hold W eastwards into the corridor until x passes
    // this, then stand (the caught run).
    float walkIntoCorridorTo = 0.0f;

    bool failed() const { return !failure_.empty(); }
    const std::string& failure() const { return failure_; }
    int crossings() const { return crossings_; }
    std::uint64_t stepsWaited() const { return stepsWaited_; }
    float closest() const { return closest_; }

    bool plan(Game& game, std::uint64_t step, AutopilotFrame& frame) {
        if (failed()) return false;
        if (game.currentState() != &Playstate::instance()) {
            if (walking_) release(frame);
            return ++lingered_ < kLingerSteps;
        }
        if (step < static_cast<std::uint64_t>(kLandingSteps)) return true;
        Level& level = *game.level;
        if (!level.player.controller || !level.player.controller->controller) return fail("no player");
        const glm::dvec3 p = level.player.controller->controller->getPosition();
        const glm::vec2 at(static_cast<float>(p.x), static_cast<float>(p.z));
        if (level.enemy && level.enemy->controller && level.enemy->controller->controller) {
            const glm::dvec3 m = level.enemy->controller->controller->getPosition();
            closest_ = std::min(
                closest_, glm::length(at - glm::vec2(static_cast<float>(m.x), static_cast<float>(m.z))));
        }

        if (next_ >= route_.size()) {
            if (walkIntoCorridorTo == 0.0f) return fail("the route ended and the game goes on");
            // Face east first (the doorway is where a replay may hand over
            // to a person, who then only needs W), walk in, stand and wait.
            if (at.x < walkIntoCorridorTo) {
                const float turn = std::remainder(0.0f - level.camera->yaw, 360.0f);
                if (walking_ || std::abs(turn) < 0.5f) {
                    steer(level, frame, at, glm::vec2(at.x + 10.0f, at.y), true);
                } else {
                    const int pixels = static_cast<int>(std::lround(turn / level.player.lookSensitivity));
                    frame.cursor = CursorPosition{static_cast<double>(level.camera->centerX + pixels),
                                                  static_cast<double>(level.camera->centerY)};
                }
            } else if (walking_) {
                release(frame);
            }
            if (++standing_ > 60 * 60) return fail("never caught");
            return true;
        }

        const test::RouteStep& todo = route_[next_];
        switch (todo.kind) {
            case test::RouteStep::Kind::Wait:
                if (walking_) release(frame);
                if (++standing_ >= static_cast<int>(std::lround(todo.seconds * 60.0f))) advance();
                return true;
            case test::RouteStep::Kind::Interact:
                if (walking_) {
                    release(frame);
                    return true;
                }
                if (level.player.targetName != todo.target)
                    return fail(std::string("at ") + todo.target + " the player faces \"" +
                                level.player.targetName + "\"");
                frame.tap(GLFW_KEY_E);
                advance();
                return true;
            case test::RouteStep::Kind::Walk:
                break;
        }

        if (glm::length(todo.point - at) <= kArrive) {
            if (walking_) release(frame);
            advance();
            return true;
        }
        if (watchMonster_ && cleared_ != next_ && !test::inCorridor(at) && test::inCorridor(todo.point)) {
            if (!safeToCross(level, at)) {
                if (walking_) release(frame);
                ++stepsWaited_;
                if (++standing_ > kMostWaitSteps) return fail("the monster never left the way clear");
                return true;
            }
            cleared_ = next_;
            ++crossings_;
            standing_ = 0;
        }
        steer(level, frame, at, todo.point, false);
        stuck_ = glm::length(at - last_) < 0.01f ? stuck_ + 1 : 0;
        last_ = at;
        if (stuck_ > kStuckSteps)
            return fail("stuck at (" + std::to_string(at.x) + ", " + std::to_string(at.y) +
                        ") on the way to (" + std::to_string(todo.point.x) + ", " +
                        std::to_string(todo.point.y) + ")");
        return true;
    }

private:
    bool fail(const std::string& why) {
        failure_ = why;
        return false;
    }
    void advance() {
        ++next_;
        standing_ = 0;
        stuck_ = 0;
    }
    void release(AutopilotFrame& frame) {
        frame.release(GLFW_KEY_W);
        walking_ = false;
    }

    // Turns towards `point` with the mouse, walking with W while the turn
    // left is small (or always, when `keepWalking`).
    void steer(Level& level, AutopilotFrame& frame, const glm::vec2& at, const glm::vec2& point,
               bool keepWalking) {
        const Camera& camera = *level.camera;
        const glm::vec2 to = point - at;
        const float wanted = std::atan2(to.y, to.x) * 57.29578f;
        const float turn = std::fmod(wanted - camera.yaw + 540.0f, 360.0f) - 180.0f;
        const bool walkNow = keepWalking || std::abs(turn) < kTurnInPlace;
        if (walkNow != walking_) {
            if (walkNow) {
                frame.press(GLFW_KEY_W);
            } else {
                frame.release(GLFW_KEY_W);
            }
            walking_ = walkNow;
        }
        const int pixels = static_cast<int>(std::lround(turn / level.player.lookSensitivity));
        frame.cursor =
            CursorPosition{static_cast<double>(camera.centerX + pixels), static_cast<double>(camera.centerY)};
    }

    // The stretch through the corridor that starts with the next route
    // step, up to and including the first point out of it, kept clear of
    // the monster as it will walk meanwhile.
    bool safeToCross(Level& level, const glm::vec2& at) const {
        if (!level.enemy || !level.enemy->controller || !level.enemy->controller->controller) return true;
        std::vector<glm::vec2> path;
        for (std::size_t i = next_; i < route_.size() && route_[i].kind == test::RouteStep::Kind::Walk; ++i) {
            path.push_back(route_[i].point);
            if (!test::inCorridor(route_[i].point)) break;
        }
        const glm::dvec3 m = level.enemy->controller->controller->getPosition();
        const glm::vec2 monster(static_cast<float>(m.x), static_cast<float>(m.z));
        return test::closestApproach(*level.enemy, monster, at, path, level.player.walkSpeed) > kKeepClear;
    }

    std::vector<test::RouteStep> route_;
    bool watchMonster_;
    std::size_t next_ = 0;
    std::size_t cleared_ = static_cast<std::size_t>(-1);
    bool walking_ = false;
    int standing_ = 0;
    int stuck_ = 0;
    int lingered_ = 0;
    int crossings_ = 0;
    std::uint64_t stepsWaited_ = 0;
    glm::vec2 last_{1e9f};
    float closest_ = 1e9f;
    std::string failure_;
};

// The route up to the corridor door standing open, then to the doorway.
std::vector<test::RouteStep> toTheCorridorDoor() {
    std::vector<test::RouteStep> route;
    for (const test::RouteStep& step : test::puzzleRoute()) {
        route.push_back(step);
        if (step.kind == test::RouteStep::Kind::Wait) break;
    }
    route.push_back(test::walkTo(3.5f, 0.0f));
    return route;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc >= 3 ? argv[1] : "";
    if (mode != "walk" && mode != "win" && mode != "caught") {
        std::cout << "usage: demo_autopilot walk OUT.dem [STEPS_PER_FRAME]\n"
                     "       demo_autopilot win OUT.dem\n"
                     "       demo_autopilot caught OUT.dem"
                  << std::endl;
        return 2;
    }
    const std::string out = argv[2];
    const int stepsPerFrame = mode != "walk" ? 1 : argc > 3 ? std::atoi(argv[3]) : 2;
    if (stepsPerFrame < 1 || stepsPerFrame > kMaxStepsPerFrame) {
        std::cout << "STEPS_PER_FRAME must be 1 to " << kMaxStepsPerFrame << std::endl;
        return 2;
    }

    GameOptions options;  // the defaults: 800 x 600, 60 Hz, ambient 0.1
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
    std::unique_ptr<RoutePilot> pilot;
    if (mode == "win") pilot = std::make_unique<RoutePilot>(test::carefulPuzzleRoute(), true);
    if (mode == "caught") {
        pilot = std::make_unique<RoutePilot>(toTheCorridorDoor(), false);
        pilot->walkIntoCorridorTo = 8.5f;
    }
    AutopilotPlanner planner = [stepsPerFrame](Game& game, std::uint64_t step, AutopilotFrame& frame) {
        return planWalk(game, step, frame, stepsPerFrame);
    };
    if (pilot) {
        planner = [&pilot](Game& game, std::uint64_t step, AutopilotFrame& frame) {
            return pilot->plan(game, step, frame);
        };
    }
    session->setScript(std::make_unique<Autopilot>(stepsPerFrame, planner), mode);
    if (!session->startRecording(out, recorded, error)) {
        std::cout << "Can't record demo: " << error << std::endl;
        return 1;
    }
    int status = runGame(options, session.get());
    const DemoOutcome outcome = session->totals().outcome;
    session.reset();
    if (pilot) {
        const DemoOutcome wanted = mode == "win" ? DemoOutcome::Won : DemoOutcome::Caught;
        if (pilot->failed()) std::cout << "Autopilot gave up: " << pilot->failure() << std::endl;
        if (outcome != wanted) {
            std::cout << "Autopilot: the run ended " << outcomeName(outcome) << ", not "
                      << outcomeName(wanted) << ": don't keep " << out << std::endl;
            status = 1;
        }
        std::cout << "Autopilot: " << pilot->crossings() << " corridor crossings, " << pilot->stepsWaited()
                  << " steps spent waiting for the monster, closest it came " << pilot->closest()
                  << std::endl;
    }
    return status;
}
