#pragma once

#include "level/InteractiveObject.h"

namespace vestrel {

// An interaction zone that acts on one box: opens a door, opens the shower
// door, takes the rack's crossbeams away, or (the sink, without a box) wins.
class InteractiveSwitch : public InteractiveObject {
public:
    GameObject* box = nullptr;  // not owning; may be null

    InteractiveSwitch() = default;
    InteractiveSwitch(GameObject* zone, GameObject* movedBox);
    ~InteractiveSwitch() override;

    void activate() override;
};

}  // namespace vestrel
