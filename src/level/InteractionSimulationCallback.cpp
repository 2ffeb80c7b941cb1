#include "level/InteractionSimulationCallback.h"

#include "physics/PhysicsActor.h"
#include "play/Player.h"

namespace vestrel {

int InteractionSimulationCallback::targetKindFor(const std::string& actorName) {
    const std::size_t cut = actorName.rfind('_');
    const std::string tag = cut == std::string::npos ? actorName : actorName.substr(cut + 1);
    if (tag == "item") return kTargetItem;
    if (tag == "interactive") return kTargetInteractive;
    return kTargetNone;
}

void InteractionSimulationCallback::onTrigger(const TriggerPair* pairs, std::uint32_t count) {
    if (player == nullptr || pairs == nullptr || count == 0 || pairs[0].triggerActor == nullptr) return;
    const TriggerPair& pair = pairs[0];
    if (pair.status == TriggerStatus::TouchFound) {
        player->targetName = pair.triggerActor->name();
        player->targetKind = targetKindFor(player->targetName);
    } else {
        player->targetName.clear();
        player->targetKind = kTargetNone;
    }
}

}  // namespace vestrel
