#include "render/Mesh.h"

#include <gtest/gtest.h>

#include <assimp/mesh.h>
#include <assimp/scene.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

#include "app/GameSettings.h"
#include "render/Light.h"
#include "render/Shader.h"
#include "render/Texture.h"
#include "render/TextureCache.h"
#include "support/ConsoleCapture.h"
#include "support/GlReleaseWatch.h"
#include "support/GlTestContext.h"

namespace vestrel {
namespace {

constexpr const char* kLevelKey = "Assets\\meshtest.dae";

void expectNear(const glm::vec3& actual, const glm::vec3& expected) {
    EXPECT_NEAR(actual.x, expected.x, 1e-5f);
    EXPECT_NEAR(actual.y, expected.y, 1e-5f);
    EXPECT_NEAR(actual.z, expected.z, 1e-5f);
}

glm::vec3 origin(const glm::mat4& m) { return glm::vec3(m * glm::vec4(0.0f, 0.0f, 0.0f, 1.0f)); }

void setFace(aiFace& face, std::vector<unsigned> indices) {
    face.mNumIndices = static_cast<unsigned>(indices.size());
    face.mIndices = new unsigned[indices.size()];
    std::copy(indices.begin(), indices.end(), face.mIndices);
}

// A square facing +z from (-half, -half) to (half, half), two triangles
// (0, 1, 2) and (0, 2, 3) over corners bottom-left, bottom-right, top-right,
// top-left, with UVs spanning the texture.
std::unique_ptr<aiMesh> makeSquare(float half, unsigned material, bool withUvs = true) {
    auto mesh = std::make_unique<aiMesh>();
    mesh->mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
    mesh->mMaterialIndex = material;
    mesh->mNumVertices = 4;
    mesh->mVertices =
        new aiVector3D[4]{{-half, -half, 0}, {half, -half, 0}, {half, half, 0}, {-half, half, 0}};
    mesh->mNormals = new aiVector3D[4]{{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
    if (withUvs) {
        mesh->mTextureCoords[0] = new aiVector3D[4]{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
        mesh->mNumUVComponents[0] = 2;
    }
    mesh->mNumFaces = 2;
    mesh->mFaces = new aiFace[2];
    setFace(mesh->mFaces[0], {0, 1, 2});
    setFace(mesh->mFaces[1], {0, 2, 3});
    return mesh;
}

// A root node with one child; the root owns the child.
struct NodePair {
    aiNode root{"root"};
    aiNode* child = nullptr;
    explicit NodePair(const char* childName) {
        child = new aiNode(childName);
        child->mParent = &root;
        root.mNumChildren = 1;
        root.mChildren = new aiNode* [1] { child };
    }
};

TEST(SceneObjectTransform, OperationsActInTheObjectsOwnAxes) {
    BaseSceneObject object;
    object.rotateY(90.0f, 1.0f);
    object.translate(glm::vec3(1.0f, 0.0f, 0.0f), 1.0f);
    expectNear(origin(object.modelMatrix), glm::vec3(0.0f, 0.0f, -1.0f));

    BaseSceneObject scaled;
    scaled.scale(glm::vec3(1.0f, 2.0f, 4.0f), 0.5f);
    scaled.translate(glm::vec3(2.0f, 2.0f, 2.0f), 0.5f);
    expectNear(origin(scaled.modelMatrix), glm::vec3(0.5f, 1.0f, 2.0f));

    // The factor scales the angle: half of 180 degrees about x turns +y into +z.
    BaseSceneObject tilted;
    tilted.rotateX(180.0f, 0.5f);
    expectNear(glm::vec3(tilted.modelMatrix * glm::vec4(0, 1, 0, 0)), glm::vec3(0.0f, 0.0f, 1.0f));
    tilted.rotateZ(90.0f, 1.0f);
    expectNear(glm::vec3(tilted.modelMatrix * glm::vec4(1, 0, 0, 0)), glm::vec3(0.0f, 0.0f, 1.0f));

    // A mesh moves through the same (virtual) operations.
    Mesh mesh(nullptr, glm::translate(glm::mat4(1.0f), glm::vec3(0, 5, 0)), "door");
    BaseSceneObject& asBase = mesh;
    asBase.translate(glm::vec3(0.0f, -6.0f, 0.0f), 1.0f / 6.0f);
    expectNear(origin(mesh.modelMatrix), glm::vec3(0.0f, 4.0f, 0.0f));
}

TEST(MeshFromNode, TransformsAccumulateDownTheImportedTree) {
    NodePair nodes("Door_box");
    // The Z-up to Y-up turn the importer puts on a Collada root.
    nodes.root.mTransformation = aiMatrix4x4(1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1);
    aiMatrix4x4::Translation(aiVector3D(1, 2, 3), nodes.child->mTransformation);
    auto* grandchild = new aiNode("Door_handle");
    aiMatrix4x4::Translation(aiVector3D(0, 0, 1), grandchild->mTransformation);
    grandchild->mParent = nodes.child;
    nodes.child->mNumChildren = 1;
    nodes.child->mChildren = new aiNode* [1] { grandchild };

    Mesh root(nullptr, glm::mat4(1.0f), "root");
    Mesh door(nullptr, glm::mat4(1.0f), "");
    Mesh handle(nullptr, glm::mat4(1.0f), "");
    root.setFromNode(&nodes.root);
    door.setFromNode(nodes.child);
    handle.setFromNode(grandchild);

    // (x, y, z) in the file becomes (x, z, -y) in the game.
    expectNear(origin(door.modelMatrix), glm::vec3(1.0f, 3.0f, -2.0f));
    expectNear(origin(handle.modelMatrix), glm::vec3(1.0f, 4.0f, -2.0f));
    // The file's +y axis turns into the game's -z axis: the matrix was transposed.
    expectNear(glm::vec3(door.modelMatrix * glm::vec4(0, 1, 0, 0)), glm::vec3(0.0f, 0.0f, -1.0f));
    // The scene itself now holds the global transforms, for later readers.
    EXPECT_FLOAT_EQ(nodes.child->mTransformation.b4, 3.0f);
    EXPECT_FLOAT_EQ(grandchild->mTransformation.c4, -2.0f);
    EXPECT_EQ(handle.name, "Door_handle");
    EXPECT_TRUE(handle.noGeometry);
}

TEST(MeshGeometryExtraction, KeepsValidTrianglesAndFillsGaps) {
    aiMesh mesh;
    mesh.mNumVertices = 4;
    mesh.mVertices = new aiVector3D[4]{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    mesh.mNumFaces = 4;
    mesh.mFaces = new aiFace[4];
    setFace(mesh.mFaces[0], {0, 1, 2});
    setFace(mesh.mFaces[1], {0, 1});     // a line: not a triangle
    setFace(mesh.mFaces[2], {0, 2, 7});  // points past the vertex list
    setFace(mesh.mFaces[3], {0, 2, 3});

    const glm::mat4 model = glm::scale(glm::translate(glm::mat4(1.0f), glm::vec3(10, 0, 0)), glm::vec3(2.0f));
    const MeshGeometry geometry = extractGeometry(mesh, model);

    EXPECT_EQ(geometry.indices, (std::vector<std::uint32_t>{0, 1, 2, 0, 2, 3}));
    EXPECT_EQ(geometry.skippedFaces, 2u);
    ASSERT_EQ(geometry.uvs.size(), 4u);
    for (const glm::vec2& uv : geometry.uvs) {
        EXPECT_EQ(uv, glm::vec2(0.0f));
    }
    EXPECT_TRUE(geometry.missingNormals);
    EXPECT_EQ(geometry.normals[3], glm::vec3(0.0f, 1.0f, 0.0f));
    expectNear(geometry.positions[2], glm::vec3(1.0f, 1.0f, 0.0f));
    expectNear(geometry.worldPositions[2], glm::vec3(12.0f, 2.0f, 0.0f));

    // The wireframe outlines every triangle: all three edges of each.
    EXPECT_EQ(triangleEdges(geometry.indices),
              (std::vector<std::uint32_t>{0, 1, 1, 2, 2, 0, 0, 2, 2, 3, 3, 0}));
}

TEST(MeshClusters, RunsStayCompactCoverTheListAndKeepItsOrder) {
    // Ten unit squares in a row along x, two triangles each, listed in order.
    std::vector<glm::vec3> positions;
    std::vector<std::uint32_t> indices;
    for (std::uint32_t i = 0; i <= 10; ++i) {
        positions.push_back({static_cast<float>(i), 0.0f, 0.0f});
        positions.push_back({static_cast<float>(i), 1.0f, 0.0f});
    }
    for (std::uint32_t i = 0; i < 10; ++i) {
        indices.insert(indices.end(), {2 * i, 2 * i + 2, 2 * i + 3, 2 * i, 2 * i + 3, 2 * i + 1});
    }
    std::vector<std::uint32_t> withStray = indices;
    withStray.insert(withStray.begin() + 30, {0, 1, 99});  // after the fifth square, an index past the list

    struct Expected {
        std::uint32_t first;
        std::uint32_t count;
        float minX;
        float maxX;
    };
    struct Case {
        const char* name;
        const std::vector<std::uint32_t>* list;
        float maxExtent;
        std::uint32_t maxTriangles;
        std::vector<Expected> runs;
    };
    constexpr float kAll = 1e30f;
    const Case cases[] = {
        {"4 units wide at most", &indices, 4.0f, 64, {{0, 24, 0, 4}, {24, 24, 4, 8}, {48, 12, 8, 10}}},
        {"just under 4 units",
         &indices,
         3.99f,
         64,
         {{0, 18, 0, 3}, {18, 18, 3, 6}, {36, 18, 6, 9}, {54, 6, 9, 10}}},
        {"6 triangles at most",
         &indices,
         100.0f,
         6,
         {{0, 18, 0, 3}, {18, 18, 3, 6}, {36, 18, 6, 9}, {54, 6, 9, 10}}},
        {"a stray triangle",
         &withStray,
         4.0f,
         64,
         {{0, 24, 0, 4}, {24, 6, 4, 5}, {30, 3, -kAll, kAll}, {33, 24, 5, 9}, {57, 6, 9, 10}}},
    };
    for (const Case& c : cases) {
        const std::vector<MeshCluster> runs =
            clusterTriangles(positions, *c.list, c.maxExtent, c.maxTriangles);
        ASSERT_EQ(runs.size(), c.runs.size()) << c.name;
        for (std::size_t i = 0; i < runs.size(); ++i) {
            EXPECT_EQ(runs[i].firstIndex, c.runs[i].first) << c.name << " run " << i;
            EXPECT_EQ(runs[i].indexCount, c.runs[i].count) << c.name << " run " << i;
            EXPECT_FLOAT_EQ(runs[i].bounds[0], c.runs[i].minX) << c.name << " run " << i;
            EXPECT_FLOAT_EQ(runs[i].bounds[3], c.runs[i].maxX) << c.name << " run " << i;
            if (c.runs[i].minX != -kAll) {
                EXPECT_FLOAT_EQ(runs[i].bounds[1], 0.0f);
                EXPECT_FLOAT_EQ(runs[i].bounds[4], 1.0f);
            }
        }
    }
}

// Draws level meshes with the game's own programs into a 256x256 window.
// The light block gives full white ambient light and no fog, so a textured
// pixel shows its texel unchanged.
class MeshDrawing : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(context.ok());
        saved = GameSettings::instance();
        GameSettings::instance().fog = false;
        GameSettings::instance().wireframe = false;
        GameSettings::instance().samplingMode = 0;
        GameSettings::instance().mipMaps = false;
        texLights = std::make_unique<Shader>(kTexLightsSources);
        glViewport(0, 0, context.width(), context.height());
        glUseProgram(texLights->program);
        uploadLightBlock(*texLights, {}, glm::vec3(1.0f), glm::mat4(1.0f));
        clear();
    }

    void TearDown() override {
        TextureCache::instance().textures.erase(std::string(kLevelKey) + "2");
        glUseProgram(0);
        GameSettings::instance() = saved;
    }

    static void clear() {
        glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }

    // A 2x1 texture, red on the left, green on the right, as material 2.
    static Texture* addRedGreenTexture() {
        const std::uint8_t pixels[6] = {255, 0, 0, 0, 255, 0};
        auto texture = std::make_shared<Texture>(2, 1);
        texture->upload(pixels, 2, 1);
        TextureCache::instance().textures[std::string(kLevelKey) + "2"] = texture;
        return texture.get();
    }

    std::array<int, 3> rgb(int x, int y) const {
        const auto p = context.pixel(x, y);
        return {p[0], p[1], p[2]};
    }

    test::GlTestContext context;
    std::unique_ptr<Shader> texLights;
    GameSettings saved;
};

using Rgb = std::array<int, 3>;
// Texels as the lit program draws them at full ambient: 1.0 rolls off to 0.9.
const Rgb kRed{230, 0, 0}, kGreen{0, 230, 0}, kBlue{0, 0, 255}, kBlack{0, 0, 0};

TEST_F(MeshDrawing, DrawsItsTextureThroughItsMaterialKey) {
    Texture* texture = addRedGreenTexture();
    NodePair nodes("Wall_mesh");
    const auto square = makeSquare(0.5f, 2);
    Mesh mesh(texLights.get(), glm::mat4(1.0f), "Wall_mesh");
    mesh.loadFromNode(nodes.child, square.get(), kLevelKey);

    EXPECT_FALSE(mesh.noGeometry);
    EXPECT_EQ(mesh.texture, texture);
    EXPECT_EQ(mesh.vertexCount, 4u);
    EXPECT_EQ(mesh.indexCount, 6u);
    EXPECT_EQ(mesh.indices, (std::vector<std::uint32_t>{0, 1, 2, 0, 2, 3}));
    ASSERT_EQ(mesh.worldPositions.size(), 4u);

    mesh.draw(glm::mat4(1.0f), DrawMode::Normal);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_EQ(rgb(96, 128), kRed);     // left half of the square: uv.x < 0.5
    EXPECT_EQ(rgb(160, 128), kGreen);  // right half
    EXPECT_EQ(rgb(20, 20), kBlue);     // outside: untouched
    GLint boundTexture = -1, boundArray = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &boundTexture);
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &boundArray);
    EXPECT_EQ(boundTexture, 0);
    EXPECT_EQ(boundArray, 0);

    // The model matrix moves it: shifted right by half the view.
    clear();
    mesh.translate(glm::vec3(0.5f, 0.0f, 0.0f), 1.0f);
    mesh.draw(glm::mat4(1.0f), DrawMode::Normal);
    EXPECT_EQ(rgb(96, 128), kBlue);
    EXPECT_EQ(rgb(224, 128), kGreen);

    // Along v too: a texture red in its first (bottom) row and green in its
    // second shows red on the lower half, the v = 0 side.
    const std::uint8_t rows[6] = {255, 0, 0, 0, 255, 0};
    texture->upload(rows, 1, 2);
    clear();
    mesh.draw(glm::mat4(1.0f), DrawMode::Normal);
    EXPECT_EQ(rgb(192, 96), kRed);
    EXPECT_EQ(rgb(192, 160), kGreen);
}

TEST_F(MeshDrawing, ARangeDrawsItsOwnTrianglesAndLargeMeshesAreCutIntoClusters) {
    addRedGreenTexture();
    NodePair nodes("Wall_mesh");
    const auto square = makeSquare(0.5f, 2);
    Mesh mesh(texLights.get(), glm::mat4(1.0f), "Wall_mesh");
    mesh.loadFromNode(nodes.child, square.get(), kLevelKey);
    EXPECT_TRUE(mesh.clusters.empty());  // 1 unit across: drawn whole
    EXPECT_EQ(mesh.worldPositionsModel, mesh.modelMatrix);

    // The second triangle (0, 2, 3) lies above the diagonal; a range that
    // starts inside the first triangle starts at its beginning instead.
    // Several ranges go in one call, each clamped as one range would be.
    struct Case {
        std::vector<Mesh::IndexRange> ranges;
        Rgb belowDiagonal;
        Rgb aboveDiagonal;
    };
    const Case cases[] = {{{{3, 3}}, kBlue, kRed},          {{{0, 3}}, kGreen, kBlue},
                          {{{4, 3}}, kBlue, kRed},          {{{6, 3}}, kBlue, kBlue},
                          {{{4, 3}, {0, 3}}, kGreen, kRed}, {{{0, 3}, {6, 3}}, kGreen, kBlue},
                          {{{6, 3}, {3, 4}}, kBlue, kRed}};
    for (const Case& c : cases) {
        clear();
        if (c.ranges.size() == 1) {
            mesh.drawRange(glm::mat4(1.0f), DrawMode::Normal, c.ranges[0].first, c.ranges[0].count);
        } else {
            mesh.drawRanges(glm::mat4(1.0f), DrawMode::Normal, c.ranges.data(), c.ranges.size());
        }
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        EXPECT_EQ(rgb(170, 100), c.belowDiagonal) << c.ranges[0].first << " of " << c.ranges.size();
        EXPECT_EQ(rgb(90, 150), c.aboveDiagonal) << c.ranges[0].first << " of " << c.ranges.size();
    }

    // Ten units across: cut into clusters of at most two, covering every triangle.
    const auto large = makeSquare(5.0f, 2);
    Mesh big(texLights.get(), glm::mat4(1.0f), "Big_mesh");
    big.loadFromNode(nodes.child, large.get(), kLevelKey);
    ASSERT_EQ(big.clusters.size(), 2u);  // each of its two triangles spans 10 units
    EXPECT_EQ(big.clusters[1].firstIndex, 3u);
    EXPECT_FLOAT_EQ(big.clusters[0].bounds[0], -5.0f);
    EXPECT_FLOAT_EQ(big.clusters[0].bounds[3], 5.0f);
}

TEST_F(MeshDrawing, WithoutTextureOrUvsItStillDraws) {
    // Something else left a texture bound; the untextured mesh must not show it.
    addRedGreenTexture();
    glBindTexture(GL_TEXTURE_2D, TextureCache::instance().textures[std::string(kLevelKey) + "2"]->name);

    NodePair nodes("Crate");
    auto square = makeSquare(0.5f, 5, false);
    // Add a point face the importer may leave in: reported, skipped, no crash.
    aiFace* faces = new aiFace[3];
    setFace(faces[0], {0, 1, 2});
    setFace(faces[1], {0, 2, 3});
    setFace(faces[2], {1});
    delete[] square->mFaces;
    square->mFaces = faces;
    square->mNumFaces = 3;

    Mesh mesh(texLights.get(), glm::mat4(1.0f), "Crate");
    test::ConsoleCapture console;
    mesh.loadFromNode(nodes.child, square.get(), kLevelKey);
    EXPECT_NE(console.text().find("Crate"), std::string::npos) << console.text();
    EXPECT_EQ(mesh.texture, nullptr);
    EXPECT_EQ(mesh.indexCount, 6u);

    mesh.draw(glm::mat4(1.0f), DrawMode::Normal);
    EXPECT_EQ(rgb(96, 128), kBlack);  // texture 0 samples black: drawn, untextured
    EXPECT_EQ(rgb(20, 20), kBlue);
}

TEST_F(MeshDrawing, OtherPassProgramsDrawTheSameVertexArray) {
    addRedGreenTexture();
    NodePair nodes("Suzanne_interactive");
    const auto square = makeSquare(0.5f, 2);
    Mesh mesh(texLights.get(), glm::mat4(1.0f), "Suzanne_interactive");
    mesh.loadFromNode(nodes.child, square.get(), kLevelKey);

    Shader highlight(kHighlightSources);
    glUseProgram(highlight.program);
    glUniform3f(highlight.getUniformLocation("highlightColor"), 1.0f, 0.4f, 0.0f);
    mesh.shader = &highlight;
    mesh.draw(glm::mat4(1.0f), DrawMode::Highlight);
    EXPECT_EQ(rgb(96, 128), (Rgb{255, 102, 0}));
    EXPECT_EQ(rgb(160, 128), (Rgb{255, 102, 0}));

    clear();
    Shader glass(kGlassSources);
    glUseProgram(glass.program);
    glUniform1f(glass.getUniformLocation("transparency"), 1.0f);
    mesh.shader = &glass;
    mesh.draw(glm::mat4(1.0f), DrawMode::Glass);
    // Opaque glass: its texture at the glass's 0.3.
    EXPECT_EQ(rgb(96, 128), (Rgb{76, 0, 0}));
    EXPECT_EQ(rgb(160, 128), (Rgb{0, 76, 0}));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Links into `record` (into its program when it has one, else a new one) a
// program whose "mvp" sits at `mvpLocation` and which has no "model", by
// Shader::link: drawing yellow where its mvp puts the square.
void linkOffsetProgram(Shader& record, GLint positionLocation, int mvpLocation) {
    const std::string vertex =
        "#version 330 core\n"
        "#extension GL_ARB_explicit_uniform_location : require\n"
        "layout(location = " +
        std::to_string(mvpLocation) +
        ") uniform mat4 mvp;\n"
        "layout(location = " +
        std::to_string(positionLocation) +
        ") in vec3 position;\n"
        "void main() { gl_Position = mvp * vec4(position, 1.0); }\n";
    const char* fragment =
        "#version 330 core\nout vec4 colour;\nvoid main() { colour = vec4(1.0, 1.0, 0.0, 1.0); }\n";
    const auto stage = [](GLenum type, const char* source) {
        const GLuint shader = glCreateShader(type);
        glShaderSource(shader, 1, &source, nullptr);
        glCompileShader(shader);
        return shader;
    };
    if (record.program == 0) record.program = glCreateProgram();
    record.vertexShader = stage(GL_VERTEX_SHADER, vertex.c_str());
    record.fragmentShader = stage(GL_FRAGMENT_SHADER, fragment);
    record.link("offset program");
}

TEST_F(MeshDrawing, UniformLocationsFollowTheProgramAndMissingNamesAreReportedEveryDraw) {
    addRedGreenTexture();
    NodePair nodes("Shelf_mesh");
    const auto square = makeSquare(0.25f, 2);
    Mesh mesh(texLights.get(), glm::mat4(1.0f), "Shelf_mesh");
    mesh.loadFromNode(nodes.child, square.get(), kLevelKey);

    const GLint position = glGetAttribLocation(texLights->program, "position");
    Shader offset;
    linkOffsetProgram(offset, position, 9);
    // Otherwise a location remembered from the wrong program would go unnoticed.
    ASSERT_NE(glGetUniformLocation(offset.program, "mvp"), glGetUniformLocation(texLights->program, "mvp"));

    const glm::mat4 left = glm::translate(glm::mat4(1.0f), glm::vec3(-0.5f, 0.0f, 0.0f));
    const glm::mat4 right = glm::translate(glm::mat4(1.0f), glm::vec3(0.5f, 0.0f, 0.0f));
    const Rgb yellow{255, 255, 0};
    for (int round = 0; round < 2; ++round) {
        clear();
        glUseProgram(texLights->program);
        mesh.shader = texLights.get();
        mesh.draw(left, DrawMode::Normal);
        EXPECT_EQ(rgb(48, 128), kRed) << round;  // the left square's left half

        glUseProgram(offset.program);
        mesh.shader = &offset;
        test::ConsoleCapture console;
        mesh.draw(right, DrawMode::Normal);
        mesh.draw(right, DrawMode::Normal);
        EXPECT_EQ(rgb(192, 128), yellow) << round;
        EXPECT_EQ(rgb(48, 128), kRed) << round;  // the other draw left alone
        EXPECT_EQ(rgb(128, 128), kBlue) << round;
        // "model" is missing from this program: said at each of the two draws.
        const std::string text = console.text();
        const std::string line = "uniform not found: model";
        const std::size_t first = text.find(line);
        ASSERT_NE(first, std::string::npos) << text;
        EXPECT_NE(text.find(line, first + 1), std::string::npos) << text;
        glGetError();  // the missing name's -1 location is ignored by GL
    }
    // The same Shader record holding another program (as after a relink):
    // the locations are asked for again, so the square lands on the right.
    std::swap(offset.program, texLights->program);
    clear();
    glUseProgram(offset.program);
    mesh.shader = &offset;
    mesh.draw(right, DrawMode::Normal);
    EXPECT_EQ(rgb(176, 128), kRed);
    EXPECT_EQ(rgb(48, 128), kBlue);
    std::swap(offset.program, texLights->program);

    // The same record and program name linked again from other sources (as
    // a driver that reuses a deleted program's name hands it to the next):
    // the new link's locations are asked for, not the remembered ones.
    const GLuint name = offset.program;
    const std::uint64_t firstLink = offset.linkId();
    linkOffsetProgram(offset, position, 4);
    ASSERT_EQ(offset.program, name);
    EXPECT_NE(offset.linkId(), firstLink);
    clear();
    glUseProgram(offset.program);
    mesh.draw(right, DrawMode::Normal);
    EXPECT_EQ(rgb(192, 128), yellow);
    glGetError();  // "model" is missing from this program too
    glUseProgram(0);
}

TEST_F(MeshDrawing, WireframeOutlinesEveryTriangle) {
    addRedGreenTexture();
    NodePair nodes("Wall_mesh");
    const auto square = makeSquare(0.5f, 2);
    Mesh mesh(texLights.get(), glm::mat4(1.0f), "Wall_mesh");
    mesh.loadFromNode(nodes.child, square.get(), kLevelKey);

    GameSettings::instance().wireframe = true;
    mesh.draw(glm::mat4(1.0f), DrawMode::Normal);

    // Lines land within a pixel of the exact edge; look at a 3-pixel strip.
    const auto litNear = [&](int x, int y, bool horizontal) {
        for (int d = -1; d <= 1; ++d) {
            if (rgb(horizontal ? x : x + d, horizontal ? y + d : y) != kBlue) {
                return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(litNear(96, 64, true)) << "bottom edge";
    EXPECT_TRUE(litNear(160, 191, true)) << "top edge";
    EXPECT_TRUE(litNear(64, 100, false)) << "left edge";
    EXPECT_TRUE(litNear(191, 150, false)) << "right edge";
    EXPECT_TRUE(litNear(128, 128, false)) << "shared diagonal";
    EXPECT_EQ(rgb(150, 100), kBlue) << "inside a triangle";
    EXPECT_EQ(rgb(100, 150), kBlue) << "inside the other triangle";
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(MeshDrawing, NodeWithoutGeometryLeavesGlAlone) {
    NodePair nodes("Lamp_group");
    Mesh empty(texLights.get(), glm::mat4(1.0f), "Lamp_group");
    empty.setFromNode(nodes.child);

    GLuint array = 0;
    glGenVertexArrays(1, &array);
    glBindVertexArray(array);
    Texture* texture = addRedGreenTexture();
    glBindTexture(GL_TEXTURE_2D, texture->name);

    empty.draw(glm::mat4(1.0f), DrawMode::Normal);
    GLint boundTexture = 0, boundArray = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &boundTexture);
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &boundArray);
    EXPECT_EQ(static_cast<GLuint>(boundTexture), texture->name);
    EXPECT_EQ(static_cast<GLuint>(boundArray), array);
    EXPECT_EQ(rgb(128, 128), kBlue);
    glBindVertexArray(0);
    glDeleteVertexArrays(1, &array);
}

TEST_F(MeshDrawing, ReleasesItsNamesAndOutlivesTheWindow) {
    NodePair nodes("Wall_mesh");
    const auto square = makeSquare(0.5f, 2);
    GLuint position = 0, index = 0, array = 0;
    {
        Mesh mesh(texLights.get(), glm::mat4(1.0f), "Wall_mesh");
        mesh.loadFromNode(nodes.child, square.get(), kLevelKey);
        position = mesh.positionBuffer;
        index = mesh.indexBuffer;
        array = mesh.vertexArray;
        ASSERT_TRUE(glIsBuffer(position) && glIsBuffer(index) && glIsVertexArray(array));
    }
    EXPECT_FALSE(glIsBuffer(position));
    EXPECT_FALSE(glIsBuffer(index));
    EXPECT_FALSE(glIsVertexArray(array));

    // The Level (and its meshes) may be deleted after the window: a no-op.
    auto late = std::make_unique<Mesh>(texLights.get(), glm::mat4(1.0f), "Wall_mesh");
    late->loadFromNode(nodes.child, square.get(), kLevelKey);
    TextureCache::instance().textures.erase(std::string(kLevelKey) + "2");
    texLights.reset();
    context.destroyWindow();
    test::GlReleaseWatch watch;
    late.reset();
    EXPECT_EQ(watch.calls(), 0) << watch.journal();
}

}  // namespace
}  // namespace vestrel
