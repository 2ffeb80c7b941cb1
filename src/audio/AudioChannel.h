#pragma once

#include <cstdint>
#include <glm/vec3.hpp>

#include "audio/AudioResult.h"

namespace vestrel {

class OpenAlBackend;

// Which of the system's group volumes a channel follows (besides the master
// volume): the background ambience, or everything else.
enum class AudioGroup : int { Effects = 0, Ambience = 1 };

// One playing instance of a sound: a non-owning handle to a voice of the AudioSystem.
// The handle stays valid from playSound until the sound ends, is stopped or released,
// or its voice is taken for a newer play when all voices are busy; after that every
// call fails with InvalidHandle and affects nothing, whatever plays on the voice now.
// Every change is heard at once. A handle must not outlive its AudioSystem object.
class AudioChannel {
public:
    AudioChannel() = default;

    // Where a 3D channel is heard from (null leaves a value as it is). A 2D channel
    // keeps the values but is heard the same everywhere.
    AudioResult set3DAttributes(const glm::vec3* position, const glm::vec3* velocity);
    AudioResult get3DAttributes(glm::vec3& position) const;
    // Linear gain; values below 0 count as 0, above 1 amplify.
    AudioResult setVolume(float volume);
    AudioResult getVolume(float& volume) const;
    AudioResult setPaused(bool paused);
    AudioResult getPaused(bool& paused) const;
    // Silences the channel without changing its volume.
    AudioResult setMute(bool mute);
    AudioResult getMute(bool& mute) const;
    // The group whose volume scales this channel; a new channel is Effects.
    AudioResult setGroup(AudioGroup group);
    // True while the channel exists, paused included; false with InvalidHandle after it ended.
    AudioResult isPlaying(bool& playing) const;
    AudioResult stop();

    friend bool operator==(const AudioChannel& a, const AudioChannel& b) {
        return a.backend_ == b.backend_ && a.voice_ == b.voice_ && a.generation_ == b.generation_;
    }
    friend bool operator!=(const AudioChannel& a, const AudioChannel& b) { return !(a == b); }

private:
    friend class OpenAlBackend;
    AudioChannel(OpenAlBackend* backend, std::uint32_t voice, std::uint32_t generation)
        : backend_(backend), voice_(voice), generation_(generation) {}

    OpenAlBackend* backend_ = nullptr;
    std::uint32_t voice_ = 0;
    std::uint32_t generation_ = 0;
};

}  // namespace vestrel
