// Long play under random input, as fast as the machine goes: the real Game
// in its window, driven by an autopilot that presses and releases the
// movement keys, jumps, runs, interacts, toggles the function keys and the
// flashlight, looks around with the mouse and now and then holds a pad.
// Along the way the game is ended a given number of times (the soak's
// stand-in for the monster: it sets the caught flag) and restarted through
// the game-over screen's Restart button, by cursor and click like a player.
//
//   soak [--minutes M] [--restarts R] [--seed S] [--steps-per-frame N]
//        [--width W] [--height H]
//
// Prints the steps, frames, restarts, GL errors and resident memory at the
// 5th minute of game time (or at a third of a shorter run) and at the end.
// Exit status 0 when no GL error was seen, every restart happened and, for
// runs of at least 10 minutes, resident memory grew less than 5 % between
// the measuring point and the end.
#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <random>
#include <string>

#include "replay/Autopilot.h"
#include "replay/DemoSession.h"
#include "app/Game.h"
#include "app/GameLoop.h"
#include "app/GameSettings.h"
#include "app/GameState.h"
#include "level/Level.h"
#include "render/Button.h"

namespace {

using namespace vestrel;

struct SoakOptions {
    double minutes = 30.0;
    int restarts = 20;
    unsigned seed = 1;
    int stepsPerFrame = 5;
    int width = 400;
    int height = 300;
};

std::uint64_t residentBytes() {
    std::ifstream statm("/proc/self/statm");
    std::uint64_t size = 0;
    std::uint64_t resident = 0;
    statm >> size >> resident;
    return resident * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
}

// Random input, with held keys released at random later, plus the restart
// schedule. Never Escape nor the pad's Back: those end the run.
class RandomPlayer {
public:
    RandomPlayer(const SoakOptions& options, std::uint64_t totalSteps)
        : options_(options), totalSteps_(totalSteps), random_(options.seed) {}

    int restartsDone() const { return restartsDone_; }

    bool plan(Game& game, std::uint64_t step, AutopilotFrame& frame) {
        if (step >= totalSteps_) return false;
        GameSettings& settings = GameSettings::instance();
        const GameState* state = game.currentState();
        if (state != nullptr && state->stateId == kStateGameOver) {
            clickRestart(game, frame);
            return true;
        }
        const std::uint64_t nextRestart = totalSteps_ * static_cast<std::uint64_t>(restartsDone_ + 1) /
                                          static_cast<std::uint64_t>(options_.restarts + 1);
        if (restartsDone_ < options_.restarts && step >= nextRestart && !settings.playerCaught) {
            settings.playerCaught = true;  // the next step shows the game-over screen
            clickPhase_ = 0;
            return true;
        }
        playRandomly(frame);
        return true;
    }

private:
    bool chance(double p) { return std::uniform_real_distribution<double>(0.0, 1.0)(random_) < p; }
    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

    void toggleHeld(AutopilotFrame& frame, int key, bool& held, double pressChance, double releaseChance) {
        if (!held && chance(pressChance)) {
            frame.press(key);
            held = true;
        } else if (held && chance(releaseChance)) {
            frame.release(key);
            held = false;
        }
    }

    void playRandomly(AutopilotFrame& frame) {
        static constexpr int kMoveKeys[] = {GLFW_KEY_W, GLFW_KEY_A,          GLFW_KEY_S,
                                            GLFW_KEY_D, GLFW_KEY_LEFT_SHIFT, GLFW_KEY_SPACE};
        for (int i = 0; i < 6; ++i) toggleHeld(frame, kMoveKeys[i], held_[i], 0.08, 0.05);
        if (chance(0.02)) frame.tap(GLFW_KEY_E);
        if (chance(0.004)) frame.tap(pick(GLFW_KEY_F2, GLFW_KEY_F9));
        if (chance(0.01)) {
            const int button = pick(GLFW_MOUSE_BUTTON_LEFT, GLFW_MOUSE_BUTTON_RIGHT);
            frame.mouse(button, GLFW_PRESS);
            frame.mouse(button, GLFW_RELEASE);
        }
        const GameSettings& settings = GameSettings::instance();
        frame.cursor = CursorPosition{static_cast<double>(settings.windowWidth / 2 + pick(-12, 12)),
                                      static_cast<double>(settings.windowHeight / 2 + pick(-6, 6))};
        if (padLeft_ == 0 && chance(0.002)) padLeft_ = pick(30, 300);
        if (padLeft_ > 0) {
            --padLeft_;
            GamepadState pad;
            // Any buttons but Back.
            pad.buttons =
                static_cast<std::uint16_t>(pick(0, 0xFFFF) & ~kPadBack & (chance(0.1) ? 0xFFFF : 0));
            pad.rightTrigger = static_cast<std::uint8_t>(pick(0, 255));
            pad.thumbLX = static_cast<std::int16_t>(pick(-32768, 32767));
            pad.thumbLY = static_cast<std::int16_t>(pick(-32768, 32767));
            pad.thumbRX = static_cast<std::int16_t>(pick(-8000, 8000));
            pad.thumbRY = static_cast<std::int16_t>(pick(-8000, 8000));
            frame.pad = pad;
        }
    }

