#pragma once

#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/AudioSystem.h"

namespace vestrel::test {

constexpr int kToneRate = 44100;

// A folder of its own under the system temp folder, removed with everything in it.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vestrel_audio_XXXXXX").string();
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        path_ = mkdtemp(name.data()) ? name.data() : "";
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Writes interleaved float frames with libsndfile; returns false when it cannot.
inline bool writeSound(const std::string& path, const std::vector<float>& interleaved, int channels,
                       int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16, int rate = kToneRate) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) {
        return false;
    }
    const sf_count_t frames = static_cast<sf_count_t>(interleaved.size()) / channels;
    const bool ok = sf_writef_float(file, interleaved.data(), frames) == frames;
    sf_close(file);
    return ok;
}

// A sine of `amplitude` at `hz` for `seconds`; on one channel, or with `channels` == 2
// on the left only when `leftOnly`, else on both.
inline std::vector<float> tone(double seconds, float amplitude = 0.5f, double hz = 440.0, int channels = 1,
                               bool leftOnly = false) {
    const auto frames = static_cast<std::size_t>(seconds * kToneRate);
    std::vector<float> out;
    out.reserve(frames * static_cast<std::size_t>(channels));
    for (std::size_t i = 0; i < frames; ++i) {
        const float v =
            amplitude * static_cast<float>(std::sin(2.0 * M_PI * hz * static_cast<double>(i) / kToneRate));
        for (int c = 0; c < channels; ++c) {
            out.push_back(leftOnly && c > 0 ? 0.0f : v);
        }
    }
    return out;
}

// Root mean square of each output channel over `frames` rendered stereo frames.
struct Loudness {
    double left = 0.0;
    double right = 0.0;
    double both() const { return std::sqrt((left * left + right * right) / 2.0); }
};

inline Loudness render(AudioSystem& system, int frames) {
    std::vector<float> out(static_cast<std::size_t>(frames) * 2, 0.0f);
    if (system.renderSamples(out.data(), frames) != AudioResult::Ok) {
        return {};
    }
    double left = 0.0;
    double right = 0.0;
    for (int f = 0; f < frames; ++f) {
        left += out[2 * static_cast<std::size_t>(f)] * out[2 * static_cast<std::size_t>(f)];
        right += out[2 * static_cast<std::size_t>(f) + 1] * out[2 * static_cast<std::size_t>(f) + 1];
    }
    return {std::sqrt(left / frames), std::sqrt(right / frames)};
}

// Frames of the silent output in `seconds`.
inline int framesFor(double seconds) { return static_cast<int>(seconds * AudioSystem::kSilentSampleRate); }

// Comfortably above the output's noise floor (the silent mix is exactly zero).
constexpr double kAudible = 0.01;

}  // namespace vestrel::test
