// Loading levels: the shipped house as a whole, and small Collada files
// written for the naming rules the house does not exercise.

#include <gtest/gtest.h>

#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <assimp/Importer.hpp>

#include <btBulletCollisionCommon.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <sstream>
#include <string>

#include <glm/glm.hpp>

#include "ScratchFolder.h"
#include "app/GameSettings.h"
#include "audio/SoundSystem.h"
#include "enemy/Enemy.h"
#include "level/GameObject.h"
#include "level/InteractiveSwitch.h"
#include "level/Item.h"
#include "level/Level.h"
#include "physics/PhysicsActor.h"
#include "physics/PhysicsShapeKind.h"
#include "physics/PhysicsWorld.h"
#include "render/Light.h"
#include "render/Mesh.h"
#include "render/Shader.h"
#include "render/TextureCache.h"
#include "support/ConsoleCapture.h"
#include "support/GlTestContext.h"

namespace vestrel {
namespace {

const char* const kHousePath = "Assets\\house1.dae";

// Every object of the drawn tree below (and including) `object`.
void collect(GameObject* object, std::vector<GameObject*>& out) {
    out.push_back(object);
    for (const auto& child : object->children) collect(child.get(), out);
}

GameObject* findInTree(GameObject* root, const std::string& name) {
    std::vector<GameObject*> all;
    collect(root, all);
    for (GameObject* object : all) {
        if (object->mesh && object->mesh->name == name) return object;
    }
    return nullptr;
}

bool near(const glm::vec3& a, const glm::vec3& b, float tolerance = 1e-3f) {
    return glm::all(glm::lessThanEqual(glm::abs(a - b), glm::vec3(tolerance)));
}

// The level file as a second importer reads it, untouched by the loader.
struct ReferenceScene {
    Assimp::Importer importer;
    const aiScene* scene = nullptr;
    explicit ReferenceScene(const char* path) {
        scene = importer.ReadFile(
            path, aiProcess_JoinIdenticalVertices | aiProcess_Triangulate | aiProcess_ValidateDataStructure);
    }
};

class HouseLevelTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        context = new test::GlTestContext();
        if (!context->ok()) return;
        shader = new Shader(kTexLightsSources);
        level = new Level();
        test::ConsoleCapture console;
        // As the game runs it: the loading state's set-up, then the level pass.
        level->setUp();
        loaded = level->loadLevel(kHousePath, shader, nullptr);
        loadOutput = console.text();
    }
    static void TearDownTestSuite() {
        delete level;
        delete shader;
        delete context;
        level = nullptr;
        shader = nullptr;
        context = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(context->ok());
        ASSERT_TRUE(loaded) << loadOutput;
    }

    static test::GlTestContext* context;
    static Shader* shader;
    static Level* level;
    static bool loaded;
    static std::string loadOutput;
};

test::GlTestContext* HouseLevelTest::context = nullptr;
Shader* HouseLevelTest::shader = nullptr;
Level* HouseLevelTest::level = nullptr;
bool HouseLevelTest::loaded = false;
std::string HouseLevelTest::loadOutput;

TEST_F(HouseLevelTest, LoadsQuietly) {
    EXPECT_EQ(loadOutput.find("Error"), std::string::npos) << loadOutput;
    EXPECT_EQ(loadOutput.find("Unable"), std::string::npos) << loadOutput;
    EXPECT_EQ(loadOutput.find("skipped"), std::string::npos) << loadOutput;
    ASSERT_NE(level->rootObject, nullptr);
    ASSERT_NE(level->scene, nullptr);
    // A second call keeps the level it built instead of placing it twice.
    const std::size_t lights = level->lights.size();
    EXPECT_TRUE(level->loadLevel(kHousePath, shader, nullptr));
    EXPECT_EQ(level->lights.size(), lights);
}

