#include "render/Light.h"

#include <gtest/gtest.h>

#include <assimp/mesh.h>
#include <assimp/scene.h>

#include <cmath>
#include <cstdint>
#include <limits>
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

// Which boxes the flashlight's terms can touch: the renderer draws the rest
// with the program that leaves them out, so a box wrongly called unreached
// loses its light (the picture tests see that); one wrongly called reached
// only costs time. A small cube (half-size 0.05) 10 units out at angle a from
// the axis: its sphere and the margin reach 0.61 degrees past its centre.
TEST(LightReach, OnlyWhatTheOuterConeMissesIsUnreached) {
    Light spot = makeFlashlight();
    spot.enabled = true;
    spot.position = glm::vec3(1.0f, 2.0f, 3.0f);
    spot.coneDirection = glm::vec3(0.0f, 0.0f, 2.0f);  // not unit: the shader normalises it
    auto cube = [&](float degrees, float distance, float half, float turn) {
        // Off the axis toward +x rotated by `turn` about the axis (+y at 90).
        const float a = glm::radians(degrees), t = glm::radians(turn);
        const glm::vec3 c = spot.position + distance * glm::vec3(std::sin(a) * std::cos(t),
                                                                 std::sin(a) * std::sin(t), std::cos(a));
        return std::array<float, 6>{c.x - half, c.y - half, c.z - half, c.x + half, c.y + half, c.z + half};
    };
    struct Case {
        float degrees, distance, half, turn;
        bool reached;
    };
    const Case cases[] = {
        {0.0f, 10.0f, 0.05f, 0.0f, true},   // on the axis
        {23.5f, 10.0f, 0.05f, 0.0f, true},  // inside the edge, on every side
        {23.5f, 10.0f, 0.05f, 90.0f, true},
        {23.5f, 10.0f, 0.05f, 180.0f, true},
        {23.5f, 10.0f, 0.05f, 270.0f, true},
        {24.5f, 10.0f, 0.05f, 0.0f, true},    // past the edge by less than the cube and the margin
        {24.75f, 10.0f, 0.05f, 0.0f, false},  // past them, on every side
        {24.75f, 10.0f, 0.05f, 90.0f, false},
        {24.75f, 10.0f, 0.05f, 180.0f, false},
        {24.75f, 10.0f, 0.05f, 270.0f, false},
        {90.0f, 10.0f, 0.05f, 0.0f, false},   // beside the lamp
        {180.0f, 10.0f, 0.05f, 0.0f, false},  // behind it
        {180.0f, 0.1f, 0.05f, 0.0f, false},   // just behind the tip: the apex is nearest
        {180.0f, 0.07f, 0.05f, 0.0f, true},   // the tip inside the cube's sphere
        {60.0f, 10.0f, 6.0f, 0.0f, true},     // a large box that reaches into the cone
    };
    for (const Case& c : cases) {
        EXPECT_EQ(lightMayReach(spot, cube(c.degrees, c.distance, c.half, c.turn)), c.reached)
            << c.degrees << " degrees, " << c.distance << " out, half-size " << c.half << ", turned "
            << c.turn;
    }

    const std::array<float, 6> behind = cube(180.0f, 10.0f, 0.05f, 0.0f);
    Light light = spot;
    light.enabled = false;  // off: nothing is reached
    EXPECT_FALSE(lightMayReach(light, cube(0.0f, 10.0f, 0.05f, 0.0f)));
    light = spot;
    light.type = static_cast<LightType>(7);  // a kind the program ignores
    EXPECT_FALSE(lightMayReach(light, cube(0.0f, 10.0f, 0.05f, 0.0f)));
    // What the test cannot bound may be reached.
    for (const LightType type : {LightType::Point, LightType::Directional}) {
        light = spot;
        light.type = type;
        EXPECT_TRUE(lightMayReach(light, behind));
    }
    light = spot;
    light.coneOuterAngle = std::cos(glm::radians(80.5f));  // too wide to bother
    EXPECT_TRUE(lightMayReach(light, behind));
    light.coneOuterAngle = std::cos(glm::radians(79.5f));
    EXPECT_FALSE(lightMayReach(light, behind));
    light = spot;
    light.coneDirection = glm::vec3(0.0f);  // no axis
    EXPECT_TRUE(lightMayReach(light, behind));
    light = spot;
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_TRUE(lightMayReach(light, {-inf, -inf, -inf, inf, inf, inf}));  // a box without bounds
}

