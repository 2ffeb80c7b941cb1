#pragma once

#include <array>
#include <memory>
#include <optional>
#include <vector>

#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>

#include "render/SceneObject.h"

namespace vestrel {

class Mesh;
struct ViewFrustum;

// One level node: its drawable mesh, its axis-aligned bounds, what kind of
// static physics it gets and its timed move. Objects form a tree through
// `children` (owning) and `parent` (not owning).
class GameObject {
public:
    GameObject* parent = nullptr;
    std::vector<std::shared_ptr<GameObject>> children;
    std::unique_ptr<Mesh> mesh;  // always present once the node is read
    // min x, min y, min z, max x, max y, max z in world space; empty for a
    // node without geometry.
    std::optional<std::array<float, 6>> bounds;
    int kind = 0;         // PhysicsShapeKind: 0 None, 1 TriangleMesh, 2 Box, 3 BoxWithTrigger, 4 Trigger
    bool visible = true;  // false once removed from the world; the subtree is not drawn
    bool hiddenText = false;
    bool transparent = false;
    int moveStepsLeft = 0;
    glm::vec3 moveStep{0.0f};       // per-step translation, in the mesh's own axes
    glm::vec3 worldMoveStep{0.0f};  // the same step in physics axes: (x, z, -y)

    GameObject();
    virtual ~GameObject();
    GameObject(const GameObject&) = delete;
    GameObject& operator=(const GameObject&) = delete;

    // Takes ownership of `child` and appends it; the child's parent becomes this.
    void addChild(GameObject* child);
    void addChild(std::shared_ptr<GameObject> child);

    // Widens a box from (100000, ...) / (-100000, ...) by every world-space
    // vertex of the mesh.
    void computeBounds();

    // Draws the object (unless invisible, without geometry, or culled by
    // `frustum`, which counts it) with the program the mesh points at and
    // `mode`, then every child with mode Normal. Invisible objects skip their
    // whole subtree.
    void draw(const glm::mat4& viewProjection, ViewFrustum& frustum, DrawMode mode);

    // Starts a timed move by `offset` (mesh axes): direct children with
    // geometry jump by offset x 5 at once, and the object itself then travels
    // offset over refresh rate x 5 update steps. Replaces a running move.
    void moveBy(const glm::vec3& offset);

    // Releases the children (deepest first) and hides the object.
    void removeFromWorld();

    // Whether this object itself would reach the GPU: visible with geometry.
    bool drawable() const;
};

}  // namespace vestrel
