#include "play/PlayCues.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include <glm/geometric.hpp>

#include "app/GameSettings.h"
#include "audio/SoundSystem.h"
#include "enemy/Enemy.h"
#include "level/GameObject.h"
#include "level/InteractionSimulationCallback.h"
#include "level/InteractiveSwitch.h"
#include "level/Item.h"
#include "level/Level.h"
#include "physics/ControllerRecord.h"
#include "play/Camera.h"
#include "render/Light.h"

namespace vestrel {

namespace {

struct Named {
    const char* node;
    const char* name;
};

// What a player calls the things of the house.
constexpr Named kNames[] = {
    {"Flashlight_item", "the flashlight"},
    {"Banana_item", "the banana"},
    {"Duck_item", "the duck"},
    {"can_item", "the can"},
    {"file_item", "the file"},
    {"Suzanne_interactive", "the statue"},
    {"sink_interactive", "the sink"},
    {"Generator_interactive", "the generator"},
    {"cabinet_interactive", "the cabinet"},
};

// The sounds that are captioned when they start, and how.
constexpr Named kSoundCaptions[] = {
    {"ambient", "A low drone hangs in the house"},
    {"breathing", "You breathe hard"},
    {"engine", "An engine coughs into life"},
    {"bang", "A crash"},
    {"death_scream", "You scream"},
};

// Sounds with a place in the house are captioned with where they are.
bool placed(const std::string& sound) { return sound == "engine" || sound == "bang"; }

const char* bearingWord(Bearing bearing) {
    switch (bearing) {
        case Bearing::Ahead:
            return "ahead";
        case Bearing::Left:
            return "left";
        case Bearing::Right:
            return "right";
        case Bearing::Behind:
            return "behind";
    }
    return "ahead";
}

std::string upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

glm::vec2 flat(const glm::vec3& v) { return {v.x, v.z}; }

}  // namespace

void PlayCues::reset() {
    state_ = PlayHudState{};
    captions_.clear();
    // What already sounds belongs to the game before: only what starts from
    // now on is captioned.
    heard_.clear();
    const SoundSystem& sounds = SoundSystem::instance();
    for (const Named& entry : kSoundCaptions) heard_[entry.node] = sounds.channel(entry.node);
    answer_.clear();
    answerLeft_ = 0.0f;
    hint_.clear();
    hintLeft_ = 0.0f;
    hintGiven_ = false;
    sinceBeat_ = 0.0f;
    beating_ = false;
}

std::string PlayCues::displayName(const std::string& nodeName) {
    for (const Named& entry : kNames) {
        if (nodeName == entry.node) return entry.name;
    }
    std::string base = GameObject::baseNameOf(nodeName);
    if (base.empty()) base = nodeName;
    for (char& c : base) c = c == '_' ? ' ' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return "the " + base;
}

std::string PlayCues::promptFor(const std::string& target, int kind, bool pad) {
    if (kind != kTargetItem && kind != kTargetInteractive) return std::string();
    const char* key = pad ? "X  " : "E  ";
    return upper(std::string(key) + (kind == kTargetItem ? "Pick up " : "Use ") + displayName(target));
}

std::string PlayCues::answerFor(InteractOutcome outcome, const std::string& target, const std::string& item) {
    switch (outcome) {
        case InteractOutcome::PickedUp:
            return upper("Picked up " + displayName(target));
        case InteractOutcome::Used:
            return upper("Used " + displayName(item) + " on " + displayName(target));
        case InteractOutcome::MissingItem:
            return upper("Can't interact with that target.");
        case InteractOutcome::AlreadyUsed:
            return upper("Item has already been used.");
        case InteractOutcome::Nothing:
        case InteractOutcome::OutOfReach:
            break;
    }
    return std::string();
}

std::string PlayCues::growlCaption(Bearing bearing, bool near) {
    return upper(std::string(near ? "Growling nearby - " : "Growling far off - ") + bearingWord(bearing));
}

std::string PlayCues::soundCaption(const std::string& soundName) {
    for (const Named& entry : kSoundCaptions) {
        if (soundName == entry.node) return upper(entry.name);
    }
    return std::string();
}

int PlayCues::flashlightSlot(const std::map<std::string, Item*>& inventory) {
    int slot = 0;
    for (const auto& entry : inventory) {
        if (entry.second == nullptr || entry.second->used) continue;
        if (entry.first == "Flashlight_item") return slot;
        ++slot;
    }
    return -1;
}

void PlayCues::interacted(InteractOutcome outcome, const std::string& target, const Level& level) {
    std::string item;
    const auto zone = level.switches.find(target);
    if (zone != level.switches.end() && zone->second && zone->second->requiredItem) {
        item = zone->second->requiredItem->name;
    }
    const std::string answer = answerFor(outcome, target, item);
    if (!answer.empty()) {
        answer_ = answer;
        answerLeft_ = kAnswerSeconds;
    }
    if (outcome == InteractOutcome::PickedUp && target == "Flashlight_item" && !hintGiven_) {
        hintGiven_ = true;
        hintLeft_ = kHintSeconds;
        hint_ = usingPad_
                    ? std::vector<std::string>{"Y: BLUE LIGHT", "IT SHOWS WHAT IS HIDDEN", "B: LIGHT ON/OFF"}
                    : std::vector<std::string>{"LEFT MOUSE BUTTON: BLUE LIGHT", "IT SHOWS WHAT IS HIDDEN",
                                               "RIGHT MOUSE BUTTON: LIGHT ON/OFF"};
    }
}

void PlayCues::noticeSounds(const Level& level) {
    SoundSystem& sounds = SoundSystem::instance();
    for (const Named& entry : kSoundCaptions) {
        const AudioChannel channel = sounds.channel(entry.node);
        auto seen = heard_.find(entry.node);
        const bool isNew = seen == heard_.end() || seen->second != channel;
        heard_[entry.node] = channel;
        bool playing = false;
        channel.isPlaying(playing);
        if (!isNew || !playing) continue;
        std::string text = upper(entry.name);
        const SoundSystem::SoundClass* sound = sounds.findSound(entry.node);
        if (placed(entry.node) && sound != nullptr && level.camera) {
            const Bearing bearing = MonsterWarning::bearingOf(flat(level.camera->direction()),
                                                              flat(sound->position - level.camera->position));
            text += upper(std::string(" - ") + bearingWord(bearing));
        }
        captions_.push_back({text, kCaptionSeconds});
    }
}

void PlayCues::beat(float level) {
    SoundSystem& sounds = SoundSystem::instance();
    // Made at the first beat rather than with the level: a one-shot sound
    // lying at the origin would be set off by the spawn there.
    SoundSystem::SoundClass* heartbeat = sounds.findSound(kHeartbeatName);
    if (heartbeat == nullptr)
        heartbeat = sounds.createSound(kHeartbeatPath, kHeartbeatName, kSoundDefault, false);
    sounds.playSound(heartbeat, false, kHeartbeatName);
    AudioChannel channel = sounds.channel(kHeartbeatName);
    channel.setVolume(0.35f + 0.65f * level);
    if (GameSettings::instance().muted) channel.setMute(true);
}

void PlayCues::warn(const Level& level, float dt) {
    state_.warning = 0.0f;
    const GameSettings& settings = GameSettings::instance();
    const Enemy* monster = level.enemy.get();
    const bool over = settings.playerCaught || settings.playerWon;
    if (over || monster == nullptr || monster->controller == nullptr || !monster->controller->controller ||
        !level.camera) {
        beating_ = false;
        return;
    }
    const glm::vec2 eye = flat(level.camera->position);
    const glm::vec2 at = flat(glm::vec3(monster->controller->controller->getPosition()));
    const glm::vec2 toMonster = at - eye;
    const glm::vec2 forward = flat(level.camera->direction());
    const float distance = glm::length(toMonster);

    // Kept between steps: the waypoints' vector is filled in place, with no
    // allocation once it has grown to the patrol's length.
    PatrolView& patrol = patrol_;
    patrol.waypoints.clear();
    for (const Waypoint& waypoint : monster->waypoints) patrol.waypoints.push_back(flat(waypoint.position));
    patrol.targetIndex = monster->targetIndex;
    patrol.forward = monster->forward;
    patrol.position = at;
    const float seconds = MonsterWarning::secondsUntilWithin(patrol, eye, MonsterWarning::kCatchDistance,
                                                             MonsterWarning::kLookAhead);
    const float warning =
        MonsterWarning::level(distance, MonsterWarning::behindness(forward, toMonster), seconds);
    state_.warning = warning;

    if (distance < kHearing) {
        growl_ = growlCaption(MonsterWarning::bearingOf(forward, toMonster), distance < kNear);
    }
    if (warning <= 0.0f) {
        beating_ = false;
        return;
    }
    sinceBeat_ += dt;
    if (!beating_ || sinceBeat_ >= MonsterWarning::beatInterval(warning)) {
        beat(warning);
        sinceBeat_ = 0.0f;
        beating_ = true;
    }
    // The vignette swells with each beat and settles before the next.
    state_.pulse = std::exp(-sinceBeat_ / 0.15f);
}

void PlayCues::update(const Level& level, float dt) {
    const GameSettings& settings = GameSettings::instance();
    const Player& player = level.player;
    const bool over = settings.playerCaught || settings.playerWon;

    growl_.clear();
    noticeSounds(level);
    warn(level, dt);

    // A timer is up once less than half a step is left: sums of fixed steps
    // fall a hair either side of a whole number of seconds.
    const float up = 0.5f * dt;
    for (Caption& caption : captions_) caption.secondsLeft -= dt;
    captions_.erase(std::remove_if(captions_.begin(), captions_.end(),
                                   [up](const Caption& caption) { return caption.secondsLeft < up; }),
                    captions_.end());
    if (captions_.size() > kMaxTimedCaptions) {
        captions_.erase(captions_.begin(), captions_.end() - static_cast<std::ptrdiff_t>(kMaxTimedCaptions));
    }
    state_.captions.clear();
    if (settings.captions) {
        for (const Caption& caption : captions_) state_.captions.push_back(caption.text);
        if (!growl_.empty()) state_.captions.push_back(growl_);
        if (state_.warning > 0.0f) {
            state_.captions.push_back(state_.warning < 0.6f ? "YOUR HEART POUNDS" : "YOUR HEART RACES");
        }
    }

    answerLeft_ -= dt;
    if (answerLeft_ < up) answer_.clear();
    state_.message = answer_;

    hintLeft_ -= dt;
    // Turning the light blue is what the hint teaches: then it has done its work.
    if (hintLeft_ < up || player.flashlightMode == kFlashlightBlue) hint_.clear();
    state_.hint = hint_;

    state_.crosshair = !over;
    state_.prompt.clear();
    if (!over && (player.targetKind == kTargetItem || player.targetKind == kTargetInteractive)) {
        const GameObject* object = level.targetObject(player.targetName);
        if (object != nullptr && object->visible && level.targetInReach()) {
            state_.prompt = promptFor(player.targetName, player.targetKind, usingPad_);
        }
    }

    state_.flashlightSlot = flashlightSlot(player.inventory);
    state_.flashlightOn = player.flashlight != nullptr && player.flashlight->enabled;
    state_.flashlightBlue = player.flashlightMode == kFlashlightBlue;
}

}  // namespace vestrel
