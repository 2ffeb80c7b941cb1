#pragma once

#include "app/SettingsFile.h"
#include "render/Renderer.h"

#include <memory>
#include <vector>

struct GLFWwindow;

namespace vestrel {

class DemoSession;
class GameState;
class Level;
class MenuOverlay;
struct GameSettings;

// The window system's error callback, installed by Game::init before the
// window library starts. During start-up (until the window, its context and
// the GL loader exist) it prints the description and ends the process with
// status 1; afterwards it prints "GLFW error <code>: <description>" and the
// game goes on.
void onWindowSystemError(int code, const char* description);
bool windowSystemStartingUp();

// True for Mesa's llvmpipe, softpipe and swrast (GL_RENDERER strings).
bool isSoftwareRasterizer(const char* rendererName);

// The texture sampling mode a new window starts with: the default
// (anisotropic trilinear) except on a software rasteriser, where it starts at
// bilinear and says so. A mode already changed from the default is kept.
void chooseStartSampling(const char* rendererName, GameSettings& settings);

// A rectangle of the screen in its own pixels (a monitor, a window).
struct ScreenRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// The monitor a window is on: the one holding the window's centre, else the
// one it overlaps most, else the first. -1 without monitors.
int monitorForWindow(const ScreenRect& window, const std::vector<ScreenRect>& monitors);

// Where an input event comes from: the window system, or a script (a demo
// being replayed, an autopilot) standing in for the player.
enum class InputOrigin { Live, Script };

// The application: the one window with its GL 3.3 core context, the renderer,
// the level, the state stack and the fixed-step clock. The entry point
// creates it, runs init, the start sequence and the main loop, and deletes it.
class Game {
public:
    Game();
    virtual ~Game();
    Game(const Game&) = delete;
    Game& operator=(const Game&) = delete;

    // Opens the window, initialises GLEW, the renderer and a level holding
    // only its camera and loading image. Window-system and loader failures
    // end the process with status 1.
    void init(int width, int height, int refreshRate, bool fullscreen);

    // Loading state, one drawn frame (the loading screen), then the play
    // state, whose init loads the house. Run at start and after restart();
    // the clock starts afresh once the house has loaded.
    void startSequence();

    // Forgets the time since the last frame and the steps it still owed:
    // the next frame is measured from now.
    void restartClock();

    // One iteration of the main loop: events, update, draw, frame counters.
    void frame();

    // The per-frame work between handleEvents and draw: frame time, frame
    // rate and title, up to five fixed steps, cursor placement.
    void update();

    void changeState(GameState* state);
    void pushState(GameState* state);
    // Takes the top state off the stack; the state under it resumes and
    // becomes current (the pause screen going back to the play).
    void popState();

    // Rebuilds renderer, level and sounds for a new game; clears the win and
    // lose flags. The caller runs the start sequence afterwards.
    void restart();

    GameState* currentState() const { return states.empty() ? nullptr : states.back(); }

    // The window's framebuffer is now width x height: the window size in
    // GameSettings, the renderer's off-screen buffers, the HUD layout, the
    // camera's projection and cursor centre and the culling frustum all take
    // it, and a captured cursor moves to the new centre (mouse look would
    // read the old one as a turn). A 0 x 0 size (minimised) is ignored.
    // Reached from the
    // framebuffer-size callback that init installs.
    void applyFramebufferSize(int width, int height);

    // The one game the window callbacks reach; set by the entry point.
    static Game* registered;
    // Installs the key, mouse-button and close callbacks on the window.
    void installCallbacks();

    // The entry points of input: the window callbacks call these, and so
    // does a replay, so both reach the current state the same way. While a
    // script plays, live events are dropped (a live close stops the run).
    void deliverKey(int key, int scancode, int action, int mods, InputOrigin origin = InputOrigin::Live);
    void deliverMouseButton(int button, int action, int mods, InputOrigin origin = InputOrigin::Live);
    void deliverClose(InputOrigin origin = InputOrigin::Live);
    // Polls the window system, then delivers a script's events for this frame.
    void pollEvents();

    // --- The player's settings (GamePlayerSettings.cpp) ----------------------
    // Pushes playerSettings to GameSettings, the level (look, field of view,
    // ambient light) and the sound (volumes).
    void applyPlayerSettings();
    // A setting of playerSettings changed (the pause menu): applied at once
    // and remembered for the settings file.
    void settingChanged(SettingsFile::Key key);
    // Writes remembered changes to the settings file; failures go to the console.
    void saveSettings();
    // Full screen on the monitor the window is on, at that monitor's desktop
    // resolution, or back to the window's last place and size. Refused, with
    // a console line, while a demo is recorded or replayed (its cursor would
    // no longer match the window). True when the window is as asked.
    bool setFullscreen(bool fullscreen);
    bool isFullscreen() const;
    // F11: full screen on or off, remembered in the settings file.
    void toggleFullscreen();
    // The window gained or lost the keyboard focus. A loss that lasts
    // kFocusLossGrace pauses the play (pauseIfFocusStaysAway, once a frame),
    // except while a demo is recorded or replayed.
    void windowFocusChanged(bool focused);
    void pauseIfFocusStaysAway();
    static constexpr double kFocusLossGrace = 0.25;  // seconds
    // True while a demo is being recorded or replayed (not yet handed over
    // to live play): what the player does to the window then stays out.
    bool demoHoldsTheRun() const;

    // The player's settings for this run: the file's, with the command
    // line's overrides, and every change made since. The file they are kept
    // in, when there is one (not owned).
    SettingsFile::Values playerSettings;
    SettingsFile* settingsFile = nullptr;

    // Recording, replay, autopilot and screenshots; null for plain play.
    // Set before init (a scripted run does not wait for the screen).
    DemoSession* demo = nullptr;

    Renderer renderer;
    std::unique_ptr<Level> level;
    // Levels made so far (one at init, one more at each restart): which game
    // is current, where a freed level's address may come back for the next.
    int levelsMade = 0;
    // The pause screen's menu drawing, made on its first use and released
    // just before the window is destroyed.
    std::unique_ptr<MenuOverlay> menuOverlay;
    bool running = false;
    GLFWwindow* window = nullptr;
    double currentTime = 0.0;
    double previousTime = 0.0;
    float fpsTimer = 0.0f;
    int frameCount = 0;
    float fps = 0.0f;
    int stepsThisFrame = 0;
    float stepAccumulator = 0.0f;
    double cursorX = 0.0;
    double cursorY = 0.0;
    float frameTime = 0.0f;
    // The frame rate the window title shows, once it shows one.
    float shownTitleFps = 0.0f;
    bool titleShown = false;
    std::vector<GameState*> states;

private:
    // Counts one drawn frame and feeds its time to the clocks.
    void countFrame();
    // A new Level with its camera and loading image.
    void createLevel();
    void applyCursorMode(int stateId);
    bool acceptsInput(InputOrigin origin) const;

    // Where the window was before it went full screen.
    ScreenRect windowed_;
    bool volumesApplied_ = false;
    double focusLostAt_ = -1.0;  // window-system time of an unanswered focus loss
};

}  // namespace vestrel
