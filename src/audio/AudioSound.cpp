#include "audio/AudioSound.h"

#include "audio/OpenAlBackend.h"

namespace vestrel {

// A handle without a back end fails like a released one.
#define VESTREL_SOUND_CALL(call) (backend_ ? backend_->call : AudioResult::InvalidHandle)

AudioResult AudioSound::setMode(unsigned mode) { return VESTREL_SOUND_CALL(soundSetMode(*this, mode)); }
AudioResult AudioSound::getMode(unsigned& mode) const {
    return VESTREL_SOUND_CALL(soundGetMode(*this, mode));
}
AudioResult AudioSound::setLoopCount(int count) {
    return VESTREL_SOUND_CALL(soundSetLoopCount(*this, count));
}
AudioResult AudioSound::getLoopCount(int& count) const {
    return VESTREL_SOUND_CALL(soundGetLoopCount(*this, count));
}
AudioResult AudioSound::set3DMinMaxDistance(float minDistance, float maxDistance) {
    return VESTREL_SOUND_CALL(soundSetMinMax(*this, minDistance, maxDistance));
}
AudioResult AudioSound::get3DMinMaxDistance(float& minDistance, float& maxDistance) const {
    return VESTREL_SOUND_CALL(soundGetMinMax(*this, minDistance, maxDistance));
}
AudioResult AudioSound::getLength(std::uint32_t& frames, int& sampleRate) const {
    return VESTREL_SOUND_CALL(soundGetLength(*this, frames, sampleRate));
}
AudioResult AudioSound::release() { return VESTREL_SOUND_CALL(soundRelease(*this)); }
bool AudioSound::isValid() const { return backend_ && backend_->soundValid(*this); }

#undef VESTREL_SOUND_CALL

}  // namespace vestrel
