// Items, the inventory and the four switches of a level: their set-up once
// the level is built, and the interact key.

#include <array>
#include <iostream>

#include <glm/common.hpp>

#include "audio/SoundSystem.h"
#include "level/GameObject.h"
#include "level/InteractionSimulationCallback.h"
#include "level/InteractiveSwitch.h"
#include "level/Item.h"
#include "level/Level.h"
#include "physics/ControllerRecord.h"
#include "physics/PhysicsWorld.h"
#include "render/Light.h"
#include "render/TextureCache.h"

namespace vestrel {

namespace {

const char* const kFlashlightItem = "Flashlight_item";
const char* const kIconFolder = "Assets/Items/";

struct ItemIcon {
    const char* item;
    const char* file;
};

// In the order the icons are loaded.
constexpr std::array<ItemIcon, 5> kItemIcons{{
    {"can_item", "can_item.png"},
    {"Flashlight_item", "flashlight_item.png"},
    {"Banana_item", "banana_item.png"},
    {"Duck_item", "duck_item.png"},
    {"file_item", "file_item.png"},
}};

// In the order icons are handed to the items.
constexpr std::array<const char*, 5> kItemNames{"Flashlight_item", "Banana_item", "Duck_item", "can_item",
                                                "file_item"};

struct SwitchRow {
    const char* zone;
    const char* box;  // the sink names its own zone, which is never a box
    const char* item;
};

constexpr std::array<SwitchRow, 4> kSwitchTable{{
    {"Suzanne_interactive", "Door_box", "Banana_item"},
    {"sink_interactive", "sink_interactive", "Duck_item"},
    {"Generator_interactive", "Shower_door_box", "can_item"},
    {"cabinet_interactive", "Racking_CrossBeams31_box", "file_item"},
}};

// The sounds the generator and the rack play; the level's emitters create them.
constexpr std::array<const char*, 2> kSwitchSounds{"engine", "bang"};

template <typename Map>
typename Map::mapped_type lookUp(const Map& map, const std::string& name) {
    const auto found = map.find(name);
    return found == map.end() ? typename Map::mapped_type() : found->second;
}

// How far each reach point sits from the bounds' surface towards the centre.
constexpr float kReachInset = 0.1f;

}  // namespace

std::array<glm::vec3, 3> reachPoints(const std::array<float, 6>& bounds, const glm::vec3& eye) {
    const glm::vec3 low(bounds[0], bounds[1], bounds[2]);
    const glm::vec3 high(bounds[3], bounds[4], bounds[5]);
    const glm::vec3 centre = (low + high) * 0.5f;
    const glm::vec3 top(centre.x, high.y, centre.z);
    const glm::vec3 nearest = glm::clamp(eye, low, high);
    auto inset = [&](const glm::vec3& p) { return p + (centre - p) * kReachInset; };
    return {centre, inset(top), inset(nearest)};
}

GameObject* Level::targetObject(const std::string& name) const {
    const std::shared_ptr<Item> item = lookUp(items, name);
    if (item) return item->object;
    const std::shared_ptr<InteractiveSwitch> zone = lookUp(switches, name);
    return zone ? zone->object : nullptr;
}

bool Level::targetInReach() const {
    if (player.targetKind != kTargetItem && player.targetKind != kTargetInteractive) return true;
    const GameObject* object = targetObject(player.targetName);
    if (object == nullptr) return false;
    if (!object->bounds || !PhysicsWorld::exists()) return true;
    // The eye where the player's step will put it: above the capsule's centre.
    glm::vec3 eye = player.eyePosition;
    if (player.controller != nullptr && player.controller->controller) {
        eye = glm::vec3(player.controller->controller->getPosition()) +
              glm::vec3(0.0f, Player::kEyeHeight, 0.0f);
    }
    const PhysicsWorld& world = PhysicsWorld::instance();
    for (const glm::vec3& point : reachPoints(*object->bounds, eye)) {
        if (world.segmentClear(eye, point, player.targetName)) return true;
    }
    return false;
}

void Level::setUpItemsAndSwitches() {
    TextureCache& cache = TextureCache::instance();
    for (const ItemIcon& icon : kItemIcons) {
        cache.load(std::string(kIconFolder) + icon.file, icon.item);
    }
    for (const char* name : kItemNames) {
        const std::shared_ptr<Item> item = lookUp(items, name);
        if (!item) {
            std::cout << "Level has no item " << name << std::endl;
            continue;
        }
        item->icon = cache.find(name);
    }

    for (const SwitchRow& row : kSwitchTable) {
        GameObject* zone = lookUp(interactives, row.zone);
        if (zone == nullptr) {
            std::cout << "Level has no interaction zone " << row.zone << "; it is left out" << std::endl;
            continue;
        }
        GameObject* box = lookUp(boxes, row.box);
        if (box == nullptr && std::string(row.box) != row.zone) {
            std::cout << "Level has no box " << row.box << "; " << row.zone << " will move nothing"
                      << std::endl;
        }
        switches[row.zone] = std::make_shared<InteractiveSwitch>(zone, box);
    }
    for (const SwitchRow& row : kSwitchTable) {
        const auto entry = switches.find(row.zone);
        if (entry == switches.end()) continue;
        // A missing item was reported above; the switch then never finds it
        // in the inventory.
        entry->second->requiredItem = lookUp(items, row.item).get();
    }

    const SoundSystem& sounds = SoundSystem::instance();
    for (const char* name : kSwitchSounds) {
        if (sounds.findSound(name) == nullptr) {
            std::cout << "Level has no sound " << name << "; its switch acts silently" << std::endl;
        }
    }
    if (!tvFrames.empty() && tvObject == nullptr) {
        std::cout << "Level has no node TV_Animated; the TV frames are not shown" << std::endl;
    }

    boxNames.clear();
    boxes.clear();
    interactives.clear();
    itemsInWorld = items;
}

InteractOutcome Level::interact() {
    if (player.targetKind != kTargetItem && player.targetKind != kTargetInteractive) {
        return InteractOutcome::Nothing;
    }
    // The trigger spheres reach through walls; what the eye cannot see past
    // something solid is out of reach.
    if (!targetInReach()) return InteractOutcome::OutOfReach;
    if (player.targetKind == kTargetItem) {
        const std::shared_ptr<Item> item = lookUp(items, player.targetName);
        if (!item || item->object == nullptr || !item->object->visible) return InteractOutcome::Nothing;
        itemsInWorld.erase(item->name);
        player.inventory[item->name] = item.get();
        item->object->removeFromWorld();
        player.targetName.clear();
        player.targetKind = kTargetNone;
        if (item->name == kFlashlightItem) {
            player.hasFlashlight = true;
            if (player.flashlight) player.flashlight->enabled = true;
        }
        std::cout << "Picked up item: " << item->name << std::endl;
        return InteractOutcome::PickedUp;
    }
    const std::shared_ptr<InteractiveSwitch> target = lookUp(switches, player.targetName);
    return target ? target->interact(player.inventory) : InteractOutcome::Nothing;
}

}  // namespace vestrel
