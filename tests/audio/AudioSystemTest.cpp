#include "audio/AudioSystem.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <set>
#include <thread>

#include "audio/AudioTestSupport.h"

namespace vestrel {
namespace {

using test::framesFor;
using test::kAudible;
using test::render;
using test::tone;

class AudioSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(AudioSystem::create(system), AudioResult::Ok);
        ASSERT_EQ(system->setOutput(AudioOutputType::NoSound), AudioResult::Ok);
        ASSERT_EQ(system->init(36, 0), AudioResult::Ok);
        ASSERT_EQ(system->set3DSettings(1.0f, 1.0f, 1.0f), AudioResult::Ok);
        ASSERT_TRUE(system->isSilentOutput());
        ASSERT_TRUE(test::writeSound(shortTone, tone(0.2), 1));
        ASSERT_TRUE(test::writeSound(longTone, tone(2.0), 1));
        ASSERT_TRUE(test::writeSound(leftOnly, tone(2.0, 0.5f, 440.0, 2, true), 2));
    }

    AudioSound load(const std::string& path, unsigned mode) {
        AudioSound sound;
        EXPECT_EQ(system->createSound(path, mode, sound), AudioResult::Ok) << path;
        return sound;
    }

    AudioChannel play(const AudioSound& sound, bool paused = false) {
        AudioChannel channel;
        EXPECT_EQ(system->playSound(sound, paused, channel), AudioResult::Ok);
        return channel;
    }

    static bool playing(const AudioChannel& channel) {
        bool flag = false;
        channel.isPlaying(flag);
        return flag;
    }

    test::TempFolder folder;
    std::string shortTone = folder.file("short.wav");
    std::string longTone = folder.file("long.wav");
    std::string leftOnly = folder.file("left.wav");
    std::unique_ptr<AudioSystem> system;
};

TEST_F(AudioSystemTest, LoopModesDecideHowLongASoundIsHeard) {
    // Without end: still sounding long after the 0.2 s file ran out.
    AudioSound looping = load(shortTone, kSoundDefault);
    ASSERT_EQ(looping.setMode(kSoundLoopNormal), AudioResult::Ok);
    ASSERT_EQ(looping.setLoopCount(-1), AudioResult::Ok);
    AudioChannel loop = play(looping);
    render(*system, framesFor(0.9));
    EXPECT_GT(render(*system, framesFor(0.1)).both(), kAudible);
    EXPECT_TRUE(playing(loop));
    ASSERT_EQ(loop.stop(), AudioResult::Ok);
    EXPECT_FALSE(playing(loop));
    EXPECT_LT(render(*system, framesFor(0.05)).both(), 1e-6);

    // Once: silent after its length, and the channel is gone for good.
    AudioSound once = load(shortTone, kSoundDefault);
    AudioChannel single = play(once);
    EXPECT_GT(render(*system, framesFor(0.1)).both(), kAudible);
    render(*system, framesFor(0.15));
    EXPECT_LT(render(*system, framesFor(0.1)).both(), 1e-6);
    bool flag = true;
    EXPECT_EQ(single.isPlaying(flag), AudioResult::InvalidHandle);
    EXPECT_FALSE(flag);
    system->update();
    EXPECT_FALSE(playing(single));

    // A count of 2 plays three times: 0.6 s, then silence.
    ASSERT_EQ(once.setMode(kSoundLoopNormal), AudioResult::Ok);
    ASSERT_EQ(once.setLoopCount(2), AudioResult::Ok);
    AudioChannel thrice = play(once);
    render(*system, framesFor(0.45));
    EXPECT_GT(render(*system, framesFor(0.1)).both(), kAudible);
    render(*system, framesFor(0.1));
    EXPECT_LT(render(*system, framesFor(0.1)).both(), 1e-6);
    EXPECT_FALSE(playing(thrice));
}

