#include "level/GameObject.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <utility>

#include <assimp/scene.h>
#include <glm/gtc/matrix_transform.hpp>

#include "app/GameLoop.h"
#include "audio/SoundSystem.h"
#include "physics/PhysicsActor.h"
#include "physics/PhysicsShapeKind.h"
#include "physics/PhysicsWorld.h"
#include "render/Mesh.h"
#include "render/ViewFrustum.h"

namespace vestrel {

namespace {

constexpr float kBoundsStart = 100000.0f;
constexpr float kLoopedMinDistance = 0.1f;
constexpr float kOneShotMinDistance = 10000.0f;
constexpr float kMaxDistance = 10000.0f;

// A timed move lasts five seconds of simulation. Steps are fixed at
// kFixedStep whatever the display's refresh rate, so the count comes from the
// step length, not from the refresh rate (at 144 Hz that would take 12 s).
constexpr int kMoveSeconds = 5;
constexpr int kMoveSteps = kMoveSeconds * kFixedStepsPerSecond;

}  // namespace

GameObject::GameObject() = default;

// The actors leave the world as their unique_ptrs die; the mesh and the
// children go with their owners.
GameObject::~GameObject() = default;

std::string GameObject::tagOf(const std::string& nodeName) {
    const std::size_t cut = nodeName.rfind('_');
    return cut == std::string::npos ? std::string() : nodeName.substr(cut + 1);
}

std::string GameObject::baseNameOf(const std::string& nodeName) {
    const std::size_t cut = nodeName.rfind('_');
    return cut == std::string::npos ? nodeName : nodeName.substr(0, cut);
}

int GameObject::kindForTag(const std::string& tag) {
    if (tag == "box") return static_cast<int>(PhysicsShapeKind::Box);
    if (tag == "mesh") return static_cast<int>(PhysicsShapeKind::TriangleMesh);
    if (tag == "item") return static_cast<int>(PhysicsShapeKind::Trigger);
    if (tag == "interactive") return static_cast<int>(PhysicsShapeKind::BoxWithTrigger);
    if (tag == "transparent") return static_cast<int>(PhysicsShapeKind::Box);
    return static_cast<int>(PhysicsShapeKind::None);
}

bool GameObject::isWaypointName(const std::string& nodeName) {
    return nodeName.compare(0, 8, "Waypoint") == 0;
}

std::string GameObject::soundPathFor(const std::string& baseName) {
    if (baseName == "waterdrip") return "Assets\\Audio\\waterdrip.flac";
    if (baseName == "bang") return "Assets\\Audio\\bang.ogg";
    if (baseName == "engine") return "Assets\\Audio\\engine.wav";
    return std::string();
}

void GameObject::initFromNode(GameObject* parentObject, aiNode* node, aiMesh* const* meshes,
                              unsigned meshCount, Shader* meshShader, const std::string& levelPath) {
    parent = parentObject;
    const std::string nodeName = node ? node->mName.C_Str() : std::string();
    mesh = std::make_unique<Mesh>(meshShader, glm::mat4(1.0f), nodeName.c_str());
    if (node == nullptr) return;
    const std::string tag = tagOf(nodeName);

    const aiMesh* source = nullptr;
    if (node->mNumMeshes > 0) {
        const unsigned index = node->mMeshes[0];
        if (meshes != nullptr && index < meshCount) {
            source = meshes[index];
        } else {
            std::cout << "Node " << nodeName << " names mesh " << index << " of " << meshCount
                      << "; read without geometry" << std::endl;
        }
    }
    if (source != nullptr) {
        mesh->loadFromNode(node, source, levelPath);
        computeBounds();
        kind = kindForTag(tag);
        if (kind != static_cast<int>(PhysicsShapeKind::None)) buildActors();
    } else {
        mesh->setFromNode(node);
    }

    if (tag == "hiddenText") {
        hiddenText = true;
    } else if (tag == "transparent") {
        transparent = true;
    }

    if (tag == "sound" || tag == "soundLooped") createSoundEmitter(nodeName, tag);
}

void GameObject::createSoundEmitter(const std::string& nodeName, const std::string& tag) {
    const std::string baseName = baseNameOf(nodeName);
    SoundSystem& sounds = SoundSystem::instance();
    if (sounds.findSound(baseName) != nullptr) return;

    const bool looped = tag == "soundLooped";
    SoundSystem::SoundClass* sound = sounds.createSound(soundPathFor(baseName), baseName, kSound3D, looped);
    sound->sound.set3DMinMaxDistance(looped ? kLoopedMinDistance : kOneShotMinDistance, kMaxDistance);

    // An emitter takes its place from the object it hangs under. Without
    // bounds there (a parent without geometry) the emitter's own node
    // position is the best guess left, rather than a box of +-100000 corners.
    glm::vec3 position(0.0f);
    if (parent != nullptr && parent->bounds) {
        position = parent->boundsCentre();
    } else {
        position = glm::vec3(mesh->modelMatrix[3]);
        std::cout << "Sound " << nodeName << " hangs under no object with geometry; placed at its node"
                  << std::endl;
    }
    sound->position = position;
    sounds.channel(baseName).set3DAttributes(&position, nullptr);
}

void GameObject::buildActors() {
    if (!mesh || !bounds) return;
    if (kind == static_cast<int>(PhysicsShapeKind::TriangleMesh) && mesh->indices.empty()) {
        // Every triangle was dropped on loading: nothing to collide with.
        std::cout << "Mesh " << mesh->name << ": no valid triangles left; no collider built" << std::endl;
        return;
    }
    PhysicsMeshData data;
    data.name = mesh->name;
    if (!mesh->worldPositions.empty()) {
        data.positions = &mesh->worldPositions[0].x;
        data.vertexCount = static_cast<std::uint32_t>(mesh->worldPositions.size());
    }
    if (!mesh->indices.empty()) {
        data.indices = mesh->indices.data();
        data.indexCount = static_cast<std::uint32_t>(mesh->indices.size());
    }
    PhysicsWorld::instance().createActor(data, bounds->data(), static_cast<PhysicsShapeKind>(kind),
                                         &collisionActor, &triggerActor);
}

void GameObject::addChild(GameObject* child) { addChild(std::shared_ptr<GameObject>(child)); }

void GameObject::addChild(std::shared_ptr<GameObject> child) {
    if (!child) return;
    child->parent = this;
    children.push_back(std::move(child));
}

void GameObject::computeBounds() {
    std::array<float, 6> box{kBoundsStart,  kBoundsStart,  kBoundsStart,
                             -kBoundsStart, -kBoundsStart, -kBoundsStart};
    if (mesh) {
        for (const glm::vec3& p : mesh->worldPositions) {
            // Vertices at NaN or infinity belong to dropped triangles only.
            if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) continue;
            for (int axis = 0; axis < 3; ++axis) {
                box[axis] = std::min(box[axis], p[axis]);
                box[axis + 3] = std::max(box[axis + 3], p[axis]);
            }
        }
    }
    bounds = box;
}

