#include "enemy/Enemy.h"

namespace vestrel {

Enemy::Enemy() = default;

Enemy::~Enemy() = default;

void Enemy::addWaypoint(const std::string& name, const glm::vec3& position) {
    waypoints.push_back(Waypoint{position, name});
}

}  // namespace vestrel