TEST_F(AudioSystemTest, PausedChannelIsSilentUntilUnpaused) {
    AudioChannel channel = play(load(longTone, kSoundDefault), true);
    EXPECT_LT(render(*system, framesFor(0.2)).both(), 1e-6);
    EXPECT_TRUE(playing(channel)) << "a paused channel still exists";
    ASSERT_EQ(channel.setPaused(false), AudioResult::Ok);
    EXPECT_GT(render(*system, framesFor(0.1)).both(), kAudible);

    ASSERT_EQ(channel.setPaused(true), AudioResult::Ok);
    render(*system, framesFor(0.01));
    EXPECT_LT(render(*system, framesFor(0.5)).both(), 1e-6);
    EXPECT_TRUE(playing(channel)) << "pausing must not let a sound run out";
    ASSERT_EQ(channel.setPaused(false), AudioResult::Ok);
    EXPECT_GT(render(*system, framesFor(0.1)).both(), kAudible);
}

TEST_F(AudioSystemTest, VolumeScalesAmplitudeAndMuteKeepsIt) {
    AudioSound sound = load(longTone, kSoundDefault);
    AudioChannel full = play(sound);
    render(*system, framesFor(0.05));
    const double loud = render(*system, framesFor(0.2)).both();
    full.stop();

    AudioChannel quarter = play(sound, true);
    ASSERT_EQ(quarter.setVolume(0.25f), AudioResult::Ok);
    quarter.setPaused(false);
    render(*system, framesFor(0.05));
    const double soft = render(*system, framesFor(0.2)).both();
    ASSERT_GT(loud, kAudible);
    EXPECT_NEAR(soft / loud, 0.25, 0.02);

    ASSERT_EQ(quarter.setMute(true), AudioResult::Ok);
    render(*system, framesFor(0.02));
    EXPECT_LT(render(*system, framesFor(0.1)).both(), 1e-6);
    float volume = 0.0f;
    quarter.getVolume(volume);
    EXPECT_FLOAT_EQ(volume, 0.25f);
    ASSERT_EQ(quarter.setMute(false), AudioResult::Ok);
    render(*system, framesFor(0.02));
    EXPECT_NEAR(render(*system, framesFor(0.2)).both() / loud, 0.25, 0.02);
}

TEST_F(AudioSystemTest, PlacedSoundsComeFromTheirSide) {
    const glm::vec3 listener(10.0f, 2.0f, -3.0f);
    ASSERT_EQ(system->set3DListenerAttributes(0, &listener, nullptr), AudioResult::Ok);

    // The file is stereo with sound on the left only; loaded in 3D it is mixed to mono
    // and heard from where it is placed.
    AudioSound placed = load(leftOnly, kSound3D);
    AudioChannel right = play(placed, true);
    const glm::vec3 toTheRight = listener + glm::vec3(5.0f, 0.0f, 0.0f);
    ASSERT_EQ(right.set3DAttributes(&toTheRight, nullptr), AudioResult::Ok);
    right.setPaused(false);
    render(*system, framesFor(0.05));
    const test::Loudness fromRight = render(*system, framesFor(0.2));
    EXPECT_GT(fromRight.right, 1.5 * fromRight.left);
    right.stop();

    AudioChannel left = play(placed);
    const glm::vec3 toTheLeft = listener - glm::vec3(5.0f, 0.0f, 0.0f);
    left.set3DAttributes(&toTheLeft, nullptr);
    render(*system, framesFor(0.05));
    const test::Loudness fromLeft = render(*system, framesFor(0.2));
    EXPECT_GT(fromLeft.left, 1.5 * fromLeft.right);
    left.stop();

    // In 2D the same file keeps its channels and ignores placement.
    AudioChannel flat = play(load(leftOnly, kSoundDefault));
    flat.set3DAttributes(&toTheRight, nullptr);
    render(*system, framesFor(0.05));
    const test::Loudness stereo = render(*system, framesFor(0.2));
    EXPECT_GT(stereo.left, kAudible);
    EXPECT_LT(stereo.right, 1e-4);
}

