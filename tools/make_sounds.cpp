// Writes the game's eight sounds into Assets/Audio (or the folder given as the first
// argument). Everything is synthesised from fixed seeds, so a rerun gives the same
// sounds. Looping sounds are built from whole periods of their loop length (tones with
// an integer number of cycles, noise filtered around the loop), so the last sample
// runs into the first without a click.

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 22050;
constexpr double kPi = 3.14159265358979323846;
constexpr float kPeak = 0.7f;

using Samples = std::vector<float>;

// A small fixed generator, so the noise is the same on every platform.
class Noise {
public:
    explicit Noise(std::uint32_t seed) : state_(seed ? seed : 1u) {}
    float next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return static_cast<float>(state_) / 2147483648.0f - 1.0f;
    }

private:
    std::uint32_t state_;
};

Samples whiteNoise(std::size_t frames, std::uint32_t seed) {
    Noise noise(seed);
    Samples out(frames);
    for (float& v : out) {
        v = noise.next();
    }
    return out;
}

// One-pole low pass run around the loop twice, so the filter state at the start
// equals the state at the end and the result repeats seamlessly.
Samples loopLowPass(const Samples& in, float cutoffHz) {
    const float a = 1.0f - std::exp(static_cast<float>(-2.0 * kPi * cutoffHz / kRate));
    Samples out(in.size());
    float state = 0.0f;
    for (int pass = 0; pass < 2; ++pass) {
        for (std::size_t i = 0; i < in.size(); ++i) {
            state += a * (in[i] - state);
            out[i] = state;
        }
    }
    return out;
}

Samples loopHighPass(const Samples& in, float cutoffHz) {
    const Samples low = loopLowPass(in, cutoffHz);
    Samples out(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        out[i] = in[i] - low[i];
    }
    return out;
}

double seconds(std::size_t i) { return static_cast<double>(i) / kRate; }

// A window that is 0 outside [start, start + length] and rises and falls as sin^2.
float bump(double t, double start, double length) {
    if (t < start || t > start + length) {
        return 0.0f;
    }
    const double s = std::sin(kPi * (t - start) / length);
    return static_cast<float>(s * s);
}

void normalise(Samples& samples) {
    float peak = 0.0f;
    for (float v : samples) {
        peak = std::max(peak, std::fabs(v));
    }
    if (peak > 0.0f) {
        for (float& v : samples) {
            v *= kPeak / peak;
        }
    }
}

// Slow dark drone for the whole house: 6 s loop of low tones beating slowly, with wind.
Samples ambient() {
    const double length = 6.0;
    const auto frames = static_cast<std::size_t>(length * kRate);
    const Samples wind = loopLowPass(loopLowPass(whiteNoise(frames, 11), 400.0f), 400.0f);
    Samples out(frames);
    // Frequencies are whole multiples of 1/6 Hz: every tone ends where it began.
    const double tones[][2] = {{55.0, 0.5}, {55.0 + 1.0 / 3.0, 0.4}, {82.5, 0.25}, {110.0 + 1.0 / 6.0, 0.15}};
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = seconds(i);
        double v = 0.0;
        for (const auto& tone : tones) {
            v += tone[1] * std::sin(2.0 * kPi * tone[0] * t);
        }
        const double swell = 0.6 + 0.4 * std::sin(2.0 * kPi * t / length);
        out[i] = static_cast<float>(v * 0.5 + 3.0 * wind[i] * swell);
    }
    normalise(out);
    return out;
}

// Heavy breathing: two breaths (in, out) in a 3.2 s loop, silent at both ends.
Samples breathing() {
    const double length = 3.2;
    const auto frames = static_cast<std::size_t>(length * kRate);
    const Samples air = loopLowPass(loopHighPass(whiteNoise(frames, 23), 300.0f), 2500.0f);
    Samples out(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = seconds(i);
        const float envelope = 0.8f * bump(t, 0.05, 0.7) + 1.0f * bump(t, 0.8, 0.75) +
                               0.8f * bump(t, 1.65, 0.7) + 1.0f * bump(t, 2.4, 0.75);
        out[i] = air[i] * envelope;
    }
    normalise(out);
    return out;
}