    // Over the Restart button, press, release: three frames, as a player's
    // hand would do it. The hover test runs in the steps, so the cursor
    // rests on the button for a frame before the press.
    void clickRestart(Game& game, AutopilotFrame& frame) {
        const Button* restart = game.level ? game.level->restartButton : nullptr;
        if (restart == nullptr) return;
        const double x = restart->x + restart->width / 2;
        const double y = GameSettings::instance().windowHeight - (restart->y + restart->height / 2);
        frame.cursor = CursorPosition{x, y};
        if (clickPhase_ == 1) frame.mouse(GLFW_MOUSE_BUTTON_LEFT, GLFW_PRESS);
        if (clickPhase_ == 2) {
            // Keys held into the game-over screen stay held in the new game
            // unless released; a player lets go of them.
            for (bool& held : held_) held = false;
            frame.mouse(GLFW_MOUSE_BUTTON_LEFT, GLFW_RELEASE);
            ++restartsDone_;
        }
        ++clickPhase_;
    }

    SoakOptions options_;
    std::uint64_t totalSteps_;
    std::mt19937 random_;
    bool held_[6] = {};
    int padLeft_ = 0;
    int clickPhase_ = 0;
    int restartsDone_ = 0;
};

bool parseOptions(int argc, char** argv, SoakOptions& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const char* value = argv[i + 1];
        if (name == "--minutes") {
            options.minutes = std::atof(value);
        } else if (name == "--restarts") {
            options.restarts = std::atoi(value);
        } else if (name == "--seed") {
            options.seed = static_cast<unsigned>(std::strtoul(value, nullptr, 10));
        } else if (name == "--steps-per-frame") {
            options.stepsPerFrame = std::atoi(value);
        } else if (name == "--width") {
            options.width = std::atoi(value);
        } else if (name == "--height") {
            options.height = std::atoi(value);
        } else {
            return false;
        }
    }
    return argc % 2 == 1 && options.minutes > 0.0 && options.restarts >= 0 && options.stepsPerFrame >= 1 &&
           options.stepsPerFrame <= kMaxStepsPerFrame && options.width > 0 && options.height > 0;
}

}  // namespace

int main(int argc, char** argv) {
    SoakOptions options;
    if (!parseOptions(argc, argv, options)) {
        std::cout
            << "usage: soak [--minutes M] [--restarts R] [--seed S] [--steps-per-frame 1-5] [--width W] "
               "[--height H]"
            << std::endl;
        return 2;
    }
    const std::uint64_t totalSteps = static_cast<std::uint64_t>(options.minutes * 60.0 * 60.0);
    const std::uint64_t measureAt = std::min<std::uint64_t>(5 * 60 * 60, totalSteps / 3);

    GameSettings::instance().ambientLight = glm::vec3(0.3f);
    RandomPlayer player(options, totalSteps);
    DemoSession session;
    session.setScript(
        std::make_unique<Autopilot>(options.stepsPerFrame,
                                    [&player](Game& game, std::uint64_t step, AutopilotFrame& frame) {
                                        return player.plan(game, step, frame);
                                    }),
        "soak");

    auto game = std::make_unique<Game>();
    Game::registered = game.get();
    game->demo = &session;
    game->init(options.width, options.height, 60, false);
    game->installCallbacks();
    session.attach(*game);
    game->startSequence();

    std::uint64_t glErrors = 0;
    std::uint64_t residentAtMeasure = 0;
    const double started = glfwGetTime();
    while (game->running) {
        game->frame();
        for (GLenum error = glGetError(); error != GL_NO_ERROR; error = glGetError()) {
            if (glErrors++ < 10) std::cout << "GL error 0x" << std::hex << error << std::dec << std::endl;
        }
        if (residentAtMeasure == 0 && session.totals().steps >= measureAt)
            residentAtMeasure = residentBytes();
    }
    const std::uint64_t residentAtEnd = residentBytes();
    const double seconds = glfwGetTime() - started;
    session.finish(*game);
    game.reset();
    session.detach();
    session.printSummary();

    const double growth =
        residentAtMeasure > 0
            ? (static_cast<double>(residentAtEnd) / static_cast<double>(residentAtMeasure) - 1.0)
            : 0.0;
    const bool judgeMemory = options.minutes >= 10.0;
    std::cout << "Soak: " << session.totals().steps << " steps (" << session.totals().steps / 3600.0
              << " min of game time) in " << seconds << " s, " << session.totals().frames << " frames, "
              << player.restartsDone() << " restarts, " << glErrors << " GL errors; resident memory "
              << residentAtMeasure / (1024 * 1024) << " MiB at step " << measureAt << ", "
              << residentAtEnd / (1024 * 1024) << " MiB at the end (" << growth * 100.0 << " %"
              << (judgeMemory ? "" : ", not judged for a run this short") << ")" << std::endl;
    const bool passed =
        glErrors == 0 && player.restartsDone() == options.restarts && (!judgeMemory || growth < 0.05);
    std::cout << (passed ? "Soak passed" : "Soak FAILED") << std::endl;
    return passed ? 0 : 1;
}
