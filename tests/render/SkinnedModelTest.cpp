// The skinned model and its animator on small rigged files written here, and
// on the game's monster: key search and interpolation, the loop, bone
// matrices and what reaches the skinning program.

#include <assimp/anim.h>
#include <assimp/mesh.h>
#include <assimp/scene.h>
#include <gtest/gtest.h>

#include <tuple>

#include <cmath>
#include <memory>

#include <glm/gtc/matrix_transform.hpp>

#include "GlTestContext.h"
#include "RiggedCollada.h"
#include "play/Camera.h"
#include "render/Animator.h"
#include "render/MonsterTextures.h"
#include "render/Shader.h"
#include "render/SkinnedModel.h"

namespace vestrel {
namespace {

std::int64_t fakeNow = 0;
std::int64_t fakeClock() { return fakeNow; }

const aiNode* nodeNamed(const aiScene* scene, const char* name) { return scene->mRootNode->FindNode(name); }

class SkinnedModelTest : public ::testing::Test {
protected:
    test::GlTestContext gl{256, 256};
    std::unique_ptr<Shader> shader;
    Camera camera{256, 256};

    void SetUp() override {
        ASSERT_TRUE(gl.ok());
        shader = std::make_unique<Shader>(kSkinningSources);
        glUseProgram(shader->program);
        fakeNow = 100000;
    }
    void TearDown() override {
        glUseProgram(0);
        test::forgetMonsterTextures();
    }

    std::unique_ptr<SkinnedModel> load(const std::string& path) {
        auto model = std::make_unique<SkinnedModel>();
        model->clock = &fakeClock;
        EXPECT_TRUE(model->load(path, &camera, shader.get())) << path;
        return model;
    }

    // Loads `path` and checks, through the clock, that its walk loops every
    // `authoredMs` (within `tolerance`) and repeats itself.
    void walksOneLoopPerAuthoredSecond(const char* path, double authoredMs, double tolerance);

