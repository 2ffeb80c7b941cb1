#include "audio/SoundSystem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <vector>

#include "app/GameSettings.h"
#include "audio/AudioTestSupport.h"
#include "support/ConsoleCapture.h"

namespace vestrel {
namespace {

using test::framesFor;
using test::kAudible;
using test::render;
using test::tone;

class SoundSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        GameSettings::instance().playerCaught = false;
        GameSettings::instance().muted = false;
        ASSERT_TRUE(test::writeSound(longTone, tone(3.0), 1));
        ASSERT_NE(sounds.audioSystem(), nullptr);
        ASSERT_TRUE(sounds.audioSystem()->isSilentOutput());
    }
    void TearDown() override {
        GameSettings::instance().playerCaught = false;
        GameSettings::instance().muted = false;
    }

    static bool playing(const AudioChannel& channel) {
        bool flag = false;
        channel.isPlaying(flag);
        return flag;
    }
    double loudness(double seconds = 0.1) {
        render(*sounds.audioSystem(), framesFor(0.03));  // let gain changes settle
        return render(*sounds.audioSystem(), framesFor(seconds)).both();
    }

    test::TempFolder folder;
    std::string longTone = folder.file("long.wav");
    SoundSystem sounds{AudioOutputType::NoSound};
};

TEST_F(SoundSystemTest, StartsWithTheAmbientLoopReady) {
    EXPECT_EQ(sounds.lastResult(), AudioResult::Ok);
    const SoundSystem::SoundClass* ambient = sounds.findSound("ambient");
    ASSERT_NE(ambient, nullptr);
    EXPECT_TRUE(ambient->loop);
    EXPECT_TRUE(ambient->sound.isValid()) << "Assets/Audio/Ambient.mp3 must load from the repository root";
    EXPECT_EQ(sounds.listenerPosition(), glm::vec3(1.0f));
    EXPECT_EQ(sounds.nextChannel(), 0);
    EXPECT_THROW(sounds.sound("no such sound"), std::out_of_range);

    SoundSystem& game = SoundSystem::instance();
    EXPECT_EQ(&game, &SoundSystem::instance());
    EXPECT_NE(game.findSound("ambient"), nullptr);
}

TEST_F(SoundSystemTest, LoopingSoundsStartTogetherAndAmbientPlaysAtAQuarter) {
    sounds.createSound(longTone, "ambient", kSoundDefault, true);  // as the play state does
    sounds.createSound(longTone, "hum", kSound3D, true);
    sounds.createSound(longTone, "once", kSound3D, false);
    sounds.startLoopingSounds();
    EXPECT_EQ(sounds.nextChannel(), 2);
    EXPECT_TRUE(playing(sounds.channel("ambient")));
    EXPECT_TRUE(playing(sounds.channel("hum")));
    EXPECT_FALSE(playing(sounds.channel("once")));
    float volume = 0.0f;
    sounds.channel("ambient").getVolume(volume);
    EXPECT_FLOAT_EQ(volume, SoundSystem::kAmbientVolume);

    // What is heard: the ambient channel at a quarter of the same sound elsewhere.
    sounds.channel("hum").stop();
    const double ambient = loudness();
    sounds.channel("ambient").stop();
    sounds.playSound(sounds.findSound("ambient"), true, "other name");
    const double full = loudness();
    ASSERT_GT(full, kAudible);
    EXPECT_NEAR(ambient / full, 0.25, 0.02);

    // A looping play keeps going past the sound's own length.
    render(*sounds.audioSystem(), framesFor(3.5));
    EXPECT_GT(loudness(), kAudible);
}