TEST(Flashlight, StartsOffWhiteAndTogglesOnlyWhenHeld) {
    Light light = makeFlashlight();
    EXPECT_EQ(light.type, LightType::Spot);
    EXPECT_FALSE(light.enabled);
    EXPECT_EQ(light.intensity, glm::vec3(1.0f));
    EXPECT_NEAR(light.coneInnerAngle, std::cos(glm::radians(14.0f)), 1e-5f);
    EXPECT_NEAR(light.coneOuterAngle, std::cos(glm::radians(24.0f)), 1e-5f);
    // How far it reaches: 1 / (0.5 + 0.01 d + 0.008 d^2).
    EXPECT_FLOAT_EQ(light.constAttenuation, 0.5f);
    EXPECT_FLOAT_EQ(light.linearAttenuation, 0.01f);
    EXPECT_FLOAT_EQ(light.quadraticAttenuation, 0.008f);
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

// What the level program must draw for a white surface at p with normal n,
// seen from `eye`, worked out here from the lighting model the game uses:
// ambient + per light colour x (n.l) x attenuation, attenuation 1 / (c + l d
// + q d^2) times smoothstep(outer, inner, cos) inside a spot's cone, Blinn-Phong
// specular 0.25 x attenuation x (n.h)^32; above 0.8 a channel x rolls off to
// 0.8 + t / (1 + 5 t) with t = x - 0.8, never reaching 1; then
// exponential-squared fog, 1 - 2^-(0.035 d)^2 at distance d, toward the fog
// colour 0.3 dimmed to 0.15 of itself. In 0..255 per channel.
glm::vec3 expectedColour(const glm::vec3& p, const glm::vec3& n,
                         const std::vector<std::shared_ptr<Light>>& lights, float ambient, bool fog,
                         const glm::vec3& eye = glm::vec3(0.0f)) {
    const glm::vec3 v = glm::normalize(eye - p);
    glm::vec3 diffuse(ambient), specular(0.0f);
    for (const auto& light : lights) {
        if (!light->enabled) continue;
        glm::vec3 l;
        float attenuation = 1.0f;
        if (light->type == LightType::Directional) {
            l = -glm::normalize(light->position);
        } else {
            const float d = glm::length(light->position - p);
            l = (light->position - p) / d;
            attenuation = 1.0f / (light->constAttenuation + light->linearAttenuation * d +
                                  light->quadraticAttenuation * d * d);
            if (light->type == LightType::Spot) {
                const float t =
                    glm::clamp((glm::dot(-l, glm::normalize(light->coneDirection)) - light->coneOuterAngle) /
                                   (light->coneInnerAngle - light->coneOuterAngle),
                               0.0f, 1.0f);
                attenuation *= t * t * (3.0f - 2.0f * t);
            }
        }
        const float nDotL = glm::dot(n, l);
        if (nDotL <= 0.0f) continue;
        diffuse += light->intensity * nDotL * attenuation;
        specular += light->intensity * 0.25f * attenuation *
                    std::pow(std::max(glm::dot(n, glm::normalize(l + v)), 0.0f), 32.0f);
    }
    glm::vec3 colour = diffuse + specular;
    for (int channel = 0; channel < 3; ++channel) {
        const float over = std::max(colour[channel] - 0.8f, 0.0f);
        colour[channel] = std::min(colour[channel], 0.8f) + over / (1.0f + over / 0.2f);
    }
    if (fog) {
        const float k = 0.035f * glm::length(eye - p);
        colour = glm::mix(colour, glm::vec3(0.3f * 0.15f), 1.0f - std::exp2(-k * k));
    }
    return glm::clamp(colour, 0.0f, 1.0f) * 255.0f;
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

        wallData = makeWall(64);
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

    // The wall point under the centre of window pixel (x, y) at `depth`.
    static glm::vec3 wallPoint(int x, int y, float depth) {
        return {(x + 0.5f) / 64.0f - 1.0f, (y + 0.5f) / 64.0f - 1.0f, -depth};
    }
    // Draws and compares each listed pixel with expectedColour, within
    // `levels` of 255 per channel. `lights` go to the program in this order;
    // the expectation counts the enabled ones whatever their slot.
    void expectClosedForm(const std::vector<std::shared_ptr<Light>>& lights, float ambient, float depth,
                          const std::vector<glm::ivec2>& pixels, int levels = 3) {
        render(lights, ambient, depth);
        for (const glm::ivec2& at : pixels) {
            const glm::vec3 want = expectedColour(wallPoint(at.x, at.y, depth), glm::vec3(0.0f, 0.0f, 1.0f),
                                                  lights, ambient, GameSettings::instance().fog);
            const auto got = rgb(at.x, at.y);
            for (int channel = 0; channel < 3; ++channel) {
                EXPECT_NEAR(got[channel], want[channel], levels)
                    << "pixel (" << at.x << ", " << at.y << ") channel " << channel;
            }
        }
    }

    test::GlTestContext context{128, 128};
    std::unique_ptr<Shader> texLights;
    std::unique_ptr<aiMesh> wallData;
    aiNode node{"Wall_mesh"};
    std::unique_ptr<Mesh> wall;
    GameSettings saved;
};

// A point light at one unit in front of the wall, each attenuation term
// large enough to matter, in the flashlight's slot (lit per pixel) and in a
// room light's slot (lit per vertex).
TEST_F(LightDrawing, PointLightFollowsTheAttenuationFormulaInEitherSlot) {
    auto lamp = std::make_shared<Light>(pointLight(glm::vec3(-0.5f, 0.25f, -1.0f)));
    lamp->constAttenuation = 0.5f;
    lamp->linearAttenuation = 0.5f;
    lamp->quadraticAttenuation = 0.75f;
    auto off = std::make_shared<Light>(makeFlashlight());
    // Under the lamp, beside it, and about one and two units away along the wall.
    const std::vector<glm::ivec2> pixels{{32, 80}, {40, 72}, {96, 80}, {124, 8}};
    for (const auto& lights :
         {std::vector<std::shared_ptr<Light>>{lamp}, std::vector<std::shared_ptr<Light>>{off, lamp}}) {
        SCOPED_TRACE(lights.size() == 1 ? "slot 0" : "slot 1");
        expectClosedForm(lights, 0.05f, 2.0f, pixels);
    }
    // The sample is sensitive: under the lamp it is far from ambient.
    EXPECT_GT(rgb(32, 80)[0], 150);
}

// The eye, a light and the wall's normal on one line: n.h = 1 in the middle,
// so the highlight adds 0.25 x attenuation there; near the edge n.h is about
// 0.84 and its 32nd power leaves nothing.
TEST_F(LightDrawing, SpecularHighlightOnlyWhereTheWallMirrorsTheLightToTheEye) {
    auto lamp = std::make_shared<Light>(pointLight(glm::vec3(0.0f, 0.0f, -1.0f)));
    lamp->constAttenuation = 4.0f;  // attenuation 1/4: no channel clips
    lamp->quadraticAttenuation = 0.0f;
    auto off = std::make_shared<Light>(makeFlashlight());
    for (const auto& lights :
         {std::vector<std::shared_ptr<Light>>{lamp}, std::vector<std::shared_ptr<Light>>{off, lamp}}) {
        SCOPED_TRACE(lights.size() == 1 ? "slot 0" : "slot 1");
        expectClosedForm(lights, 0.1f, 2.0f, {{63, 63}, {64, 64}, {121, 64}, {64, 6}});
        // 0.1 ambient + 0.25 diffuse + 0.0625 specular.
        EXPECT_NEAR(rgb(64, 64)[0], (0.1 + 0.25 + 0.0625) * 255, 3);
    }
}

TEST_F(LightDrawing, FlashlightConeFallsOffBetweenItsAnglesInItsColour) {
    auto flashlight = std::make_shared<Light>(makeFlashlight());
    int mode = kFlashlightWhite;
    toggleFlashlight(*flashlight, true);
    flashlight->coneDirection = glm::vec3(0.0f, 0.0f, -1.0f);
    flashlight->constAttenuation = 2.5f;  // dimmer, so that no pixel clips at 255
    // Off-axis angles at distance 2: 0 (centre), about 10 (inside the 14
    // degree cone), 16.3 and 22.3 (where the smooth fall-off differs most from
    // a straight one) and 25 (just outside the 24 degree cone).
    const std::vector<glm::ivec2> pixels{{64, 64}, {86, 64}, {101, 64}, {116, 64}, {64, 125}};
    expectClosedForm({flashlight}, 0.05f, 2.0f, pixels);
    const int inside = rgb(86, 64)[0], edge = rgb(116, 64)[0];
    EXPECT_GT(edge, 13 + 5) << "the fall-off band must be partly lit";
    EXPECT_LT(edge, inside - 25);
    EXPECT_NEAR(rgb(64, 125)[0], 13, 2);

    toggleFlashlightColour(*flashlight, true, mode);
    expectClosedForm({flashlight}, 0.05f, 2.0f, pixels);
    EXPECT_NEAR(rgb(64, 64)[0], 13, 2);
    EXPECT_GT(rgb(64, 64)[2], 100);
}

// Fog at three distances against its curve; with a fully lit white wall the
// picture spans the rolled-off white (0.8 + 0.2 / 2 = 0.9, 230) down toward
// the darkened fog colour, 0.045 (11).
TEST_F(LightDrawing, FogFollowsItsCurveWithDistance) {
    expectClosedForm({}, 1.0f, 40.0f, {{64, 64}});
    EXPECT_NEAR(rgb(64, 64)[0], 230, 1) << "fog off: untouched";

    GameSettings::instance().fog = true;
    for (float depth : {2.0f, 10.0f, 20.0f, 40.0f}) {
        SCOPED_TRACE(depth);
        expectClosedForm({}, 1.0f, depth, {{64, 64}, {3, 3}}, 2);
        EXPECT_EQ(rgb(64, 64)[0], rgb(64, 64)[2]) << "fog is grey";
    }
    // At 40 units the fog has taken 74 % and the wall sinks from 0.9 to 0.27
    // (68): far things darken, they never lighten toward a grey.
    EXPECT_NEAR(rgb(64, 64)[0], 68, 2);
}

// Light far above white rolls off short of it: the flashlight close to a
// wall keeps the texture's shading instead of burning to 255.
TEST_F(LightDrawing, BrightLightRollsOffShortOfWhite) {
    // Ambient alone, straight through below the knee and rolled off above.
    const struct {
        float ambient;
        int expected;
    } cases[] = {{0.78f, 199}, {0.82f, 209}, {1.5f, 244}, {4.0f, 252}, {10.0f, 254}};
    for (const auto& c : cases) {
        render({}, c.ambient);
        EXPECT_NEAR(rgb(64, 64)[1], c.expected, 1) << c.ambient;
    }
    // Under a lamp in either slot the roll-off follows the closed form too.
    auto lamp = std::make_shared<Light>(pointLight(glm::vec3(0.0f, 0.0f, -1.0f)));
    lamp->constAttenuation = 0.2f;  // 5 at the wall: far past the knee
    lamp->quadraticAttenuation = 0.0f;
    auto off = std::make_shared<Light>(makeFlashlight());
    for (const auto& lights :
         {std::vector<std::shared_ptr<Light>>{lamp}, std::vector<std::shared_ptr<Light>>{off, lamp}}) {
        expectClosedForm(lights, 0.1f, 2.0f, {{64, 64}, {100, 64}, {124, 124}}, 2);
        EXPECT_LT(rgb(64, 64)[0], 255);
    }
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
