// Items, the inventory and the four switches of a level: their set-up once
// the level is built, and the interact key.

#include <array>
#include <iostream>

#include "audio/SoundSystem.h"
#include "level/GameObject.h"
#include "level/InteractionSimulationCallback.h"
#include "level/InteractiveSwitch.h"
#include "level/Item.h"
#include "level/Level.h"
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

}  // namespace

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

void Level::interact() {
    if (player.targetKind == kTargetItem) {
        const std::shared_ptr<Item> item = lookUp(items, player.targetName);
        if (!item || item->object == nullptr || !item->object->visible) return;
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
    } else if (player.targetKind == kTargetInteractive) {
        const std::shared_ptr<InteractiveSwitch> target = lookUp(switches, player.targetName);
        if (target) target->interact(player.inventory);
    }
}

}  // namespace vestrel
