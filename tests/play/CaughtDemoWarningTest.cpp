// The bundled caught demo replayed in the real game: the player stands in
// the monster's corridor and is caught. The warning (picture and caption)
// must start early enough that a player who heeds it gets away.

#include <gtest/gtest.h>

// Game.h brings GLEW, which must come before GLFW's GL header.
#include "app/Game.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ConsoleCapture.h"
#include "app/GameSettings.h"
#include "app/Gameoverstate.h"
#include "audio/SoundSystem.h"
#include "play/PlayCues.h"
#include "render/PlayHud.h"
#include "render/TextureCache.h"
#include "replay/DemoFormat.h"
#include "replay/DemoSession.h"
#include "replay/InputScript.h"

namespace vestrel {
namespace {

bool has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

constexpr int kWidth = 320;
constexpr int kHeight = 240;

TEST(CaughtDemoWarning, TheWarningStartsTwoSecondsBeforeTheCatch) {
    Demo demo;
    std::string error;
    ASSERT_TRUE(loadDemo("demos/caught.dem", demo, error)) << error;
    ASSERT_EQ(demo.totals.outcome, DemoOutcome::Caught);

    GameSettings::instance() = GameSettings{};
    GameSettings::instance().ambientLight = glm::vec3(demo.settings.ambient);
    DemoSession session;
    session.setScript(std::make_unique<DemoPlayer>(demo), "caught.dem");
    auto game = std::make_unique<Game>();
    Game::registered = game.get();
    game->demo = &session;
    {
        test::ConsoleCapture quiet;
        // A small window draws faster; the replayed cursor keeps its offsets
        // from the window's centre, which is all mouse look reads.
        game->init(kWidth, kHeight, demo.settings.refreshRate, false);
        game->installCallbacks();
        session.attach(*game);
        game->startSequence();
    }
    Gameoverstate::instance().initialized = false;

    // The step each warning began at (it may come and go as the monster
    // passes), and what the screen said while it lasted.
    std::uint64_t warnedSince = 0;
    bool warned = false;
    std::uint64_t caughtAt = 0;
    std::vector<std::string> captionsWhenWarned;
    float strengthWhenWarned = 0.0f;
    // Each heartbeat is a new channel of "heartbeat": when it came and how
    // loud. Whatever channel an earlier test left is not a beat of this run.
    AudioChannel lastBeat = SoundSystem::instance().channel(PlayCues::kHeartbeatName);
    std::vector<std::uint64_t> beatSteps;
    // Each beat's volume, and the warning of the step that set it off.
    std::vector<std::pair<float, float>> beatVolumes;
    {
        test::ConsoleCapture quiet;
        while (game->running && caughtAt == 0) {
            game->frame();
            const PlayHudState& shown = game->renderer.hudState;
            const std::uint64_t step = session.totals().steps;
            if (GameSettings::instance().playerCaught) {
                caughtAt = step;
            } else if (shown.warning > 0.0f && !warned) {
                warned = true;
                warnedSince = step;
                captionsWhenWarned = shown.captions;
                strengthWhenWarned = PlayHud::vignetteStrength(shown.warning, shown.pulse);
            } else if (shown.warning <= 0.0f) {
                warned = false;
            }
            const AudioChannel beat = SoundSystem::instance().channel(PlayCues::kHeartbeatName);
            if (beat != lastBeat) {
                lastBeat = beat;
                beatSteps.push_back(step);
                float volume = -1.0f;
                beat.getVolume(volume);
                beatVolumes.emplace_back(volume, shown.warning);
            }
        }
    }
    ASSERT_GT(caughtAt, 0u) << "the demo no longer ends caught";
    std::printf("warned from step %llu, caught at step %llu\n", static_cast<unsigned long long>(warnedSince),
                static_cast<unsigned long long>(caughtAt));
    ASSERT_TRUE(warned) << "no warning up to the catch";
    // Two seconds of fixed steps, at least, from the first sign to the catch.
    EXPECT_GE(caughtAt - warnedSince, 120u) << "warned at step " << warnedSince << ", caught at " << caughtAt;
    // In the picture: the vignette is drawn at once, not faded in from nothing.
    EXPECT_GE(strengthWhenWarned, PlayHud::kFirstStrength * (1.0f - PlayHud::kPulseShare));
    // In the captions: the heartbeat, and the growl with where it is.
    EXPECT_TRUE(has(captionsWhenWarned, "YOUR HEART POUNDS") || has(captionsWhenWarned, "YOUR HEART RACES"));
    EXPECT_TRUE(std::any_of(captionsWhenWarned.begin(), captionsWhenWarned.end(),
                            [](const std::string& line) { return line.rfind("GROWLING", 0) == 0; }));
    // In sound: a heartbeat from the start of the warning, as loud as the
    // warning says, and racing (under half a second apart) in the last second.
    ASSERT_FALSE(beatSteps.empty());
    EXPECT_LE(beatSteps.front(), warnedSince + 1);
    // Faint at the first sign, near full as the monster closes in.
    for (const auto& [volume, warning] : beatVolumes) {
        EXPECT_NEAR(volume, 0.35f + 0.65f * warning, 1e-3f) << "warning " << warning;
    }
    EXPECT_GT(beatVolumes.back().second, 0.9f);
    const auto lastSecond = std::count_if(beatSteps.begin(), beatSteps.end(),
                                          [&](std::uint64_t step) { return step + 60 > caughtAt; });
    EXPECT_GE(lastSecond, 2);
    // Caught: the scream is captioned over the lose screen; the warning is over.
    EXPECT_TRUE(has(game->renderer.hudState.captions, "YOU SCREAM"));
    EXPECT_EQ(game->renderer.hudState.warning, 0.0f);

    test::ConsoleCapture quiet;
    session.detach();
    TextureCache::instance().textures.clear();
    game.reset();
    GameSettings::instance() = GameSettings{};
}

}  // namespace
}  // namespace vestrel