TEST_F(HouseLevelTest, ItemsZonesAndBoxesAreRecordedOutsideOrInsideTheTree) {
    GameObject* root = level->rootObject.get();
    const std::set<std::string> itemNames{"Flashlight_item", "Banana_item", "Duck_item", "can_item",
                                          "file_item"};
    ASSERT_EQ(level->items.size(), 5u);
    ASSERT_EQ(level->itemsInWorld.size(), 5u);
    for (const std::string& name : itemNames) {
        ASSERT_EQ(level->items.count(name), 1u) << name;
        const Item& item = *level->items.at(name);
        EXPECT_EQ(level->itemsInWorld.at(name).get(), &item);
        EXPECT_EQ(item.name, name);
        ASSERT_NE(item.object, nullptr);
        EXPECT_TRUE(item.object->drawable()) << name;
        EXPECT_EQ(item.object->kind, static_cast<int>(PhysicsShapeKind::Trigger));
        EXPECT_NE(item.object->triggerActor, nullptr) << name;
        EXPECT_EQ(item.object->collisionActor, nullptr) << name;
        EXPECT_EQ(findInTree(root, name), nullptr) << name << " must not be drawn with the house";
    }

    const std::set<std::string> zoneNames{"Suzanne_interactive", "sink_interactive", "Generator_interactive",
                                          "cabinet_interactive"};
    ASSERT_EQ(level->interactives.size(), 4u);
    for (const std::string& name : zoneNames) {
        ASSERT_EQ(level->interactives.count(name), 1u) << name;
        GameObject* zone = level->interactives.at(name);
        EXPECT_NE(zone->collisionActor, nullptr) << name;
        EXPECT_NE(zone->triggerActor, nullptr) << name;
        EXPECT_EQ(findInTree(root, name), nullptr) << name;
    }

    ASSERT_EQ(level->boxes.size(), 3u);
    for (const char* name : {"Door_box", "Shower_door_box", "Racking_CrossBeams31_box"}) {
        ASSERT_EQ(level->boxes.count(name), 1u) << name;
        GameObject* box = level->boxes.at(name);
        EXPECT_EQ(findInTree(root, name), box) << name;
        EXPECT_EQ(box->kind, static_cast<int>(PhysicsShapeKind::Box));
        EXPECT_NE(box->collisionActor, nullptr) << name;
        EXPECT_FALSE(box->children.empty()) << name << " carries its visible parts";
    }

    ASSERT_NE(level->tvObject, nullptr);
    EXPECT_EQ(level->tvObject->mesh->name, "TV_Animated");
    EXPECT_EQ(findInTree(root, "TV_Animated"), level->tvObject);
}

TEST_F(HouseLevelTest, GlassAndHiddenTextHaveTheirOwnLists) {
    ASSERT_FALSE(level->hiddenTextObjects.empty());
    ASSERT_FALSE(level->transparentObjects.empty());
    for (const auto& object : level->hiddenTextObjects) {
        EXPECT_TRUE(object->hiddenText);
        EXPECT_EQ(GameObject::tagOf(object->mesh->name), "hiddenText");
        EXPECT_EQ(findInTree(level->rootObject.get(), object->mesh->name), nullptr);
    }
    for (const auto& object : level->transparentObjects) {
        EXPECT_TRUE(object->transparent);
        EXPECT_EQ(object->kind, static_cast<int>(PhysicsShapeKind::Box));
        EXPECT_NE(object->collisionActor, nullptr) << object->mesh->name;
        EXPECT_EQ(findInTree(level->rootObject.get(), object->mesh->name), nullptr);
    }
}

TEST_F(HouseLevelTest, TreeObjectsGetKindsAndActorsFromTheirTags) {
    std::vector<GameObject*> all;
    collect(level->rootObject.get(), all);
    int meshes = 0;
    for (GameObject* object : all) {
        const std::string& name = object->mesh->name;
        EXPECT_FALSE(GameObject::isWaypointName(name) && !object->children.empty()) << name;
        if (object->mesh->noGeometry) {
            EXPECT_EQ(object->kind, 0) << name;
            EXPECT_FALSE(object->bounds.has_value()) << name;
            continue;
        }
        ASSERT_TRUE(object->bounds.has_value()) << name;
        EXPECT_LE((*object->bounds)[0], (*object->bounds)[3]) << name;
        const std::string tag = GameObject::tagOf(name);
        if (tag == "mesh") {
            ++meshes;
            EXPECT_EQ(object->kind, static_cast<int>(PhysicsShapeKind::TriangleMesh)) << name;
            EXPECT_NE(object->collisionActor, nullptr) << name;
        } else if (tag != "box") {
            EXPECT_EQ(object->kind, 0) << name;
            EXPECT_EQ(object->collisionActor, nullptr) << name;
        }
        EXPECT_EQ(object->triggerActor, nullptr) << name;
        EXPECT_TRUE(object->parent != nullptr) << name;
    }
    EXPECT_GT(meshes, 10);
}

TEST_F(HouseLevelTest, WaypointsLandWhereTheHousePutThem) {
    ReferenceScene reference("Assets/house1.dae");
    ASSERT_NE(reference.scene, nullptr);
    std::vector<std::pair<std::string, glm::vec3>> expected;
    // Where each waypoint node stands in the world: root x ... x node.
    std::function<void(const aiNode*, const aiMatrix4x4&)> walk = [&](const aiNode* node,
                                                                      const aiMatrix4x4& above) {
        const aiMatrix4x4 world = above * node->mTransformation;
        const std::string name = node->mName.C_Str();
        if (name.compare(0, 8, "Waypoint") == 0) {
            expected.emplace_back(name, glm::vec3(world.a4, world.b4, world.c4));
            return;
        }
        for (unsigned i = 0; i < node->mNumChildren; ++i) walk(node->mChildren[i], world);
    };
    walk(reference.scene->mRootNode, aiMatrix4x4());

    ASSERT_NE(level->enemy, nullptr);
    const std::vector<Waypoint>& waypoints = level->enemy->waypoints;
    ASSERT_GE(waypoints.size(), 4u);
    ASSERT_EQ(waypoints.size(), expected.size());
    for (std::size_t i = 0; i < waypoints.size(); ++i) {
        EXPECT_EQ(waypoints[i].name, expected[i].first);
        EXPECT_TRUE(near(waypoints[i].position, expected[i].second))
            << waypoints[i].name << " at " << waypoints[i].position.x << " " << waypoints[i].position.y << " "
            << waypoints[i].position.z;
        EXPECT_NEAR(waypoints[i].position.y, -1.0f, 1e-4f) << waypoints[i].name;
    }
    // The corridor path of the house.
    EXPECT_TRUE(near(waypoints.front().position, glm::vec3(9.0f, -1.0f, -16.0f)));
}

