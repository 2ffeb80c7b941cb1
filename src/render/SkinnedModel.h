#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <assimp/matrix4x4.h>
#include <glm/mat4x4.hpp>

struct aiMesh;
struct aiNode;
struct aiPropertyStore;
struct aiScene;

namespace vestrel {

class Animator;
class Camera;
class Shader;
class Texture;

// One accepted mesh of a skinned model, with its own GL buffers (GL names
// kept as plain unsigned ints so this header does not pull in GL).
struct SkinnedMeshPart {
    std::vector<float> positions;        // x, y, z, 1 per vertex
    std::vector<float> normals;          // 3 per vertex
    std::vector<float> texCoords;        // u, v of set 0 per vertex; 0 without a set
    std::vector<float> boneWeights;      // 4 per vertex; unused slots 0
    std::vector<float> boneIndices;      // 4 per vertex, mesh-local bone index as float
    std::vector<std::uint32_t> indices;  // 3 per face
    int materialIndex = -1;
    int faceCount = 0;
    int vertexCount = 0;
    int boneCount = 0;
    Texture* texture = nullptr;  // the material's diffuse texture, or none

    unsigned int vertexArray = 0;
    unsigned int positionBuffer = 0;
    unsigned int normalBuffer = 0;
    unsigned int boneWeightBuffer = 0;
    unsigned int boneIndexBuffer = 0;
    unsigned int texCoordBuffer = 0;
    unsigned int indexBuffer = 0;

    SkinnedMeshPart() = default;
    ~SkinnedMeshPart();
    SkinnedMeshPart(const SkinnedMeshPart&) = delete;
    SkinnedMeshPart& operator=(const SkinnedMeshPart&) = delete;
};

// The monster's rigged model: imported with Assimp, up to four bone
// influences per vertex, the file's first animation looping against the
// clock, drawn with the skinning program (60 bone matrices per mesh).
//
// The caller of draw has made the skinning program current and set its light
// and fog uniforms; draw sets the matrices, the texture and draws.
class SkinnedModel {
public:
    // Milliseconds of a monotonic clock; replaceable so tests can drive time.
    using Clock = std::int64_t (*)();
    static std::int64_t steadyClockMs();

    static constexpr unsigned kImportFlags = 0x379ECB;  // Assimp's realtime max-quality preset
    static constexpr int kMaxInfluences = 4;
    static constexpr int kMaxBones = 60;

    const aiScene* scene = nullptr;  // owned; released with aiReleaseImport
    aiPropertyStore* propertyStore = nullptr;
    std::int64_t loadStartMs = 0;
    std::int64_t lastElapsedMs = 0;
    std::int64_t animationTimeMs = 0;
    glm::mat4 modelMatrix{1.0f};
    int meshCount = 0;
    std::vector<std::unique_ptr<SkinnedMeshPart>> parts;  // accepted meshes, file order
    Shader* shader = nullptr;
    Camera* camera = nullptr;
    std::unique_ptr<Animator> animator;  // null when the file has no animation
    Clock clock = &steadyClockMs;
    // While set, the animation stands where it is (the pause screen); the
    // time that passes meanwhile is skipped, not caught up.
    bool animationHeld = false;

    SkinnedModel();
    ~SkinnedModel();
    SkinnedModel(const SkinnedModel&) = delete;
    SkinnedModel& operator=(const SkinnedModel&) = delete;

    // Imports `path` (backslashes allowed), builds the parts and their GL
    // buffers, loads the material textures and the animator, prints "Done
    // loading enemy" and stands the Z-up model upright. Prints why and
    // returns false when the file cannot be imported or a vertex has more
    // than four bone influences; such a model draws nothing. Needs a current
    // GL context.
    bool load(const std::string& path, Camera* camera, Shader* shader);

    // Turns the model by angle * factor degrees about its own Z axis.
    void rotate(float angleDegrees, float factor);

    // Advances the animation to the clock and draws every mesh reference of
    // the node tree. Allocates nothing once the first frame has been drawn.
    void draw();

    // Fills the part's four weight and index slots per vertex from the mesh's
    // bones, in bone order. A vertex with more than four influences refuses
    // the whole model: prints "The model has invalid bone weights and is not
    // loaded." and returns false.
    static bool loadInfluences(const aiMesh& mesh, SkinnedMeshPart& part);

    // The part drawn for scene mesh `meshIndex`, or null when it was skipped.
    const SkinnedMeshPart* partForMesh(unsigned meshIndex) const;
    // Bone matrices uploaded by the last draw of the last mesh drawn.
    const std::array<glm::mat4, kMaxBones>& lastBoneMatrices() const { return boneUpload_; }

private:
    struct Locations {
        int projection = -1;
        int view = -1;
        int model = -1;
        int bones = -1;
        int tex = -1;
        int useTexture = -1;
    };

    void release();
    // Looks the uniforms up in `shader`'s program (again whenever the
    // program drawn with changes: the renderer lends a variant of it).
    void lookUpLocations();
    bool buildPart(unsigned meshIndex, const std::string& path);
    void createBuffers(SkinnedMeshPart& part);
    void drawNode(const aiNode* node);
    void drawPart(const SkinnedMeshPart& part);
    int uniform(int cached, const char* name) const;

    std::vector<int> partOfMesh_;  // scene mesh index -> index into parts, -1 when skipped
    Locations locations_;
    unsigned locationsProgram_ = 0;      // the program locations_ belong to,
    std::uint64_t locationsLinkId_ = 0;  // and its link (Shader::linkId)
    std::vector<aiMatrix4x4> boneScratch_;
    std::array<glm::mat4, kMaxBones> boneUpload_{};
};

}  // namespace vestrel
