#include "physics/ControllerHitReport.h"

#include "app/GameSettings.h"
#include "physics/PhysicsActor.h"

namespace vestrel {

namespace {
const char* const kEnemyControllerName = "ENEMY_CONTROLLER";
}

void ControllerHitReport::onShapeHit(const ControllerShapeHit& hit) {
    if (hit.dir.y < 0.0f) {
        if (onGround_ != nullptr) *onGround_ = true;
        return;
    }
    if (hit.actor != nullptr && hit.actor->name() == kEnemyControllerName) {
        GameSettings::instance().playerCaught = true;
    }
}

}  // namespace vestrel