TEST_F(SoundSystemTest, OneShotEmittersFireOnceInsideTheTriggerBox) {
    SoundSystem::SoundClass* drip = sounds.createSound(longTone, "drip", kSound3D, false);
    drip->position = glm::vec3(10.0f, 0.0f, -10.0f);
    // The level places each emitter's channel by name before anything has played; that
    // must not count as having played it.
    sounds.channel("drip").set3DAttributes(&drip->position, nullptr);

    sounds.updateListener({14.01f, 0.0f, -10.0f});
    sounds.updateListener({10.0f, -4.01f, -10.0f});
    sounds.updateListener({10.0f, 0.0f, -5.99f});
    EXPECT_EQ(sounds.listenerPosition(), glm::vec3(10.0f, 0.0f, -5.99f));
    EXPECT_EQ(sounds.nextChannel(), 0);
    EXPECT_FALSE(playing(sounds.channel("drip")));

    sounds.updateListener({14.0f, -4.0f, -6.0f});  // exactly on the box's corner
    EXPECT_EQ(sounds.nextChannel(), 1);
    EXPECT_TRUE(playing(sounds.channel("drip")));
    glm::vec3 placed(0.0f);
    sounds.channel("drip").get3DAttributes(placed);
    EXPECT_EQ(placed, drip->position);

    sounds.updateListener({0.0f, 0.0f, 0.0f});
    sounds.updateListener({10.0f, 0.0f, -10.0f});
    EXPECT_EQ(sounds.nextChannel(), 1) << "once per game";

    // After a restart the emitter can sound again, on a slot after the old ones.
    sounds.releaseAll();
    EXPECT_TRUE(sounds.sounds().empty());
    drip = sounds.createSound(longTone, "drip", kSound3D, false);
    drip->position = glm::vec3(10.0f, 0.0f, -10.0f);
    sounds.updateListener({10.0f, 0.0f, -10.0f});
    EXPECT_EQ(sounds.nextChannel(), 2);
    EXPECT_TRUE(playing(sounds.channel("drip")));
}

TEST_F(SoundSystemTest, NothingFiresOnceThePlayerIsCaught) {
    SoundSystem::SoundClass* bang = sounds.createSound(longTone, "bang", kSound3D, false);
    bang->position = glm::vec3(3.0f, 1.0f, 2.0f);
    GameSettings::instance().playerCaught = true;
    sounds.updateListener(bang->position);
    EXPECT_EQ(sounds.listenerPosition(), bang->position) << "the listener still follows the player";
    EXPECT_EQ(sounds.nextChannel(), 0);
    EXPECT_LT(loudness(), 1e-6);
}

// Muted means silent until unmuted: the channels playing when F6 is
// pressed and the ones started while it is on (a one-shot the player walks
// into, the breathing starting again).
TEST_F(SoundSystemTest, MuteReachesChannelsStartedBeforeAndAfterIt) {
    sounds.createSound(longTone, "before", kSoundDefault, true);
    sounds.createSound(longTone, "after", kSoundDefault, true);
    sounds.playSound(sounds.findSound("before"), true, "before");
    sounds.playSound(sounds.findSound("before"), true, "before");  // the older channel stays reachable
    ASSERT_GT(loudness(), kAudible);

    GameSettings::instance().muted = true;
    sounds.applyMute();
    EXPECT_LT(loudness(), 1e-6) << "both channels of \"before\" must fall silent";

    sounds.playSound(sounds.findSound("after"), true, "after");
    EXPECT_LT(loudness(), 1e-6) << "a sound started while muted must be silent too";
    bool muted = false;
    sounds.channel("after").getMute(muted);
    EXPECT_TRUE(muted);

    GameSettings::instance().muted = false;
    sounds.applyMute();
    sounds.channel("after").getMute(muted);
    EXPECT_FALSE(muted) << "unmuting reaches the later channel";
    sounds.channel("after").stop();
    EXPECT_GT(loudness(), kAudible) << "unmuting brings the earlier channels back";
    sounds.playSound(sounds.findSound("after"), true, "after");
    sounds.channel("after").getMute(muted);
    EXPECT_FALSE(muted) << "unmuted, new sounds start audible";
}

TEST_F(SoundSystemTest, PauseHoldsEveryChannelWhereItIsAndResumeGoesOnFromThere) {
    // A tone that ends: if the pause let it run on, it would be over by the resume.
    const std::string shortTone = folder.file("short.wav");
    ASSERT_TRUE(test::writeSound(shortTone, tone(0.5), 1));
    sounds.createSound(shortTone, "once", kSoundDefault, false);
    sounds.createSound(longTone, "loop", kSound3D, true);
    sounds.playSound(sounds.findSound("once"), false, "once");
    sounds.playSound(sounds.findSound("loop"), true, "loop");
    ASSERT_GT(loudness(), kAudible);

    sounds.pauseAll(true);
    EXPECT_LT(loudness(1.0), 1e-6);
    sounds.update();
    EXPECT_TRUE(playing(sounds.channel("once"))) << "a paused channel is not over";

    sounds.pauseAll(false);
    sounds.channel("loop").stop();
    // 0.13 s were played before the pause; the rest of the half second follows.
    EXPECT_GT(render(*sounds.audioSystem(), framesFor(0.3)).both(), kAudible);
    render(*sounds.audioSystem(), framesFor(0.2));
    sounds.update();
    EXPECT_FALSE(playing(sounds.channel("once")));
}

