#pragma once

#include <cstdint>

#include "audio/AudioResult.h"

namespace vestrel {

class OpenAlBackend;

// Mode bits of a sound, given at creation and to setMode.
constexpr unsigned kSoundDefault = 0x0;     // 2D, plays once
constexpr unsigned kSoundLoopOff = 0x1;     // plays once
constexpr unsigned kSoundLoopNormal = 0x2;  // repeats loop-count more times (-1: without end)
constexpr unsigned kSound3D = 0x10;         // placed in the world; mixed down to mono at load

// A loaded sound: a non-owning handle to a decoded buffer that its AudioSystem owns.
// Copies name the same sound. A default handle, a released sound or one of a closed
// system makes every call fail with InvalidHandle and change nothing. A handle must
// not be used after its AudioSystem object is destroyed.
class AudioSound {
public:
    AudioSound() = default;

    // The loop bits (kSoundLoopOff or kSoundLoopNormal) apply to channels played
    // afterwards. Whether the sound is 2D or 3D was fixed when it was loaded, so the
    // 3D bit is ignored here.
    AudioResult setMode(unsigned mode);
    AudioResult getMode(unsigned& mode) const;
    // -1 repeats without end, 0 plays once, n plays n + 1 times; only with kSoundLoopNormal.
    AudioResult setLoopCount(int count);
    AudioResult getLoopCount(int& count) const;
    // Distance attenuation for channels played afterwards: full volume up to `minDistance`,
    // inverse roll-off beyond it, no further fall beyond `maxDistance`. Defaults 1 and
    // 10000. InvalidParam unless 0 < min <= max.
    AudioResult set3DMinMaxDistance(float minDistance, float maxDistance);
    AudioResult get3DMinMaxDistance(float& minDistance, float& maxDistance) const;
    // Length in sample frames and the file's sample rate.
    AudioResult getLength(std::uint32_t& frames, int& sampleRate) const;
    // Stops every channel playing this sound and frees its buffer.
    AudioResult release();

    // False for a default handle and for one whose sound was released.
    bool isValid() const;

    friend bool operator==(const AudioSound& a, const AudioSound& b) {
        return a.backend_ == b.backend_ && a.slot_ == b.slot_ && a.generation_ == b.generation_;
    }

private:
    friend class OpenAlBackend;
    AudioSound(OpenAlBackend* backend, std::uint32_t slot, std::uint32_t generation)
        : backend_(backend), slot_(slot), generation_(generation) {}

    OpenAlBackend* backend_ = nullptr;
    std::uint32_t slot_ = 0;
    std::uint32_t generation_ = 0;
};

}  // namespace vestrel
