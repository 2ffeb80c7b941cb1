// The sample level and creature that tools/blender/make_sample.py builds and
// exports with Blender's own Collada exporter (committed under
// tests/data/blender): the level loader reads them as an author meant them.

#include <gtest/gtest.h>

#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <assimp/Importer.hpp>

#include <array>
#include <map>
#include <string>

#include <glm/glm.hpp>

#include "enemy/Enemy.h"
#include "level/GameObject.h"
#include "level/Item.h"
#include "level/Level.h"
#include "render/Light.h"
#include "render/Mesh.h"
#include "render/Shader.h"
#include "render/TextureCache.h"
#include "support/ConsoleCapture.h"
#include "support/GlTestContext.h"

namespace vestrel {
namespace {

const char* const kSamplePath = "tests\\data\\blender\\sample_level.dae";

bool near(const glm::vec3& a, const glm::vec3& b, float tolerance = 2e-3f) {
    return glm::all(glm::lessThanEqual(glm::abs(a - b), glm::vec3(tolerance)));
}

TEST(BlenderSampleTest, ExportedLevelLoadsWithItsTagsTexturesAndScaledLights) {
    test::GlTestContext context;
    ASSERT_TRUE(context.ok());
    Shader shader(kTexLightsSources);
    Level level;
    test::ConsoleCapture console;
    level.setUp();
    ASSERT_TRUE(level.loadLevel(kSamplePath, &shader, nullptr)) << console.text();
    const std::string output = console.text();

    // Every material's image was copied beside the level by the exporter and
    // is found there.
    ASSERT_EQ(level.scene->mNumMaterials, 4u);
    for (unsigned i = 0; i < level.scene->mNumMaterials; ++i) {
        EXPECT_NE(TextureCache::instance().find(std::string(kSamplePath) + std::to_string(i)), nullptr) << i;
    }
    EXPECT_EQ(output.find("Unable"), std::string::npos) << output;

    // Tags: the door box with its handle in the tree, the item and the zone
    // outside it, three waypoints on the floor where the author put them.
    ASSERT_EQ(level.boxes.count("Door_box"), 1u);
    GameObject* door = level.boxes["Door_box"];
    ASSERT_EQ(door->children.size(), 1u);
    EXPECT_EQ(door->children[0]->mesh->name, "DoorHandle");
    EXPECT_EQ(level.items.count("Banana_item"), 1u);
    EXPECT_EQ(level.interactives.count("Suzanne_interactive"), 1u);
    ASSERT_NE(level.enemy, nullptr);
    ASSERT_EQ(level.enemy->waypoints.size(), 3u);
    EXPECT_TRUE(near(level.enemy->waypoints[0].position, {12.0f, -1.0f, -5.0f}));
    // The door stands in the doorway: Blender's (6, -2.5..2.5, -1..6) is the
    // game's x = 6, z = -2.5..2.5, height -1..6.
    const std::array<float, 6>& b = *door->bounds;
    EXPECT_NEAR(b[0], 5.8f, 1e-3f);
    EXPECT_NEAR(b[1], -1.0f, 1e-3f);
    EXPECT_NEAR(b[2], -2.5f, 1e-3f);
    EXPECT_NEAR(b[4], 6.0f, 1e-3f);
    EXPECT_NEAR(b[5], 2.5f, 1e-3f);

    // Lights: the file holds colour x watts (the spot, 1500 W, is the
    // strongest); lamps come back divided by 1500, the dim sun as it is.
    ASSERT_EQ(level.lights.size(), 5u);  // the flashlight, then the file's four
    const std::map<std::string, glm::vec3> expected = {
        {"MoonSun", {0.15f, 0.165f, 0.21f}},
        {"RoomALight", glm::vec3(700.0f, 595.0f, 420.0f) / 1500.0f},
        {"RoomBLight", glm::vec3(480.0f, 560.0f, 800.0f) / 1500.0f},
        {"StatueSpot", {1.0f, 0.9f, 0.7f}},
    };
    for (unsigned i = 0; i < level.scene->mNumLights; ++i) {
        const std::string name = level.scene->mLights[i]->mName.C_Str();
        SCOPED_TRACE(name);
        ASSERT_EQ(expected.count(name), 1u);
        const Light& light = *level.lights[i + 1];
        EXPECT_TRUE(near(light.intensity, expected.at(name)))
            << light.intensity.x << " " << light.intensity.y;
        if (name == "StatueSpot") {
            // Tilted 30 degrees about Blender's X: it leans toward Blender's
            // +Y, the game's -z.
            EXPECT_EQ(light.type, LightType::Spot);
            EXPECT_TRUE(near(light.coneDirection, {0.0f, -0.8660f, -0.5f}));
            EXPECT_TRUE(near(light.position, {-2.0f, 7.6f, 2.0f}));
        }
        if (name == "MoonSun") {
            // Euler (40, 0, 30) degrees turns Blender's -Z to (-0.321, 0.557,
            // -0.766), the game's (x, z, -y).
            EXPECT_EQ(light.type, LightType::Directional);
            EXPECT_TRUE(near(light.position, {-0.3214f, -0.7660f, -0.5567f}));
        }
    }
    EXPECT_NE(output.find("Light colours above 1 read as colour x power"), std::string::npos) << output;
}

TEST(BlenderSampleTest, ColourScalesLeaveLevelsWithinOneAlone) {
    Assimp::Importer house;
    const aiScene* scene = house.ReadFile("Assets/house1.dae", aiProcess_ValidateDataStructure);
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(lightColourScales(scene), glm::vec2(1.0f, 1.0f));

    // A lamp at exactly 1 stays; one channel just above 1 scales the group,
    // and suns only among themselves.
    aiScene made;
    made.mNumLights = 3;
    made.mLights = new aiLight*[3];
    for (unsigned i = 0; i < 3; ++i) made.mLights[i] = new aiLight();
    made.mLights[0]->mType = aiLightSource_POINT;
    made.mLights[0]->mColorDiffuse = aiColor3D(1.0f, 0.5f, 0.2f);
    made.mLights[1]->mType = aiLightSource_SPOT;
    made.mLights[1]->mColorDiffuse = aiColor3D(0.3f, 1.0f, 0.2f);
    made.mLights[2]->mType = aiLightSource_DIRECTIONAL;
    made.mLights[2]->mColorDiffuse = aiColor3D(1.0f, 2.0f, 4.0f);  // blue the strongest
    EXPECT_EQ(lightColourScales(&made), glm::vec2(1.0f, 0.25f));
    made.mLights[1]->mColorDiffuse = aiColor3D(0.3f, 1.25f, 0.2f);
    EXPECT_EQ(lightColourScales(&made), glm::vec2(0.8f, 0.25f));
}

}  // namespace
}  // namespace vestrel
