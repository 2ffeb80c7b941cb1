#include "audio/AudioSystem.h"

#include "audio/OpenAlBackend.h"

namespace vestrel {

AudioSystem::AudioSystem() : backend_(std::make_unique<OpenAlBackend>()) {}

AudioSystem::~AudioSystem() = default;

AudioResult AudioSystem::create(std::unique_ptr<AudioSystem>& system) {
    system.reset(new AudioSystem());
    if (!system->backend_->hasLoopback()) {
        system.reset();
        return AudioResult::Internal;
    }
    return AudioResult::Ok;
}

AudioResult AudioSystem::getVersion(unsigned& version) const {
    version = kVersion;
    return AudioResult::Ok;
}

AudioResult AudioSystem::getNumDrivers(int& count) const { return backend_->numDrivers(count); }
AudioResult AudioSystem::setOutput(AudioOutputType output) { return backend_->setOutput(output); }
AudioResult AudioSystem::init(int maxChannels, unsigned flags) { return backend_->init(maxChannels, flags); }

AudioResult AudioSystem::set3DSettings(float dopplerScale, float distanceFactor, float rolloffScale) {
    return backend_->set3DSettings(dopplerScale, distanceFactor, rolloffScale);
}

AudioResult AudioSystem::createSound(const std::string& path, unsigned mode, AudioSound& sound) {
    return backend_->createSound(path, mode, sound);
}

const std::string& AudioSystem::lastLoadError() const { return backend_->lastLoadError(); }

AudioResult AudioSystem::playSound(const AudioSound& sound, bool paused, AudioChannel& channel) {
    return backend_->playSound(sound, paused, channel);
}

AudioResult AudioSystem::set3DListenerAttributes(int listener, const glm::vec3* position,
                                                 const glm::vec3* velocity, const glm::vec3* forward,
                                                 const glm::vec3* up) {
    return backend_->setListener(listener, position, velocity, forward, up);
}

AudioResult AudioSystem::update() { return backend_->update(); }
AudioResult AudioSystem::close() { return backend_->close(); }
AudioResult AudioSystem::release() { return backend_->release(); }
AudioResult AudioSystem::setMasterVolume(float volume) { return backend_->setMasterVolume(volume); }
AudioResult AudioSystem::setGroupVolume(AudioGroup group, float volume) {
    return backend_->setGroupVolume(group, volume);
}
bool AudioSystem::isSilentOutput() const { return backend_->isSilent(); }
AudioResult AudioSystem::renderSamples(float* out, int frames) {
    return backend_->renderSamples(out, frames);
}
int AudioSystem::activeChannels() const { return backend_->activeVoices(); }

}  // namespace vestrel
