#include "level/GameObject.h"

#include <algorithm>
#include <utility>

#include "app/GameSettings.h"
#include "render/Mesh.h"
#include "render/ViewFrustum.h"

namespace vestrel {

GameObject::GameObject() = default;

GameObject::~GameObject() = default;

void GameObject::addChild(GameObject* child) { addChild(std::shared_ptr<GameObject>(child)); }

void GameObject::addChild(std::shared_ptr<GameObject> child) {
    if (!child) return;
    child->parent = this;
    children.push_back(std::move(child));
}

void GameObject::computeBounds() {
    std::array<float, 6> box{100000.0f, 100000.0f, 100000.0f, -100000.0f, -100000.0f, -100000.0f};
    if (mesh) {
        for (const glm::vec3& p : mesh->worldPositions) {
            for (int axis = 0; axis < 3; ++axis) {
                box[axis] = std::min(box[axis], p[axis]);
                box[axis + 3] = std::max(box[axis + 3], p[axis]);
            }
        }
    }
    bounds = box;
}

bool GameObject::drawable() const { return visible && mesh && !mesh->noGeometry; }

void GameObject::draw(const glm::mat4& viewProjection, ViewFrustum& frustum, DrawMode mode) {
    if (!visible) return;
    if (drawable()) {
        // An object with geometry but no bounds yet cannot be tested; draw it.
        if (!bounds || !frustum.cull(*bounds)) {
            mesh->draw(viewProjection, mode);
        }
    }
    for (const std::shared_ptr<GameObject>& child : children) {
        child->draw(viewProjection, frustum, DrawMode::Normal);
    }
}

void GameObject::moveBy(const glm::vec3& offset) {
    for (const std::shared_ptr<GameObject>& child : children) {
        if (child->mesh && !child->mesh->noGeometry) child->mesh->translate(offset, 5.0f);
    }
    // A refresh rate of 0 would make the step a division by zero; such a
    // move finishes in one step instead.
    moveStepsLeft = std::max(1, GameSettings::instance().refreshRate * 5);
    moveStep = offset / static_cast<float>(moveStepsLeft);
    worldMoveStep = glm::vec3(moveStep.x, moveStep.z, -moveStep.y);
}

void GameObject::removeFromWorld() {
    while (!children.empty()) {
        children.back()->removeFromWorld();
        children.pop_back();
    }
    visible = false;
}

}  // namespace vestrel