TEST_F(AudioSystemTest, DistanceAttenuatesBetweenMinAndMax) {
    AudioSound sound = load(longTone, kSound3D);
    ASSERT_EQ(sound.set3DMinMaxDistance(1.0f, 10.0f), AudioResult::Ok);
    auto loudnessAt = [&](float distance) {
        AudioChannel channel = play(sound);
        const glm::vec3 position(0.0f, 0.0f, -distance);
        channel.set3DAttributes(&position, nullptr);
        render(*system, framesFor(0.05));
        const double level = render(*system, framesFor(0.2)).both();
        channel.stop();
        return level;
    };
    const double atMin = loudnessAt(1.0f);
    const double inside = loudnessAt(0.5f);
    const double atMax = loudnessAt(10.0f);
    const double beyond = loudnessAt(100.0f);
    EXPECT_NEAR(inside, atMin, atMin * 0.02) << "no louder inside the minimum distance";
    EXPECT_LT(beyond, atMin * 0.5);
    EXPECT_NEAR(beyond, atMax, atMax * 0.02) << "no quieter beyond the maximum distance";
    EXPECT_NEAR(atMax / atMin, 0.1, 0.02) << "inverse distance: min / (min + (d - min))";

    // Moving the listener away works the same as moving the sound.
    AudioChannel channel = play(sound);
    const glm::vec3 origin(0.0f);
    channel.set3DAttributes(&origin, nullptr);
    const glm::vec3 far(0.0f, 0.0f, 10.0f);
    system->set3DListenerAttributes(0, &far, nullptr);
    render(*system, framesFor(0.05));
    EXPECT_NEAR(render(*system, framesFor(0.2)).both(), atMax, atMax * 0.05);
    EXPECT_EQ(system->set3DListenerAttributes(1, &far, nullptr), AudioResult::InvalidParam);
}

TEST_F(AudioSystemTest, OldHandlesNeverReachANewerChannel) {
    AudioSound sound = load(longTone, kSoundDefault);
    AudioChannel first = play(sound);
    ASSERT_EQ(first.stop(), AudioResult::Ok);
    AudioChannel second = play(sound);  // takes the voice the first one left
    EXPECT_NE(first, second);
    EXPECT_EQ(first.setVolume(0.0f), AudioResult::InvalidHandle);
    EXPECT_EQ(first.setMute(true), AudioResult::InvalidHandle);
    EXPECT_EQ(first.stop(), AudioResult::InvalidHandle);
    EXPECT_GT(render(*system, framesFor(0.1)).both(), kAudible);
    EXPECT_TRUE(playing(second));

    // Releasing the sound stops what plays it and invalidates the handle.
    ASSERT_EQ(sound.release(), AudioResult::Ok);
    EXPECT_FALSE(sound.isValid());
    EXPECT_FALSE(playing(second));
    EXPECT_LT(render(*system, framesFor(0.05)).both(), 1e-6);
    EXPECT_EQ(sound.setMode(kSoundLoopNormal), AudioResult::InvalidHandle);
    EXPECT_EQ(sound.release(), AudioResult::InvalidHandle);
    AudioSound reloaded = load(longTone, kSoundDefault);
    EXPECT_FALSE(sound.isValid()) << "a new sound in the same slot must not revive the old handle";
    AudioChannel none;
    EXPECT_EQ(system->playSound(sound, false, none), AudioResult::InvalidHandle);
    EXPECT_TRUE(reloaded.isValid());

    // Default handles fail without effect.
    EXPECT_EQ(AudioChannel{}.setVolume(1.0f), AudioResult::InvalidHandle);
    EXPECT_EQ(AudioSound{}.set3DMinMaxDistance(1.0f, 2.0f), AudioResult::InvalidHandle);
}

TEST_F(AudioSystemTest, WhenAllVoicesAreBusyTheOldestGivesWay) {
    std::unique_ptr<AudioSystem> small;
    ASSERT_EQ(AudioSystem::create(small), AudioResult::Ok);
    small->setOutput(AudioOutputType::NoSound);
    ASSERT_EQ(small->init(2, 0), AudioResult::Ok);
    AudioSound sound;
    ASSERT_EQ(small->createSound(longTone, kSoundLoopNormal, sound), AudioResult::Ok);
    AudioChannel a, b, c;
    small->playSound(sound, false, a);
    small->playSound(sound, false, b);
    ASSERT_EQ(small->playSound(sound, false, c), AudioResult::Ok);
    EXPECT_FALSE(playing(a));
    EXPECT_TRUE(playing(b));
    EXPECT_TRUE(playing(c));
    EXPECT_EQ(small->activeChannels(), 2);
}

