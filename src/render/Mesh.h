#pragma once

#include <GL/glew.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include <glm/mat4x4.hpp>
#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

#include <assimp/matrix4x4.h>

#include "render/SceneObject.h"

struct aiMesh;
struct aiNode;

namespace vestrel {

class Shader;
class Texture;

// The CPU side of one imported triangle mesh, before it goes to the GPU.
// Plain data so it can be built and checked without a GL context.
struct MeshGeometry {
    std::vector<glm::vec3> positions;       // object space, one per vertex
    std::vector<glm::vec3> normals;         // one per vertex
    std::vector<glm::vec2> uvs;             // first UV channel, (0, 0) without one
    std::vector<glm::vec3> worldPositions;  // positions through the model matrix
    std::vector<std::uint32_t> indices;     // 3 per kept triangle
    std::uint32_t skippedFaces = 0;         // faces dropped: not triangles or bad indices
    std::uint32_t nonFiniteFaces = 0;       // triangles dropped: a corner at NaN or infinity
    bool missingNormals = false;            // the mesh had none; (0, 1, 0) was used
};

// Reads positions, normals, the first UV channel and the triangle list of
// `mesh`, and transforms the positions by `model` into world space.
// Faces that are not triangles, or that index past the vertex list, are left
// out and counted in `skippedFaces`; triangles with a corner whose object or
// world position is NaN or infinite are left out and counted in
// `nonFiniteFaces` (the vertices stay, unreferenced); a mesh without normals gets up-facing
// ones, so odd content never reaches the GPU or the physics cooker.
MeshGeometry extractGeometry(const aiMesh& mesh, const glm::mat4& model);

// A run of a mesh's triangle list with the world-space bounds of its
// triangles (min x, y, z, max x, y, z), so that a large mesh (the walls of
// a room) can be drawn in part.
struct MeshCluster {
    std::uint32_t firstIndex = 0;  // into the triangle list, 3 per triangle
    std::uint32_t indexCount = 0;
    std::array<float, 6> bounds{};
};

// Cuts a triangle list, in its own order, into runs of at most
// `maxTriangles` triangles; a run ends before the triangle that would make
// its bounds wider than `maxExtent` on some axis. Level files list a
// surface's triangles together, so runs stay compact without reordering
// anything (the colliders and the draw order stay as they were). The runs
// cover the whole list; a triangle with an index past `positions` gets a run
// of its own bounded by everything.
std::vector<MeshCluster> clusterTriangles(const std::vector<glm::vec3>& positions,
                                          const std::vector<std::uint32_t>& indices, float maxExtent,
                                          std::uint32_t maxTriangles);

// The edges of a triangle list as GL_LINES pairs: (a, b), (b, c), (c, a) for
// each triangle, so the wireframe shows every triangle outline.
std::vector<std::uint32_t> triangleEdges(const std::vector<std::uint32_t>& triangles);

// Converts an importer matrix (row-major) into a GLM one (column-major).
glm::mat4 toGlm(const aiMatrix4x4& m);

// One level node as a drawable: its transform, and when the node has
// geometry, the GPU buffers of its first mesh, its diffuse texture and a CPU
// copy of its world-space vertices and indices for bounds and collision.
//
// Vertex data live in three separate buffers (position, normal, uv) bound to
// one vertex array with the attribute locations of the program the mesh was
// built with; the level programs share those locations, so the renderer may
// re-point `shader` to another level program before each pass.
class Mesh : public SceneObject {
public:
    Shader* shader = nullptr;  // not owning; the program whose uniforms draw sets
    GLuint vertexArray = 0;
    GLuint indexBuffer = 0;  // triangle indices, then the wireframe's edge list
    GLuint normalBuffer = 0;
    GLuint positionBuffer = 0;
    GLuint uvBuffer = 0;
    std::uint32_t indexCount = 0;  // 3 per triangle
    std::uint32_t vertexCount = 0;
    std::uint32_t lineIndexCount = 0;       // 6 per triangle, stored after the triangles
    std::vector<glm::vec3> worldPositions;  // at build time; not updated by later moves
    glm::mat4 worldPositionsModel{1.0f};    // the modelMatrix worldPositions were made with
    std::vector<std::uint32_t> indices;     // CPU copy of the triangle list
    // Runs of the triangle list with their bounds at build time, for meshes
    // larger than kClusteredExtent; empty for the others.
    std::vector<MeshCluster> clusters;
    Texture* texture = nullptr;  // not owning (texture cache); null draws untextured
    std::string name;
    bool noGeometry = true;  // never drawn; true until loadFromNode succeeds

    // All GL names and counts start at 0; nothing touches GL here.
    Mesh(Shader* program, const glm::mat4& model, const char* nodeName);
    // Deletes the buffers and the vertex array; a no-op for names never made
    // or once the GL context is gone.
    ~Mesh() override;

    Mesh(const Mesh&) = delete;
    Mesh& operator=(const Mesh&) = delete;

    // For a node without geometry: folds the parent's (already global)
    // transformation into the node's own, in the imported scene, so children
    // built later see their global transform; takes it as `modelMatrix` and
    // the node's name. Sets `noGeometry`.
    void setFromNode(aiNode* node);

    // setFromNode, then builds the GPU geometry of `mesh` and finds its
    // texture in the texture cache under keyPrefix + material index (null
    // when absent). Needs a current GL context and `shader`.
    void loadFromNode(aiNode* node, const aiMesh* mesh, const std::string& keyPrefix);

    // Meshes whose bounds reach this far on some axis are cut into clusters
    // of at most kClusterExtent and kClusterTriangles (world units, triangles).
    static constexpr float kClusteredExtent = 8.0f;
    static constexpr float kClusterExtent = 2.0f;
    static constexpr std::uint32_t kClusterTriangles = 64;

    // Draws the triangles (or, with the wireframe switch on, every triangle
    // outline as lines) with the program in use. A mesh without geometry
    // makes no GL call.
    void draw(const glm::mat4& viewProjection, DrawMode mode) override;
    // The same for `indexCount` indices of the triangle list from
    // `firstIndex` (a run of whole triangles, such as a cluster's); the
    // wireframe draws the outlines of the same triangles.
    void drawRange(const glm::mat4& viewProjection, DrawMode mode, std::uint32_t firstIndex,
                   std::uint32_t indexCount);
    // A part of the triangle list: `count` indices from `first`.
    struct IndexRange {
        std::uint32_t first = 0;
        std::uint32_t count = 0;
    };
    // Several runs at once, in their order, with one call to GL (the uniforms
    // and the texture set once): the same triangles as drawRange for each.
    void drawRanges(const glm::mat4& viewProjection, DrawMode mode, const IndexRange* ranges,
                    std::size_t rangeCount);

private:
    // Scratch for drawRanges: each run's index count and byte offset.
    std::vector<GLsizei> rangeCounts_;
    std::vector<const void*> rangeOffsets_;
    // The uniform locations draw sets, per program the mesh was drawn with
    // (the renderer re-points `shader` between a few programs each frame):
    // looked up once instead of by name at every draw. An entry belongs to
    // one link of one program (Shader::linkId; 0 for a program linked by
    // hand, which is then known by its GL name alone).
    struct UniformLocations {
        std::uint64_t linkId = 0;
        GLuint program = 0;
        GLint mvp = -1;
        GLint model = -1;
        GLint tex = -1;
    };
    const UniformLocations& locationsFor(const Shader& program);

    void upload(const MeshGeometry& geometry);
    void release();

    UniformLocations locations_[4];
    std::uint32_t nextLocationSlot_ = 0;
};

}  // namespace vestrel
