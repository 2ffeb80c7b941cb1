#include "render/Light.h"

#include <gtest/gtest.h>

#include <assimp/mesh.h>
#include <assimp/scene.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <glm/gtc/matrix_transform.hpp>

#include "app/GameSettings.h"
#include "render/Mesh.h"
#include "render/Shader.h"
#include "render/Texture.h"
#include "render/TextureCache.h"
#include "support/ConsoleCapture.h"
#include "support/GlTestContext.h"

namespace vestrel {
namespace {

constexpr const char* kLevelKey = "Assets\\lighttest.dae";

TEST(Flashlight, StartsOffWhiteAndTogglesOnlyWhenHeld) {
    Light light = makeFlashlight();
    EXPECT_EQ(light.type, LightType::Spot);
    EXPECT_FALSE(light.enabled);
    EXPECT_EQ(light.intensity, glm::vec3(1.0f));
    EXPECT_NEAR(light.coneInnerAngle, std::cos(glm::radians(14.0f)), 1e-5f);
    EXPECT_NEAR(light.coneOuterAngle, std::cos(glm::radians(24.0f)), 1e-5f);
    EXPECT_GT(light.coneInnerAngle, light.coneOuterAngle);  // inner cone is the narrower one

    int mode = kFlashlightWhite;
    toggleFlashlight(light, false);  // item not picked up yet
    EXPECT_FALSE(light.enabled);
    toggleFlashlightColour(light, true, mode);  // held but off
    EXPECT_EQ(mode, kFlashlightWhite);
    EXPECT_EQ(light.intensity, glm::vec3(1.0f));

    toggleFlashlight(light, true);
    toggleFlashlightColour(light, true, mode);
    EXPECT_EQ(mode, kFlashlightBlue);
    EXPECT_EQ(light.intensity, glm::vec3(0.0f, 0.0f, 1.0f));

    // Off and on again comes back blue.
    toggleFlashlight(light, true);
    EXPECT_FALSE(light.enabled);
    toggleFlashlight(light, true);
    EXPECT_TRUE(light.enabled);
    EXPECT_EQ(mode, kFlashlightBlue);
    EXPECT_EQ(light.intensity, glm::vec3(0.0f, 0.0f, 1.0f));
    toggleFlashlightColour(light, true, mode);
    EXPECT_EQ(mode, kFlashlightWhite);
    EXPECT_EQ(light.intensity, glm::vec3(1.0f));
}

Light pointLight(const glm::vec3& position) {
    Light light;
    light.type = LightType::Point;
    light.enabled = true;
    light.intensity = glm::vec3(1.0f);
    light.position = position;
    light.constAttenuation = 1.0f;
    light.linearAttenuation = 0.0f;
    light.quadraticAttenuation = 4.0f;
    return light;
}

// A wall facing +z over [-1, 1] x [-1, 1], finely divided because point
// lights are evaluated per vertex.
std::unique_ptr<aiMesh> makeWall(int cells) {
    auto mesh = std::make_unique<aiMesh>();
    const int side = cells + 1;
    mesh->mNumVertices = static_cast<unsigned>(side * side);
    mesh->mVertices = new aiVector3D[mesh->mNumVertices];
    mesh->mNormals = new aiVector3D[mesh->mNumVertices];
    mesh->mTextureCoords[0] = new aiVector3D[mesh->mNumVertices];
    mesh->mNumUVComponents[0] = 2;
    for (int row = 0; row < side; ++row) {
        for (int column = 0; column < side; ++column) {
            const unsigned i = static_cast<unsigned>(row * side + column);
            const float u = static_cast<float>(column) / cells, v = static_cast<float>(row) / cells;
            mesh->mVertices[i] = aiVector3D(u * 2.0f - 1.0f, v * 2.0f - 1.0f, 0.0f);
            mesh->mNormals[i] = aiVector3D(0.0f, 0.0f, 1.0f);
            mesh->mTextureCoords[0][i] = aiVector3D(u, v, 0.0f);
        }
    }
    mesh->mNumFaces = static_cast<unsigned>(cells * cells * 2);
    mesh->mFaces = new aiFace[mesh->mNumFaces];
    unsigned face = 0;
    for (int row = 0; row < cells; ++row) {
        for (int column = 0; column < cells; ++column) {
            const unsigned a = static_cast<unsigned>(row * side + column), b = a + 1,
                           c = a + static_cast<unsigned>(side) + 1, d = a + static_cast<unsigned>(side);
            for (const auto& triangle :
                 {std::array<unsigned, 3>{a, b, c}, std::array<unsigned, 3>{a, c, d}}) {
                mesh->mFaces[face].mNumIndices = 3;
                mesh->mFaces[face].mIndices = new unsigned[3]{triangle[0], triangle[1], triangle[2]};
                ++face;
            }
        }
    }
    return mesh;
}

// Draws a white wall with texLights, seen straight on through an orthographic
// camera at the origin looking down -z, and reads pixels back.
class LightDrawing : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(context.ok());
        saved = GameSettings::instance();
        GameSettings::instance().fog = false;
        GameSettings::instance().wireframe = false;
        texLights = std::make_unique<Shader>(kTexLightsSources);
        const std::uint8_t white[3] = {255, 255, 255};
        auto texture = std::make_shared<Texture>(1, 1);
        texture->upload(white, 1, 1);
        TextureCache::instance().textures[std::string(kLevelKey) + "0"] = texture;