TEST_F(HouseLevelTest, LightsKeepFileOrderTypesAndWorldPositions) {
    ReferenceScene reference("Assets/house1.dae");
    ASSERT_NE(reference.scene, nullptr);
    const aiNode* root = reference.scene->mRootNode;
    // The flashlight of the set-up comes first, then the file's lights in order.
    ASSERT_EQ(level->lights.size(), reference.scene->mNumLights + 1);
    ASSERT_GT(reference.scene->mNumLights, 0u);
    EXPECT_EQ(level->lights[0].get(), level->player.flashlight);
    EXPECT_LE(level->lights.size(), static_cast<std::size_t>(kMaxShaderLights)) << "the shaders' light slots";
    bool sawSpot = false;
    for (unsigned i = 0; i < reference.scene->mNumLights; ++i) {
        const aiLight& source = *reference.scene->mLights[i];
        const Light& light = *level->lights[i + 1];
        SCOPED_TRACE(source.mName.C_Str());
        EXPECT_TRUE(light.enabled);
        EXPECT_TRUE(near(light.intensity,
                         glm::vec3(source.mColorDiffuse.r, source.mColorDiffuse.g, source.mColorDiffuse.b)));
        const aiNode* node = root->FindNode(source.mName);
        ASSERT_NE(node, nullptr);
        const aiMatrix4x4 world = root->mTransformation * node->mTransformation;
        const glm::vec3 position(world.a4, world.b4, world.c4);
        // Every light hangs inside the house, under its 8-high ceiling.
        EXPECT_GT(position.y, -1.0f);
        EXPECT_LE(position.y, 8.0f);
        if (source.mType == aiLightSource_POINT) {
            EXPECT_EQ(light.type, LightType::Point);
            EXPECT_TRUE(near(light.position, position));
            EXPECT_FLOAT_EQ(light.quadraticAttenuation, source.mAttenuationQuadratic);
        } else if (source.mType == aiLightSource_SPOT) {
            sawSpot = true;
            EXPECT_EQ(light.type, LightType::Spot);
            EXPECT_TRUE(near(light.position, position));
            // Collada spots shine along -Z of an unrotated node: straight down here.
            EXPECT_TRUE(near(light.coneDirection, glm::vec3(0.0f, -1.0f, 0.0f)));
            EXPECT_NEAR(light.coneInnerAngle, std::cos(source.mAngleInnerCone), 1e-5f);
            EXPECT_NEAR(light.coneOuterAngle, std::cos(source.mAngleInnerCone + 0.2f), 1e-5f);
        } else {
            ADD_FAILURE() << "unexpected light type " << source.mType;
        }
    }
    EXPECT_TRUE(sawSpot);
}

TEST_F(HouseLevelTest, MaterialTexturesAreCachedUnderTheLevelPath) {
    ASSERT_GT(level->scene->mNumMaterials, 0u);
    int textured = 0;
    for (unsigned i = 0; i < level->scene->mNumMaterials; ++i) {
        if (level->scene->mMaterials[i]->GetTextureCount(aiTextureType_DIFFUSE) == 0) continue;
        ++textured;
        EXPECT_NE(TextureCache::instance().find(std::string(kHousePath) + std::to_string(i)), nullptr) << i;
    }
    EXPECT_GT(textured, 0);
    GameObject* floorObject = nullptr;
    std::vector<GameObject*> all;
    collect(level->rootObject.get(), all);
    for (GameObject* object : all) {
        if (!object->mesh->noGeometry && GameObject::tagOf(object->mesh->name) == "mesh") {
            floorObject = object;
            break;
        }
    }
    ASSERT_NE(floorObject, nullptr);
    EXPECT_NE(floorObject->mesh->texture, nullptr) << floorObject->mesh->name;
}

TEST_F(HouseLevelTest, EmittersSitAtTheirParentsCentre) {
    SoundSystem& sounds = SoundSystem::instance();
    const struct {
        const char* sound;
        const char* parent;
        bool loop;
    } emitters[] = {{"waterdrip", "Bathtub_mesh", true},
                    {"engine", "FuelTank_mesh", false},
                    {"bang", "RackUprights_mesh", false}};
    for (const auto& emitter : emitters) {
        SoundSystem::SoundClass* sound = sounds.findSound(emitter.sound);
        ASSERT_NE(sound, nullptr) << emitter.sound;
        EXPECT_EQ(sound->loop, emitter.loop) << emitter.sound;
        GameObject* parent = findInTree(level->rootObject.get(), emitter.parent);
        ASSERT_NE(parent, nullptr) << emitter.parent;
        EXPECT_TRUE(near(sound->position, parent->boundsCentre())) << emitter.sound;
    }
}

