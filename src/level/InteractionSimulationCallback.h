#pragma once

#include <cstdint>
#include <string>

#include "physics/SimulationEventCallback.h"

namespace vestrel {

class Player;

// Interaction target kinds (Player::targetKind).
inline constexpr int kTargetNone = 0;
inline constexpr int kTargetItem = 1;
inline constexpr int kTargetInteractive = 2;

// Decides what the player is standing at from the physics world's trigger
// events: entering a trigger sphere makes its object the target, leaving any
// trigger clears the target (even while another one still overlaps).
class InteractionSimulationCallback : public SimulationEventCallback {
public:
    explicit InteractionSimulationCallback(Player* targetPlayer = nullptr) : player(targetPlayer) {}

    // The kind an actor name stands for, from its tag (the text after the
    // last "_", or the whole name without one): "item" 1, "interactive" 2,
    // anything else 0.
    static int targetKindFor(const std::string& actorName);

    // Looks at the first pair only (the world delivers one per call).
    void onTrigger(const TriggerPair* pairs, std::uint32_t count) override;

    Player* player = nullptr;  // not owning; the player of the current level
};

}  // namespace vestrel