        wallData = makeWall(32);
        wall = std::make_unique<Mesh>(texLights.get(), glm::mat4(1.0f), "Wall_mesh");
        wall->loadFromNode(&node, wallData.get(), kLevelKey);
        glViewport(0, 0, context.width(), context.height());
        glUseProgram(texLights->program);
    }

    void TearDown() override {
        wall.reset();
        TextureCache::instance().textures.erase(std::string(kLevelKey) + "0");
        glUseProgram(0);
        GameSettings::instance() = saved;
    }

    // Draws the wall at distance `depth` under the given lights; returns the
    // red, green and blue of pixel (x, y) of the 128x128 window.
    void render(const std::vector<std::shared_ptr<Light>>& lights, float ambient, float depth = 2.0f) {
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        uploadLightBlock(*texLights, lights, glm::vec3(ambient), glm::mat4(1.0f));
        wall->modelMatrix = glm::translate(glm::mat4(1.0f), glm::vec3(0.0f, 0.0f, -depth));
        wall->draw(glm::ortho(-1.0f, 1.0f, -1.0f, 1.0f, 0.1f, 100.0f), DrawMode::Normal);
    }
    std::array<int, 3> rgb(int x, int y) const {
        const auto p = context.pixel(x, y);
        return {p[0], p[1], p[2]};
    }

    test::GlTestContext context{128, 128};
    std::unique_ptr<Shader> texLights;
    std::unique_ptr<aiMesh> wallData;
    aiNode node{"Wall_mesh"};
    std::unique_ptr<Mesh> wall;
    GameSettings saved;
};

TEST_F(LightDrawing, PointLightIsBrighterNearItAndAfterTheFlashlight) {
    // The flashlight is always lights[0]; the level light is lights[1].
    auto flashlight = std::make_shared<Light>(makeFlashlight());
    auto lamp = std::make_shared<Light>(pointLight(glm::vec3(-0.8f, 0.0f, -1.5f)));
    render({flashlight, lamp}, 0.05f);
    const auto nearLamp = rgb(13, 64), farFromLamp = rgb(115, 64);
    EXPECT_GT(nearLamp[0], farFromLamp[0] + 60) << nearLamp[0] << " vs " << farFromLamp[0];
    EXPECT_EQ(nearLamp[0], nearLamp[2]);  // white light on a white wall
}

