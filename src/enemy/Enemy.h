#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <glm/vec3.hpp>

namespace vestrel {

struct ControllerRecord;

// One point of the monster's path, named Waypoint_NN.
struct Waypoint {
    glm::vec3 position{0.0f};
    std::string name;
};

// The monster: walks its waypoint path back and forth as a capsule
// controller carrying the animated model; the renderer's monster pass draws
// the model.
class Enemy {
public:
    ControllerRecord* controller = nullptr;
    std::vector<Waypoint> waypoints;
    std::int32_t currentIndex = 0;
    std::int32_t targetIndex = 0;
    bool forward = false;
    glm::vec3 direction{0.0f};

    Enemy();
    virtual ~Enemy();
    Enemy(const Enemy&) = delete;
    Enemy& operator=(const Enemy&) = delete;

    // Appends a waypoint (the level loader calls it in file order).
    void addWaypoint(const std::string& name, const glm::vec3& position);
};

}  // namespace vestrel