// A falling scream with vibrato, 2.2 s, fading to nothing.
Samples deathScream() {
    const double length = 2.2;
    const auto frames = static_cast<std::size_t>(length * kRate);
    const Samples rasp = loopHighPass(whiteNoise(frames, 37), 1500.0f);
    Samples out(frames);
    double phase = 0.0;
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = seconds(i);
        const double pitch = 900.0 - 350.0 * (t / length) + 25.0 * std::sin(2.0 * kPi * 6.0 * t);
        phase += pitch / kRate;
        double v = 0.0;
        for (int h = 1; h <= 6; ++h) {
            v += std::sin(2.0 * kPi * h * phase) / h;
        }
        const double attack = std::min(1.0, t / 0.05);
        const double release = std::min(1.0, (length - t) / 0.6);
        out[i] = static_cast<float>((v + 0.3 * rasp[i]) * attack * std::max(0.0, release));
    }
    normalise(out);
    return out;
}

// The monster's growl: a rough low voice whose pitch and loudness swell twice per
// 4 s loop. The pitch wobble integrates to whole cycles, so the loop is seamless.
Samples growl() {
    const double length = 4.0;
    const auto frames = static_cast<std::size_t>(length * kRate);
    const Samples rumble = loopLowPass(whiteNoise(frames, 41), 250.0f);
    Samples out(frames);
    const double base = 70.0;  // 280 cycles per loop
    const double wobble = 8.0;
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = seconds(i);
        const double w = 2.0 * kPi * 2.0 / length;  // two swells per loop
        const double phase = base * t + wobble / w * (1.0 - std::cos(w * t));
        double v = 0.0;
        for (int h = 1; h <= 12; ++h) {
            v += std::sin(2.0 * kPi * h * phase) / h;
        }
        const double swell = 0.55 + 0.45 * std::sin(w * t - kPi / 2.0);
        out[i] = static_cast<float>((v + 4.0 * rumble[i]) * swell);
    }
    normalise(out);
    return out;
}

// Two drops into a basin in a 2 s loop; silence between, so it loops cleanly.
Samples waterdrip() {
    const double length = 2.0;
    const auto frames = static_cast<std::size_t>(length * kRate);
    Samples out(frames, 0.0f);
    const double drops[][2] = {{0.25, 1400.0}, {1.15, 1150.0}};
    for (const auto& drop : drops) {
        double phase = 0.0;
        for (std::size_t i = 0; i < frames; ++i) {
            const double t = seconds(i) - drop[0];
            if (t < 0.0 || t > 0.35) {
                continue;
            }
            // A rising "plink": the bubble's pitch climbs as it shrinks.
            phase += drop[1] * (1.0 + 1.2 * t / 0.35) / kRate;
            const double envelope =
                std::min(1.0, t / 0.002) * std::exp(-t * 18.0) * std::min(1.0, (0.35 - t) / 0.05);
            out[i] += static_cast<float>(std::sin(2.0 * kPi * phase) * envelope);
        }
    }
    normalise(out);
    return out;
}

// A metal bang: noise burst with a low thump and a ringing tail, 1.6 s, fading out.
Samples bang() {
    const double length = 1.6;
    const auto frames = static_cast<std::size_t>(length * kRate);
    const Samples crash = loopLowPass(whiteNoise(frames, 53), 3000.0f);
    Samples out(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = seconds(i);
        const double attack = std::min(1.0, t / 0.002);
        const double fade = std::min(1.0, (length - t) / 0.2);
        const double thump = std::sin(2.0 * kPi * 60.0 * t) * std::exp(-t * 8.0);
        const double ring = 0.4 * std::sin(2.0 * kPi * 415.0 * t) * std::exp(-t * 3.0) +
                            0.25 * std::sin(2.0 * kPi * 1033.0 * t) * std::exp(-t * 4.0);
        const double burst = 2.0 * crash[i] * std::exp(-t * 12.0);
        out[i] = static_cast<float>((thump + ring + burst) * attack * std::max(0.0, fade));
    }
    normalise(out);
    return out;
}