// ---- small files for the naming rules --------------------------------------

struct NodeSpec {
    std::string name;
    bool mesh = false;
    glm::vec3 translate{0.0f};
    std::vector<NodeSpec> children;
    glm::vec4 rotate{1.0f, 0.0f, 0.0f, 0.0f};  // axis x, y, z and angle in degrees (file axes)
};

void writeNode(std::ostream& out, const NodeSpec& node) {
    out << "<node id=\"" << node.name << "\" name=\"" << node.name << "\"><translate>" << node.translate.x
        << ' ' << node.translate.y << ' ' << node.translate.z << "</translate>";
    if (node.rotate.w != 0.0f) {
        out << "<rotate>" << node.rotate.x << ' ' << node.rotate.y << ' ' << node.rotate.z << ' '
            << node.rotate.w << "</rotate>";
    }
    if (node.mesh) {
        out << "<instance_geometry url=\"#tri\"><bind_material><technique_common>"
               "<instance_material symbol=\"mat\" target=\"#mat\"/></technique_common></bind_material>"
               "</instance_geometry>";
    }
    if (node.name.compare(0, 4, "Spot") == 0) out << "<instance_light url=\"#spot-light\"/>";
    for (const NodeSpec& child : node.children) writeNode(out, child);
    out << "</node>\n";
}

// A Z-up Collada file (like the house) with one triangle mesh, one material
// and one spot light, and the given node tree under the scene.
std::string writeLevel(const std::string& fileName, const std::vector<NodeSpec>& nodes) {
    const std::string path = test::scratchFolder() + fileName;
    std::ofstream out(path);
    out << R"(<?xml version="1.0" encoding="utf-8"?>
<COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1">
<asset><unit name="meter" meter="1"/><up_axis>Z_UP</up_axis></asset>
<library_lights><light id="spot-light" name="Spot"><technique_common><spot>
<color>1 0.5 0.25</color><constant_attenuation>1</constant_attenuation>
<linear_attenuation>0</linear_attenuation><quadratic_attenuation>0.01</quadratic_attenuation>
<falloff_angle>28.64788975654116</falloff_angle><falloff_exponent>0</falloff_exponent>
</spot></technique_common></light></library_lights>
<library_effects><effect id="mat-effect"><profile_COMMON><technique sid="common"><phong>
<diffuse><color>1 1 1 1</color></diffuse></phong></technique></profile_COMMON></effect></library_effects>
<library_materials><material id="mat" name="mat"><instance_effect url="#mat-effect"/></material></library_materials>
<library_geometries><geometry id="tri" name="tri"><mesh>
<source id="tri-pos"><float_array id="tri-pos-array" count="9">0 0 0 1 0 0 0 1 0</float_array>
<technique_common><accessor source="#tri-pos-array" count="3" stride="3">
<param name="X" type="float"/><param name="Y" type="float"/><param name="Z" type="float"/>
</accessor></technique_common></source>
<source id="tri-nrm"><float_array id="tri-nrm-array" count="3">0 0 1</float_array>
<technique_common><accessor source="#tri-nrm-array" count="1" stride="3">
<param name="X" type="float"/><param name="Y" type="float"/><param name="Z" type="float"/>
</accessor></technique_common></source>
<vertices id="tri-vtx"><input semantic="POSITION" source="#tri-pos"/></vertices>
<triangles material="mat" count="1"><input semantic="VERTEX" source="#tri-vtx" offset="0"/>
<input semantic="NORMAL" source="#tri-nrm" offset="1"/><p>0 0 1 0 2 0</p></triangles>
</mesh></geometry></library_geometries>
<library_visual_scenes><visual_scene id="Scene" name="Scene">
)";
    for (const NodeSpec& node : nodes) writeNode(out, node);
    out << R"(</visual_scene></library_visual_scenes>
<scene><instance_visual_scene url="#Scene"/></scene>
</COLLADA>
)";
    return path;
}

class SmallLevelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(context.ok());
        shader = std::make_unique<Shader>(kTexLightsSources);
    }
    void TearDown() override {
        level.reset();
        shader.reset();
    }
    bool load(const std::string& path) {
        level = std::make_unique<Level>();
        level->boxNames = {"Door_box"};
        test::ConsoleCapture console;
        const bool ok = level->loadLevel(path, shader.get(), nullptr);
        output = console.text();
        return ok;
    }

    test::GlTestContext context;
    std::unique_ptr<Shader> shader;
    std::unique_ptr<Level> level;
    std::string output;
};

