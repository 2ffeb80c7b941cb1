#include "render/Animator.h"

#include <assimp/anim.h>
#include <assimp/scene.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vestrel {

namespace {

const aiNode* findByName(const aiNode* node, const char* name) {
    if (node == nullptr) return nullptr;
    if (std::strcmp(node->mName.C_Str(), name) == 0) return node;
    for (unsigned i = 0; i < node->mNumChildren; ++i) {
        if (const aiNode* found = findByName(node->mChildren[i], name)) return found;
    }
    return nullptr;
}

// Index of the key that `t` lies in, searched forward from `start`.
template <typename Key>
unsigned findKey(const Key* keys, unsigned count, unsigned start, double t) {
    unsigned index = std::min(start, count - 1);
    while (index + 1 < count && t >= keys[index + 1].mTime) ++index;
    return index;
}

// Fraction of the way from key `index` to the next one (wrapping to the first
// over the end of the loop); a negative result means "no span, take the key".
template <typename Key>
float keyFactor(const Key* keys, unsigned count, unsigned index, double t, double duration) {
    const unsigned next = (index + 1) % count;
    double span = keys[next].mTime - keys[index].mTime;
    if (span < 0.0) span += duration;
    if (!(span > 0.0)) return -1.0f;
    // Before the first key (a track that starts late) the first key holds.
    return static_cast<float>(std::clamp((t - keys[index].mTime) / span, 0.0, 1.0));
}

}  // namespace

Animator::Animator(const aiScene* scene) : scene_(scene) {
    if (scene_ == nullptr || scene_->mRootNode == nullptr) return;
    if (scene_->mNumAnimations > 0) animation_ = scene_->mAnimations[0];
    if (animation_ != nullptr) {
        ticksPerSecond_ = animation_->mTicksPerSecond > 0.0 ? animation_->mTicksPerSecond : 1.0;
        lastKeys_.assign(animation_->mNumChannels, {0u, 0u, 0u});
        channelTransforms_.assign(animation_->mNumChannels, aiMatrix4x4());
    }
    root_ = mirror(scene_->mRootNode, nullptr);
    boneNodes_.resize(scene_->mNumMeshes);
    for (unsigned m = 0; m < scene_->mNumMeshes; ++m) {
        const aiMesh* mesh = scene_->mMeshes[m];
        if (mesh == nullptr) continue;
        for (unsigned b = 0; b < mesh->mNumBones; ++b) {
            const aiNode* node = findByName(scene_->mRootNode, mesh->mBones[b]->mName.C_Str());
            const auto found = node ? nodes_.find(node) : nodes_.end();
            boneNodes_[m].push_back(found != nodes_.end() ? found->second : nullptr);
        }
    }
    updateGlobals(*root_);
}

Animator::~Animator() = default;

std::unique_ptr<AnimatorNode> Animator::mirror(const aiNode* node, AnimatorNode* parent) {
    auto mirrored = std::make_unique<AnimatorNode>();
    mirrored->name = node->mName.C_Str();
    mirrored->parent = parent;
    mirrored->localTransform = node->mTransformation;
    if (animation_ != nullptr) {
        for (unsigned c = 0; c < animation_->mNumChannels; ++c) {
            if (mirrored->name == animation_->mChannels[c]->mNodeName.C_Str()) {
                mirrored->channelIndex = static_cast<int>(c);
                break;
            }
        }
    }
    nodes_[node] = mirrored.get();
    for (unsigned i = 0; i < node->mNumChildren; ++i) {
        if (node->mChildren[i] != nullptr)
            mirrored->children.push_back(mirror(node->mChildren[i], mirrored.get()));
    }
    return mirrored;
}

double Animator::keyTime(std::int64_t clockMs) const {
    if (animation_ == nullptr || !(animation_->mDuration > 0.0)) return 0.0;
    const double duration = animation_->mDuration;
    double t = std::fmod(static_cast<double>(clockMs) / 1000.0 * ticksPerSecond_, duration);
    if (t < 0.0) t += duration;
    return t;
}

