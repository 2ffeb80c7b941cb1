#pragma once

#include <glm/vec3.hpp>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "audio/AudioChannel.h"
#include "audio/AudioResult.h"
#include "audio/AudioSound.h"
#include "audio/AudioSystem.h"

namespace vestrel {

// The game's one owner of the audio system. Loads sounds under a name, plays them on
// channels registered under a channel name, starts every looping sound at once, moves
// the listener with the player and fires one-shot emitters the first time the player
// comes near, mutes on request and forgets everything for a restart.
//
// Failures of the audio back end are printed as three lines (the message, "Error Code: "
// and "Message: ") and never stop the game: a sound that failed to load is kept without
// a usable sound, a play that failed registers no channel, and with no output at all
// every call simply has no effect.
//
// How the game drives it: instance() on first use (the loading state's set-up), then
// createSound for each sound and startLoopingSounds when play begins; every fixed step
// update() followed by updateListener(player position); releaseAll() on a restart,
// before the new level creates its sounds; nothing at exit (the destructor closes the
// output once main has returned).
class SoundSystem {
public:
    // One loaded sound. The sound table owns it; everyone else keeps plain pointers,
    // valid until the next releaseAll or until a sound of the same name replaces it.
    struct SoundClass {
        bool loop = false;         // started by startLoopingSounds, repeats without end
        glm::vec3 position{0.0f};  // where 3D plays are placed; set by the sound's owner
        AudioSound sound;          // invalid when the file failed to load
        std::string name;
    };
    using SoundTable = std::map<std::string, std::shared_ptr<SoundClass>>;

    static constexpr int kChannelCount = 36;         // voices of the mixer and initial channel slots
    static constexpr float kTriggerHalfSize = 4.0f;  // one-shot emitters fire inside this box
    static constexpr float kAmbientVolume = 0.25f;   // the "ambient" channel sits under everything

    // The process-wide system, initialised on the first call.
    static SoundSystem& instance();

    // Initialises as the game does; `output` NoSound forces the silent output even when
    // a sound card exists (tests render through it).
    explicit SoundSystem(AudioOutputType output = AudioOutputType::AutoDetect);
    ~SoundSystem();
    SoundSystem(const SoundSystem&) = delete;
    SoundSystem& operator=(const SoundSystem&) = delete;

    // Loads `path` (backslashes allowed) with mode kSoundDefault or kSound3D and stores it
    // under `name`, replacing any sound of that name (the replaced sound stays loaded so a
    // channel still playing it goes on). On failure prints "Unable to create sound!" and
    // stores the entry all the same, with a fourth line naming the sound, the file and
    // why it failed. Never returns null.
    SoundClass* createSound(const std::string& path, const std::string& name, unsigned mode, bool loop);
    // Plays the sound from its `position`, looping without end or once, and registers the
    // channel under `channelName` (the name then reaches this newest channel). "ambient"
    // plays at kAmbientVolume. A null `soundClass` does nothing.
    void playSound(SoundClass* soundClass, bool loop, const std::string& channelName);
    // Plays every looping sound, in name order, each on the channel of its own name.
    void startLoopingSounds();
    // Moves the listener and plays, once per game, every one-shot sound whose position
    // is within kTriggerHalfSize of `position` on every axis (ends included) — unless the
    // player has been caught.
    void updateListener(const glm::vec3& position);
    // The same, and turns the listener to look along `forward` with `up` above it,
    // so 3D sounds are heard on the side they are on from where the player looks.
    // A forward of zero length or along `up` leaves the orientation as it was.
    void updateListener(const glm::vec3& position, const glm::vec3& forward, const glm::vec3& up);
    // Sets every channel started so far to GameSettings::muted; channels started later
    // take the setting as they start.
    void applyMute();
    // Pauses or resumes every channel started so far (the pause screen): a
    // paused channel keeps its place and goes on from there.
    void pauseAll(bool paused);
    // The player's volumes, 0 to 1: `master` scales every channel, `effects`
    // every channel but the ambience. Heard at once, and by later channels.
    void setVolumes(float master, float effects);
    // Releases every sound (stopping its channels) and forgets all sound and channel names.
    void releaseAll();
    // The back end's per-frame update.
    void update();

    // The newest channel played under `name`. A name never played (since the last
    // releaseAll) gives an empty channel on which every call fails harmlessly.
    AudioChannel channel(const std::string& name) const;
    // The sound named `name`; throws std::out_of_range for a name never created.
    SoundClass& sound(const std::string& name) const;
    // The sound named `name`, or null.
    SoundClass* findSound(const std::string& name) const;
    const SoundTable& sounds() const { return sounds_; }

    // Null only when the back end could not even be created.
    AudioSystem* audioSystem() { return system_.get(); }
    AudioResult lastResult() const { return lastResult_; }
    AudioChannel currentChannel() const { return currentChannel_; }
    const glm::vec3& listenerPosition() const { return listenerPosition_; }
    // The channel table, for tests and statistics.
    std::size_t channelSlots() const { return channels_.size(); }
    int nextChannel() const { return nextChannel_; }

private:
    void initialise(AudioOutputType output);
    void report(const char* message) const;
    int claimSlot();

    std::map<std::string, int> channelIndex_;  // channel name -> slot of its newest channel
    int nextChannel_ = 0;                      // slots handed out so far
    std::vector<AudioChannel> channels_;       // by slot
    std::unique_ptr<AudioSystem> system_;
    AudioResult lastResult_ = AudioResult::Ok;
    AudioChannel currentChannel_;
    SoundTable sounds_;
    glm::vec3 listenerPosition_{0.0f};
};

}  // namespace vestrel