TEST_F(SmallLevelTest, NodeNamesDecideWhatEachNodeBecomes) {
    SoundSystem::instance().releaseAll();
    const std::vector<NodeSpec> nodes{
        {"Wall_mesh_2", true, {0, 0, 0}, {}},
        {"Wall", true, {0, 0, 0}, {}},
        {"Lonely_item", false, {0, 0, 0}, {}},
        {"Zone_interactive", false, {0, 0, 0}, {}},
        {"Glass_transparent", true, {0, 0, 0}, {}},
        {"Note_hiddenText", true, {0, 0, 0}, {}},
        {"Duck_item", true, {0, 0, 0}, {}},
        {"Door_box", true, {0, 0, 0}, {{"Door_panel", true, {0, 0, 0}, {}}}},
        // Translations in the file's Z-up axes, as an author's tool writes them.
        {"Waypoint", false, {1, -2, -1}, {{"Under_box", true, {0, 0, 0}, {}}}},
        {"WaypointKitchen", false, {-3, -4.5f, -1}, {}},
        {"waypoint1", false, {5, 5, 5}, {}},
        // Under a hall moved by 10 along x and turned a quarter about the
        // file's up axis, and itself turned: the waypoint's own (2, 0, -1)
        // becomes (0, 2, -1) in the hall's frame, so it stands at file
        // (10, 2, -1), world (10, -1, -2).
        {"Hall", false, {10, 0, 0}, {{"Waypoint_05", false, {2, 0, -1}, {}, {0, 1, 0, 45}}}, {0, 0, 1, 90}},
        {"Crate_mesh",
         true,
         {10, 0, 0},
         {{"engine_sound", false, {0, 0, 0}, {}}, {"engine_soundLooped", false, {0, 0, 0}, {}}}},
    };
    ASSERT_TRUE(load(writeLevel("names.dae", nodes))) << output;
    GameObject* root = level->rootObject.get();
    ASSERT_NE(root, nullptr);

    GameObject* tagged = findInTree(root, "Wall_mesh_2");
    ASSERT_NE(tagged, nullptr);
    EXPECT_EQ(GameObject::tagOf("Wall_mesh_2"), "2");
    EXPECT_EQ(tagged->kind, 0);
    EXPECT_EQ(tagged->collisionActor, nullptr);
    GameObject* plain = findInTree(root, "Wall");
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(GameObject::tagOf("Wall"), "");
    EXPECT_EQ(plain->kind, 0);

    // Item and zone tags without a mesh make plain tree objects.
    GameObject* lonely = findInTree(root, "Lonely_item");
    ASSERT_NE(lonely, nullptr);
    EXPECT_EQ(lonely->kind, 0);
    EXPECT_EQ(level->items.count("Lonely_item"), 0u);
    ASSERT_NE(findInTree(root, "Zone_interactive"), nullptr);
    EXPECT_TRUE(level->interactives.empty());

    ASSERT_EQ(level->items.size(), 1u);
    EXPECT_EQ(level->items.count("Duck_item"), 1u);
    EXPECT_EQ(findInTree(root, "Duck_item"), nullptr);

    ASSERT_EQ(level->transparentObjects.size(), 1u);
    EXPECT_EQ(level->transparentObjects[0]->kind, static_cast<int>(PhysicsShapeKind::Box));
    EXPECT_NE(level->transparentObjects[0]->collisionActor, nullptr);
    EXPECT_EQ(findInTree(root, "Glass_transparent"), nullptr);
    ASSERT_EQ(level->hiddenTextObjects.size(), 1u);
    EXPECT_EQ(level->hiddenTextObjects[0]->kind, 0);

    ASSERT_EQ(level->boxes.count("Door_box"), 1u);
    EXPECT_EQ(level->boxes.at("Door_box")->children.size(), 1u);

    // Waypoints: exact, case-sensitive prefix; their children are never read.
    // The monster's load orders them by number: both count as 0, so they
    // end up in the reverse of file order.
    // Each stands where the file puts it in the world, turned to Y-up like
    // every mesh and light; a parent's move and turn count.
    const std::vector<Waypoint>& waypoints = level->enemy->waypoints;
    ASSERT_EQ(waypoints.size(), 3u);
    const std::pair<const char*, glm::vec3> expectedWaypoints[] = {
        {"WaypointKitchen", {-3, -1, 4.5f}}, {"Waypoint", {1, -1, 2}}, {"Waypoint_05", {10, -1, -2}}};
    for (std::size_t i = 0; i < waypoints.size(); ++i) {
        EXPECT_EQ(waypoints[i].name, expectedWaypoints[i].first);
        EXPECT_TRUE(near(waypoints[i].position, expectedWaypoints[i].second))
            << waypoints[i].name << " at " << waypoints[i].position.x << " " << waypoints[i].position.y << " "
            << waypoints[i].position.z;
    }
    EXPECT_NE(findInTree(root, "waypoint1"), nullptr);
    EXPECT_EQ(findInTree(root, "Under_box"), nullptr);

    // The first emitter of a base name wins; it sits at its parent's centre.
    // The file is Z-up: the triangle (0,0,0) (1,0,0) (0,1,0) moved by 10 in x
    // is the world box (10,0,-1)..(11,0,0).
    SoundSystem::SoundClass* engine = SoundSystem::instance().findSound("engine");
    ASSERT_NE(engine, nullptr);
    EXPECT_FALSE(engine->loop);
    EXPECT_TRUE(near(engine->position, glm::vec3(10.5f, 0.0f, -0.5f)));
    EXPECT_EQ(SoundSystem::instance().sounds().size(), 2u);  // and the monster's growl
    EXPECT_NE(SoundSystem::instance().findSound("growl1"), nullptr);
    SoundSystem::instance().releaseAll();
}