void Animator::update(std::int64_t clockMs) {
    if (animation_ == nullptr || !(animation_->mDuration > 0.0) || !root_) return;
    evaluate(keyTime(clockMs));
    updateGlobals(*root_);
}

void Animator::evaluate(double t) {
    const double duration = animation_->mDuration;
    const bool forward = t >= lastTime_;
    for (unsigned c = 0; c < animation_->mNumChannels; ++c) {
        const aiNodeAnim* channel = animation_->mChannels[c];
        std::array<unsigned, 3>& last = lastKeys_[c];

        aiVector3D position(0.0f, 0.0f, 0.0f);
        if (channel->mNumPositionKeys > 0) {
            const aiVectorKey* keys = channel->mPositionKeys;
            const unsigned count = channel->mNumPositionKeys;
            const unsigned index = findKey(keys, count, forward ? last[0] : 0u, t);
            const float f = keyFactor(keys, count, index, t, duration);
            position = keys[index].mValue;
            if (f >= 0.0f) position += (keys[(index + 1) % count].mValue - keys[index].mValue) * f;
            last[0] = index;
        }

        aiQuaternion rotation;
        if (channel->mNumRotationKeys > 0) {
            const aiQuatKey* keys = channel->mRotationKeys;
            const unsigned count = channel->mNumRotationKeys;
            const unsigned index = findKey(keys, count, forward ? last[1] : 0u, t);
            const float f = keyFactor(keys, count, index, t, duration);
            rotation = keys[index].mValue;
            if (f >= 0.0f) {
                aiQuaternion::Interpolate(rotation, keys[index].mValue, keys[(index + 1) % count].mValue, f);
                rotation.Normalize();
            }
            last[1] = index;
        }

        // Scaling steps from key to key.
        aiVector3D scaling(1.0f, 1.0f, 1.0f);
        if (channel->mNumScalingKeys > 0) {
            const unsigned index =
                findKey(channel->mScalingKeys, channel->mNumScalingKeys, forward ? last[2] : 0u, t);
            scaling = channel->mScalingKeys[index].mValue;
            last[2] = index;
        }

        channelTransforms_[c] = aiMatrix4x4(scaling, rotation, position);
    }
    lastTime_ = t;
}

void Animator::updateGlobals(AnimatorNode& node) {
    if (node.channelIndex >= 0 && static_cast<std::size_t>(node.channelIndex) < channelTransforms_.size()) {
        node.localTransform = channelTransforms_[static_cast<std::size_t>(node.channelIndex)];
    }
    node.globalTransform =
        node.parent ? node.parent->globalTransform * node.localTransform : node.localTransform;
    for (auto& child : node.children) updateGlobals(*child);
}

const aiMatrix4x4& Animator::globalTransform(const aiNode* node) const {
    const auto found = nodes_.find(node);
    return found != nodes_.end() ? found->second->globalTransform : identity_;
}

void Animator::boneMatrices(const aiNode* node, unsigned meshRef, std::vector<aiMatrix4x4>& out) const {
    out.clear();
    if (node == nullptr || meshRef >= node->mNumMeshes) return;
    const unsigned meshIndex = node->mMeshes[meshRef];
    if (meshIndex >= scene_->mNumMeshes || scene_->mMeshes[meshIndex] == nullptr) return;
    const aiMesh* mesh = scene_->mMeshes[meshIndex];
    out.resize(mesh->mNumBones);

    aiMatrix4x4 meshInverse = globalTransform(node);
    meshInverse.Inverse();
    const std::vector<const AnimatorNode*>& bones = boneNodes_[meshIndex];
    for (unsigned b = 0; b < mesh->mNumBones; ++b) {
        const aiMatrix4x4& boneGlobal = bones[b] ? bones[b]->globalTransform : identity_;
        out[b] = meshInverse * boneGlobal * mesh->mBones[b]->mOffsetMatrix;
    }
}

}  // namespace vestrel