TEST_F(LightDrawing, DisabledLightsAddNothing) {
    render({}, 0.1f);
    const auto ambientOnly = rgb(64, 64);
    EXPECT_NEAR(ambientOnly[0], 26, 2);

    auto lamp = std::make_shared<Light>(pointLight(glm::vec3(0.0f, 0.0f, -1.5f)));
    auto spot = std::make_shared<Light>(makeFlashlight());
    spot->enabled = true;
    spot->coneDirection = glm::vec3(0.0f, 0.0f, -1.0f);
    render({lamp, spot}, 0.1f);
    EXPECT_GT(rgb(64, 64)[0], ambientOnly[0] + 60);

    lamp->enabled = false;
    spot->enabled = false;
    render({lamp, spot}, 0.1f);
    EXPECT_EQ(rgb(64, 64), ambientOnly);
    EXPECT_EQ(rgb(10, 10), ambientOnly);
}

TEST_F(LightDrawing, FlashlightLightsItsConeInItsColour) {
    auto flashlight = std::make_shared<Light>(makeFlashlight());
    int mode = kFlashlightWhite;
    toggleFlashlight(*flashlight, true);
    flashlight->coneDirection = glm::vec3(0.0f, 0.0f, -1.0f);
    render({flashlight}, 0.05f);
    const auto centre = rgb(64, 64);
    // 0.95 to the side at distance 2 is 25 degrees off the axis: past the 24 degree cone.
    const auto outside = rgb(125, 64);
    EXPECT_GT(centre[0], 100);
    EXPECT_NEAR(outside[0], 13, 2);

    toggleFlashlightColour(*flashlight, true, mode);
    render({flashlight}, 0.05f);
    const auto blue = rgb(64, 64);
    EXPECT_NEAR(blue[0], 13, 2);
    EXPECT_GT(blue[2], 100);
}

TEST_F(LightDrawing, FogPullsDistantWallsTowardGrey) {
    render({}, 0.05f, 50.0f);
    const int far = rgb(64, 64)[0];
    EXPECT_NEAR(far, 13, 2);

    GameSettings::instance().fog = true;
    render({}, 0.05f, 50.0f);
    const auto fogged = rgb(64, 64);
    EXPECT_NEAR(fogged[0], 0.3 * 255, 12);  // most of the way to the 0.3 grey
    EXPECT_EQ(fogged[0], fogged[2]);
    render({}, 0.05f, 2.0f);
    EXPECT_NEAR(rgb(64, 64)[0], 13, 2);  // close by, barely touched
}

GLint uniformInt(const Shader& shader, const char* name) {
    GLint value = -1;
    glGetUniformiv(shader.program, glGetUniformLocation(shader.program, name), &value);
    return value;
}
float uniformFloat(const Shader& shader, const char* name) {
    GLfloat value = -1.0f;
    glGetUniformfv(shader.program, glGetUniformLocation(shader.program, name), &value);
    return value;
}
glm::vec3 uniformVec3(const Shader& shader, const char* name) {
    glm::vec3 value(-1.0f);
    glGetUniformfv(shader.program, glGetUniformLocation(shader.program, name), &value.x);
    return value;
}