TEST_F(SmallLevelTest, SpotLightConesComeFromTheInnerAngle) {
    const std::vector<NodeSpec> nodes{{"Spot", false, {1, 2, 3}, {}}};
    ASSERT_TRUE(load(writeLevel("spot.dae", nodes))) << output;
    ASSERT_EQ(level->lights.size(), 1u);
    const Light& light = *level->lights[0];
    EXPECT_EQ(light.type, LightType::Spot);
    EXPECT_TRUE(light.enabled);
    EXPECT_TRUE(near(light.intensity, glm::vec3(1.0f, 0.5f, 0.25f)));
    // File (1, 2, 3) in Z-up is the world point (1, 3, -2).
    EXPECT_TRUE(near(light.position, glm::vec3(1.0f, 3.0f, -2.0f)));
    EXPECT_NEAR(light.coneInnerAngle, std::cos(0.5f), 1e-4f);
    EXPECT_NEAR(light.coneOuterAngle, std::cos(0.7f), 1e-4f);
    EXPECT_TRUE(near(light.coneDirection, glm::vec3(0.0f, -1.0f, 0.0f)));
    EXPECT_FLOAT_EQ(light.constAttenuation, 1.0f);
    EXPECT_FLOAT_EQ(light.quadraticAttenuation, 0.01f);
}

TEST_F(SmallLevelTest, TiltedSpotLightsShineWhereTheirNodesAim) {
    // A spot shines along its node's -Z. Turned a quarter about the file's X,
    // it points along the file's +Y, which is the world's -Z; turned about
    // the file's Y it points along -X in both.
    const std::vector<NodeSpec> nodes{{"Spot", false, {1, 2, 3}, {}, {1, 0, 0, 90}},
                                      {"Spot2", false, {0, 0, 0}, {}, {0, 1, 0, 90}},
                                      {"Spot3", false, {0, 0, 0}, {}}};
    ASSERT_TRUE(load(writeLevel("tilted.dae", nodes))) << output;
    ASSERT_EQ(level->lights.size(), 3u);
    EXPECT_TRUE(near(level->lights[0]->coneDirection, glm::vec3(0.0f, 0.0f, -1.0f)))
        << level->lights[0]->coneDirection.x << " " << level->lights[0]->coneDirection.y << " "
        << level->lights[0]->coneDirection.z;
    EXPECT_TRUE(near(level->lights[0]->position, glm::vec3(1.0f, 3.0f, -2.0f)));
    EXPECT_TRUE(near(level->lights[1]->coneDirection, glm::vec3(-1.0f, 0.0f, 0.0f)));
    // Untilted it still points straight down.
    EXPECT_TRUE(near(level->lights[2]->coneDirection, glm::vec3(0.0f, -1.0f, 0.0f)));
}

// The names of the level actors a vertical ray through the physics world
// meets at the world's (x, z).
std::set<std::string> actorsStruckDownAt(const glm::vec3& at) {
    btCollisionWorld& world = PhysicsWorld::instance().collisionWorld();
    const btVector3 from(at.x, 50.0f, at.z);
    const btVector3 to(at.x, -10.0f, at.z);
    btCollisionWorld::AllHitsRayResultCallback hits(from, to);
    world.rayTest(from, to, hits);
    std::set<std::string> names;
    for (int i = 0; i < hits.m_collisionObjects.size(); ++i) {
        const PhysicsActor* actor = PhysicsActor::fromObject(hits.m_collisionObjects[i]);
        if (actor != nullptr && !actor->isTrigger()) names.insert(actor->name());
    }
    return names;
}

