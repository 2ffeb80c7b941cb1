#include "audio/AudioChannel.h"

#include "audio/OpenAlBackend.h"

namespace vestrel {

// A handle without a back end fails like one whose sound has ended.
#define VESTREL_CHANNEL_CALL(call) (backend_ ? backend_->call : AudioResult::InvalidHandle)

AudioResult AudioChannel::set3DAttributes(const glm::vec3* position, const glm::vec3* velocity) {
    return VESTREL_CHANNEL_CALL(channelSet3D(*this, position, velocity));
}
AudioResult AudioChannel::get3DAttributes(glm::vec3& position) const {
    return VESTREL_CHANNEL_CALL(channelGet3D(*this, position));
}
AudioResult AudioChannel::setVolume(float volume) {
    return VESTREL_CHANNEL_CALL(channelSetVolume(*this, volume));
}
AudioResult AudioChannel::getVolume(float& volume) const {
    return VESTREL_CHANNEL_CALL(channelGetVolume(*this, volume));
}
AudioResult AudioChannel::setPaused(bool paused) {
    return VESTREL_CHANNEL_CALL(channelSetPaused(*this, paused));
}
AudioResult AudioChannel::getPaused(bool& paused) const {
    return VESTREL_CHANNEL_CALL(channelGetPaused(*this, paused));
}
AudioResult AudioChannel::setMute(bool mute) { return VESTREL_CHANNEL_CALL(channelSetMute(*this, mute)); }
AudioResult AudioChannel::getMute(bool& mute) const {
    return VESTREL_CHANNEL_CALL(channelGetMute(*this, mute));
}
AudioResult AudioChannel::setGroup(AudioGroup group) {
    return VESTREL_CHANNEL_CALL(channelSetGroup(*this, group));
}
AudioResult AudioChannel::isPlaying(bool& playing) const {
    playing = false;
    return VESTREL_CHANNEL_CALL(channelIsPlaying(*this, playing));
}
AudioResult AudioChannel::stop() { return VESTREL_CHANNEL_CALL(channelStop(*this)); }

#undef VESTREL_CHANNEL_CALL

}  // namespace vestrel