TEST_F(LightDrawing, LightBlockReachesTheProgram) {
    auto flashlight = std::make_shared<Light>(makeFlashlight());
    Light sun;
    sun.type = LightType::Directional;
    sun.enabled = true;
    sun.intensity = glm::vec3(0.5f, 0.25f, 0.125f);
    sun.position = glm::vec3(0.0f, -1.0f, 0.0f);
    sun.constAttenuation = 9.0f;  // not a directional light's business: never sent
    auto lamp = std::make_shared<Light>(pointLight(glm::vec3(3.0f, 4.0f, 5.0f)));
    lamp->enabled = false;

    uploadLightBlock(*texLights, {flashlight, std::make_shared<Light>(sun), lamp}, glm::vec3(0.2f),
                     glm::mat4(1.0f));
    EXPECT_EQ(uniformInt(*texLights, "numLights"), 3);
    EXPECT_EQ(uniformVec3(*texLights, "ambientLight"), glm::vec3(0.2f));
    EXPECT_EQ(uniformInt(*texLights, "fogEnabled"), 0);
    EXPECT_EQ(uniformVec3(*texLights, "fogColor"), glm::vec3(0.3f));
    EXPECT_EQ(uniformInt(*texLights, "lights[0].type"), 2);
    EXPECT_EQ(uniformInt(*texLights, "lights[0].enabled"), 0);
    EXPECT_FLOAT_EQ(uniformFloat(*texLights, "lights[0].coneOuterAngle"), flashlight->coneOuterAngle);
    EXPECT_EQ(uniformInt(*texLights, "lights[1].type"), 1);
    EXPECT_EQ(uniformVec3(*texLights, "lights[1].intensity"), sun.intensity);
    EXPECT_EQ(uniformVec3(*texLights, "lights[1].position"), sun.position);
    EXPECT_EQ(uniformFloat(*texLights, "lights[1].constAttenuation"), 0.0f);
    // A disabled light still sends everything of its kind.
    EXPECT_EQ(uniformInt(*texLights, "lights[2].enabled"), 0);
    EXPECT_EQ(uniformVec3(*texLights, "lights[2].position"), glm::vec3(3.0f, 4.0f, 5.0f));
    EXPECT_FLOAT_EQ(uniformFloat(*texLights, "lights[2].quadraticAttenuation"), 4.0f);

    GameSettings::instance().fog = true;
    uploadLightBlock(*texLights, {}, glm::vec3(0.0f), glm::mat4(1.0f));
    EXPECT_EQ(uniformInt(*texLights, "fogEnabled"), 1);
    EXPECT_EQ(uniformInt(*texLights, "numLights"), 0);
}

TEST_F(LightDrawing, FlashlightStructureAndMissingNames) {
    Shader hiddenText(kHiddenTextSources);
    glUseProgram(hiddenText.program);
    Light flashlight = makeFlashlight();
    flashlight.position = glm::vec3(1.0f, 2.0f, 3.0f);
    flashlight.coneDirection = glm::vec3(0.0f, 0.0f, -1.0f);
    uploadFlashlight(hiddenText, flashlight);
    EXPECT_EQ(uniformVec3(hiddenText, "flashlight.position"), flashlight.position);
    EXPECT_EQ(uniformVec3(hiddenText, "flashlight.coneDirection"), flashlight.coneDirection);
    EXPECT_FLOAT_EQ(uniformFloat(hiddenText, "flashlight.coneInnerAngle"), flashlight.coneInnerAngle);
    EXPECT_FLOAT_EQ(uniformFloat(hiddenText, "flashlight.linearAttenuation"), 0.01f);

    // A program without the names reports each one it was asked for, and
    // only the members of the light's kind are asked for.
    Shader highlight(kHighlightSources);
    glUseProgram(highlight.program);
    test::ConsoleCapture console;
    Light sun;
    sun.type = LightType::Directional;
    uploadLight(highlight, 12, sun);
    const std::string text = console.text();
    for (const char* member : {"enabled", "type", "intensity", "position"}) {
        EXPECT_NE(text.find(std::string("uniform not found: lights[12].") + member + "\n"), std::string::npos)
            << member;
    }
    EXPECT_EQ(text.find("Attenuation"), std::string::npos);
    EXPECT_EQ(text.find("cone"), std::string::npos);

    console.clear();
    uploadFlashlight(highlight, flashlight);
    EXPECT_NE(console.text().find("uniform not found: flashlight.coneOuterAngle\n"), std::string::npos);
    EXPECT_EQ(console.text().find("flashlight.intensity"), std::string::npos);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
}  // namespace vestrel
