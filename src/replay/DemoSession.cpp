#include "replay/DemoSession.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <system_error>

#include "app/Game.h"
#include "app/GameSettings.h"
#include "enemy/Enemy.h"
#include "level/Item.h"
#include "level/Level.h"
#include "physics/ControllerRecord.h"
#include "play/Playstate.h"

namespace vestrel {

namespace {

const char* nonEmpty(const DemoSession::Environment& environment, const char* name) {
    const char* value = environment ? environment(name) : nullptr;
    return value != nullptr && value[0] != '\0' ? value : nullptr;
}

std::string hexText(std::uint64_t value) {
    std::ostringstream text;
    text << std::hex << std::setw(16) << std::setfill('0') << value;
    return text.str();
}

glm::dvec3 controllerPosition(const ControllerRecord* record) {
    return record != nullptr && record->controller ? record->controller->getPosition() : glm::dvec3(0.0);
}

bool folderWritable(const std::string& folder, std::string& why) {
    const std::filesystem::path probe =
        std::filesystem::path(folder) / (".vestrel_write_test_" + std::to_string(::getpid()));
    std::FILE* file = std::fopen(probe.c_str(), "wb");
    if (file == nullptr) {
        why = std::strerror(errno);
        return false;
    }
    std::fclose(file);
    std::remove(probe.c_str());
    return true;
}

// The window's centre, as the loop re-centres the cursor on it.
void windowCentre(double& x, double& y) {
    const GameSettings& settings = GameSettings::instance();
    x = static_cast<double>(settings.windowWidth / 2);
    y = static_cast<double>(settings.windowHeight / 2);
}

// Whole pixels from the centre, as mouse look takes them (it truncates the
// cursor toward zero), held to what a demo can store.
int offsetFromCentre(double cursor, double centre) {
    constexpr double kLimit = 1000000.0;
    const double whole = std::trunc(std::clamp(cursor, -kLimit, kLimit)) - centre;
    return static_cast<int>(std::clamp(whole, -kLimit, kLimit));
}

std::uint64_t usedItems(const Level& level) {
    std::uint64_t used = 0;
    for (const auto& entry : level.items) {
        if (entry.second && entry.second->used) ++used;
    }
    return used;
}

}  // namespace

DemoSession::DemoSession() { totals_.hash = kFnvOffset; }

DemoSession::~DemoSession() { detach(); }

bool DemoSession::fromEnvironment(const Environment& environment, DemoSettings& settings,
                                  std::unique_ptr<DemoSession>& session, std::string& error) {
    session.reset();
    const char* replay = nonEmpty(environment, "VESTREL_REPLAY");
    const char* record = nonEmpty(environment, "VESTREL_RECORD");
    const char* folder = nonEmpty(environment, "VESTREL_SCREENSHOT_DIR");
    const char* steps = nonEmpty(environment, "VESTREL_SCREENSHOT_STEPS");
    const char* trace = nonEmpty(environment, "VESTREL_TRACE");
    const char* paced = nonEmpty(environment, "VESTREL_REPLAY_PACED");
    const char* thenPlay = nonEmpty(environment, "VESTREL_REPLAY_THEN_PLAY");
    if (!replay && !record && !folder && !steps && !trace) return true;

    auto made = std::make_unique<DemoSession>();
    if (replay) {
        Demo demo;
        if (!loadDemo(replay, demo, error)) {
            error = "Can't replay demo: " + error;
            return false;
        }
        settings = demo.settings;
        made->setScript(std::make_unique<DemoPlayer>(std::move(demo)), replay);
    }
    if (folder || steps) {
        ScreenshotSchedule schedule;
        const std::string when = steps ? steps : "every:600";
        if (!schedule.parse(when)) {
            error = "VESTREL_SCREENSHOT_STEPS must be a list of steps such as 120,600 or every:N, not \"" +
                    printableText(when) + "\"";
            return false;
        }
        const std::string where = folder ? folder : "screenshots";
        std::error_code failed;
        std::filesystem::create_directories(where, failed);
        if (failed || !std::filesystem::is_directory(where)) {
            error = "Can't create the screenshot folder " + printableText(where);
            return false;
        }
        // Permission bits do not tell (root writes anywhere, a read-only
        // mount refuses everyone): write a file and see.
        std::string why;
        if (!folderWritable(where, why)) {
            error = "Can't write to the screenshot folder " + printableText(where) + " (" + why + ")";
            return false;
        }
        made->setScreenshots(where, schedule);
    }
    if (trace) {
        std::uint64_t every = 0;
        const std::string text = trace;
        const auto result = std::from_chars(text.data(), text.data() + text.size(), every);
        if (result.ec != std::errc() || result.ptr != text.data() + text.size() || every == 0) {
            error = "VESTREL_TRACE must be a number of steps, not \"" + printableText(text) + "\"";
            return false;
        }
        made->setTraceEvery(every);
    }
    made->setPaced(paced != nullptr && std::string(paced) != "0");
    made->setHandOverAtEnd(replay != nullptr && thenPlay != nullptr && std::string(thenPlay) != "0");
    // Last, so that a refused variable leaves no half-made file behind.
    if (record && !made->startRecording(record, settings, error)) {
        error = "Can't record demo: " + error;
        return false;
    }
    session = std::move(made);
    return true;
}

void DemoSession::setScript(std::unique_ptr<InputScript> script, std::string name) {
    script_ = std::move(script);
    scriptName_ = std::move(name);
}

bool DemoSession::startRecording(const std::string& path, const DemoSettings& settings, std::string& error) {
    auto recorder = std::make_unique<DemoRecorder>();
    if (!recorder->open(path, settings, error)) return false;
    recorder_ = std::move(recorder);
    return true;
}

void DemoSession::setScreenshots(std::string folder, ScreenshotSchedule schedule) {
    screenshotFolder_ = std::move(folder);
    screenshots_ = std::move(schedule);
}

void DemoSession::attach(Game& /*game*/) {
    attachedPad_ = Playstate::instance().gamepad.get();
    attachedPad_->source = this;
    if (script_ && script_->recording()) std::cout << "Replaying demo " << scriptName_ << std::endl;
    if (recorder_) std::cout << "Recording demo to " << recorder_->path() << std::endl;
}

void DemoSession::detach() {
    if (attachedPad_ != nullptr && attachedPad_->source == this) attachedPad_->source = nullptr;
    attachedPad_ = nullptr;
}

void DemoSession::eventAccepted(const DemoEvent& event) {
    if (!recorder_) return;
    if (holdEvents_) {
        writeHeldEvent();
        eventHeld_ = true;
        heldEvent_ = event;
        heldStep_ = totals_.steps;
        return;
    }
    recorder_->event(event, totals_.steps);
}

void DemoSession::writeHeldEvent() {
    if (eventHeld_ && recorder_) recorder_->event(heldEvent_, heldStep_);
    eventHeld_ = false;
}

void DemoSession::liveCloseDuringScript(Game& game) {
    interrupted_ = true;
    game.running = false;
}

void DemoSession::dispatch(Game& game, const DemoEvent& event) {
    switch (event.kind) {
        case DemoEvent::Key:
            game.deliverKey(event.key, event.scancode, event.action, event.mods, InputOrigin::Script);
            break;
        case DemoEvent::MouseButton:
            game.deliverMouseButton(event.key, event.action, event.mods, InputOrigin::Script);
            break;
        case DemoEvent::Close:
            game.deliverClose(InputOrigin::Script);
            break;
    }
}

void DemoSession::handOver(Game& game) {
    handedOver_ = true;
    handOverStep_ = totals_.steps;
    frame_ = DemoFrame{};
    currentStep_ = nullptr;
    // From here the clock sets the steps; the time the script took must not
    // arrive as one late frame's worth of catching up.
    game.restartClock();
    if (game.window != nullptr) glfwSwapInterval(1);
    std::cout << "Demo ended at step " << totals_.steps << ": live input takes over" << std::endl;
}

void DemoSession::deliverScriptedEvents(Game& game) {
    if (!script_ || handedOver_) return;
    if (!framePrepared_) {
        framePrepared_ = true;
        nextEvent_ = 0;
        nextStep_ = 0;
        currentStep_ = nullptr;
        if (!scriptEnded_ && !script_->nextFrame(game, frame_)) scriptEnded_ = true;
        if (scriptEnded_ && handOver_) {
            handOver(game);
            return;
        }
        if (scriptEnded_) {
            // A script that has no more closes the window, as a person
            // would; recorded, the close ends the replay at the same frame.
            frame_ = DemoFrame{};
            frame_.events.push_back(DemoEvent::closeEvent());
        }
    }
    // An event may restart the game, whose start sequence polls again: the
    // nested call carries on with the events after it, in recorded order.
    // The event that led here did not end the run, so it is written first.
    writeHeldEvent();
    while (nextEvent_ < frame_.events.size()) {
        const DemoEvent event = frame_.events[nextEvent_++];
        holdEvents_ = handOver_;
        dispatch(game, event);
        holdEvents_ = false;
        if (handOver_ && !handedOver_ && !game.running && !interrupted_) {
            // The recording's quit: live input takes over instead.
            eventHeld_ = false;
            game.running = true;
            handOver(game);
            return;
        }
        writeHeldEvent();
        if (handedOver_) return;  // a nested call handed over
    }
}

int DemoSession::stepsForFrame(Game& game) {
    if (!script_ || handedOver_) return -1;
    if (!framePrepared_) deliverScriptedEvents(game);
    if (handedOver_) return -1;
    return frame_.ran ? static_cast<int>(frame_.steps.size()) : 0;
}

void DemoSession::cursorForStep(double& x, double& y) {
    double centreX = 0.0;
    double centreY = 0.0;
    windowCentre(centreX, centreY);
    if (script_ && !handedOver_) {
        currentStep_ = nextStep_ < frame_.steps.size() ? &frame_.steps[nextStep_++] : nullptr;
        if (currentStep_ != nullptr) {
            // Mouse look reads the offset from the centre: keep it, in
            // whatever window this plays.
            x = currentStep_->cursorX + (centreX - frame_.centreX);
            y = currentStep_->cursorY + (centreY - frame_.centreY);
        }
    }
    if (recorder_)
        recorder_->cursor(totals_.steps, offsetFromCentre(x, centreX), offsetFromCentre(y, centreY));
}

int DemoSession::hoverForStep(int over) {
    if (script_ && !handedOver_ && currentStep_ != nullptr && currentStep_->hover >= 0) {
        over = currentStep_->hover;
    }
    // The step counter has not moved on yet: this is still the step's own line.
    if (recorder_) recorder_->hover(totals_.steps, over);
    return over;
}

bool DemoSession::readGamepad(std::uint32_t index, GamepadState& reading) {
    bool connected = false;
    if (script_ && !handedOver_) {
        connected = currentStep_ != nullptr && currentStep_->padConnected;
        reading = connected ? currentStep_->pad : GamepadState{};
    } else {
        connected = Gamepad::readDevice(index, reading);
    }
    if (connected && recorder_) recorder_->pad(totals_.steps, reading);
    return connected;
}

void DemoSession::hashPositions(const Game& game) {
    const Level* level = game.level.get();
    glm::dvec3 positions[2] = {glm::dvec3(0.0), glm::dvec3(0.0)};
    if (level != nullptr) {
        positions[0] = controllerPosition(level->player.controller);
        if (level->enemy) positions[1] = controllerPosition(level->enemy->controller);
    }
    totals_.hash = fnv1a(totals_.hash, positions, sizeof positions);
    if (traceEvery_ != 0 && totals_.steps % traceEvery_ == 0) {
        std::cout << std::setprecision(9) << "Step " << totals_.steps << ": player " << positions[0].x << " "
                  << positions[0].y << " " << positions[0].z << ", monster " << positions[1].x << " "
                  << positions[1].y << " " << positions[1].z << ", hash " << hexText(totals_.hash)
                  << std::setprecision(6) << std::endl;
    }
}

void DemoSession::afterStep(Game& game) {
    ++totals_.steps;
    hashPositions(game);
    if (handOver_ && !handedOver_ && script_ && !game.running && !interrupted_) {
        // The pad's Back, recorded: the quit is not played.
        game.running = true;
        handOver(game);
    }
    const GameSettings& settings = GameSettings::instance();
    if (settings.playerWon) {
        totals_.outcome = DemoOutcome::Won;
    } else if (settings.playerCaught) {
        totals_.outcome = DemoOutcome::Caught;
    }
    if (!screenshots_.empty() && screenshots_.due(totals_.steps)) pendingShot_ = totals_.steps;
}

void DemoSession::afterFrame(Game& /*game*/, int steps) {
    ++totals_.frames;
    if (recorder_) recorder_->frame(steps);
    framePrepared_ = false;
    currentStep_ = nullptr;
}

void DemoSession::beforePresent(Game& game) {
    if (pendingShot_ == 0 || game.window == nullptr) return;
    char name[64];
    std::snprintf(name, sizeof name, "step_%06llu.png", static_cast<unsigned long long>(pendingShot_));
    pendingShot_ = 0;
    int width = 0;
    int height = 0;
    glfwGetFramebufferSize(game.window, &width, &height);
    saveWindowPicture((std::filesystem::path(screenshotFolder_) / name).string(), width, height);
}

void DemoSession::levelEnding(const Level& level) {
    endedGamesItems_ += level.player.inventory.size();
    endedGamesSwitches_ += usedItems(level);
}

int DemoSession::finish(Game& game) {
    totals_.items = endedGamesItems_;
    totals_.switches = endedGamesSwitches_;
    if (game.level) {
        totals_.items += game.level->player.inventory.size();
        totals_.switches += usedItems(*game.level);
    }

    std::ostringstream line;
    line << totals_.steps << " steps, " << totals_.frames << " frames, " << totals_.items
         << " items picked up, " << totals_.switches << " switches used, outcome "
         << outcomeName(totals_.outcome);
    status_ = 0;
    const Demo* recorded = script_ ? script_->recording() : nullptr;
    if (recorded != nullptr && handedOver_) {
        // Live play finished the run: there is nothing to hold it to.
        line << ", hash " << hexText(totals_.hash);
        summary_ =
            "Demo replayed, then played live from step " + std::to_string(handOverStep_) + ": " + line.str();
    } else if (recorded != nullptr) {
        const DemoTotals& r = recorded->totals;
        line << " (recorded: " << outcomeName(r.outcome) << "), hash " << hexText(totals_.hash) << " ("
             << (r.hash == totals_.hash ? std::string("same as recorded") : "recorded: " + hexText(r.hash))
             << ")";
        if (totals_.steps != r.steps) line << ", " << r.steps << " steps recorded";
        if (totals_.items != r.items || totals_.switches != r.switches) {
            line << ", " << r.items << " items and " << r.switches << " switches recorded";
        }
        // The same input in the same build plays the same game: any
        // difference means the replay went its own way.
        if (totals_.outcome != r.outcome || totals_.steps != r.steps || totals_.hash != r.hash ||
            totals_.items != r.items || totals_.switches != r.switches) {
            status_ = 1;
        }
        summary_ = "Demo replayed: " + line.str();
    } else {
        line << ", hash " << hexText(totals_.hash);
        summary_ = (script_ ? "Autopilot run: " : "Run: ") + line.str();
    }
    if (interrupted_) {
        summary_ += ", stopped early: the window was closed";
        status_ = 1;
    }
    if (recorder_) {
        if (recorder_->finish(totals_)) {
            summary_ += "; recorded to " + recorder_->path();
        } else {
            summary_ += "; couldn't write the demo " + recorder_->path();
            status_ = 1;
        }
    }
    return status_;
}

void DemoSession::printSummary() const {
    if (!summary_.empty()) std::cout << summary_ << std::endl;
}

}  // namespace vestrel
