#include "audio/SoundSystem.h"

#include <iostream>
#include <set>

#include "app/GameSettings.h"
#include "app/Platform.h"

namespace vestrel {
namespace {

constexpr const char* kAmbientPath = "Assets\\Audio\\Ambient.mp3";
constexpr const char* kAmbientName = "ambient";

bool insideTriggerBox(const glm::vec3& listener, const glm::vec3& emitter) {
    for (int axis = 0; axis < 3; ++axis) {
        if (listener[axis] < emitter[axis] - SoundSystem::kTriggerHalfSize ||
            listener[axis] > emitter[axis] + SoundSystem::kTriggerHalfSize) {
            return false;
        }
    }
    return true;
}

}  // namespace

SoundSystem& SoundSystem::instance() {
    static SoundSystem system;
    return system;
}

SoundSystem::SoundSystem(AudioOutputType output) : channels_(kChannelCount) { initialise(output); }

SoundSystem::~SoundSystem() {
    if (system_) {
        system_->close();
        system_->release();
    }
}

void SoundSystem::report(const char* message) const {
    std::cout << message << std::endl;
    std::cout << "Error Code: " << audioErrorCode(lastResult_) << std::endl;
    std::cout << "Message: " << audioErrorString(lastResult_) << std::endl;
}

void SoundSystem::initialise(AudioOutputType output) {
    lastResult_ = AudioSystem::create(system_);
    if (lastResult_ != AudioResult::Ok) {
        report("Failed to create FMOD System");
        return;
    }

    unsigned version = 0;
    lastResult_ = system_->getVersion(version);
    if (lastResult_ != AudioResult::Ok) {
        report("Unable to retrieve Version!");
        return;
    }
    if (version < AudioSystem::kMinimumVersion) {
        std::cout << "Error! Your Version of FMOD is outdated: " << version << std::endl;
        std::cout << "Version required: " << AudioSystem::kMinimumVersion << std::endl;
        return;
    }

    int drivers = 0;
    lastResult_ = system_->getNumDrivers(drivers);
    if (lastResult_ != AudioResult::Ok) {
        report("Unable to retrieve Driver!");
        return;
    }
    if (drivers == 0 || output == AudioOutputType::NoSound) {
        lastResult_ = system_->setOutput(AudioOutputType::NoSound);
        if (lastResult_ != AudioResult::Ok) {
            report("Unable to disable sound!");
            return;
        }
    }

    // The back end falls back to the silent output by itself when no device opens;
    // anything worse shows up as failed sounds later.
    system_->init(kChannelCount, 0);
    if (output == AudioOutputType::AutoDetect && system_->isSilentOutput()) {
        std::cout << "No sound device: play goes on without sound" << std::endl;
    }
    system_->set3DSettings(1.0f, 1.0f, 1.0f);
    listenerPosition_ = glm::vec3(1.0f, 1.0f, 1.0f);
    createSound(kAmbientPath, kAmbientName, kSoundDefault, true);
}

SoundSystem::SoundClass* SoundSystem::createSound(const std::string& path, const std::string& name,
                                                  unsigned mode, bool loop) {
    auto soundClass = std::make_shared<SoundClass>();
    soundClass->loop = loop;
    soundClass->name = name;
    lastResult_ = system_ ? system_->createSound(nativePath(path), mode, soundClass->sound)
                          : AudioResult::Uninitialized;
    if (lastResult_ != AudioResult::Ok) {
        report("Unable to create sound!");
        const std::string reason = system_ && !system_->lastLoadError().empty()
                                       ? system_->lastLoadError()
                                       : audioErrorString(lastResult_);
        std::cout << "Sound \"" << name << "\" from " << path << ": " << reason << std::endl;
    }
    SoundClass* raw = soundClass.get();
    sounds_[name] = std::move(soundClass);
    return raw;
}

// The channel table. `channels_` starts with one slot per mixer voice and `nextChannel_`
// counts the slots handed out. While slots remain, each play takes the next one, so a
// name played again gets a new slot and its older channel stays in the table for
// applyMute. Once every slot is handed out, a play reuses the lowest slot that no name
// maps to and whose channel has ended; only when there is none (more live names than
// voices) does the table grow by one. So every name keeps reaching its newest channel,
// every live channel stays reachable by applyMute, the table never exceeds the live
// channels plus the names in use, and no slot is written outside the table.
int SoundSystem::claimSlot() {
    if (nextChannel_ < static_cast<int>(channels_.size())) {
        return nextChannel_++;
    }
    std::set<int> named;
    for (const auto& entry : channelIndex_) {
        named.insert(entry.second);
    }
    for (int slot = 0; slot < static_cast<int>(channels_.size()); ++slot) {
        bool playing = false;
        channels_[static_cast<std::size_t>(slot)].isPlaying(playing);
        if (!playing && named.count(slot) == 0) {
            return slot;
        }
    }
    channels_.emplace_back();
    return nextChannel_++;
}

void SoundSystem::playSound(SoundClass* soundClass, bool loop, const std::string& channelName) {
    if (!soundClass) {
        return;
    }
    AudioSound& sound = soundClass->sound;
    if (loop) {
        sound.setMode(kSoundLoopNormal);
        sound.setLoopCount(-1);
    } else {
        sound.setMode(kSoundLoopOff);
    }

    lastResult_ = system_ ? system_->playSound(sound, true, currentChannel_) : AudioResult::Uninitialized;
    currentChannel_.set3DAttributes(&soundClass->position, nullptr);
    if (channelName == kAmbientName) {
        currentChannel_.setVolume(kAmbientVolume);
        currentChannel_.setGroup(AudioGroup::Ambience);
    }
    // Muted means silent until unmuted, for sounds started meanwhile too.
    currentChannel_.setMute(GameSettings::instance().muted);
    currentChannel_.setPaused(false);
    if (lastResult_ != AudioResult::Ok) {
        report("Unable to play sound!");
        return;
    }

    const int slot = claimSlot();
    channelIndex_[channelName] = slot;
    channels_[static_cast<std::size_t>(slot)] = currentChannel_;
}

void SoundSystem::startLoopingSounds() {
    for (auto& entry : sounds_) {
        if (entry.second->loop) {
            playSound(entry.second.get(), true, entry.first);
        }
    }
}

void SoundSystem::updateListener(const glm::vec3& position, const glm::vec3& forward, const glm::vec3& up) {
    if (system_) {
        system_->set3DListenerAttributes(0, nullptr, nullptr, &forward, &up);
    }
    updateListener(position);
}

void SoundSystem::updateListener(const glm::vec3& position) {
    listenerPosition_ = position;
    if (system_) {
        system_->set3DListenerAttributes(0, &listenerPosition_, nullptr);
    }
    if (GameSettings::instance().playerCaught) {
        return;
    }
    for (auto& entry : sounds_) {
        SoundClass& soundClass = *entry.second;
        // A sound that failed to load was reported when it was created; trying it
        // again every step would only repeat the report.
        if (soundClass.loop || !soundClass.sound.isValid() || channelIndex_.count(entry.first) != 0) {
            continue;
        }
        if (insideTriggerBox(listenerPosition_, soundClass.position)) {
            playSound(&soundClass, false, entry.first);
        }
    }
}

void SoundSystem::applyMute() {
    const bool muted = GameSettings::instance().muted;
    for (int slot = 0; slot < nextChannel_; ++slot) {
        channels_[static_cast<std::size_t>(slot)].setMute(muted);
    }
}

void SoundSystem::pauseAll(bool paused) {
    for (int slot = 0; slot < nextChannel_; ++slot) {
        channels_[static_cast<std::size_t>(slot)].setPaused(paused);
    }
}

void SoundSystem::setVolumes(float master, float effects) {
    if (!system_) return;
    system_->setMasterVolume(master);
    system_->setGroupVolume(AudioGroup::Effects, effects);
}

void SoundSystem::releaseAll() {
    for (auto& entry : sounds_) {
        entry.second->sound.release();
    }
    channelIndex_.clear();
    sounds_.clear();
}

void SoundSystem::update() {
    if (system_) {
        system_->update();
    }
}

AudioChannel SoundSystem::channel(const std::string& name) const {
    const auto found = channelIndex_.find(name);
    return found == channelIndex_.end() ? AudioChannel{} : channels_[static_cast<std::size_t>(found->second)];
}

SoundSystem::SoundClass& SoundSystem::sound(const std::string& name) const { return *sounds_.at(name); }

SoundSystem::SoundClass* SoundSystem::findSound(const std::string& name) const {
    const auto found = sounds_.find(name);
    return found == sounds_.end() ? nullptr : found->second.get();
}

}  // namespace vestrel