    // x of the joint's global placement at `clockMs` of animation time.
    static float jointX(SkinnedModel& model, const char* joint, std::int64_t clockMs) {
        model.animator->update(clockMs);
        return model.animator->globalTransform(nodeNamed(model.scene, joint)).a4;
    }
};

TEST_F(SkinnedModelTest, KeysInterpolateWrapFromLastToFirstAndRestartTheSearchAfterTheLoop) {
    test::RiggedModel rig;
    rig.joints = 3;
    rig.triangles = 3;
    // J1 sets the length (1 s); J0 ends at 0.5 s and blends back to its first
    // key over the rest of the loop; J2 has a single key.
    rig.tracks = {{0, {{0.0, 0.0}, {0.5, 10.0}}},
                  {1, {{0.0, 0.0}, {0.25, 4.0}, {0.5, -2.0}, {0.75, 6.0}, {1.0, 1.0}}},
                  {2, {{0.0, 7.0}}}};
    test::RiggedFile file(rig, "keys");
    auto model = load(file.path());
    ASSERT_TRUE(model->animator);

    // The clock converts with the file's ticks per second: one second of
    // clock is the whole loop, not a thousandth of it.
    const aiAnimation* animation = model->scene->mAnimations[0];
    const double secondsLong = animation->mDuration / model->animator->ticksPerSecond();
    EXPECT_NEAR(secondsLong, 1.0, 1e-6);
    EXPECT_NEAR(model->animator->keyTime(375), 0.375 * animation->mDuration, 1e-6);

    EXPECT_NEAR(jointX(*model, "J1", 250), 4.0f, 1e-4f);
    EXPECT_NEAR(jointX(*model, "J1", 375), 1.0f, 1e-4f);  // halfway from 4 to -2
    EXPECT_NEAR(jointX(*model, "J0", 250), 5.0f, 1e-4f);

    // Past J0's last key the span runs over the loop's end back to key 0:
    // (0 - 500) + 1000 ticks, so at 750 ms it is halfway from 10 to 0.
    EXPECT_NEAR(jointX(*model, "J0", 750), 5.0f, 1e-3f);
    EXPECT_NEAR(jointX(*model, "J0", 625), 7.5f, 1e-3f);

    // Forward search: J1 sits in its fourth key span at 900 ms...
    EXPECT_NEAR(jointX(*model, "J1", 900), 6.0f + (1.0f - 6.0f) * 0.6f, 1e-3f);
    const unsigned j1 =
        static_cast<unsigned>(model->animator->root()->children[0]->children[1]->channelIndex);
    EXPECT_EQ(model->animator->lastKeys(j1)[0], 3u);
    // ...and after the wrap (1100 ms is 100 ms into the next loop) the search
    // starts again from key 0 instead of staying at the end.
    EXPECT_NEAR(jointX(*model, "J1", 1100), 1.6f, 1e-3f);
    EXPECT_EQ(model->animator->lastKeys(j1)[0], 0u);
    EXPECT_NEAR(model->animator->lastTime(), 0.1 * animation->mDuration, 1e-6);

    // One key: always that key, at any time (no span, no division).
    for (std::int64_t ms : {0, 333, 999, 1500}) EXPECT_NEAR(jointX(*model, "J2", ms), 7.0f, 1e-5f) << ms;
}

// Rotation keys turn from the earlier key toward the later one, and a child
// node is placed by its parent's pose: arm A turns about z from 0 to 90
// degrees over 2 s, and hand B sits 1 along A's x.
TEST(AnimatorPose, RotationKeysTurnTowardTheNextKeyAndChildrenFollowTheirParent) {
    aiScene scene;
    scene.mRootNode = new aiNode("root");
    aiNode* arm = new aiNode("A");
    aiNode* hand = new aiNode("B");
    hand->mTransformation = aiMatrix4x4(aiVector3D(1.0f), aiQuaternion(), aiVector3D(1.0f, 0.0f, 0.0f));
    scene.mRootNode->addChildren(1, &arm);
    arm->addChildren(1, &hand);
    auto* animation = new aiAnimation();
    animation->mDuration = 4.0;
    animation->mTicksPerSecond = 1.0;
    animation->mNumChannels = 1;
    animation->mChannels = new aiNodeAnim*[1];
    auto* turn = new aiNodeAnim();
    turn->mNodeName = aiString("A");
    turn->mNumRotationKeys = 2;
    turn->mRotationKeys = new aiQuatKey[2];
    turn->mRotationKeys[0] = aiQuatKey(0.0, aiQuaternion(aiVector3D(0.0f, 0.0f, 1.0f), 0.0f));
    turn->mRotationKeys[1] = aiQuatKey(2.0, aiQuaternion(aiVector3D(0.0f, 0.0f, 1.0f), 1.5707964f));
    animation->mChannels[0] = turn;
    scene.mNumAnimations = 1;
    scene.mAnimations = new aiAnimation* [1] { animation };

    Animator animator(&scene);
    for (const auto& [ms, degrees] :
         {std::pair<std::int64_t, float>{500, 22.5f}, {1500, 67.5f}, {3000, 45.0f}}) {
        animator.update(ms);
        const aiMatrix4x4& placed = animator.globalTransform(hand);
        const float radians = glm::radians(degrees);
        EXPECT_NEAR(placed.a4, std::cos(radians), 1e-4f) << ms << " ms";
        EXPECT_NEAR(placed.b4, std::sin(radians), 1e-4f) << ms << " ms";
        EXPECT_NEAR(placed.c4, 0.0f, 1e-4f) << ms << " ms";
    }
}

TEST_F(SkinnedModelTest, WithoutAnimationTheBindPoseDrawsWithIdentityBones) {
    test::RiggedModel rig;
    rig.joints = 3;
    rig.triangles = 3;
    rig.jointSpacing = 2.0;
    test::RiggedFile file(rig, "still");
    auto model = load(file.path());
    EXPECT_FALSE(model->animator);
    ASSERT_EQ(model->parts.size(), 1u);
    EXPECT_EQ(model->parts[0]->boneCount, 3);

    // The upright turn: a quarter turn about X, so the file's +Z is up.
    const glm::mat4 upright = glm::rotate(glm::mat4(1.0f), -1.570796f, glm::vec3(1, 0, 0));
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) EXPECT_NEAR(model->modelMatrix[c][r], upright[c][r], 1e-6f);

    model->draw();
    for (const glm::mat4& bone : model->lastBoneMatrices()) EXPECT_EQ(bone, glm::mat4(1.0f));

