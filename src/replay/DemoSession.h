#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "replay/DemoFormat.h"
#include "replay/DemoRecorder.h"
#include "replay/InputScript.h"
#include "replay/Screenshot.h"
#include "play/Gamepad.h"

namespace vestrel {

class Game;
class Level;

// Everything a run does besides playing: recording its input, replaying a
// demo or following an autopilot instead of the player, taking pictures at
// given steps, and keeping the run's totals (steps, frames, items, switches,
// outcome, position hash) for the summary at the end.
//
// The Game calls the hooks below from its loop; with no session installed it
// plays on live input and the clock, as it always has.
class DemoSession : public GamepadSource {
public:
    using Environment = std::function<const char*(const char*)>;

    DemoSession();
    ~DemoSession() override;
    DemoSession(const DemoSession&) = delete;
    DemoSession& operator=(const DemoSession&) = delete;

    // Builds the session the environment asks for (see README, "Recording
    // and replaying"): VESTREL_RECORD, VESTREL_REPLAY, VESTREL_SCREENSHOT_DIR,
    // VESTREL_SCREENSHOT_STEPS, VESTREL_TRACE, VESTREL_REPLAY_PACED,
    // VESTREL_REPLAY_THEN_PLAY. `session`
    // stays null when none is set. A demo to replay is read and checked here,
    // before any window exists. Returns false with `error` on a bad value or
    // an unusable demo. `settings` are the command line's options: a replay
    // replaces them with the recorded ones; a recording stores them.
    static bool fromEnvironment(const Environment& environment, DemoSettings& settings,
                                std::unique_ptr<DemoSession>& session, std::string& error);

    // Replaces the player with `script` (a replay or an autopilot).
    void setScript(std::unique_ptr<InputScript> script, std::string name);
    bool startRecording(const std::string& path, const DemoSettings& settings, std::string& error);
    void setScreenshots(std::string folder, ScreenshotSchedule schedule);
    void setTraceEvery(std::uint64_t steps) { traceEvery_ = steps; }
    void setPaced(bool paced) { paced_ = paced; }
    // When the script runs out, the player takes over on live input and the
    // clock (instead of the window closing); the run then ends as any game
    // does and is judged as live play, not against the recording. The quit
    // that ends every recording (Escape, the window's close, Exit, the pad's
    // Back) is where the script runs out: it is not played, live input takes
    // over there.
    void setHandOverAtEnd(bool handOver) { handOver_ = handOver; }

    bool scripted() const { return script_ != nullptr; }
    // True once a script ran out and live input took over.
    bool handedOver() const { return handedOver_; }
    bool recording() const { return recorder_ != nullptr; }
    // Live input is ignored while a script plays.
    bool acceptsLiveInput() const { return script_ == nullptr || handedOver_; }
    // Scripted runs go as fast as they can unless asked to keep the screen's pace.
    bool waitsForScreen() const { return script_ == nullptr || handedOver_ || paced_; }

    // --- Hooks of the game loop -------------------------------------------
    // Takes over the play state's pad readings (scripted, recorded).
    void attach(Game& game);
    void detach();
    // An input event the game accepted, on its way to the current state.
    void eventAccepted(const DemoEvent& event);
    // A live window close while a script plays: the run stops there.
    void liveCloseDuringScript(Game& game);
    // After every poll of the window system: the script's pending events.
    void deliverScriptedEvents(Game& game);
    // How many steps this frame runs; negative when the clock decides.
    int stepsForFrame(Game& game);
    // The cursor a step reads: replaced by the script's (moved to this
    // window's centre), then recorded as its offset from the centre.
    void cursorForStep(double& x, double& y);
    // The game-over buttons a step's cursor is over (`over`, found in this
    // window): replaced by the recorded set when the script has one, then
    // recorded. Returns the set the step applies.
    int hoverForStep(int over);
    bool readGamepad(std::uint32_t index, GamepadState& reading) override;
    void afterStep(Game& game);
    void afterFrame(Game& game, int steps);
    // Between drawing a frame and showing it.
    void beforePresent(Game& game);
    // Before a restart throws the level away.
    void levelEnding(const Level& level);

    // At the end of the run (the Game and its level still alive): finishes
    // the recording and works out the verdict. Returns the exit status: 1
    // when a replayed demo's outcome, steps, position hash, items or
    // switches differ from the recorded ones, the run was interrupted or the
    // recording could not be written; 0 otherwise.
    int finish(Game& game);
    // The closing lines, printed after the teardown.
    void printSummary() const;

    const DemoTotals& totals() const { return totals_; }
    std::uint64_t hash() const { return totals_.hash; }

private:
    void hashPositions(const Game& game);
    void dispatch(Game& game, const DemoEvent& event);
    void handOver(Game& game);
    // In hand-over mode a scripted event is written to the recording only
    // once it is known not to have ended the run.
    void writeHeldEvent();

    std::unique_ptr<InputScript> script_;
    std::string scriptName_;
    std::unique_ptr<DemoRecorder> recorder_;
    std::string screenshotFolder_;
    ScreenshotSchedule screenshots_;
    std::uint64_t pendingShot_ = 0;
    std::uint64_t traceEvery_ = 0;
    bool paced_ = false;
    bool handOver_ = false;
    bool handedOver_ = false;
    std::uint64_t handOverStep_ = 0;
    bool holdEvents_ = false;
    bool eventHeld_ = false;
    DemoEvent heldEvent_;
    std::uint64_t heldStep_ = 0;

    DemoFrame frame_;
    bool framePrepared_ = false;
    bool scriptEnded_ = false;
    bool interrupted_ = false;
    std::size_t nextEvent_ = 0;
    std::size_t nextStep_ = 0;
    const DemoStep* currentStep_ = nullptr;
    Gamepad* attachedPad_ = nullptr;

    DemoTotals totals_;
    std::uint64_t endedGamesItems_ = 0;
    std::uint64_t endedGamesSwitches_ = 0;
    int status_ = 0;
    std::string summary_;
};

}  // namespace vestrel