TEST_F(AudioSystemTest, BadInputIsRefusedWithItsCode) {
    AudioSound sound;
    EXPECT_EQ(system->createSound(folder.file("missing.wav"), kSoundDefault, sound),
              AudioResult::FileNotFound);
    EXPECT_FALSE(sound.isValid());
    EXPECT_EQ(system->createSound("", kSound3D, sound), AudioResult::FileNotFound);
    const std::string junk = folder.file("junk.ogg");
    std::ofstream(junk) << "this is not a sound file at all";
    EXPECT_EQ(system->createSound(junk, kSoundDefault, sound), AudioResult::FileBad);
    EXPECT_EQ(system->createSound(longTone, kSoundLoopOff | kSoundLoopNormal, sound),
              AudioResult::InvalidParam);

    sound = load(longTone, kSound3D);
    EXPECT_EQ(sound.set3DMinMaxDistance(5.0f, 1.0f), AudioResult::InvalidParam);
    EXPECT_EQ(sound.set3DMinMaxDistance(0.0f, 1.0f), AudioResult::InvalidParam);
    EXPECT_EQ(sound.setLoopCount(-2), AudioResult::InvalidParam);
    EXPECT_EQ(sound.set3DMinMaxDistance(10000.0f, 10000.0f), AudioResult::Ok);
    EXPECT_EQ(system->setOutput(AudioOutputType::AutoDetect), AudioResult::AlreadyInitialized);
    EXPECT_EQ(system->init(36, 0), AudioResult::AlreadyInitialized);
    EXPECT_EQ(system->set3DSettings(1.0f, 0.0f, 1.0f), AudioResult::InvalidParam);
    EXPECT_EQ(system->renderSamples(nullptr, 10), AudioResult::InvalidParam);

    // Every code has its own text.
    std::set<std::string> texts;
    for (int code = 0; code <= static_cast<int>(AudioResult::Internal); ++code) {
        texts.insert(audioErrorString(static_cast<AudioResult>(code)));
    }
    EXPECT_EQ(texts.size(), static_cast<std::size_t>(AudioResult::Internal) + 1);
}

TEST_F(AudioSystemTest, ClosedOrUninitialisedSystemRefusesEverything) {
    std::unique_ptr<AudioSystem> fresh;
    ASSERT_EQ(AudioSystem::create(fresh), AudioResult::Ok);
    AudioSound sound;
    EXPECT_EQ(fresh->createSound(longTone, kSoundDefault, sound), AudioResult::Uninitialized);
    EXPECT_EQ(fresh->update(), AudioResult::Uninitialized);
    EXPECT_EQ(fresh->init(0, 0), AudioResult::InvalidParam);

    AudioSound loaded = load(longTone, kSoundDefault);
    AudioChannel channel = play(loaded);
    ASSERT_EQ(system->close(), AudioResult::Ok);
    EXPECT_FALSE(loaded.isValid());
    EXPECT_FALSE(playing(channel));
    EXPECT_EQ(system->playSound(loaded, false, channel), AudioResult::Uninitialized);
    // A closed system can be opened again; old handles stay dead.
    ASSERT_EQ(system->init(4, 0), AudioResult::Ok);
    EXPECT_FALSE(loaded.isValid());
    ASSERT_EQ(system->release(), AudioResult::Ok);
    EXPECT_EQ(system->init(4, 0), AudioResult::Uninitialized);
}

TEST(AudioSystemClockTest, SilentOutputRunsInRealTimeUntilTestsRenderThemselves) {
    test::TempFolder folder;
    const std::string path = folder.file("blip.wav");
    ASSERT_TRUE(test::writeSound(path, tone(0.05), 1));
    std::unique_ptr<AudioSystem> system;
    ASSERT_EQ(AudioSystem::create(system), AudioResult::Ok);
    system->setOutput(AudioOutputType::NoSound);
    ASSERT_EQ(system->init(4, 0), AudioResult::Ok);
    AudioSound sound;
    ASSERT_EQ(system->createSound(path, kSoundDefault, sound), AudioResult::Ok);
    AudioChannel channel;
    ASSERT_EQ(system->playSound(sound, false, channel), AudioResult::Ok);
    bool playing = false;
    // The game only calls update(); a one-shot must end as it would on speakers.
    for (int i = 0; i < 50 && channel.isPlaying(playing) == AudioResult::Ok; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        system->update();
    }
    EXPECT_FALSE(playing);
}

}  // namespace
}  // namespace vestrel