// A generator running: a 50 Hz hum with firing pulses 25 times a second, 2 s loop.
Samples engine() {
    const double length = 2.0;
    const auto frames = static_cast<std::size_t>(length * kRate);
    const Samples clatter = loopLowPass(loopHighPass(whiteNoise(frames, 67), 800.0f), 4000.0f);
    Samples out(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = seconds(i);
        double hum = 0.0;
        for (int h = 1; h <= 8; ++h) {
            hum += std::sin(2.0 * kPi * 50.0 * h * t + h) / h;
        }
        const double pulse = 0.5 + 0.5 * std::cos(2.0 * kPi * 25.0 * t);
        out[i] = static_cast<float>(hum * (0.4 + 0.6 * pulse) + 0.8 * clatter[i] * pulse);
    }
    normalise(out);
    return out;
}

// One heartbeat, "lub-dub", and silence to a second: the game plays it once per
// beat, faster as the monster nears, so the rate is the game's, not the file's.
Samples heartbeat() {
    const auto frames = static_cast<std::size_t>(1.0 * kRate);
    const Samples thud = loopLowPass(loopLowPass(whiteNoise(frames, 71), 180.0f), 180.0f);
    Samples out(frames);
    // Each beat: a quick rise, a fall of about a tenth of a second, a low tone
    // sliding down a little as the valves close.
    struct Beat {
        double start, strength, pitch;
    };
    const Beat beats[] = {{0.02, 1.0, 58.0}, {0.24, 0.7, 68.0}};
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = seconds(i);
        double v = 0.0;
        for (const Beat& beat : beats) {
            const double u = t - beat.start;
            if (u < 0.0) continue;
            const double envelope = (1.0 - std::exp(-u / 0.006)) * std::exp(-u / 0.055);
            const double phase = 2.0 * kPi * beat.pitch * (u - 0.8 * u * u);
            v += beat.strength * envelope * (std::sin(phase) + 0.35 * std::sin(0.5 * phase) + 2.5 * thud[i]);
        }
        out[i] = static_cast<float>(v);
    }
    normalise(out);
    return out;
}

bool write(const std::string& path, int format, const Samples& samples) {
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 1;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) {
        std::cout << "Cannot write " << path << ": " << sf_strerror(nullptr) << std::endl;
        return false;
    }
    // Keep the lossy files small; the sounds are dark and low, little is lost.
    double compression = 0.6;
    if ((format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG || (format & SF_FORMAT_TYPEMASK) == SF_FORMAT_OGG) {
        sf_command(file, SFC_SET_COMPRESSION_LEVEL, &compression, sizeof(compression));
    }
    const sf_count_t written = sf_writef_float(file, samples.data(), static_cast<sf_count_t>(samples.size()));
    sf_close(file);
    if (written != static_cast<sf_count_t>(samples.size())) {
        std::cout << "Short write to " << path << std::endl;
        return false;
    }
    std::cout << "Wrote " << path << " (" << samples.size() << " frames)" << std::endl;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : "Assets/Audio";
    const int mp3 = SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    const int wav = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    bool ok = true;
    ok &= write(folder + "/Ambient.mp3", mp3, ambient());
    ok &= write(folder + "/breathing.wav", wav, breathing());
    ok &= write(folder + "/death_scream.wav", wav, deathScream());
    ok &= write(folder + "/monster_growl1.mp3", mp3, growl());
    ok &= write(folder + "/waterdrip.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, waterdrip());
    ok &= write(folder + "/bang.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, bang());
    ok &= write(folder + "/engine.wav", wav, engine());
    ok &= write(folder + "/heartbeat.wav", wav, heartbeat());
    return ok ? 0 : 1;
}