TEST_F(SoundSystemTest, MasterVolumeScalesEverySoundAndEffectsVolumeAllButTheAmbience) {
    sounds.createSound(longTone, "ambient", kSoundDefault, true);
    sounds.createSound(longTone, "growl", kSound3D, true);
    sounds.playSound(sounds.findSound("ambient"), true, "ambient");
    const double ambientFull = loudness();
    sounds.channel("ambient").stop();
    sounds.playSound(sounds.findSound("growl"), true, "growl");
    const double growlFull = loudness();
    ASSERT_GT(ambientFull, kAudible);
    ASSERT_GT(growlFull, kAudible);

    struct Case {
        float master;
        float effects;
        double ambient;  // share of its loudness at full volumes
        double growl;
    };
    const Case cases[] = {
        {1.0f, 1.0f, 1.0, 1.0}, {0.5f, 1.0f, 0.5, 0.5}, {1.0f, 0.3f, 1.0, 0.3},
        {0.5f, 0.4f, 0.5, 0.2}, {0.0f, 1.0f, 0.0, 0.0}, {1.0f, 0.0f, 1.0, 0.0},
    };
    for (const Case& c : cases) {
        // The growl plays on from before; the ambience starts after the change.
        sounds.setVolumes(c.master, c.effects);
        sounds.playSound(sounds.findSound("ambient"), true, "ambient");
        sounds.channel("growl").setPaused(true);
        EXPECT_NEAR(loudness() / ambientFull, c.ambient, 0.02) << c.master << " " << c.effects;
        sounds.channel("ambient").stop();
        sounds.channel("growl").setPaused(false);
        EXPECT_NEAR(loudness() / growlFull, c.growl, 0.02) << c.master << " " << c.effects;
    }
    sounds.setVolumes(1.0f, 1.0f);
}

TEST_F(SoundSystemTest, BrokenSoundFilesAreReportedAndTheGameGoesOn) {
    std::ofstream(folder.file("broken.wav")) << "RIFF but not really a wave file";
    test::ConsoleCapture console;
    SoundSystem::SoundClass* missing =
        sounds.createSound("Assets\\Audio\\no_such_file.wav", "missing", kSound3D, false);
    EXPECT_EQ(console.text(),
              "Unable to create sound!\nError Code: 5\nMessage: File not found.\n"
              "Sound \"missing\" from Assets\\Audio\\no_such_file.wav: No such file or directory\n");
    ASSERT_NE(missing, nullptr);
    EXPECT_EQ(sounds.findSound("missing"), missing) << "kept in the table without a sound";
    EXPECT_FALSE(missing->sound.isValid());

    console.clear();
    SoundSystem::SoundClass* broken =
        sounds.createSound(folder.file("broken.wav"), "broken", kSoundDefault, true);
    EXPECT_EQ(console.text().rfind("Unable to create sound!\nError Code: 6\nMessage: ", 0), 0u)
        << console.text();
    // The fourth line names the sound, the file and libsndfile's reason.
    const std::string text = console.text();
    const std::string named = "\nSound \"broken\" from " + folder.file("broken.wav") + ": ";
    const std::size_t at = text.find(named);
    ASSERT_NE(at, std::string::npos) << text;
    const std::string reason = text.substr(at + named.size());
    EXPECT_GT(reason.size(), 2u);
    EXPECT_EQ(reason.back(), '\n');
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4) << text;
    EXPECT_NE(broken, nullptr);

    console.clear();
    sounds.playSound(missing, false, "missing");
    EXPECT_EQ(console.text(),
              "Unable to play sound!\nError Code: 4\nMessage: An invalid object handle was used.\n");
    EXPECT_EQ(sounds.nextChannel(), 0) << "a failed play registers no channel";
    EXPECT_EQ(sounds.channel("missing"), AudioChannel{});

    // Standing next to a broken one-shot neither plays nor repeats the report each step.
    console.clear();
    sounds.updateListener(missing->position);
    sounds.updateListener(missing->position);
    EXPECT_EQ(console.text(), "");

    sounds.playSound(nullptr, false, "nothing");
    sounds.releaseAll();
    EXPECT_EQ(sounds.nextChannel(), 0);
}

