#pragma once

#include <cstdint>
#include <memory>

#include "physics/CapsuleController.h"

namespace vestrel {

// Which shapes a controller's move collides with.
struct ControllerFilters {
    static constexpr std::uint32_t kStatic = 1;     // the level's static actors and the floor
    static constexpr std::uint32_t kDynamic = 2;    // moving shapes: the other controller's capsule
    static constexpr std::uint32_t kPrefilter = 4;  // accepted for compatibility; no filter callbacks here

    std::uint32_t queryFlags = kStatic | kDynamic | kPrefilter;
};

// A character controller together with the arguments every move passes:
//   record.controller->move(displacement, record.minDist, dt, record.filters);
// The record belongs to its user (the player or the monster); destroying it
// releases the controller and takes its capsule out of the world.
struct ControllerRecord {
    std::unique_ptr<CapsuleController> controller;
    ControllerFilters filters;
    float minDist = 0.01f;  // moves shorter than this do nothing
};

}  // namespace vestrel
