#pragma once

#include <cstdint>

namespace vestrel {

class PhysicsActor;

// Status of a trigger pair. The values are the pair flags the interaction code
// compares against (touch found = 4, touch lost = 16).
enum class TriggerStatus : std::uint32_t {
    TouchFound = 4,
    TouchLost = 16,
};

// The player's capsule started or stopped overlapping a trigger sphere.
struct TriggerPair {
    const PhysicsActor* triggerActor = nullptr;  // the trigger sphere; carries its object's name
    const PhysicsActor* otherActor = nullptr;    // the player's capsule
    TriggerStatus status = TriggerStatus::TouchFound;
};

// Receives the trigger events of each physics step. The level implements it
// (its interaction callback sets the player's interaction target) and hands it
// to PhysicsWorld::setSimulationEventCallback.
//
// onTrigger runs on the main thread inside PhysicsWorld::fetchResults. The world
// delivers one pair per call, touch-lost pairs before touch-found pairs of the
// same step, so a receiver that looks only at the first pair sees every event
// and ends a step on the trigger the player has just entered. The pointers are
// valid only during the call; the receiver must not destroy actors from it.
class SimulationEventCallback {
public:
    virtual ~SimulationEventCallback() = default;
    virtual void onTrigger(const TriggerPair* pairs, std::uint32_t count) = 0;
};

}  // namespace vestrel
