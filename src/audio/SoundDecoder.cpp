#include "audio/SoundDecoder.h"

#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

namespace vestrel {
namespace {

struct SndFileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using SndFilePtr = std::unique_ptr<SNDFILE, SndFileCloser>;

std::int16_t toPcm16(float value) {
    const float clipped = std::clamp(value, -1.0f, 1.0f);
    return static_cast<std::int16_t>(std::lrint(clipped * 32767.0f));
}

}  // namespace

std::vector<std::int16_t> SoundDecoder::mixDown(const std::vector<float>& interleaved, int channels) {
    std::vector<std::int16_t> mono;
    if (channels <= 0) {
        return mono;
    }
    const std::size_t frames = interleaved.size() / static_cast<std::size_t>(channels);
    mono.reserve(frames);
    for (std::size_t f = 0; f < frames; ++f) {
        float sum = 0.0f;
        for (int c = 0; c < channels; ++c) {
            sum += interleaved[f * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)];
        }
        mono.push_back(toPcm16(sum / static_cast<float>(channels)));
    }
    return mono;
}

AudioResult SoundDecoder::decode(const std::string& path, bool mono, DecodedSound& out, std::string* reason) {
    out = DecodedSound{};
    std::string ignored;
    std::string& why = reason != nullptr ? *reason : ignored;
    why.clear();
    if (path.empty()) {
        why = "no file name";
        return AudioResult::FileNotFound;
    }
    // libsndfile reports a missing file and a foreign format alike; tell them apart
    // so the console says which it is.
    if (std::FILE* probe = std::fopen(path.c_str(), "rb")) {
        // libsndfile calls an empty file "not a regular file (possibly a
        // pipe?)"; say what it is (or why it cannot be read, for a folder).
        const bool nothing = std::fgetc(probe) == EOF;
        const int readError = std::ferror(probe) ? errno : 0;
        std::fclose(probe);
        if (nothing) {
            why = readError != 0 ? std::strerror(readError) : "the file is empty";
            return AudioResult::FileBad;
        }
    } else {
        why = std::strerror(errno);
        return AudioResult::FileNotFound;
    }

    SF_INFO info{};
    SndFilePtr file(sf_open(path.c_str(), SFM_READ, &info));
    if (!file) {
        // Its public codes have words that fit; the others (7 for random
        // bytes in an .mp3: "does not exist or is not a regular file") would
        // mislead about a file just opened.
        const int code = sf_error(nullptr);
        why = code >= SF_ERR_UNRECOGNISED_FORMAT && code <= SF_ERR_UNSUPPORTED_ENCODING
                  ? sf_strerror(nullptr)
                  : "libsndfile cannot read it as sound (error " + std::to_string(code) + ")";
        return AudioResult::FileBad;
    }
    if (info.channels <= 0 || info.samplerate <= 0) {
        why = "its header gives " + std::to_string(info.channels) + " channels at " +
              std::to_string(info.samplerate) + " Hz";
        return AudioResult::FileBad;
    }

    const auto channels = static_cast<std::size_t>(info.channels);
    const auto maxFrames = static_cast<std::size_t>(info.samplerate) * kMaxSeconds;
    std::vector<float> pcm;
    constexpr std::size_t kChunkFrames = 4096;
    std::vector<float> chunk(kChunkFrames * channels);
    // Read to the end rather than trusting the header's frame count: MP3 streams and
    // damaged files do not always know their length.
    while (pcm.size() / channels < maxFrames) {
        const sf_count_t got =
            sf_readf_float(file.get(), chunk.data(), static_cast<sf_count_t>(kChunkFrames));
        if (got <= 0) {
            break;
        }
        pcm.insert(pcm.end(), chunk.begin(),
                   chunk.begin() + static_cast<std::ptrdiff_t>(got) * info.channels);
    }
    if (pcm.empty()) {
        why = sf_error(file.get()) != SF_ERR_NO_ERROR ? sf_strerror(file.get()) : "no sound in the file";
        return AudioResult::FileBad;
    }

    out.sampleRate = info.samplerate;
    if (mono || info.channels > 2) {
        out.channels = 1;
        out.samples = mixDown(pcm, info.channels);
    } else {
        out.channels = info.channels;
        out.samples.reserve(pcm.size());
        for (float v : pcm) {
            out.samples.push_back(toPcm16(v));
        }
    }
    return AudioResult::Ok;
}

}  // namespace vestrel
