#pragma once

// Read-only view of Assets/house1.dae for the house tests: the scene as the level loader
// reads it (Assimp flags 0x40A), every node's name, tag and world transform, and the
// colliders the physics world builds from the node names.

#include <assimp/scene.h>
#include <assimp/Importer.hpp>

#include <glm/glm.hpp>

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

namespace vestrel::housetest {

inline constexpr const char* kHousePath = "Assets/house1.dae";
inline constexpr unsigned kLevelImportFlags = 0x40A;  // JoinIdenticalVertices | Triangulate | Validate
inline constexpr float kFloorY = -1.0f;

struct Box {
    glm::vec3 min{1e9f};
    glm::vec3 max{-1e9f};
    void add(const glm::vec3& p) {
        min = glm::min(min, p);
        max = glm::max(max, p);
    }
    glm::vec3 centre() const { return (min + max) * 0.5f; }
    glm::vec3 size() const { return max - min; }
};

struct HouseNode {
    const aiNode* node = nullptr;
    std::string name;
    std::string tag;  // text after the last '_', empty without one
    const HouseNode* parent = nullptr;
    glm::mat4 world{1.0f};         // root x ... x node, in the game's Y-up world
    const aiMesh* mesh = nullptr;  // first mesh, as the level loader uses it
    std::vector<glm::vec3> worldPositions;
    Box bounds;  // of worldPositions; empty (min > max) without a mesh
};

inline std::string tagOf(const std::string& name) {
    const auto underscore = name.rfind('_');
    return underscore == std::string::npos ? std::string() : name.substr(underscore + 1);
}

inline glm::mat4 toGlm(const aiMatrix4x4& m) {
    // Assimp is row-major; GLM is column-major.
    return glm::mat4(m.a1, m.b1, m.c1, m.d1, m.a2, m.b2, m.c2, m.d2, m.a3, m.b3, m.c3, m.d3, m.a4, m.b4, m.c4,
                     m.d4);
}

class HouseScene {
public:
    // Loads the level; scene() is null and error() says why when that fails.
    explicit HouseScene(const std::string& path = kHousePath) {
        scene_ = importer_.ReadFile(path, kLevelImportFlags);
        if (scene_ == nullptr) {
            error_ = importer_.GetErrorString();
            return;
        }
        nodes_.reserve(countNodes(scene_->mRootNode));  // parents are pointed to while collecting
        collect(scene_->mRootNode, nullptr, glm::mat4(1.0f));
    }

    const aiScene* scene() const { return scene_; }
    const std::string& error() const { return error_; }
    const std::vector<HouseNode>& nodes() const { return nodes_; }
    const HouseNode& root() const { return nodes_.front(); }

    // Every node with this exact name.
    std::vector<const HouseNode*> named(const std::string& name) const {
        std::vector<const HouseNode*> found;
        for (const HouseNode& n : nodes_) {
            if (n.name == name) found.push_back(&n);
        }
        return found;
    }
    const HouseNode* find(const std::string& name) const {
        auto found = named(name);
        return found.empty() ? nullptr : found.front();
    }

private:
    static size_t countNodes(const aiNode* node) {
        size_t count = 1;
        for (unsigned i = 0; i < node->mNumChildren; ++i) count += countNodes(node->mChildren[i]);
        return count;
    }

    void collect(const aiNode* node, const HouseNode* parent, const glm::mat4& parentWorld) {
        HouseNode n;
        n.node = node;
        n.name = node->mName.C_Str();
        n.tag = tagOf(n.name);
        n.parent = parent;
        n.world = parentWorld * toGlm(node->mTransformation);
        if (node->mNumMeshes > 0) {
            n.mesh = scene_->mMeshes[node->mMeshes[0]];
            for (unsigned i = 0; i < n.mesh->mNumVertices; ++i) {
                const aiVector3D& v = n.mesh->mVertices[i];
                glm::vec3 p(n.world * glm::vec4(v.x, v.y, v.z, 1.0f));
                n.worldPositions.push_back(p);
                n.bounds.add(p);
            }
        }
        nodes_.push_back(std::move(n));
        const HouseNode* self = &nodes_.back();
        for (unsigned i = 0; i < node->mNumChildren; ++i) collect(node->mChildren[i], self, self->world);
    }

    Assimp::Importer importer_;
    const aiScene* scene_ = nullptr;
    std::string error_;
    std::vector<HouseNode> nodes_;
};

// The collider the physics world fits to a box-kind object: its bounds, with a flat axis
// made 0.1 thick towards the positive side.
inline Box colliderBox(const Box& bounds) {
    Box b = bounds;
    for (int k = 0; k < 3; ++k) {
        if (b.max[k] - b.min[k] == 0.0f) b.max[k] = b.min[k] + 0.1f;
    }
    return b;
}

// Radius of the trigger sphere around an item or interaction zone.
inline float triggerRadius(const Box& bounds) {
    const Box b = colliderBox(bounds);
    const glm::vec3 s = b.size();
    return std::max({s.x, s.y, s.z}) * 0.5f + 2.0f;
}

}  // namespace vestrel::housetest
