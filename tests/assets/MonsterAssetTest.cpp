// The monster model as the skinned-model loader sees it: imported by Assimp
// with the loader's flags, then checked for what skinning and animation need.
#include <IL/il.h>
#include <assimp/cimport.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr const char* kModelPath = "Assets/enemy_rigged.dae";
// aiProcessPreset_TargetRealtime_MaxQuality, as the skinned model imports it.
constexpr unsigned kLoaderFlags = 0x379ECB;
constexpr unsigned kMaxBonesInShader = 60;
constexpr unsigned kMaxInfluences = 4;

struct SceneDeleter {
    void operator()(const aiScene* scene) const { aiReleaseImport(scene); }
};
using ScenePtr = std::unique_ptr<const aiScene, SceneDeleter>;

ScenePtr importModel(const std::string& path) { return ScenePtr(aiImportFile(path.c_str(), kLoaderFlags)); }

const aiNode* findNode(const aiNode* node, const std::string& name) {
    if (name == node->mName.C_Str()) return node;
    for (unsigned i = 0; i < node->mNumChildren; ++i) {
        if (const aiNode* found = findNode(node->mChildren[i], name)) return found;
    }
    return nullptr;
}

const aiNode* findMeshNode(const aiNode* node, unsigned mesh) {
    for (unsigned i = 0; i < node->mNumMeshes; ++i) {
        if (node->mMeshes[i] == mesh) return node;
    }
    for (unsigned i = 0; i < node->mNumChildren; ++i) {
        if (const aiNode* found = findMeshNode(node->mChildren[i], mesh)) return found;
    }
    return nullptr;
}

// Local transforms of animated nodes at one key of the animation; nodes
// without a channel keep their file transformation.
std::map<std::string, aiMatrix4x4> poseAtKey(const aiAnimation* anim, unsigned key) {
    std::map<std::string, aiMatrix4x4> pose;
    for (unsigned c = 0; c < anim->mNumChannels; ++c) {
        const aiNodeAnim* ch = anim->mChannels[c];
        aiVector3D position = ch->mNumPositionKeys
                                  ? ch->mPositionKeys[std::min(key, ch->mNumPositionKeys - 1)].mValue
                                  : aiVector3D(0, 0, 0);
        aiQuaternion rotation = ch->mNumRotationKeys
                                    ? ch->mRotationKeys[std::min(key, ch->mNumRotationKeys - 1)].mValue
                                    : aiQuaternion();
        aiVector3D scaling = ch->mNumScalingKeys
                                 ? ch->mScalingKeys[std::min(key, ch->mNumScalingKeys - 1)].mValue
                                 : aiVector3D(1, 1, 1);
        pose[ch->mNodeName.C_Str()] = aiMatrix4x4(scaling, rotation, position);
    }
    return pose;
}

aiMatrix4x4 globalTransform(const aiNode* node, const std::map<std::string, aiMatrix4x4>& pose) {
    aiMatrix4x4 global;
    for (const aiNode* n = node; n; n = n->mParent) {
        auto it = pose.find(n->mName.C_Str());
        global = (it != pose.end() ? it->second : n->mTransformation) * global;
    }
    return global;
}

// Skins every vertex of mesh `m` the way the game does (inverse of the mesh
// node's global transform x bone node's global transform x offset matrix).
std::vector<aiVector3D> skin(const aiScene* scene, unsigned m,
                             const std::map<std::string, aiMatrix4x4>& pose) {
    const aiMesh* mesh = scene->mMeshes[m];
    aiMatrix4x4 meshInverse = globalTransform(findMeshNode(scene->mRootNode, m), pose);
    meshInverse.Inverse();
    std::vector<aiVector3D> out(mesh->mNumVertices, aiVector3D(0, 0, 0));
    for (unsigned b = 0; b < mesh->mNumBones; ++b) {
        const aiBone* bone = mesh->mBones[b];
        const aiNode* node = findNode(scene->mRootNode, bone->mName.C_Str());
        if (!node) continue;
        aiMatrix4x4 matrix = meshInverse * globalTransform(node, pose) * bone->mOffsetMatrix;
        for (unsigned w = 0; w < bone->mNumWeights; ++w) {
            const aiVertexWeight& vw = bone->mWeights[w];
            out[vw.mVertexId] += (matrix * mesh->mVertices[vw.mVertexId]) * vw.mWeight;
        }
    }
    return out;
}

