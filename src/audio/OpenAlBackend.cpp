#include "audio/OpenAlBackend.h"

#include <glm/geometric.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "audio/SoundDecoder.h"

namespace vestrel {
namespace {

constexpr float kSpeedOfSound = 343.3f;  // OpenAL's default, in metres per second
constexpr int kMaxVoices = 255;
// A finite loop count is played by queueing the buffer that many times; longer
// counts are cut here to keep the queue small.
constexpr int kMaxQueuedRepeats = 1024;
// The silent output never mixes more than this much at once, so one long frame
// (a breakpoint, a slow load) does not stall the next update.
constexpr double kMaxPumpSeconds = 0.25;
constexpr int kPumpChunkFrames = 1024;

bool finite(float v) { return std::isfinite(v); }

}  // namespace

OpenAlBackend::OpenAlBackend() {
    if (alcIsExtensionPresent(nullptr, "ALC_SOFT_loopback") == ALC_TRUE) {
        loopbackOpen_ = reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(
            alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
        renderFormatSupported_ = reinterpret_cast<LPALCISRENDERFORMATSUPPORTEDSOFT>(
            alcGetProcAddress(nullptr, "alcIsRenderFormatSupportedSOFT"));
        renderSamples_ =
            reinterpret_cast<LPALCRENDERSAMPLESSOFT>(alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
        if (!loopbackOpen_ || !renderFormatSupported_ || !renderSamples_) {
            loopbackOpen_ = nullptr;
        }
    }
}

OpenAlBackend::~OpenAlBackend() { close(); }

bool OpenAlBackend::bind() {
    if (!context_) {
        return false;
    }
    if (alcGetCurrentContext() != context_) {
        alcMakeContextCurrent(context_);
    }
    return true;
}

AudioResult OpenAlBackend::numDrivers(int& count) const {
    count = 0;
    const bool all = alcIsExtensionPresent(nullptr, "ALC_ENUMERATE_ALL_EXT") == ALC_TRUE;
    const ALCchar* list = alcGetString(nullptr, all ? ALC_ALL_DEVICES_SPECIFIER : ALC_DEVICE_SPECIFIER);
    // The list is a run of zero-terminated names ending with an empty one.
    for (const ALCchar* name = list; name && *name; name += std::strlen(name) + 1) {
        ++count;
    }
    return AudioResult::Ok;
}

AudioResult OpenAlBackend::setOutput(AudioOutputType output) {
    if (released_) {
        return AudioResult::Uninitialized;
    }
    if (initialised_) {
        return AudioResult::AlreadyInitialized;
    }
    if (output != AudioOutputType::AutoDetect && output != AudioOutputType::NoSound) {
        return AudioResult::InvalidParam;
    }
    output_ = output;
    return AudioResult::Ok;
}

AudioResult OpenAlBackend::openSilentOutput() {
    if (!loopbackOpen_) {
        return AudioResult::OutputInit;
    }
    device_ = loopbackOpen_(nullptr);
    if (!device_) {
        return AudioResult::OutputInit;
    }
    if (renderFormatSupported_(device_, AudioSystem::kSilentSampleRate, ALC_STEREO_SOFT, ALC_FLOAT_SOFT) !=
        ALC_TRUE) {
        alcCloseDevice(device_);
        device_ = nullptr;
        return AudioResult::OutputInit;
    }
    // Plain stereo panning and no limiter, so what tests render is the mix itself.
    const ALCint attributes[] = {ALC_FORMAT_CHANNELS_SOFT,
                                 ALC_STEREO_SOFT,
                                 ALC_FORMAT_TYPE_SOFT,
                                 ALC_FLOAT_SOFT,
                                 ALC_FREQUENCY,
                                 AudioSystem::kSilentSampleRate,
                                 ALC_HRTF_SOFT,
                                 ALC_FALSE,
                                 ALC_OUTPUT_LIMITER_SOFT,
                                 ALC_FALSE,
                                 0};
    context_ = alcCreateContext(device_, attributes);
    if (!context_) {
        alcCloseDevice(device_);
        device_ = nullptr;
        return AudioResult::OutputInit;
    }
    silent_ = true;
    return AudioResult::Ok;
}

AudioResult OpenAlBackend::init(int maxChannels, unsigned flags) {
    if (released_) {
        return AudioResult::Uninitialized;
    }
    if (initialised_) {
        return AudioResult::AlreadyInitialized;
    }
    if (maxChannels < 1 || maxChannels > kMaxVoices || flags != 0) {
        return AudioResult::InvalidParam;
    }
    silent_ = false;
    manualRendering_ = false;
    if (output_ == AudioOutputType::AutoDetect) {
        device_ = alcOpenDevice(nullptr);
        if (device_) {
            context_ = alcCreateContext(device_, nullptr);
            if (!context_) {
                alcCloseDevice(device_);
                device_ = nullptr;
            }
        }
    }
    // No playback device (or none wanted): run on the silent output.
    if (!context_) {
        const AudioResult opened = openSilentOutput();
        if (opened != AudioResult::Ok) {
            return opened;
        }
    }

    bind();
    alGetError();
    voices_.assign(static_cast<std::size_t>(maxChannels), VoiceRecord{});
    for (VoiceRecord& voice : voices_) {
        alGenSources(1, &voice.source);
        if (alGetError() != AL_NO_ERROR) {
            voice.source = 0;
            initialised_ = true;  // lets close() free what was made
            close();
            return AudioResult::Internal;
        }
    }
    alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
    alDopplerFactor(1.0f);
    alSpeedOfSound(kSpeedOfSound);
    rolloff_ = 1.0f;
    lastPump_ = std::chrono::steady_clock::now();
    initialised_ = true;
    return AudioResult::Ok;
}

AudioResult OpenAlBackend::set3DSettings(float doppler, float distanceFactor, float rolloff) {
    if (!initialised_) {
        return AudioResult::Uninitialized;
    }
    if (!finite(doppler) || !finite(distanceFactor) || !finite(rolloff) || doppler < 0.0f ||
        distanceFactor <= 0.0f || rolloff < 0.0f) {
        return AudioResult::InvalidParam;
    }
    bind();
    alDopplerFactor(doppler);
    // The distance factor is units per metre; it only changes how fast sound travels.
    alSpeedOfSound(kSpeedOfSound * distanceFactor);
    rolloff_ = rolloff;
    for (VoiceRecord& voice : voices_) {
        if (voice.active && voice.is3D) {
            alSourcef(voice.source, AL_ROLLOFF_FACTOR, rolloff_);
        }
    }
    return AudioResult::Ok;
}

AudioResult OpenAlBackend::createSound(const std::string& path, unsigned mode, AudioSound& sound) {
    sound = AudioSound{};
    lastLoadError_.clear();
    if (!initialised_) {
        return AudioResult::Uninitialized;
    }
    const unsigned known = kSoundLoopOff | kSoundLoopNormal | kSound3D;
    if ((mode & ~known) != 0 || ((mode & kSoundLoopOff) != 0 && (mode & kSoundLoopNormal) != 0)) {
        return AudioResult::InvalidParam;
    }
    const bool is3D = (mode & kSound3D) != 0;
    DecodedSound decoded;
    const AudioResult read = SoundDecoder::decode(path, is3D, decoded, &lastLoadError_);
    if (read != AudioResult::Ok) {
        return read;
    }
    lastLoadError_ = "OpenAL refused the decoded samples";

    bind();
    alGetError();
    ALuint buffer = 0;
    alGenBuffers(1, &buffer);
    if (alGetError() != AL_NO_ERROR) {
        return AudioResult::Internal;
    }
    const ALenum format = decoded.channels == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16;
    alBufferData(buffer, format, decoded.samples.data(),
                 static_cast<ALsizei>(decoded.samples.size() * sizeof(std::int16_t)), decoded.sampleRate);
    if (alGetError() != AL_NO_ERROR) {
        alDeleteBuffers(1, &buffer);
        return AudioResult::Internal;
    }

    auto slot =
        std::find_if(sounds_.begin(), sounds_.end(), [](const SoundRecord& r) { return r.buffer == 0; });
    if (slot == sounds_.end()) {
        slot = sounds_.insert(sounds_.end(), SoundRecord{});
    }
    SoundRecord& record = *slot;
    record = SoundRecord{};
    record.buffer = buffer;
    record.generation = static_cast<std::uint32_t>(++playCounter_);
    record.mode = (mode & (kSoundLoopOff | kSoundLoopNormal)) ? mode : (mode | kSoundLoopOff);
    record.frames = static_cast<std::uint32_t>(decoded.frames());
    record.sampleRate = decoded.sampleRate;
    sound = AudioSound(this, static_cast<std::uint32_t>(slot - sounds_.begin()), record.generation);
    lastLoadError_.clear();
    return AudioResult::Ok;
}

OpenAlBackend::SoundRecord* OpenAlBackend::findSound(const AudioSound& sound) {
    if (sound.backend_ != this || !initialised_ || sound.slot_ >= sounds_.size()) {
        return nullptr;
    }
    SoundRecord& record = sounds_[sound.slot_];
    if (record.buffer == 0 || record.generation != sound.generation_) {
        return nullptr;
    }
    return &record;
}

OpenAlBackend::VoiceRecord* OpenAlBackend::findVoice(const AudioChannel& channel) {
    if (channel.backend_ != this || !initialised_ || channel.voice_ >= voices_.size()) {
        return nullptr;
    }
    VoiceRecord& voice = voices_[channel.voice_];
    if (voice.generation != channel.generation_ || !bind() || !refresh(voice)) {
        return nullptr;
    }
    return &voice;
}

bool OpenAlBackend::refresh(VoiceRecord& voice) {
    if (!voice.active) {
        return false;
    }
    if (voice.paused) {
        return true;
    }
    ALint state = AL_STOPPED;
    alGetSourcei(voice.source, AL_SOURCE_STATE, &state);
    if (state == AL_STOPPED || state == AL_INITIAL) {
        freeVoice(voice);
        return false;
    }
    return true;
}

void OpenAlBackend::freeVoice(VoiceRecord& voice) {
    alSourceStop(voice.source);
    alSourcei(voice.source, AL_BUFFER, 0);
    voice.active = false;
    voice.paused = false;
}

void OpenAlBackend::applyGain(const VoiceRecord& voice) {
    const float group = groupVolumes_[static_cast<int>(voice.group)];
    alSourcef(voice.source, AL_GAIN, voice.muted ? 0.0f : voice.volume * masterVolume_ * group);
}

AudioResult OpenAlBackend::setMasterVolume(float volume) {
    if (!finite(volume)) {
        return AudioResult::InvalidParam;
    }
    masterVolume_ = std::clamp(volume, 0.0f, 1.0f);
    if (initialised_ && bind()) {
        for (VoiceRecord& voice : voices_) {
            if (voice.active) applyGain(voice);
        }
    }
    return AudioResult::Ok;
}

AudioResult OpenAlBackend::setGroupVolume(AudioGroup group, float volume) {
    const int index = static_cast<int>(group);
    if (!finite(volume) || index < 0 || index > 1) {
        return AudioResult::InvalidParam;
    }
    groupVolumes_[index] = std::clamp(volume, 0.0f, 1.0f);
    if (initialised_ && bind()) {
        for (VoiceRecord& voice : voices_) {
            if (voice.active && voice.group == group) applyGain(voice);
        }
    }
    return AudioResult::Ok;
}

AudioResult OpenAlBackend::playSound(const AudioSound& sound, bool paused, AudioChannel& channel) {
    channel = AudioChannel{};
    if (!initialised_) {
        return AudioResult::Uninitialized;
    }
    SoundRecord* record = findSound(sound);
    if (!record || !bind()) {
        return AudioResult::InvalidHandle;
    }
    VoiceRecord* chosen = nullptr;
    for (VoiceRecord& voice : voices_) {
        if (!refresh(voice)) {
            chosen = &voice;
            break;
        }
    }
    if (!chosen) {
        // Every voice is busy: the one started longest ago gives way.
        chosen = &*std::min_element(
            voices_.begin(), voices_.end(),
            [](const VoiceRecord& a, const VoiceRecord& b) { return a.startOrder < b.startOrder; });
        freeVoice(*chosen);
    }

    VoiceRecord& voice = *chosen;
    const ALuint source = voice.source;
    alGetError();
    const bool loops = (record->mode & kSoundLoopNormal) != 0;
    if (loops && record->loopCount > 0) {
        const int plays = std::min(record->loopCount, kMaxQueuedRepeats) + 1;
        alSourcei(source, AL_LOOPING, AL_FALSE);
        std::vector<ALuint> queue(static_cast<std::size_t>(plays), record->buffer);
        alSourceQueueBuffers(source, plays, queue.data());
    } else {
        alSourcei(source, AL_LOOPING, loops && record->loopCount < 0 ? AL_TRUE : AL_FALSE);
        alSourcei(source, AL_BUFFER, static_cast<ALint>(record->buffer));
    }
    voice.is3D = (record->mode & kSound3D) != 0;
    voice.position = glm::vec3(0.0f);
    voice.velocity = glm::vec3(0.0f);
    alSource3f(source, AL_POSITION, 0.0f, 0.0f, 0.0f);
    alSource3f(source, AL_VELOCITY, 0.0f, 0.0f, 0.0f);
    alSourcef(source, AL_PITCH, 1.0f);
    if (voice.is3D) {
        alSourcei(source, AL_SOURCE_RELATIVE, AL_FALSE);
        alSourcef(source, AL_REFERENCE_DISTANCE, record->minDistance);
        alSourcef(source, AL_MAX_DISTANCE, record->maxDistance);
        alSourcef(source, AL_ROLLOFF_FACTOR, rolloff_);
    } else {
        // Heard at the listener, whatever the listener does.
        alSourcei(source, AL_SOURCE_RELATIVE, AL_TRUE);
        alSourcef(source, AL_ROLLOFF_FACTOR, 0.0f);
    }
    voice.volume = 1.0f;
    voice.muted = false;
    voice.group = AudioGroup::Effects;
    applyGain(voice);
    voice.paused = paused;
    if (!paused) {
        alSourcePlay(source);
    }
    if (alGetError() != AL_NO_ERROR) {
        freeVoice(voice);
        return AudioResult::Internal;
    }
    voice.active = true;
    voice.soundSlot = sound.slot_;
    voice.startOrder = ++playCounter_;
    voice.generation = static_cast<std::uint32_t>(voice.startOrder);
    channel = AudioChannel(this, static_cast<std::uint32_t>(chosen - voices_.data()), voice.generation);
    return AudioResult::Ok;
}

AudioResult OpenAlBackend::setListener(int listener, const glm::vec3* position, const glm::vec3* velocity,
                                       const glm::vec3* forward, const glm::vec3* up) {
    if (!initialised_) {
        return AudioResult::Uninitialized;
    }
    const auto finiteVector = [](const glm::vec3* v) { return finite(v->x) && finite(v->y) && finite(v->z); };
    if (listener != 0 || (position && !finiteVector(position))) {
        return AudioResult::InvalidParam;
    }
    // An orientation needs both vectors, finite, non-zero and not parallel.
    if ((forward == nullptr) != (up == nullptr)) {
        return AudioResult::InvalidParam;
    }
    if (forward != nullptr) {
        if (!finiteVector(forward) || !finiteVector(up)) {
            return AudioResult::InvalidParam;
        }
        const glm::vec3 side = glm::cross(*forward, *up);
        if (!(glm::dot(side, side) > 1e-12f)) {
            return AudioResult::InvalidParam;
        }
    }
    bind();
    if (forward != nullptr) {
        const ALfloat orientation[6] = {forward->x, forward->y, forward->z, up->x, up->y, up->z};
        alListenerfv(AL_ORIENTATION, orientation);
    }
    if (position) {
        alListener3f(AL_POSITION, position->x, position->y, position->z);
    }
    if (velocity) {
        alListener3f(AL_VELOCITY, velocity->x, velocity->y, velocity->z);
    }
    return AudioResult::Ok;
}

void OpenAlBackend::pumpSilentOutput() {
    const auto now = std::chrono::steady_clock::now();
    const double seconds = std::min(std::chrono::duration<double>(now - lastPump_).count(), kMaxPumpSeconds);
    lastPump_ = now;
    int frames = static_cast<int>(seconds * AudioSystem::kSilentSampleRate);
    pumpScratch_.resize(static_cast<std::size_t>(kPumpChunkFrames) * 2);
    while (frames > 0) {
        const int chunk = std::min(frames, kPumpChunkFrames);
        renderSamples_(device_, pumpScratch_.data(), chunk);
        frames -= chunk;
    }
}

AudioResult OpenAlBackend::update() {
    if (!initialised_) {
        return AudioResult::Uninitialized;
    }
    bind();
    if (silent_ && !manualRendering_) {
        pumpSilentOutput();
    }
    for (VoiceRecord& voice : voices_) {
        refresh(voice);
    }
    return AudioResult::Ok;
}

AudioResult OpenAlBackend::renderSamples(float* out, int frames) {
    if (!initialised_) {
        return AudioResult::Uninitialized;
    }
    if (!silent_) {
        return AudioResult::Unsupported;
    }
    if (!out || frames < 0) {
        return AudioResult::InvalidParam;
    }
    manualRendering_ = true;
    bind();
    renderSamples_(device_, out, frames);
    return AudioResult::Ok;
}

int OpenAlBackend::activeVoices() {
    if (!initialised_ || !bind()) {
        return 0;
    }
    int count = 0;
    for (VoiceRecord& voice : voices_) {
        count += refresh(voice) ? 1 : 0;
    }
    return count;
}

AudioResult OpenAlBackend::close() {
    if (!initialised_) {
        return released_ ? AudioResult::Uninitialized : AudioResult::Ok;
    }
    bind();
    for (VoiceRecord& voice : voices_) {
        if (voice.source != 0) {
            freeVoice(voice);
            alDeleteSources(1, &voice.source);
        }
    }
    for (SoundRecord& record : sounds_) {
        if (record.buffer != 0) {
            alDeleteBuffers(1, &record.buffer);
        }
    }
    voices_.clear();
    sounds_.clear();
    if (alcGetCurrentContext() == context_) {
        alcMakeContextCurrent(nullptr);
    }
    alcDestroyContext(context_);
    alcCloseDevice(device_);
    context_ = nullptr;
    device_ = nullptr;
    initialised_ = false;
    silent_ = false;
    return AudioResult::Ok;
}

AudioResult OpenAlBackend::release() {
    if (released_) {
        return AudioResult::Uninitialized;
    }
    close();
    released_ = true;
    return AudioResult::Ok;
}

// --- Sounds -------------------------------------------------------------------

bool OpenAlBackend::soundValid(const AudioSound& sound) { return findSound(sound) != nullptr; }

AudioResult OpenAlBackend::soundSetMode(const AudioSound& sound, unsigned mode) {
    SoundRecord* record = findSound(sound);
    if (!record) {
        return AudioResult::InvalidHandle;
    }
    if ((mode & kSoundLoopOff) != 0 && (mode & kSoundLoopNormal) != 0) {
        return AudioResult::InvalidParam;
    }
    if (mode & (kSoundLoopOff | kSoundLoopNormal)) {
        record->mode = (record->mode & kSound3D) | (mode & (kSoundLoopOff | kSoundLoopNormal));
    }
    return AudioResult::Ok;
}

AudioResult OpenAlBackend::soundGetMode(const AudioSound& sound, unsigned& mode) {
    SoundRecord* record = findSound(sound);
    if (!record) {
        return AudioResult::InvalidHandle;
    }
    mode = record->mode;
    return AudioResult::Ok;
}

AudioResult OpenAlBackend::soundSetLoopCount(const AudioSound& sound, int count) {
    SoundRecord* record = findSound(sound);
    if (!record) {
        return AudioResult::InvalidHandle;
    }
    if (count < -1) {
        return AudioResult::InvalidParam;
    }
    record->loopCount = count;
    return AudioResult::Ok;
}

AudioResult OpenAlBackend::soundGetLoopCount(const AudioSound& sound, int& count) {
    SoundRecord* record = findSound(sound);
    if (!record) {
        return AudioResult::InvalidHandle;
    }
    count = record->loopCount;
    return AudioResult::Ok;
}

AudioResult OpenAlBackend::soundSetMinMax(const AudioSound& sound, float minDistance, float maxDistance) {
    SoundRecord* record = findSound(sound);
    if (!record) {
        return AudioResult::InvalidHandle;
    }
    if (!finite(minDistance) || !finite(maxDistance) || minDistance <= 0.0f || maxDistance < minDistance) {
        return AudioResult::InvalidParam;
    }
    record->minDistance = minDistance;
    record->maxDistance = maxDistance;
    return AudioResult::Ok;
}

AudioResult OpenAlBackend::soundGetMinMax(const AudioSound& sound, float& minDistance, float& maxDistance) {
    SoundRecord* record = findSound(sound);
    if (!record) {
        return AudioResult::InvalidHandle;
    }
    minDistance = record->minDistance;
    maxDistance = record->maxDistance;
    return AudioResult::Ok;
}

AudioResult OpenAlBackend::soundGetLength(const AudioSound& sound, std::uint32_t& frames, int& sampleRate) {
    SoundRecord* record = findSound(sound);
    if (!record) {
        return AudioResult::InvalidHandle;
    }
    frames = record->frames;
    sampleRate = record->sampleRate;
    return AudioResult::Ok;
}

AudioResult OpenAlBackend::soundRelease(const AudioSound& sound) {
    SoundRecord* record = findSound(sound);
    if (!record || !bind()) {
        return AudioResult::InvalidHandle;
    }
    // OpenAL keeps a buffer that a source still holds; let go of it everywhere first.
    for (VoiceRecord& voice : voices_) {
        if (voice.active && voice.soundSlot == sound.slot_) {
            freeVoice(voice);
        }
    }
    alDeleteBuffers(1, &record->buffer);
    record->buffer = 0;
    return AudioResult::Ok;
}

// --- Channels -----------------------------------------------------------------

AudioResult OpenAlBackend::channelSet3D(const AudioChannel& channel, const glm::vec3* position,
                                        const glm::vec3* velocity) {
    VoiceRecord* voice = findVoice(channel);
    if (!voice) {
        return AudioResult::InvalidHandle;
    }
    if (position && !(finite(position->x) && finite(position->y) && finite(position->z))) {
        return AudioResult::InvalidParam;
    }
    if (position) {
        voice->position = *position;
    }
    if (velocity) {
        voice->velocity = *velocity;
    }
    if (voice->is3D) {
        alSource3f(voice->source, AL_POSITION, voice->position.x, voice->position.y, voice->position.z);
        alSource3f(voice->source, AL_VELOCITY, voice->velocity.x, voice->velocity.y, voice->velocity.z);
    }
    return AudioResult::Ok;
}

AudioResult OpenAlBackend::channelGet3D(const AudioChannel& channel, glm::vec3& position) {
    VoiceRecord* voice = findVoice(channel);
    if (!voice) {
        return AudioResult::InvalidHandle;
    }
    position = voice->position;
    return AudioResult::Ok;
}

AudioResult OpenAlBackend::channelSetVolume(const AudioChannel& channel, float volume) {
    VoiceRecord* voice = findVoice(channel);
    if (!voice) {
        return AudioResult::InvalidHandle;
    }
    if (!finite(volume)) {
        return AudioResult::InvalidParam;
    }
    voice->volume = std::max(volume, 0.0f);
    applyGain(*voice);
    return AudioResult::Ok;
}

AudioResult OpenAlBackend::channelGetVolume(const AudioChannel& channel, float& volume) {
    VoiceRecord* voice = findVoice(channel);
    if (!voice) {
        return AudioResult::InvalidHandle;
    }
    volume = voice->volume;
    return AudioResult::Ok;
}

AudioResult OpenAlBackend::channelSetPaused(const AudioChannel& channel, bool paused) {
    VoiceRecord* voice = findVoice(channel);
    if (!voice) {
        return AudioResult::InvalidHandle;
    }
    if (paused && !voice->paused) {
        alSourcePause(voice->source);
    } else if (!paused && voice->paused) {
        alSourcePlay(voice->source);  // resumes a paused source, starts a fresh one
    }
    voice->paused = paused;
    return AudioResult::Ok;
}

AudioResult OpenAlBackend::channelGetPaused(const AudioChannel& channel, bool& paused) {
    VoiceRecord* voice = findVoice(channel);
    if (!voice) {
        return AudioResult::InvalidHandle;
    }
    paused = voice->paused;
    return AudioResult::Ok;
}

AudioResult OpenAlBackend::channelSetMute(const AudioChannel& channel, bool mute) {
    VoiceRecord* voice = findVoice(channel);
    if (!voice) {
        return AudioResult::InvalidHandle;
    }
    voice->muted = mute;
    applyGain(*voice);
    return AudioResult::Ok;
}

AudioResult OpenAlBackend::channelGetMute(const AudioChannel& channel, bool& mute) {
    VoiceRecord* voice = findVoice(channel);
    if (!voice) {
        return AudioResult::InvalidHandle;
    }
    mute = voice->muted;
    return AudioResult::Ok;
}

AudioResult OpenAlBackend::channelSetGroup(const AudioChannel& channel, AudioGroup group) {
    VoiceRecord* voice = findVoice(channel);
    if (!voice) {
        return AudioResult::InvalidHandle;
    }
    voice->group = group;
    applyGain(*voice);
    return AudioResult::Ok;
}

AudioResult OpenAlBackend::channelIsPlaying(const AudioChannel& channel, bool& playing) {
    playing = findVoice(channel) != nullptr;
    return playing ? AudioResult::Ok : AudioResult::InvalidHandle;
}

AudioResult OpenAlBackend::channelStop(const AudioChannel& channel) {
    VoiceRecord* voice = findVoice(channel);
    if (!voice) {
        return AudioResult::InvalidHandle;
    }
    freeVoice(*voice);
    return AudioResult::Ok;
}

}  // namespace vestrel