glm::vec3 GameObject::boundsCentre() const {
    if (!bounds) return glm::vec3(0.0f);
    const std::array<float, 6>& b = *bounds;
    return glm::vec3((b[3] - b[0]) * 0.5f + b[0], (b[4] - b[1]) * 0.5f + b[1], (b[5] - b[2]) * 0.5f + b[2]);
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
    moveStepsLeft = kMoveSteps;
    moveStep = offset / static_cast<float>(moveStepsLeft);
    worldMoveStep = glm::vec3(moveStep.x, moveStep.z, -moveStep.y);
}

void GameObject::carryBy(const glm::vec3& worldOffset) {
    if (mesh) mesh->modelMatrix = glm::translate(glm::mat4(1.0f), worldOffset) * mesh->modelMatrix;
    shiftBounds(worldOffset);
    if (collisionActor || triggerActor) {
        // A triangle collider is cooked from the world positions: they travel too.
        if (mesh && kind == static_cast<int>(PhysicsShapeKind::TriangleMesh)) {
            for (glm::vec3& p : mesh->worldPositions) p += worldOffset;
        }
        collisionActor.reset();
        triggerActor.reset();
        if (visible) buildActors();
    }
    for (const std::shared_ptr<GameObject>& child : children) child->carryBy(worldOffset);
}

void GameObject::shiftBounds(const glm::vec3& worldOffset) {
    if (!bounds) return;
    for (int axis = 0; axis < 3; ++axis) {
        (*bounds)[axis] += worldOffset[axis];
        (*bounds)[axis + 3] += worldOffset[axis];
    }
}

void GameObject::update(float deltaSeconds) {
    if (moveStepsLeft > 0) {
        // The step in world space, as the translation in the mesh's own axes
        // moves it. Bounds, colliders and children all travel by exactly
        // that much, whatever the object's own rotation; a fixed swap of the
        // step's axes (worldMoveStep) only fits an object turned by the
        // file's Z-up turn alone.
        const glm::vec3 worldStep = mesh ? glm::mat3(mesh->modelMatrix) * moveStep : worldMoveStep;
        if (mesh) mesh->translate(moveStep, 1.0f);
        for (const std::shared_ptr<GameObject>& child : children) child->carryBy(worldStep);
        // Both old actors leave the world before the new ones are built, so a
        // moving object never leaves a stale collider or trigger behind.
        collisionActor.reset();
        triggerActor.reset();
        shiftBounds(worldStep);
        // A hidden object (taken out of the world) keeps moving out of sight
        // but gets no actors back.
        if (visible) buildActors();
        --moveStepsLeft;
        if (moveStepsLeft < 1) {
            moveStep = glm::vec3(0.0f);
            moveStepsLeft = 0;
        }
    }
    if (mesh) mesh->update(deltaSeconds);
    for (const std::shared_ptr<GameObject>& child : children) child->update(deltaSeconds);
}

void GameObject::removeFromWorld() {
    while (!children.empty()) {
        children.back()->removeFromWorld();
        children.pop_back();
    }
    visible = false;
    collisionActor.reset();
    triggerActor.reset();
}

}  // namespace vestrel