TEST_F(SoundSystemTest, ReplacingASoundDropsItsRecordButNotItsSound) {
    sounds.createSound(longTone, "growl1", kSound3D, true);
    sounds.startLoopingSounds();
    std::weak_ptr<SoundSystem::SoundClass> old = sounds.sounds().at("growl1");
    const AudioSound oldSound = old.lock()->sound;
    const AudioChannel oldChannel = sounds.channel("growl1");

    SoundSystem::SoundClass* replacement = sounds.createSound(longTone, "growl1", kSound3D, true);
    EXPECT_TRUE(old.expired());
    EXPECT_EQ(&sounds.sound("growl1"), replacement);
    EXPECT_TRUE(oldSound.isValid());
    EXPECT_TRUE(playing(oldChannel)) << "the replaced sound keeps playing";
}

TEST_F(SoundSystemTest, LongSessionsStayInsideTheChannelTableAndNamesReachTheirNewestChannel) {
    const char* names[] = {"breathing", "growl1", "engine", "bang", "waterdrip", "ambient"};
    std::map<std::string, AudioChannel> newest;
    for (int play = 0; play < 10000; ++play) {
        if (play % 1000 == 999) {
            sounds.releaseAll();  // a restart
            newest.clear();
        }
        const std::string name = names[play % 6];
        SoundSystem::SoundClass* sound = sounds.findSound(name);
        if (!sound) {
            sound = sounds.createSound(longTone, name, kSound3D, play % 2 == 0);
        }
        if (play % 7 == 0) {
            sounds.channel(name).stop();  // as the player step stops the breathing
        }
        sounds.playSound(sound, play % 3 != 0, name);
        newest[name] = sounds.currentChannel();

        ASSERT_LE(sounds.nextChannel(), static_cast<int>(sounds.channelSlots()));
        ASSERT_LE(sounds.channelSlots(), static_cast<std::size_t>(SoundSystem::kChannelCount + 6));
        for (const auto& entry : newest) {
            ASSERT_EQ(sounds.channel(entry.first), entry.second) << entry.first << " after play " << play;
        }
    }
    EXPECT_LE(sounds.audioSystem()->activeChannels(), SoundSystem::kChannelCount);

    // More live names than voices: the table grows rather than losing a name.
    sounds.releaseAll();
    newest.clear();
    SoundSystem::SoundClass* sound = sounds.createSound(longTone, "loop", kSound3D, true);
    for (int i = 0; i < 50; ++i) {
        const std::string name = "voice" + std::to_string(i);
        sounds.playSound(sound, true, name);
        newest[name] = sounds.currentChannel();
    }
    for (const auto& entry : newest) {
        EXPECT_EQ(sounds.channel(entry.first), entry.second) << entry.first;
    }
    EXPECT_LE(sounds.channelSlots(), 50u + SoundSystem::kChannelCount);
    GameSettings::instance().muted = true;
    sounds.applyMute();
    EXPECT_LT(loudness(), 1e-6);
}

// Every slot taken by a live loop that is no longer the newest of its name:
// the plays that follow must not take over a slot whose channel still sounds,
// or that channel would slip out of the table and past applyMute.
TEST_F(SoundSystemTest, PlaysWithEveryVoiceBusyKeepEveryLiveChannelMutable) {
    SoundSystem::SoundClass* drip = sounds.createSound(longTone, "drip", kSound3D, true);
    std::vector<AudioChannel> played;
    for (int i = 0; i < SoundSystem::kChannelCount + 4; ++i) {
        sounds.playSound(drip, true, "drip");
        played.push_back(sounds.currentChannel());
        sounds.update();
    }
    EXPECT_EQ(sounds.channel("drip"), played.back());
    int live = 0;
    for (const AudioChannel& channel : played) live += playing(channel) ? 1 : 0;
    ASSERT_GE(live, SoundSystem::kChannelCount) << "the mixer should hold a voice per slot";

    GameSettings::instance().muted = true;
    sounds.applyMute();
    for (std::size_t i = 0; i < played.size(); ++i) {
        bool muted = false;
        played[i].getMute(muted);
        EXPECT_TRUE(!playing(played[i]) || muted) << "play " << i << " still sounds unmuted";
    }
    EXPECT_LT(loudness(), 1e-6);
}

}  // namespace
}  // namespace vestrel
