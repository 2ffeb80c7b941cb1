#pragma once

#include <map>
#include <string>
#include <vector>

#include "audio/AudioChannel.h"
#include "level/InteractiveObject.h"
#include "play/MonsterWarning.h"
#include "render/PlayHudState.h"

namespace vestrel {

class Item;
class Level;

// What the play state tells the player besides the picture itself, worked
// out once per fixed step into a PlayHudState for the renderer: the prompt
// for a target in reach, the answer to each press of E, the one-time hint
// that the flashlight shines blue, captions of what is heard (when
// GameSettings::captions is on) and the monster's warning with its heartbeat.
// The console lines of the interaction stay as they are; this only adds.
class PlayCues {
public:
    static constexpr float kAnswerSeconds = 2.5f;   // an answer to E stays this long
    static constexpr float kHintSeconds = 12.0f;    // the flashlight hint, unless the light turns blue first
    static constexpr float kCaptionSeconds = 4.0f;  // a caption of a sound that starts
    static constexpr float kHearing = 20.0f;        // the growl is captioned within this distance
    static constexpr float kNear = 10.0f;           // ... as near within this one
    static constexpr std::size_t kMaxTimedCaptions = 2;
    static constexpr const char* kHeartbeatPath = "Assets\\Audio\\heartbeat.wav";
    static constexpr const char* kHeartbeatName = "heartbeat";

    // A new game: nothing said, no hint given yet; of the sounds, only those
    // that start after this are captioned.
    void reset();

    // The player pressed E (or the pad's X) at `target` (the name before the
    // press) and `level`'s interact came to `outcome`.
    void interacted(InteractOutcome outcome, const std::string& target, const Level& level);

    // Whether the pad (not the keyboard and mouse) was used last: prompts and
    // hints name its buttons then.
    void setUsingPad(bool pad) { usingPad_ = pad; }
    bool usingPad() const { return usingPad_; }

    // One fixed step of `dt` seconds, after the level's: the state for the
    // next frames, and a heartbeat when one is due.
    void update(const Level& level, float dt);

    const PlayHudState& state() const { return state_; }
    // The monster's warning level of the last step (0 none .. 1).
    float warning() const { return state_.warning; }

    // --- Texts, usable without a game -------------------------------------
    // "the flashlight", "the statue", ...: what a player calls a target;
    // "the " and the base name in lower case for names not in the house.
    static std::string displayName(const std::string& nodeName);
    // "E  PICK UP THE FLASHLIGHT", "X  USE THE STATUE" (kind 1 item, 2 zone).
    static std::string promptFor(const std::string& target, int kind, bool pad);
    // The answer on screen to an outcome; empty where nothing is said.
    static std::string answerFor(InteractOutcome outcome, const std::string& target, const std::string& item);
    // "GROWLING NEARBY - BEHIND", "GROWLING FAR OFF - LEFT".
    static std::string growlCaption(Bearing bearing, bool near);
    // The caption of a sound starting, or empty for sounds not captioned.
    static std::string soundCaption(const std::string& soundName);
    // The flashlight's place in the icon row (the carried, unused items in
    // name order), or -1 when it is not carried.
    static int flashlightSlot(const std::map<std::string, Item*>& inventory);

private:
    struct Caption {
        std::string text;
        float secondsLeft;
    };
    void noticeSounds(const Level& level);
    void warn(const Level& level, float dt);
    void beat(float level);

    PlayHudState state_;
    std::vector<Caption> captions_;
    std::string growl_;                          // the growl's caption this step; empty out of hearing
    std::map<std::string, AudioChannel> heard_;  // the channel each sound was last seen on
    std::string answer_;
    float answerLeft_ = 0.0f;
    std::vector<std::string> hint_;
    float hintLeft_ = 0.0f;
    bool hintGiven_ = false;
    bool usingPad_ = false;
    float sinceBeat_ = 0.0f;
    bool beating_ = false;
    PatrolView patrol_;  // the monster's patrol as warn() reads it, reused every step
};

}  // namespace vestrel
