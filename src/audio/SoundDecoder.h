#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "audio/AudioResult.h"

namespace vestrel {

// PCM ready for an OpenAL buffer: 16-bit signed, interleaved, one or two channels.
struct DecodedSound {
    int sampleRate = 0;
    int channels = 0;
    std::vector<std::int16_t> samples;  // frames x channels

    std::size_t frames() const {
        return channels > 0 ? samples.size() / static_cast<std::size_t>(channels) : 0;
    }
};

// Reads a whole sound file (WAV, FLAC, Ogg Vorbis, MP3: whatever libsndfile decodes)
// through libsndfile. The path is used as given; callers translate it first.
class SoundDecoder {
public:
    // The longest sound accepted, so that a damaged header cannot make us allocate
    // without bound: ten minutes at the file's own rate.
    static constexpr int kMaxSeconds = 600;

    // Decodes `path` into `out`. With `mono` every frame becomes the average of its
    // channels (a placed sound must be mono); without it mono and stereo stay as they
    // are and anything wider is averaged down to mono too. Returns FileNotFound when
    // the file cannot be opened, FileBad when it is not a sound or holds no frames;
    // `out` is left empty on failure and `reason`, when given, says why in words
    // ("No such file or directory", libsndfile's "Format not recognised.").
    static AudioResult decode(const std::string& path, bool mono, DecodedSound& out,
                              std::string* reason = nullptr);

    // Averages interleaved frames of `channels` channels into one channel and
    // converts to 16 bits with clipping. Exposed for the back end's tests.
    static std::vector<std::int16_t> mixDown(const std::vector<float>& interleaved, int channels);
};

}  // namespace vestrel