TEST_F(SmallLevelTest, TurnedDoorKeepsItsCollidersOnItsMeshThroughTheMove) {
    // A door turned a quarter about the file's up axis slides along its own
    // -Y, which is then the world's +x; a latch on it rides along.
    const std::vector<NodeSpec> nodes{
        {"Door_box", true, {5, 0, 0}, {{"Latch_box", true, {0, 0, 1}, {}}}, {0, 0, 1, 90}}};
    ASSERT_TRUE(load(writeLevel("turned_door.dae", nodes))) << output;
    ASSERT_EQ(level->boxes.count("Door_box"), 1u);
    GameObject* door = level->boxes.at("Door_box");
    ASSERT_EQ(door->children.size(), 1u);
    GameObject* latch = door->children[0].get();
    // The file's triangle (0,0,0) (1,0,0) (0,1,0) through an object's model
    // matrix: its world corners and their centre.
    auto corners = [](const GameObject& object) {
        std::vector<glm::vec3> out;
        for (const glm::vec3& p : {glm::vec3(0, 0, 0), glm::vec3(1, 0, 0), glm::vec3(0, 1, 0)}) {
            out.emplace_back(object.mesh->modelMatrix * glm::vec4(p, 1.0f));
        }
        return out;
    };
    auto centre = [&](const GameObject& object) {
        const std::vector<glm::vec3> c = corners(object);
        return (c[0] + c[1] + c[2]) / 3.0f;
    };
    const glm::vec3 doorStart = centre(*door);
    const glm::vec3 latchStart = centre(*latch);
    ASSERT_TRUE(near(doorStart, glm::vec3(14.0f / 3.0f, 0.0f, -1.0f / 3.0f)))
        << doorStart.x << " " << doorStart.z;
    const std::set<std::string> both{"Door_box", "Latch_box"};
    EXPECT_EQ(actorsStruckDownAt(doorStart), both);

    door->moveBy(glm::vec3(0.0f, -5.0f, 0.0f));
    for (int step = 1; step <= 300; ++step) {
        door->update(1.0f / 60.0f);
        if (step % 50 != 0) continue;
        // Wherever the mesh is, its colliders are there too, and its bounds
        // are the box of its moved corners.
        EXPECT_EQ(actorsStruckDownAt(centre(*door)), both) << "step " << step;
        EXPECT_EQ(actorsStruckDownAt(centre(*latch)), both) << "step " << step;
        for (GameObject* object : {door, latch}) {
            const std::vector<glm::vec3> c = corners(*object);
            const glm::vec3 lo = glm::min(c[0], glm::min(c[1], c[2]));
            const glm::vec3 hi = glm::max(c[0], glm::max(c[1], c[2]));
            const std::array<float, 6>& b = *object->bounds;
            EXPECT_TRUE(near(glm::vec3(b[0], b[1], b[2]), lo) && near(glm::vec3(b[3], b[4], b[5]), hi))
                << object->mesh->name << " step " << step << ": bounds from " << b[0] << " " << b[2]
                << ", mesh from " << lo.x << " " << lo.z;
        }
    }
    EXPECT_TRUE(near(centre(*door) - doorStart, glm::vec3(5.0f, 0.0f, 0.0f)));
    EXPECT_TRUE(near(centre(*latch) - latchStart, glm::vec3(5.0f, 0.0f, 0.0f)));
    EXPECT_TRUE(actorsStruckDownAt(doorStart).empty());
}

TEST_F(SmallLevelTest, PuzzlePiecesTheLevelLacksAreReportedOnceAndPlayGoesOn) {
    SoundSystem::instance().releaseAll();
    GameSettings::instance().playerWon = false;
    // The statue with its banana, the sink and the generator without their
    // items or boxes; no flashlight, can, file, cabinet, sounds or TV node.
    const std::vector<NodeSpec> nodes{
        {"Suzanne_interactive", true, {0, 0, 0}, {}}, {"Banana_item", true, {3, 0, 0}, {}},
        {"sink_interactive", true, {6, 0, 0}, {}},    {"Generator_interactive", true, {9, 0, 0}, {}},
        {"Duck_item", true, {12, 0, 0}, {}},
    };
    ASSERT_TRUE(load(writeLevel("partial.dae", nodes))) << output;
    level->boxNames = {"Door_box", "Shower_door_box", "Racking_CrossBeams31_box"};
    level->tvFrames.push_back(nullptr);  // frames found, but no TV to show them on
    std::string report;
    {
        test::ConsoleCapture console;
        level->setUpItemsAndSwitches();
        report = console.text();
    }
    auto count = [&](const std::string& line) {
        std::size_t n = 0;
        for (std::size_t at = report.find(line); at != std::string::npos; at = report.find(line, at + 1)) ++n;
        return n;
    };
    for (const char* name : {"Flashlight_item", "can_item", "file_item"}) {
        EXPECT_EQ(count(std::string("Level has no item ") + name + "\n"), 1u) << report;
    }
    EXPECT_EQ(count("Level has no interaction zone cabinet_interactive"), 1u) << report;
    EXPECT_EQ(count("Level has no box Door_box"), 1u) << report;
    EXPECT_EQ(count("Level has no box Shower_door_box"), 1u) << report;
    EXPECT_EQ(count("Level has no sound engine"), 1u) << report;
    EXPECT_EQ(count("Level has no sound bang"), 1u) << report;
    EXPECT_EQ(count("TV_Animated"), 1u) << report;
    EXPECT_EQ(count("Level has no"), 9u) << report;  // nothing present is reported

    EXPECT_EQ(level->switches.size(), 3u);
    EXPECT_EQ(level->switches.count("cabinet_interactive"), 0u);
    EXPECT_EQ(level->itemsInWorld.size(), 2u);
    EXPECT_TRUE(level->interactives.empty());
    EXPECT_TRUE(level->boxNames.empty());

    // Everything present still works; what is missing does nothing. The eye
    // stands at each target in turn (the zones' boxes in the row would hide
    // the ones further along).
    Player& player = level->player;
    auto pressEAt = [&](const char* name, int kind) {
        player.targetName = name;
        player.targetKind = kind;
        const GameObject* object = level->targetObject(name);
        if (object != nullptr) player.eyePosition = object->boundsCentre();
        return level->interact();
    };
    test::ConsoleCapture console;
    EXPECT_EQ(pressEAt("Banana_item", 1), InteractOutcome::PickedUp);
    EXPECT_EQ(pressEAt("Suzanne_interactive", 2), InteractOutcome::Used);  // no door to open
    // Left out: nothing, and it is no target one can reach.
    EXPECT_EQ(pressEAt("cabinet_interactive", 2), InteractOutcome::OutOfReach);
    EXPECT_EQ(pressEAt("Generator_interactive", 2), InteractOutcome::MissingItem);  // its can is missing
    EXPECT_EQ(pressEAt("Duck_item", 1), InteractOutcome::PickedUp);
    EXPECT_EQ(pressEAt("sink_interactive", 2), InteractOutcome::Used);
    EXPECT_EQ(console.text(),
              "Picked up item: Banana_item\nInteracting with: Suzanne_interactive\n"
              "Can't interact with that target.\nPicked up item: Duck_item\n"
              "Interacting with: sink_interactive\n");
    EXPECT_TRUE(GameSettings::instance().playerWon);
    GameSettings::instance().playerWon = false;

    level->updateTv(1.0f);
    EXPECT_EQ(level->tvFrameIndex, 0);
}

