#pragma once

#include <assimp/matrix4x4.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

struct aiAnimation;
struct aiNode;
struct aiScene;

namespace vestrel {

// One node of the model's hierarchy as the animation sees it.
struct AnimatorNode {
    std::string name;
    AnimatorNode* parent = nullptr;
    std::vector<std::unique_ptr<AnimatorNode>> children;
    aiMatrix4x4 localTransform;   // the file's transformation, or the channel's pose
    aiMatrix4x4 globalTransform;  // root-to-node product of the local transforms
    int channelIndex = -1;        // animation channel that drives this node, or -1
};

// Plays animation 0 of an imported scene: mirrors the node hierarchy,
// evaluates the channels at a clock time and yields each mesh's bone
// matrices. The scene must outlive the animator.
//
// Key times in the file are in ticks; the clock is converted with the
// animation's ticks per second (1 when the file gives 0), so an animation
// plays at its authored speed whatever unit the importer reports keys in.
// Key searches go on from the previous evaluation's keys while the time moves
// forward and restart from key 0 after the loop wraps.
class Animator {
public:
    explicit Animator(const aiScene* scene);
    ~Animator();
    Animator(const Animator&) = delete;
    Animator& operator=(const Animator&) = delete;

    // Poses the hierarchy at `clockMs` milliseconds since the animation
    // started, looping over the animation's duration. Nothing happens when
    // the duration is not positive.
    void update(std::int64_t clockMs);

    // The key time (in ticks) `clockMs` falls on, after the loop.
    double keyTime(std::int64_t clockMs) const;

    // Fills `out` with one matrix per bone of the mesh that `node` references
    // at `meshRef`: inverse(node's global) x bone node's global x offset.
    // A reference out of range leaves `out` empty. `out` keeps its storage
    // between calls, so steady use does not allocate.
    void boneMatrices(const aiNode* node, unsigned meshRef, std::vector<aiMatrix4x4>& out) const;

    // The global transform of the mirror of `node`; identity when unknown.
    const aiMatrix4x4& globalTransform(const aiNode* node) const;
    const AnimatorNode* root() const { return root_.get(); }
    double lastTime() const { return lastTime_; }
    // Last position, rotation and scaling key index of `channel`.
    const std::array<unsigned, 3>& lastKeys(unsigned channel) const { return lastKeys_.at(channel); }
    double ticksPerSecond() const { return ticksPerSecond_; }

private:
    std::unique_ptr<AnimatorNode> mirror(const aiNode* node, AnimatorNode* parent);
    void evaluate(double t);
    void updateGlobals(AnimatorNode& node);

    const aiScene* scene_;
    const aiAnimation* animation_ = nullptr;
    std::unique_ptr<AnimatorNode> root_;
    std::unordered_map<const aiNode*, AnimatorNode*> nodes_;
    // By mesh, then by bone: the node the bone moves with (null when the
    // file has no node of that name).
    std::vector<std::vector<const AnimatorNode*>> boneNodes_;
    double ticksPerSecond_ = 1.0;
    double lastTime_ = 0.0;
    std::vector<std::array<unsigned, 3>> lastKeys_;
    std::vector<aiMatrix4x4> channelTransforms_;
    aiMatrix4x4 identity_;
};

}  // namespace vestrel