    // The same program linked again from sources that put its uniforms
    // elsewhere (its name and the Shader record stay): the model asks for
    // the new locations instead of writing to the old ones.
    const GLint oldModelLocation = glGetUniformLocation(shader->program, "modelMatrix");
    const char* vertex =
        "#version 330 core\n"
        "#extension GL_ARB_explicit_uniform_location : require\n"
        "layout(location = 0) uniform mat4 boneMatrices[60];\n"
        "layout(location = 60) uniform mat4 viewMatrix;\n"
        "layout(location = 61) uniform mat4 projectionMatrix;\n"
        "layout(location = 62) uniform mat4 modelMatrix;\n"
        "in vec3 position;\n"
        "void main() {\n"
        "    gl_Position = projectionMatrix * viewMatrix * modelMatrix * boneMatrices[gl_VertexID % 60] *\n"
        "                  vec4(position, 1.0);\n"
        "}\n";
    const char* fragment = "#version 330 core\nout vec4 colour;\nvoid main() { colour = vec4(1.0); }\n";
    for (auto [stage, type, source] : {std::tuple{&shader->vertexShader, GL_VERTEX_SHADER, vertex},
                                       std::tuple{&shader->fragmentShader, GL_FRAGMENT_SHADER, fragment}}) {
        *stage = glCreateShader(type);
        glShaderSource(*stage, 1, &source, nullptr);
        glCompileShader(*stage);
    }
    shader->link("relinked skinning program");
    ASSERT_NE(glGetUniformLocation(shader->program, "modelMatrix"), oldModelLocation);
    model->draw();
    GLfloat held[16];
    glGetUniformfv(shader->program, glGetUniformLocation(shader->program, "modelMatrix"), held);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(held[i], upright[i / 4][i % 4]) << i;
}

TEST_F(SkinnedModelTest, SeventyBonesUploadTheirFirstSixty) {
    test::RiggedModel rig;
    rig.joints = 70;
    rig.triangles = 70;
    rig.jointSpacing = 1.0;
    rig.bindAtOrigin = true;  // bone j lifts its vertices by j
    rig.tracks = {{0, {{0.0, 0.0}, {1.0, 0.0}}}};
    test::RiggedFile file(rig, "seventy");
    auto model = load(file.path());
    ASSERT_TRUE(model->animator);
    ASSERT_EQ(model->parts.size(), 1u);
    ASSERT_EQ(model->parts[0]->boneCount, 70);

    model->draw();
    const auto& uploaded = model->lastBoneMatrices();
    // The importer may reorder bones; each matrix lifts by its bone's joint.
    const aiMesh* mesh = model->scene->mMeshes[0];
    for (unsigned b = 0; b < 60; ++b) {
        const int joint = std::stoi(mesh->mBones[b]->mName.C_Str() + 1);
        EXPECT_NEAR(uploaded[b][3][1], static_cast<float>(joint), 1e-4f) << "bone " << b;
    }
    // What the program holds is what was prepared: the sixtieth matrix.
    GLfloat last[16];
    glGetUniformfv(shader->program, glGetUniformLocation(shader->program, "boneMatrices[59]"), last);
    EXPECT_NEAR(last[13], uploaded[59][3][1], 1e-4f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(SkinnedModelTest, FiveInfluencesOnAVertexRefuseTheModel) {
    aiMesh mesh;
    mesh.mNumVertices = 2;
    mesh.mVertices = new aiVector3D[2];
    mesh.mNumBones = 5;
    mesh.mBones = new aiBone*[5];
    for (unsigned b = 0; b < 5; ++b) {
        mesh.mBones[b] = new aiBone();
        mesh.mBones[b]->mNumWeights = b < 4 ? 2 : 1;  // vertex 1 has four, vertex 0 five
        mesh.mBones[b]->mWeights = new aiVertexWeight[mesh.mBones[b]->mNumWeights];
        mesh.mBones[b]->mWeights[0] = aiVertexWeight(0, 0.2f);
        if (b < 4) mesh.mBones[b]->mWeights[1] = aiVertexWeight(1, 0.1f * static_cast<float>(b + 1));
    }
    SkinnedMeshPart part;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(SkinnedModel::loadInfluences(mesh, part));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "The model has invalid bone weights and is not loaded.\n");

    // Four are taken in bone order, unnormalised.
    mesh.mBones[4]->mNumWeights = 0;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(SkinnedModel::loadInfluences(mesh, part));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    const std::vector<float> indices{0, 1, 2, 3, 0, 1, 2, 3};
    const std::vector<float> weights{0.2f, 0.2f, 0.2f, 0.2f, 0.1f, 0.2f, 0.3f, 0.4f};
    EXPECT_EQ(part.boneIndices, indices);
    for (std::size_t i = 0; i < weights.size(); ++i) EXPECT_FLOAT_EQ(part.boneWeights[i], weights[i]) << i;
}

TEST_F(SkinnedModelTest, AFileWithFiveInfluencesIsCutToFourByTheImport) {
    // The import flags include limiting bone weights, so a file never reaches
    // the refusal above: the importer keeps four and renormalises them.
    test::RiggedModel rig;
    rig.joints = 5;
    rig.triangles = 5;
    rig.influencesOnFirst = 5;
    test::RiggedFile file(rig, "five");
    testing::internal::CaptureStderr();
    auto model = load(file.path());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    ASSERT_EQ(model->parts.size(), 1u);
    const SkinnedMeshPart& part = *model->parts[0];
    int fourWay = 0;
    for (int v = 0; v < part.vertexCount; ++v) {
        float sum = 0.0f;
        int used = 0;
        for (int i = 0; i < 4; ++i) {
            sum += part.boneWeights[static_cast<std::size_t>(v) * 4 + i];
            used += part.boneWeights[static_cast<std::size_t>(v) * 4 + i] > 0.0f;
        }
        EXPECT_NEAR(sum, 1.0f, 1e-5f) << v;
        fourWay += used == 4;
    }
    EXPECT_EQ(fourWay, 3);  // the first triangle's corners
}

// The game's monster, and the creature Blender's exporter wrote (its armature,
// bones and action named Blender's way, keys in milliseconds): each walks one
// loop per authored second of clock.
TEST_F(SkinnedModelTest, MonstersWalkOneLoopPerAuthoredSecondOfClock) {
    for (const auto& [path, authoredMs, tolerance] :
         {std::tuple<const char*, double, double>{"Assets\\enemy_rigged.dae", 1000.0, 250.0},
          std::tuple<const char*, double, double>{"tests\\data\\blender\\sample_creature.dae", 1000.0,
                                                  1.0}}) {
        SCOPED_TRACE(path);
        walksOneLoopPerAuthoredSecond(path, authoredMs, tolerance);
    }
}

void SkinnedModelTest::walksOneLoopPerAuthoredSecond(const char* path, double authoredMs, double tolerance) {
    auto model = load(path);
    ASSERT_TRUE(model->animator);
    EXPECT_FALSE(model->parts.empty());
    for (const auto& part : model->parts) EXPECT_NE(part->texture, nullptr);

    const aiAnimation* walk = model->scene->mAnimations[0];
    const double loopMs = walk->mDuration / model->animator->ticksPerSecond() * 1000.0;
    EXPECT_NEAR(loopMs, authoredMs, tolerance);

    // The clock drives the animation through draw: real milliseconds since
    // the end of loading.
    const aiNode* meshNode = nullptr;
    std::function<void(const aiNode*)> find = [&](const aiNode* n) {
        if (!meshNode && n->mNumMeshes > 0) meshNode = n;
        for (unsigned i = 0; i < n->mNumChildren; ++i) find(n->mChildren[i]);
    };
    find(model->scene->mRootNode);
    ASSERT_NE(meshNode, nullptr);
    auto poseAt = [&](std::int64_t sinceLoad) {
        fakeNow = model->loadStartMs + model->lastElapsedMs + sinceLoad - model->animationTimeMs;
        model->draw();
        EXPECT_EQ(model->animationTimeMs, sinceLoad);
        std::vector<aiMatrix4x4> bones;
        model->animator->boneMatrices(meshNode, 0, bones);
        return bones;
    };
    const auto difference = [](const std::vector<aiMatrix4x4>& a, const std::vector<aiMatrix4x4>& b) {
        float most = 0.0f;
        for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
            for (unsigned r = 0; r < 4; ++r)
                for (unsigned c = 0; c < 4; ++c) most = std::max(most, std::abs(a[i][r][c] - b[i][r][c]));
        return most;
    };
    const auto start = poseAt(0);
    const auto quarter = poseAt(static_cast<std::int64_t>(loopMs / 4));
    const auto oneLoop = poseAt(static_cast<std::int64_t>(std::lround(loopMs)));
    const auto nextQuarter = poseAt(static_cast<std::int64_t>(std::lround(loopMs + loopMs / 4)));
    // A quarter of a second in, the legs have clearly moved; one loop on,
    // the pose is back where it started, and the next loop repeats the first.
    EXPECT_GT(difference(start, quarter), 0.1f);
    EXPECT_LT(difference(start, oneLoop), 0.02f);
    EXPECT_LT(difference(quarter, nextQuarter), 0.02f);
}

}  // namespace
}  // namespace vestrel