TEST_F(SmallLevelTest, SwitchesWithoutTheirSoundsStillOpenAndRemove) {
    SoundSystem::instance().releaseAll();
    const std::vector<NodeSpec> nodes{
        {"Generator_interactive", true, {0, 0, 0}, {}},
        {"cabinet_interactive", true, {3, 0, 0}, {}},
        {"can_item", true, {6, 0, 0}, {}},
        {"file_item", true, {9, 0, 0}, {}},
        {"Shower_door_box", true, {12, 0, 0}, {{"ShowerDoorHandle", true, {0, 0, 1}, {}}}},
        {"Racking_CrossBeams31_box", true, {15, 0, 0}, {}},
    };
    const std::string path = writeLevel("silent.dae", nodes);
    level = std::make_unique<Level>();
    level->boxNames = {"Door_box", "Shower_door_box", "Racking_CrossBeams31_box"};
    {
        test::ConsoleCapture quiet;
        ASSERT_TRUE(level->loadLevel(path, shader.get(), nullptr));
        level->setUpItemsAndSwitches();
    }
    Player& player = level->player;
    player.inventory["can_item"] = level->items.at("can_item").get();
    player.inventory["file_item"] = level->items.at("file_item").get();
    GameObject* shower = level->switches.at("Generator_interactive")->box;
    GameObject* rack = level->switches.at("cabinet_interactive")->box;
    ASSERT_NE(shower, nullptr);
    ASSERT_NE(rack, nullptr);

    test::ConsoleCapture console;
    player.targetKind = 2;
    player.targetName = "Generator_interactive";
    level->interact();
    player.targetName = "cabinet_interactive";
    level->interact();
    EXPECT_EQ(console.text(),
              "Interacting with: Generator_interactive\nInteracting with: cabinet_interactive\n");
    EXPECT_EQ(shower->moveStepsLeft, 300);
    EXPECT_FALSE(rack->visible);
    EXPECT_EQ(rack->collisionActor, nullptr);
    EXPECT_EQ(SoundSystem::instance().channel("engine"), AudioChannel());
}

TEST_F(SmallLevelTest, UnreadableFileIsReportedAndBuildsNothing) {
    level = std::make_unique<Level>();
    {
        test::ConsoleCapture console;
        EXPECT_FALSE(level->loadLevel("Assets\\no_such_level.dae", shader.get(), nullptr));
        output = console.text();
    }
    EXPECT_EQ(output.rfind("Error parsing Assets\\no_such_level.dae: ", 0), 0u) << output;
    EXPECT_EQ(output.back(), '\n');
    EXPECT_EQ(level->scene, nullptr);
    EXPECT_EQ(level->rootObject, nullptr);
    EXPECT_TRUE(level->lights.empty());

    const std::string broken = test::scratchFolder() + "broken.dae";
    std::ofstream(broken) << "<COLLADA><library_visual_scenes>";
    {
        test::ConsoleCapture console;
        EXPECT_FALSE(level->loadLevel(broken, shader.get(), nullptr));
        output = console.text();
    }
    EXPECT_EQ(output.rfind("Error parsing " + broken + ": ", 0), 0u) << output;
    EXPECT_EQ(level->rootObject, nullptr);
}

TEST(MaterialTexturesTest, FolderIsTakenUpToTheLastBackslash) {
    test::GlTestContext context;
    ASSERT_TRUE(context.ok());
    ReferenceScene reference("Assets/house1.dae");
    ASSERT_NE(reference.scene, nullptr);
    // The same scene under a key with no folder looks in "." and finds nothing
    // there; the cache reports it and stores nothing.
    test::ConsoleCapture console;
    loadMaterialTextures(reference.scene, "elsewhere.dae");
    EXPECT_EQ(TextureCache::instance().find("elsewhere.dae0"), nullptr);
    EXPECT_FALSE(console.text().empty());
    loadMaterialTextures(reference.scene, "Assets\\copy.dae");
    EXPECT_NE(TextureCache::instance().find("Assets\\copy.dae0"), nullptr);
}

}  // namespace
}  // namespace vestrel
