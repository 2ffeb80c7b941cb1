#pragma once

// Internal to src/audio: the OpenAL Soft objects behind AudioSystem, AudioSound and
// AudioChannel. Nothing outside this folder includes it.

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>

#include <chrono>
#include <cstdint>
#include <glm/vec3.hpp>
#include <string>
#include <vector>

#include "audio/AudioChannel.h"
#include "audio/AudioResult.h"
#include "audio/AudioSound.h"
#include "audio/AudioSystem.h"

namespace vestrel {

class OpenAlBackend {
public:
    OpenAlBackend();
    ~OpenAlBackend();
    OpenAlBackend(const OpenAlBackend&) = delete;
    OpenAlBackend& operator=(const OpenAlBackend&) = delete;

    bool hasLoopback() const { return loopbackOpen_ != nullptr; }

    // System
    AudioResult numDrivers(int& count) const;
    AudioResult setOutput(AudioOutputType output);
    AudioResult init(int maxChannels, unsigned flags);
    AudioResult set3DSettings(float doppler, float distanceFactor, float rolloff);
    AudioResult createSound(const std::string& path, unsigned mode, AudioSound& sound);
    const std::string& lastLoadError() const { return lastLoadError_; }
    AudioResult playSound(const AudioSound& sound, bool paused, AudioChannel& channel);
    AudioResult setListener(int listener, const glm::vec3* position, const glm::vec3* velocity,
                            const glm::vec3* forward = nullptr, const glm::vec3* up = nullptr);
    AudioResult update();
    AudioResult close();
    AudioResult release();
    bool isSilent() const { return initialised_ && silent_; }
    AudioResult renderSamples(float* out, int frames);
    AudioResult setMasterVolume(float volume);
    AudioResult setGroupVolume(AudioGroup group, float volume);
    int activeVoices();

    // Sound
    AudioResult soundSetMode(const AudioSound& sound, unsigned mode);
    AudioResult soundGetMode(const AudioSound& sound, unsigned& mode);
    AudioResult soundSetLoopCount(const AudioSound& sound, int count);
    AudioResult soundGetLoopCount(const AudioSound& sound, int& count);
    AudioResult soundSetMinMax(const AudioSound& sound, float minDistance, float maxDistance);
    AudioResult soundGetMinMax(const AudioSound& sound, float& minDistance, float& maxDistance);
    AudioResult soundGetLength(const AudioSound& sound, std::uint32_t& frames, int& sampleRate);
    AudioResult soundRelease(const AudioSound& sound);
    bool soundValid(const AudioSound& sound);

    // Channel
    AudioResult channelSet3D(const AudioChannel& channel, const glm::vec3* position,
                             const glm::vec3* velocity);
    AudioResult channelGet3D(const AudioChannel& channel, glm::vec3& position);
    AudioResult channelSetVolume(const AudioChannel& channel, float volume);
    AudioResult channelGetVolume(const AudioChannel& channel, float& volume);
    AudioResult channelSetPaused(const AudioChannel& channel, bool paused);
    AudioResult channelGetPaused(const AudioChannel& channel, bool& paused);
    AudioResult channelSetMute(const AudioChannel& channel, bool mute);
    AudioResult channelGetMute(const AudioChannel& channel, bool& mute);
    AudioResult channelSetGroup(const AudioChannel& channel, AudioGroup group);
    AudioResult channelIsPlaying(const AudioChannel& channel, bool& playing);
    AudioResult channelStop(const AudioChannel& channel);

private:
    struct SoundRecord {
        ALuint buffer = 0;  // owned; 0 once released
        std::uint32_t generation = 0;
        unsigned mode = kSoundDefault;
        int loopCount = -1;
        float minDistance = 1.0f;
        float maxDistance = 10000.0f;
        std::uint32_t frames = 0;
        int sampleRate = 0;
    };
    struct VoiceRecord {
        ALuint source = 0;  // owned
        std::uint32_t generation = 0;
        bool active = false;  // holds a channel
        bool paused = false;
        bool muted = false;
        bool is3D = false;
        float volume = 1.0f;
        AudioGroup group = AudioGroup::Effects;
        std::uint32_t soundSlot = 0;
        std::uint64_t startOrder = 0;
        glm::vec3 position{0.0f};
        glm::vec3 velocity{0.0f};
    };

    bool bind();
    SoundRecord* findSound(const AudioSound& sound);
    VoiceRecord* findVoice(const AudioChannel& channel);
    // Frees a voice whose sound has run out; true when it is still active afterwards.
    bool refresh(VoiceRecord& voice);
    void freeVoice(VoiceRecord& voice);
    void applyGain(const VoiceRecord& voice);
    AudioResult openSilentOutput();
    void pumpSilentOutput();

    LPALCLOOPBACKOPENDEVICESOFT loopbackOpen_ = nullptr;
    LPALCISRENDERFORMATSUPPORTEDSOFT renderFormatSupported_ = nullptr;
    LPALCRENDERSAMPLESSOFT renderSamples_ = nullptr;

    AudioOutputType output_ = AudioOutputType::AutoDetect;
    ALCdevice* device_ = nullptr;    // owned
    ALCcontext* context_ = nullptr;  // owned
    bool initialised_ = false;
    bool released_ = false;
    bool silent_ = false;
    bool manualRendering_ = false;
    std::chrono::steady_clock::time_point lastPump_{};
    std::vector<float> pumpScratch_;
    float rolloff_ = 1.0f;
    float masterVolume_ = 1.0f;
    float groupVolumes_[2] = {1.0f, 1.0f};  // by AudioGroup
    std::uint64_t playCounter_ = 0;
    std::string lastLoadError_;
    std::vector<SoundRecord> sounds_;
    std::vector<VoiceRecord> voices_;
};

}  // namespace vestrel
