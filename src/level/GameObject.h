#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>

#include "render/SceneObject.h"

struct aiMesh;
struct aiNode;

namespace vestrel {

class Mesh;
class PhysicsActor;
class Shader;
struct ViewFrustum;

// One level node: its drawable mesh, its axis-aligned bounds, what kind of
// static physics it gets and its timed move. Objects form a tree through
// `children` (owning) and `parent` (not owning).
class GameObject {
public:
    GameObject* parent = nullptr;
    std::vector<std::shared_ptr<GameObject>> children;
    std::unique_ptr<Mesh> mesh;  // always present once the node is read
    // The static actors the physics world built for this object (kind permitting).
    // Destroying an actor takes it out of the world.
    std::unique_ptr<PhysicsActor> collisionActor;
    std::unique_ptr<PhysicsActor> triggerActor;
    // min x, min y, min z, max x, max y, max z in world space; empty for a
    // node without geometry.
    std::optional<std::array<float, 6>> bounds;
    int kind = 0;         // PhysicsShapeKind: 0 None, 1 TriangleMesh, 2 Box, 3 BoxWithTrigger, 4 Trigger
    bool visible = true;  // false once removed from the world; the subtree is not drawn
    bool hiddenText = false;
    bool transparent = false;
    int moveStepsLeft = 0;
    glm::vec3 moveStep{0.0f};  // per-step translation, in the mesh's own axes
    // The step's axes swapped as the file's Z-up turn swaps them: (x, z, -y).
    // Only an object without a mesh moves by it; one with a mesh moves its
    // bounds and colliders by the mesh's true world step.
    glm::vec3 worldMoveStep{0.0f};

    GameObject();
    virtual ~GameObject();
    GameObject(const GameObject&) = delete;
    GameObject& operator=(const GameObject&) = delete;

    // What a node name means: the tag is the text after the last "_" (empty
    // without one), the base name the text before it.
    static std::string tagOf(const std::string& nodeName);
    static std::string baseNameOf(const std::string& nodeName);
    // The physics kind a node with a mesh gets from its tag.
    static int kindForTag(const std::string& tag);
    // Names starting with "Waypoint" (case-sensitive) mark monster waypoints.
    static bool isWaypointName(const std::string& nodeName);
    // The sound file an emitter's base name selects; empty for unknown names.
    static std::string soundPathFor(const std::string& baseName);

    // Fills this (fresh) object from one level node: the mesh (geometry from
    // the node's first mesh, textures keyed by `levelPath`), the bounds, the
    // kind and its physics actors, the hiddenText / transparent flags and, for
    // "sound" / "soundLooped" nodes, the 3D sound emitter. `meshes` holds
    // `meshCount` entries; a mesh index outside it is reported and the node
    // is read without geometry. Needs a current GL context for nodes with
    // geometry.
    void initFromNode(GameObject* parentObject, aiNode* node, aiMesh* const* meshes, unsigned meshCount,
                      Shader* meshShader, const std::string& levelPath);

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

    // Starts a timed move by `offset` (mesh axes) over five seconds of fixed
    // steps (300 update steps). The whole subtree travels along step by step
    // and ends moved by the same world offset. Replaces a running move.
    void moveBy(const glm::vec3& offset);

    // One simulation step of the object and its subtree: advances a running
    // move (mesh, bounds and rebuilt actors), then the mesh's own update.
    void update(float deltaSeconds);

    // Releases the children (deepest first), hides the object and takes its
    // physics actors out of the world.
    void removeFromWorld();

    // The centre of `bounds` ((max - min) * 0.5 + min per axis); the origin
    // without bounds.
    glm::vec3 boundsCentre() const;

    // Whether this object itself would reach the GPU: visible with geometry.
    bool drawable() const;

private:
    // Moves this object and its subtree with a moving ancestor: the mesh, the
    // bounds and any actors by `worldOffset` in world space.
    void carryBy(const glm::vec3& worldOffset);
    // Adds `worldOffset` to both corners of the bounds, if any.
    void shiftBounds(const glm::vec3& worldOffset);
    // Has the physics world build the actors of `kind` for the current mesh and bounds.
    void buildActors();
    // Creates the 3D sound named by this "sound"/"soundLooped" node, placed at the parent's centre.
    void createSoundEmitter(const std::string& nodeName, const std::string& tag);
};

}  // namespace vestrel
