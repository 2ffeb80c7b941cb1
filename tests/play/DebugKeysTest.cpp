#include "play/DebugKeys.h"

#include <gtest/gtest.h>

#include <string>

#include <GLFW/glfw3.h>

#include "ConsoleCapture.h"
#include "app/GameSettings.h"
#include "audio/SoundSystem.h"
#include "play/Playstate.h"

namespace vestrel {
namespace {

// The switches are process-wide; every test starts from the defaults and
// leaves them that way.
class DebugKeysTest : public ::testing::Test {
protected:
    GameSettings& settings = GameSettings::instance();
    GameSettings saved = settings;

    void SetUp() override { resetSwitches(); }
    void TearDown() override { settings = saved; }
    void resetSwitches() {
        settings.showFps = false;
        settings.wireframe = false;
        settings.samplingMode = 3;
        settings.mipMaps = true;
        settings.muted = false;
        settings.fog = true;
        settings.frustumCulling = true;
        settings.transparency = true;
        settings.occlusionCulling = true;
    }
    std::string press(int key) {
        test::ConsoleCapture console;
        EXPECT_TRUE(DebugKeys::handle(key, settings, SoundSystem::instance()));
        return console.text();
    }
};

TEST_F(DebugKeysTest, F1PrintsTheElevenHelpLines) {
    EXPECT_EQ(press(GLFW_KEY_F1),
              "---------- HELP -------------\n"
              "F1 - print help\n"
              "F2 - FPS on/off\n"
              "F3 - Wireframe on/off\n"
              "F4 - Texture filtering: Nearest neighbor/Bilinear/Trilinear\n"
              "F5 - Mip maps on/off\n"
              "F6 - Mute/Unmute sound\n"
              "F7 - Fog on/off\n"
              "F8 - View frustum culling on/off\n"
              "F9 - Transparency on/off\n"
              "-----------------------------\n");
}

TEST_F(DebugKeysTest, EachSwitchFlipsAndReportsItsNewValue) {
    struct Case {
        int key;
        bool GameSettings::*field;
        const char* first;
        const char* second;
    };
    const Case cases[] = {
        {GLFW_KEY_F2, &GameSettings::showFps, "Display FPS: ON\n", "Display FPS: OFF\n"},
        {GLFW_KEY_F3, &GameSettings::wireframe, "Display wireframe: ON\n", "Display wireframe: OFF\n"},
        {GLFW_KEY_F5, &GameSettings::mipMaps, "Using mip maps: OFF\n", "Using mip maps: ON\n"},
        {GLFW_KEY_F7, &GameSettings::fog, "Fog is OFF\n", "Fog is ON\n"},
        {GLFW_KEY_F8, &GameSettings::frustumCulling, "View frustum culling: OFF\n",
         "View frustum culling: ON\n"},
        {GLFW_KEY_F9, &GameSettings::transparency, "Display transparency: OFF\n",
         "Display transparency: ON\n"},
        {GLFW_KEY_F10, &GameSettings::occlusionCulling, "Occlusion culling: OFF\n",
         "Occlusion culling: ON\n"},
    };
    for (const Case& c : cases) {
        const bool before = settings.*c.field;
        EXPECT_EQ(press(c.key), c.first);
        EXPECT_EQ(settings.*c.field, !before) << c.first;
        EXPECT_EQ(press(c.key), c.second);
        EXPECT_EQ(settings.*c.field, before) << c.second;
    }
    EXPECT_FALSE(DebugKeys::handle(GLFW_KEY_F12, settings, SoundSystem::instance()));
    EXPECT_FALSE(DebugKeys::handle(GLFW_KEY_W, settings, SoundSystem::instance()));
}

TEST_F(DebugKeysTest, F4CyclesThroughTheFourSamplingModes) {
    EXPECT_EQ(press(GLFW_KEY_F4), "Using texture sampling quality: NEAREST NEIGHBOR\n");
    EXPECT_EQ(press(GLFW_KEY_F4), "Using texture sampling quality: BILINEAR\n");
    EXPECT_EQ(press(GLFW_KEY_F4), "Using texture sampling quality: TRILINEAR\n");
    EXPECT_EQ(press(GLFW_KEY_F4), "Using texture sampling quality: ANISOTROPIC TRILINEAR\n");
    EXPECT_EQ(settings.samplingMode, 3);
}

TEST_F(DebugKeysTest, F6MutesEveryChannelStartedSoFar) {
    SoundSystem& sounds = SoundSystem::instance();
    SoundSystem::SoundClass* drip =
        sounds.createSound("Assets\\Audio\\waterdrip.flac", "debug_keys_drip", kSoundDefault, true);
    sounds.playSound(drip, true, "debug_keys_drip");
    AudioChannel channel = sounds.channel("debug_keys_drip");
    bool mute = true;
    ASSERT_EQ(channel.getMute(mute), AudioResult::Ok);
    EXPECT_FALSE(mute);

    EXPECT_EQ(press(GLFW_KEY_F6), "Sound is MUTED\n");
    ASSERT_EQ(channel.getMute(mute), AudioResult::Ok);
    EXPECT_TRUE(mute);
    EXPECT_EQ(press(GLFW_KEY_F6), "Sound is UNMUTED\n");
    ASSERT_EQ(channel.getMute(mute), AudioResult::Ok);
    EXPECT_FALSE(mute);
    channel.stop();
}

TEST_F(DebugKeysTest, PlayStateActsOnPressesOnlyNotRepeatsOrReleases) {
    Playstate& play = Playstate::instance();
    test::ConsoleCapture console;
    play.onKey(GLFW_KEY_F2, 0, GLFW_REPEAT, 0, nullptr);
    play.onKey(GLFW_KEY_F2, 0, GLFW_RELEASE, 0, nullptr);
    EXPECT_FALSE(settings.showFps);
    EXPECT_EQ(console.text(), "");
    play.onKey(GLFW_KEY_F2, 0, GLFW_PRESS, 0, nullptr);
    EXPECT_TRUE(settings.showFps);
    // F10, beside the nine keys of the help, reaches the switches as well.
    play.onKey(GLFW_KEY_F10, 0, GLFW_PRESS, 0, nullptr);
    EXPECT_FALSE(settings.occlusionCulling);
    EXPECT_EQ(console.text(), "Display FPS: ON\nOcclusion culling: OFF\n");
}

}  // namespace
}  // namespace vestrel