struct Box {
    aiVector3D lo{1e9f, 1e9f, 1e9f}, hi{-1e9f, -1e9f, -1e9f};
    void add(const aiVector3D& p) {
        lo = aiVector3D(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
        hi = aiVector3D(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
    }
};

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class MonsterAsset : public ::testing::Test {
protected:
    static void SetUpTestSuite() { scene_ = importModel(kModelPath).release(); }
    static void TearDownTestSuite() {
        aiReleaseImport(scene_);
        scene_ = nullptr;
    }
    void SetUp() override { ASSERT_NE(scene_, nullptr) << kModelPath << ": " << aiGetErrorString(); }

    static const aiScene* scene_;
};

const aiScene* MonsterAsset::scene_ = nullptr;

TEST_F(MonsterAsset, MeshesHaveWhatTheSkinnedLoaderNeeds) {
    ASSERT_GE(scene_->mNumMeshes, 1u);
    unsigned triangles = 0;
    std::set<std::string> bones;
    for (unsigned m = 0; m < scene_->mNumMeshes; ++m) {
        const aiMesh* mesh = scene_->mMeshes[m];
        SCOPED_TRACE("mesh " + std::to_string(m));
        EXPECT_TRUE(mesh->HasPositions());
        EXPECT_TRUE(mesh->HasNormals());
        EXPECT_TRUE(mesh->HasTextureCoords(0));
        EXPECT_EQ(mesh->mPrimitiveTypes, unsigned(aiPrimitiveType_TRIANGLE));
        EXPECT_TRUE(mesh->HasBones());
        EXPECT_LE(mesh->mNumBones, kMaxBonesInShader);
        for (unsigned f = 0; f < mesh->mNumFaces; ++f) ASSERT_EQ(mesh->mFaces[f].mNumIndices, 3u);
        triangles += mesh->mNumFaces;
        for (unsigned b = 0; b < mesh->mNumBones; ++b) bones.insert(mesh->mBones[b]->mName.C_Str());
        // Every mesh is drawn by a node of the tree, or it would never show.
        EXPECT_NE(findMeshNode(scene_->mRootNode, m), nullptr);
    }
    EXPECT_GE(bones.size(), 8u);
    EXPECT_LE(bones.size(), 40u);
    // Enough to read as a creature, few enough for a software rasterizer.
    EXPECT_GE(triangles, 1000u);
    EXPECT_LE(triangles, 8000u);
    // Each bone names a node of the hierarchy, which the animator looks up.
    for (const std::string& name : bones) EXPECT_NE(findNode(scene_->mRootNode, name), nullptr) << name;
}

TEST_F(MonsterAsset, EveryVertexHasAtMostFourWeightsSummingToOne) {
    for (unsigned m = 0; m < scene_->mNumMeshes; ++m) {
        const aiMesh* mesh = scene_->mMeshes[m];
        std::vector<unsigned> count(mesh->mNumVertices, 0);
        std::vector<float> sum(mesh->mNumVertices, 0.0f);
        for (unsigned b = 0; b < mesh->mNumBones; ++b) {
            for (unsigned w = 0; w < mesh->mBones[b]->mNumWeights; ++w) {
                const aiVertexWeight& vw = mesh->mBones[b]->mWeights[w];
                ASSERT_LT(vw.mVertexId, mesh->mNumVertices);
                ++count[vw.mVertexId];
                sum[vw.mVertexId] += vw.mWeight;
            }
        }
        for (unsigned v = 0; v < mesh->mNumVertices; ++v) {
            ASSERT_GE(count[v], 1u) << "vertex " << v << " of mesh " << m << " follows no bone";
            ASSERT_LE(count[v], kMaxInfluences) << "vertex " << v << " of mesh " << m;
            ASSERT_NEAR(sum[v], 1.0f, 0.01f) << "vertex " << v << " of mesh " << m;
        }
    }
}

TEST_F(MonsterAsset, DiffuseTextureLiesNextToTheModel) {
    unsigned textured = 0;
    for (unsigned i = 0; i < scene_->mNumMaterials; ++i) {
        aiString path;
        if (aiGetMaterialTexture(scene_->mMaterials[i], aiTextureType_DIFFUSE, 0, &path) != aiReturn_SUCCESS)
            continue;
        ++textured;
        // The level loader reads material textures relative to the model's folder.
        fs::path file = fs::path("Assets") / path.C_Str();
        EXPECT_TRUE(fs::is_regular_file(file)) << file;
    }
    EXPECT_EQ(textured, 1u);
    for (unsigned m = 0; m < scene_->mNumMeshes; ++m) {
        aiString path;
        EXPECT_EQ(aiGetMaterialTexture(scene_->mMaterials[scene_->mMeshes[m]->mMaterialIndex],
                                       aiTextureType_DIFFUSE, 0, &path),
                  aiReturn_SUCCESS)
            << "mesh " << m << " has no texture";
    }
}

TEST_F(MonsterAsset, StandsAboutFiveAndAHalfUnitsTallOnItsOrigin) {
    // The file is Z-up and the game turns it upright, so the raw vertices
    // stand along +Z with the feet at the origin's height.
    Box box;
    for (unsigned m = 0; m < scene_->mNumMeshes; ++m)
        for (unsigned v = 0; v < scene_->mMeshes[m]->mNumVertices; ++v)
            box.add(scene_->mMeshes[m]->mVertices[v]);
    EXPECT_NEAR(box.lo.z, 0.0f, 0.1f);
    EXPECT_NEAR(box.hi.z - box.lo.z, 5.5f, 0.4f);
    // Roughly centred on its origin, so the capsule around it fits.
    EXPECT_LT(std::abs(box.lo.x + box.hi.x), 0.2f);
    EXPECT_LT(std::max(std::abs(box.lo.y), std::abs(box.hi.y)), 2.5f);
}

TEST_F(MonsterAsset, FacesItsFirstLegOnceTheGameHasTurnedIt) {
    // The loader stands the model up (-90 degrees about X) and the enemy adds
    // a half turn about the model's Z; later turns are relative to the heading,
    // so the model has to start out facing its first leg, which the house lays
    // out along the world's +Z. The head hangs forward of the hips, so it
    // shows which way the creature faces.
    aiMatrix4x4 upright, halfTurn;
    aiMatrix4x4::RotationX(-1.570796f, upright);
    aiMatrix4x4::RotationZ(3.141593f, halfTurn);
    const aiMatrix4x4 gameTurn = upright * halfTurn;
    aiVector3D head(0, 0, 0), hips(0, 0, 0);
    unsigned headCount = 0, hipsCount = 0;
    for (unsigned m = 0; m < scene_->mNumMeshes; ++m) {
        for (unsigned v = 0; v < scene_->mMeshes[m]->mNumVertices; ++v) {
            const aiVector3D& p = scene_->mMeshes[m]->mVertices[v];
            if (p.z > 4.5f) head += gameTurn * p, ++headCount;
            if (p.z > 2.0f && p.z < 2.6f && std::abs(p.x) < 0.3f) hips += gameTurn * p, ++hipsCount;
        }
    }
    ASSERT_GT(headCount, 0u);
    ASSERT_GT(hipsCount, 0u);
    aiVector3D forward = head / float(headCount) - hips / float(hipsCount);
    EXPECT_GT(forward.z, 0.5f) << "the head should lean towards the world's +Z";
    EXPECT_LT(std::abs(forward.x), 0.1f);
}

TEST_F(MonsterAsset, BindPoseSkinsEveryVertexOntoItself) {
    // With the file's own node transforms the bone matrices must be the
    // identity; otherwise inverse bind matrices and skeleton disagree and the
    // creature is torn apart before it takes a step.
    const std::map<std::string, aiMatrix4x4> bindPose;
    for (unsigned m = 0; m < scene_->mNumMeshes; ++m) {
        const aiMesh* mesh = scene_->mMeshes[m];
        std::vector<aiVector3D> skinned = skin(scene_, m, bindPose);
        for (unsigned v = 0; v < mesh->mNumVertices; ++v) {
            ASSERT_LT((skinned[v] - mesh->mVertices[v]).Length(), 1e-3f)
                << "vertex " << v << " of mesh " << m;
        }
    }
}

TEST_F(MonsterAsset, HasOneLoopingWalkOfAboutOneSecond) {
    ASSERT_EQ(scene_->mNumAnimations, 1u);
    const aiAnimation* anim = scene_->mAnimations[0];
    ASSERT_GT(anim->mDuration, 0.0);
    const double ticksPerSecond = anim->mTicksPerSecond > 0.0 ? anim->mTicksPerSecond : 1.0;
    EXPECT_NEAR(anim->mDuration / ticksPerSecond, 1.0, 0.25);

    std::set<std::string> bones;
    for (unsigned m = 0; m < scene_->mNumMeshes; ++m)
        for (unsigned b = 0; b < scene_->mMeshes[m]->mNumBones; ++b)
            bones.insert(scene_->mMeshes[m]->mBones[b]->mName.C_Str());
    std::set<std::string> animated;
    for (unsigned c = 0; c < anim->mNumChannels; ++c) {
        const aiNodeAnim* ch = anim->mChannels[c];
        SCOPED_TRACE(ch->mNodeName.C_Str());
        animated.insert(ch->mNodeName.C_Str());
        EXPECT_NE(findNode(scene_->mRootNode, ch->mNodeName.C_Str()), nullptr);
        // Assimp folds a track whose keys are all equal into one key; the
        // rotations of a walking joint never are.
        ASSERT_GE(ch->mNumRotationKeys, 2u);
        ASSERT_GE(ch->mNumPositionKeys, 1u);
        // Keys span the whole clip, and the last equals the first so the loop
        // does not jump.
        EXPECT_NEAR(ch->mRotationKeys[0].mTime, 0.0, 1e-6);
        EXPECT_NEAR(ch->mRotationKeys[ch->mNumRotationKeys - 1].mTime, anim->mDuration, 1e-3);
        const aiQuaternion& first = ch->mRotationKeys[0].mValue;
        const aiQuaternion& last = ch->mRotationKeys[ch->mNumRotationKeys - 1].mValue;
        EXPECT_NEAR(std::abs(first.w * last.w + first.x * last.x + first.y * last.y + first.z * last.z), 1.0,
                    1e-4);
        EXPECT_LT((ch->mPositionKeys[0].mValue - ch->mPositionKeys[ch->mNumPositionKeys - 1].mValue).Length(),
                  1e-4f);
    }
    // Every bone moves with the walk: a bone without a channel would stay stiff.
    EXPECT_EQ(animated, bones);
}

TEST_F(MonsterAsset, WalkKeepsTheBodyTogetherAndTheFeetOnTheGround) {
    const aiAnimation* anim = scene_->mAnimations[0];
    unsigned keys = anim->mChannels[0]->mNumRotationKeys;
    float lowestFootBySide[2] = {1e9f, 1e9f};
    float highestFoot = -1e9f;
    for (unsigned k = 0; k < keys; ++k) {
        SCOPED_TRACE("key " + std::to_string(k));
        auto pose = poseAtKey(anim, k);
        Box box;
        for (unsigned m = 0; m < scene_->mNumMeshes; ++m) {
            const aiMesh* mesh = scene_->mMeshes[m];
            std::vector<aiVector3D> skinned = skin(scene_, m, pose);
            std::vector<aiVector3D> bind = skin(scene_, m, {});
            for (unsigned v = 0; v < mesh->mNumVertices; ++v) {
                box.add(skinned[v]);
                // No vertex wanders far from where it is at rest (a bad weight
                // or a broken key shows up as a spike).
                ASSERT_LT((skinned[v] - bind[v]).Length(), 2.0f) << "vertex " << v;
            }
            for (unsigned b = 0; b < mesh->mNumBones; ++b) {
                std::string name = mesh->mBones[b]->mName.C_Str();
                if (name.rfind("Foot_", 0) != 0) continue;
                int side = name == "Foot_L" ? 0 : 1;
                for (unsigned w = 0; w < mesh->mBones[b]->mNumWeights; ++w) {
                    float z = skinned[mesh->mBones[b]->mWeights[w].mVertexId].z;
                    lowestFootBySide[side] = std::min(lowestFootBySide[side], z);
                    highestFoot = std::max(highestFoot, z);
                }
            }
        }
        EXPECT_GT(box.hi.z - box.lo.z, 4.6f);
        EXPECT_LT(box.hi.z - box.lo.z, 6.2f);
        EXPECT_GT(box.lo.z, -0.35f) << "sinks into the floor";
    }
    // Each foot comes down to the floor at some point of the stride, and lifts.
    EXPECT_LT(lowestFootBySide[0], 0.15f);
    EXPECT_LT(lowestFootBySide[1], 0.15f);
    EXPECT_GT(highestFoot, 0.8f);
}

TEST(MonsterGenerator, RegeneratesTheCommittedModelExactly) {
    fs::path out = fs::temp_directory_path() / ("vestrel_monster_" + std::to_string(::getpid()));
    fs::remove_all(out);
    std::string command = "python3 tools/make_monster.py --out '" + out.string() + "' > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    std::string committed = readFile(kModelPath);
    std::string fresh = readFile(out / kModelPath);
    EXPECT_FALSE(fresh.empty());
    EXPECT_TRUE(committed == fresh) << "Assets/enemy_rigged.dae is stale: run tools/make_monster.py";

    // The texture is compared by pixels: zlib builds may compress differently.
    ilInit();
    auto pixels = [](const fs::path& path) {
        std::vector<ILubyte> data;
        ILuint image = ilGenImage();
        ilBindImage(image);
        if (ilLoadImage(path.c_str()) && ilConvertImage(IL_RGB, IL_UNSIGNED_BYTE)) {
            const ILubyte* p = ilGetData();
            data.assign(p, p + ilGetInteger(IL_IMAGE_WIDTH) * ilGetInteger(IL_IMAGE_HEIGHT) * 3);
        }
        ilDeleteImage(image);
        return data;
    };
    std::vector<ILubyte> committedTexture = pixels("Assets/Textures/monster_skin.png");
    EXPECT_FALSE(committedTexture.empty());
    EXPECT_TRUE(committedTexture == pixels(out / "Assets/Textures/monster_skin.png"))
        << "Assets/Textures/monster_skin.png is stale: run tools/make_monster.py";
    fs::remove_all(out);
}

}  // namespace
