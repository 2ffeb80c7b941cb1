#pragma once

#include <glm/vec3.hpp>
#include <memory>
#include <string>

#include "audio/AudioChannel.h"
#include "audio/AudioResult.h"
#include "audio/AudioSound.h"

namespace vestrel {

class OpenAlBackend;

enum class AudioOutputType : int {
    AutoDetect = 0,  // the default playback device; the silent output when none opens
    NoSound = 2,     // the silent output: everything runs, nothing is heard
};

// The audio system: one OpenAL device with its context, a fixed set of voices and the
// loaded sounds. It owns every OpenAL object; sounds and channels are handles into it.
// All calls come from one thread. Every call returns a result and has no other effect
// when it fails.
//
// The silent output is OpenAL Soft's loopback device. It mixes only when asked to:
// update() mixes the time passed since the previous call, so sounds end and loops go
// round as they would through speakers, until renderSamples() is called once, after
// which only renderSamples() advances the mix (tests hear exactly what they render).
class AudioSystem {
public:
    // Version of this back end, and the oldest one the game accepts.
    static constexpr unsigned kVersion = 0x00010000;
    static constexpr unsigned kMinimumVersion = 0x00010000;
    // Sample rate and layout of the silent output (stereo float frames).
    static constexpr int kSilentSampleRate = 44100;

    // Makes a new, uninitialised system. Fails with Internal when OpenAL Soft lacks
    // the loopback extension the silent output needs.
    static AudioResult create(std::unique_ptr<AudioSystem>& system);
    ~AudioSystem();
    AudioSystem(const AudioSystem&) = delete;
    AudioSystem& operator=(const AudioSystem&) = delete;

    AudioResult getVersion(unsigned& version) const;
    // Playback devices OpenAL lists; 0 when it lists none.
    AudioResult getNumDrivers(int& count) const;
    // Before init only.
    AudioResult setOutput(AudioOutputType output);
    // Opens the output with `maxChannels` voices (1 to 255); `flags` must be 0.
    AudioResult init(int maxChannels, unsigned flags);
    // Doppler scale, units per metre and roll-off scale; all 1 by default.
    AudioResult set3DSettings(float dopplerScale, float distanceFactor, float rolloffScale);
    // Loads a whole file. `mode` is kSoundDefault or kSound3D, optionally with a loop bit.
    AudioResult createSound(const std::string& path, unsigned mode, AudioSound& sound);
    // Why the last createSound that read a file failed, in words; empty after
    // a success or when it failed before reading.
    const std::string& lastLoadError() const;
    // Starts `sound` on a free voice, or on the voice started longest ago when all are
    // busy (its old channel handle then fails). A paused channel is silent until
    // setPaused(false), so its settings can be made first.
    AudioResult playSound(const AudioSound& sound, bool paused, AudioChannel& channel);
    // Listener 0 only; null leaves a value as it is. `forward` and `up` turn the
    // listener (they must be finite, non-zero and not parallel); until they are
    // given it faces -z with +x to its right and +y up.
    AudioResult set3DListenerAttributes(int listener, const glm::vec3* position, const glm::vec3* velocity,
                                        const glm::vec3* forward = nullptr, const glm::vec3* up = nullptr);
    // Once per frame: frees voices whose sound ended; on the silent output also mixes
    // the time passed (see above).
    AudioResult update();
    // Stops everything and frees every sound, voice, context and device. init may follow.
    AudioResult close();
    // Closes; the system accepts no further calls but Uninitialized results.
    AudioResult release();

    // Volumes from 0 (silent) to 1 (as loaded), heard at once on every
    // channel and on channels started later: the master volume scales every
    // channel, a group's volume the channels of that group. A channel's gain
    // is its own volume x the master x its group's. Values outside 0..1 are
    // clamped; a non-finite one is refused.
    AudioResult setMasterVolume(float volume);
    AudioResult setGroupVolume(AudioGroup group, float volume);

    // True when the silent (loopback) output is in use.
    bool isSilentOutput() const;
    // Silent output only: mixes `frames` stereo float frames into `out` (2 x frames floats).
    AudioResult renderSamples(float* out, int frames);
    // Voices currently holding a channel; for tests and statistics.
    int activeChannels() const;

private:
    AudioSystem();
    std::unique_ptr<OpenAlBackend> backend_;
};

}  // namespace vestrel
