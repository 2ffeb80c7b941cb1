#include "audio/SoundDecoder.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "audio/AudioTestSupport.h"

namespace vestrel {
namespace {

using test::tone;

double peakOf(const std::vector<std::int16_t>& samples) {
    int peak = 0;
    for (std::int16_t s : samples) {
        peak = std::max(peak, std::abs(static_cast<int>(s)));
    }
    return peak / 32767.0;
}

TEST(SoundDecoderTest, PlacedSoundsAreMixedToMonoAndFlatOnesKeepTheirChannels) {
    test::TempFolder folder;
    const std::string stereo = folder.file("left.flac");
    ASSERT_TRUE(
        test::writeSound(stereo, tone(0.5, 0.5f, 440.0, 2, true), 2, SF_FORMAT_FLAC | SF_FORMAT_PCM_16));

    DecodedSound mono;
    ASSERT_EQ(SoundDecoder::decode(stereo, true, mono), AudioResult::Ok);
    EXPECT_EQ(mono.channels, 1);
    EXPECT_EQ(mono.sampleRate, test::kToneRate);
    EXPECT_EQ(mono.frames(), static_cast<std::size_t>(test::kToneRate / 2));
    EXPECT_NEAR(peakOf(mono.samples), 0.25, 0.01) << "the average of a 0.5 left and a silent right";

    DecodedSound kept;
    ASSERT_EQ(SoundDecoder::decode(stereo, false, kept), AudioResult::Ok);
    ASSERT_EQ(kept.channels, 2);
    std::vector<std::int16_t> right;
    for (std::size_t f = 0; f < kept.frames(); ++f) {
        right.push_back(kept.samples[2 * f + 1]);
    }
    EXPECT_EQ(peakOf(right), 0.0);
    EXPECT_NEAR(peakOf(kept.samples), 0.5, 0.01);

    // OpenAL has no layout wider than stereo for a plain buffer: four channels become one.
    const std::string quad = folder.file("quad.wav");
    ASSERT_TRUE(test::writeSound(quad, tone(0.1, 0.4f, 440.0, 4), 4));
    DecodedSound wide;
    ASSERT_EQ(SoundDecoder::decode(quad, false, wide), AudioResult::Ok);
    EXPECT_EQ(wide.channels, 1);
    EXPECT_NEAR(peakOf(wide.samples), 0.4, 0.01);

    // Out-of-range input clips instead of wrapping round.
    const std::vector<std::int16_t> clipped = SoundDecoder::mixDown({1.5f, 1.5f, -3.0f, -1.0f}, 2);
    EXPECT_EQ(clipped, (std::vector<std::int16_t>{32767, -32767}));
}

// Each failure says why in words, for the console line that names the file.
TEST(SoundDecoderTest, FilesThatAreNotSoundsFailCleanlyAndSayWhy) {
    test::TempFolder folder;
    std::ofstream(folder.file("text.mp3")) << "ID3 nothing useful here";
    std::ofstream(folder.file("text.wav")) << "RIFF but not really a wave file";
    // A real file cut off inside its header.
    const std::string whole = folder.file("whole.wav");
    ASSERT_TRUE(test::writeSound(whole, tone(0.1), 1));
    std::filesystem::resize_file(whole, 20);
    ASSERT_TRUE(test::writeSound(folder.file("silent.wav"), {}, 1));  // a header and no frames
    std::ofstream(folder.file("zero.wav")).flush();                   // no bytes at all
    struct Case {
        std::string path;
        AudioResult result;
        std::string reason;  // empty: libsndfile's own words, whatever they are
    };
    const Case cases[] = {
        {folder.file("absent.wav"), AudioResult::FileNotFound, "No such file or directory"},
        {"", AudioResult::FileNotFound, "no file name"},
        {folder.file("text.mp3"), AudioResult::FileBad, ""},
        {folder.file("text.wav"), AudioResult::FileBad, "Format not recognised."},
        {whole, AudioResult::FileBad, ""},
        {folder.file("silent.wav"), AudioResult::FileBad, "no sound in the file"},
        {folder.file("zero.wav"), AudioResult::FileBad, "the file is empty"},
        {folder.file(""), AudioResult::FileBad, "Is a directory"},
    };
    for (const Case& c : cases) {
        DecodedSound out;
        std::string reason;
        EXPECT_EQ(SoundDecoder::decode(c.path, false, out, &reason), c.result) << c.path;
        EXPECT_TRUE(out.samples.empty()) << c.path;
        if (c.reason.empty()) {
            EXPECT_GT(reason.size(), 5u) << c.path;
            EXPECT_EQ(reason.find("not a regular file"), std::string::npos) << reason;
        } else {
            EXPECT_EQ(reason, c.reason) << c.path;
        }
    }
}

// The game's own sounds, read with libsndfile straight from the repository.
struct GameSound {
    const char* file;
    int container;  // SF_FORMAT_* major format
    bool loops;     // played with endless repetition somewhere in the game
};

class GameSoundTest : public ::testing::TestWithParam<GameSound> {};

TEST_P(GameSoundTest, DecodesAndLoopsWithoutAClick) {
    const GameSound& sound = GetParam();
    const std::string path = std::string("Assets/Audio/") + sound.file;
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    ASSERT_NE(file, nullptr) << path << ": " << sf_strerror(nullptr);
    EXPECT_EQ(info.format & SF_FORMAT_TYPEMASK, sound.container) << path;
    std::vector<float> samples(static_cast<std::size_t>(info.samplerate) * 12 *
                               static_cast<std::size_t>(info.channels));
    const sf_count_t frames =
        sf_readf_float(file, samples.data(), static_cast<sf_count_t>(samples.size()) / info.channels);
    sf_close(file);
    samples.resize(static_cast<std::size_t>(frames * info.channels));

    const double length = static_cast<double>(frames) / info.samplerate;
    EXPECT_GE(length, 1.0) << path;
    EXPECT_LE(length, 10.0) << path;
    EXPECT_LT(std::filesystem::file_size(path), 200u * 1024u) << path;

    float peak = 0.0f;
    for (float v : samples) {
        peak = std::max(peak, std::fabs(v));
    }
    EXPECT_GT(peak, 0.2f) << path << " is nearly silent";
    EXPECT_LT(peak, 0.99f) << path << " clips";

    // Where the loop wraps, the jump from the last sample to the first must look like
    // the steps the sound takes around it (the first and last 5 ms), or the listener
    // hears a click once per turn.
    if (sound.loops && info.channels == 1) {
        const std::size_t near = static_cast<std::size_t>(info.samplerate) / 200;
        float local = 0.0f;
        for (std::size_t i = 1; i < near; ++i) {
            local = std::max(local, std::fabs(samples[i] - samples[i - 1]));
            const std::size_t j = samples.size() - i;
            local = std::max(local, std::fabs(samples[j] - samples[j - 1]));
        }
        const float seam = std::fabs(samples.front() - samples.back());
        EXPECT_LE(seam, 1.5f * local + 0.002f)
            << path << ": seam " << seam << ", steps around it up to " << local;
    }
    DecodedSound decoded;
    EXPECT_EQ(SoundDecoder::decode(path, true, decoded), AudioResult::Ok) << path;
}

INSTANTIATE_TEST_SUITE_P(Assets, GameSoundTest,
                         ::testing::Values(GameSound{"Ambient.mp3", SF_FORMAT_MPEG, true},
                                           GameSound{"breathing.wav", SF_FORMAT_WAV, true},
                                           GameSound{"death_scream.wav", SF_FORMAT_WAV, false},
                                           GameSound{"monster_growl1.mp3", SF_FORMAT_MPEG, true},
                                           GameSound{"waterdrip.flac", SF_FORMAT_FLAC, true},
                                           GameSound{"bang.ogg", SF_FORMAT_OGG, true},
                                           GameSound{"engine.wav", SF_FORMAT_WAV, true},
                                           GameSound{"heartbeat.wav", SF_FORMAT_WAV, false}));

}  // namespace
}  // namespace vestrel
