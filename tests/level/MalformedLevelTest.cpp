// Damaged copies of the shipped house, written by the test: each must be
// refused with "Error parsing " or load with the damage reported and left
// out, never crash the loader, the renderer's buffers or the collision world.

#include <gtest/gtest.h>

#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <assimp/Importer.hpp>

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>

#include "ScratchFolder.h"
#include "level/GameObject.h"
#include "level/Level.h"
#include "physics/PhysicsActor.h"
#include "render/Mesh.h"
#include "render/Shader.h"
#include "render/SkinnedModel.h"
#include "render/TextureCache.h"
#include "support/ConsoleCapture.h"
#include "support/GlTestContext.h"

namespace vestrel {
namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Replaces the first `from` after `after` (or from the start) by `to`;
// fails the test when the house no longer contains it.
std::string replaceOnce(std::string text, const std::string& from, const std::string& to,
                        const std::string& after = std::string()) {
    std::size_t start = after.empty() ? 0 : text.find(after);
    EXPECT_NE(start, std::string::npos) << after;
    if (start == std::string::npos) return text;
    const std::size_t at = text.find(from, start);
    EXPECT_NE(at, std::string::npos) << from;
    if (at == std::string::npos) return text;
    return text.replace(at, from.size(), to);
}

GameObject* findObject(GameObject* object, const std::string& name) {
    if (object == nullptr) return nullptr;
    if (object->mesh && object->mesh->name == name) return object;
    for (const auto& child : object->children) {
        if (GameObject* found = findObject(child.get(), name)) return found;
    }
    return nullptr;
}

bool finiteBounds(const GameObject& object) {
    if (!object.bounds) return false;
    for (float v : *object.bounds) {
        if (!std::isfinite(v)) return false;
    }
    return true;
}

// The floor of the living room: a "_mesh" node, so a triangle collider.
const char* const kFloorPositions =
    "<float_array id=\"LivingFloor_mesh-mesh-positions-array\" count=\"297\">";

class MalformedLevelTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        house = new std::string(readFile("Assets/house1.dae"));
        // Each case lives in a folder of its own with the house's textures,
        // named with a backslash as the game names its level.
        folder = new std::string(test::scratchFolder() + "vestrel_malformed");
        std::remove((*folder + "/Textures").c_str());
        ::mkdir(folder->c_str(), 0755);
        char cwd[4096];
        ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
        ASSERT_EQ(symlink((std::string(cwd) + "/Assets/Textures").c_str(), (*folder + "/Textures").c_str()),
                  0);
    }
    static void TearDownTestSuite() {
        std::remove((*folder + "/Textures").c_str());
        delete house;
        delete folder;
    }
    void SetUp() override {
        ASSERT_FALSE(house->empty()) << "run from the repository root";
        ASSERT_TRUE(context.ok());
        shader = std::make_unique<Shader>(kTexLightsSources);
    }
    void TearDown() override {
        level.reset();
        shader.reset();
    }

    // Writes `text` as <folder>\<name>.dae and loads it into a fresh Level.
    bool load(const std::string& name, const std::string& text) {
        path = *folder + "\\" + name + ".dae";
        written.push_back(*folder + "/" + name + ".dae");
        std::ofstream(written.back(), std::ios::binary) << text;
        level = std::make_unique<Level>();
        test::ConsoleCapture console;
        const bool ok = level->loadLevel(path, shader.get(), nullptr);
        output = console.text();
        return ok;
    }
    bool refused() const { return output.rfind("Error parsing " + path + ": ", 0) == 0; }

    // The material index whose diffuse texture the file names as `image`.
    int materialWithImage(const std::string& image) {
        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFile(written.back(), aiProcess_ValidateDataStructure);
        for (unsigned i = 0; scene != nullptr && i < scene->mNumMaterials; ++i) {
            aiString texture;
            if (scene->mMaterials[i]->GetTexture(aiTextureType_DIFFUSE, 0, &texture) == aiReturn_SUCCESS &&
                image == texture.C_Str()) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }

    static std::string* house;
    static std::string* folder;
    test::GlTestContext context;
    std::unique_ptr<Shader> shader;
    std::unique_ptr<Level> level;
    std::string path;
    std::string output;
    std::vector<std::string> written;

public:
    ~MalformedLevelTest() override {
        for (const std::string& file : written) std::remove(file.c_str());
    }
};

std::string* MalformedLevelTest::house = nullptr;
std::string* MalformedLevelTest::folder = nullptr;

TEST_F(MalformedLevelTest, UnreadableFilesAreRefusedAndBuildNothing) {
    const std::string random = [] {
        std::string bytes(4096, '\0');
        unsigned seed = 99u;
        for (char& c : bytes) {
            seed = seed * 1103515245u + 12345u;
            c = static_cast<char>(seed >> 16);
        }
        return bytes;
    }();
    const std::pair<const char*, std::string> cases[] = {
        {"empty", ""},
        {"truncated", house->substr(0, house->size() / 2)},
        {"random", random},
        {"random_xml", "<?xml version=\"1.0\"?>\n<COLLADA>" + random},
    };
    for (const auto& [name, text] : cases) {
        EXPECT_FALSE(load(name, text)) << name;
        EXPECT_TRUE(refused()) << name << ": " << output;
        EXPECT_EQ(level->rootObject, nullptr) << name;
        EXPECT_TRUE(level->lights.empty()) << name;
    }

    // A folder in the file's place is refused without being read.
    path = *folder + "\\a_folder.dae";
    const std::string native = *folder + "/a_folder.dae";
    ASSERT_EQ(::mkdir(native.c_str(), 0755), 0);
    level = std::make_unique<Level>();
    {
        test::ConsoleCapture console;
        EXPECT_FALSE(level->loadLevel(path, shader.get(), nullptr));
        output = console.text();
    }
    ::rmdir(native.c_str());
    EXPECT_EQ(output, "Error parsing " + path + ": a folder, not a file\n");
    EXPECT_EQ(level->rootObject, nullptr);
}

TEST_F(MalformedLevelTest, DeepNestingIsRefusedBeforeImport) {
    std::string deep;
    const int levels = 50000;
    for (int i = 0; i < levels; ++i) deep += "<node name=\"n\">";
    for (int i = 0; i < levels; ++i) deep += "</node>";
    EXPECT_FALSE(load("deep", replaceOnce(*house, "<visual_scene id=\"Scene\" name=\"Scene\">",
                                          "<visual_scene id=\"Scene\" name=\"Scene\">" + deep)));
    EXPECT_EQ(output, "Error parsing " + path + ": elements nested deeper than 256 levels\n");
    EXPECT_EQ(level->scene, nullptr);

    // The limit itself: the house is three elements down to its scene's
    // nodes, so 250 nested nodes stay inside it and still load.
    std::string allowed;
    for (int i = 0; i < 250; ++i)
        allowed += "<node id=\"n" + std::to_string(i) + "\" name=\"n" + std::to_string(i) + "\">";
    for (int i = 0; i < 250; ++i) allowed += "</node>";
    EXPECT_TRUE(load("nested", replaceOnce(*house, "<visual_scene id=\"Scene\" name=\"Scene\">",
                                           "<visual_scene id=\"Scene\" name=\"Scene\">" + allowed)))
        << output;
    EXPECT_NE(findObject(level->rootObject.get(), "n249"), nullptr);
}

TEST(XmlNestingDepth, CountsElementsOnlyAndStopsPastTheLimit) {
    // A '>' or a whole tag inside an attribute value, in either kind of quote,
    // neither ends the tag nor opens an element.
    EXPECT_EQ(xmlNestingDepth("<a><b/><c x='> <e>'><d></d></c></a>", 10), 3);
    EXPECT_EQ(xmlNestingDepth("<a><b/><c x=\"> <e>\"><d></d></c></a>", 10), 3);
    // Comments, CDATA and declarations do not nest.
    EXPECT_EQ(
        xmlNestingDepth("\xEF\xBB\xBF <?xml v?><!DOCTYPE x><a><!-- <b><c> --><![CDATA[<d><e>]]></a>", 10), 1);
    EXPECT_EQ(xmlNestingDepth("<a><a><a><a>", 2), 3);
    // Stray closing tags close nothing, so they cannot make room for more depth.
    EXPECT_EQ(xmlNestingDepth("<r></r></r></r><a><a><a>", 2), 3);
    EXPECT_EQ(xmlNestingDepth("binary <a><a>", 0), 0);  // not XML: left to the importer
}

TEST_F(MalformedLevelTest, NonFinitePositionsDropTheirTrianglesOnly) {
    ASSERT_TRUE(load("intact", *house)) << output;
    const std::array<float, 6> intactBounds =
        *findObject(level->rootObject.get(), "LivingFloor_mesh")->bounds;
    // The floor's first vertex at NaN, its second at infinity.
    const std::string text =
        replaceOnce(*house, std::string(kFloorPositions) + "-10.0000 -8.0000 0.0000 -8.0000",
                    std::string(kFloorPositions) + "nan -8.0000 0.0000 inf");
    ASSERT_TRUE(load("nan", text)) << output;
    EXPECT_NE(output.find("Mesh LivingFloor_mesh in " + path + ": dropped "), std::string::npos) << output;
    EXPECT_NE(output.find(" triangles with NaN or infinite positions"), std::string::npos) << output;

    GameObject* floor = findObject(level->rootObject.get(), "LivingFloor_mesh");
    ASSERT_NE(floor, nullptr);
    // The rest of the floor is drawn and still collides; its box ignores the
    // bad corners, so it is the undamaged floor's (other vertices share
    // the bad ones' coordinates).
    EXPECT_GT(floor->mesh->indexCount, 0u);
    EXPECT_LT(floor->mesh->indexCount, 160u * 3u);
    EXPECT_EQ(floor->mesh->indexCount % 3, 0u);
    for (std::uint32_t index : floor->mesh->indices) {
        EXPECT_TRUE(std::isfinite(floor->mesh->worldPositions[index].x));
    }
    EXPECT_NE(floor->collisionActor, nullptr);
    ASSERT_TRUE(finiteBounds(*floor));
    for (int i = 0; i < 6; ++i) EXPECT_FLOAT_EQ((*floor->bounds)[i], intactBounds[i]) << i;
}

TEST_F(MalformedLevelTest, AFloorWhollyAtInfinityGetsNoColliderAndTheLevelGoesOn) {
    // Every floor vertex through a node matrix that scales by infinity.
    const std::string text =
        replaceOnce(*house, "<matrix sid=\"transform\">1 0 0", "<matrix sid=\"transform\">inf 0 0",
                    "<node id=\"LivingFloor_mesh\"");
    ASSERT_TRUE(load("infinite_matrix", text)) << output;
    EXPECT_NE(output.find("Mesh LivingFloor_mesh in " + path + ": dropped "), std::string::npos) << output;
    EXPECT_NE(output.find("Mesh LivingFloor_mesh: no valid triangles left; no collider built"),
              std::string::npos)
        << output;
    GameObject* floor = findObject(level->rootObject.get(), "LivingFloor_mesh");
    ASSERT_NE(floor, nullptr);
    EXPECT_EQ(floor->mesh->indexCount, 0u);
    EXPECT_EQ(floor->collisionActor, nullptr);
    // The walls beside it are untouched.
    GameObject* walls = findObject(level->rootObject.get(), "LivingWalls_mesh");
    ASSERT_NE(walls, nullptr);
    EXPECT_NE(walls->collisionActor, nullptr);
}

TEST_F(MalformedLevelTest, BrokenGeometryIsRefusedOrLeftOut) {
    // Each of these either fails the importer's own checks ("Error parsing")
    // or loads with the damage kept out of the buffers and colliders.
    const std::string floorPositionsAccessor =
        "<accessor source=\"#LivingFloor_mesh-mesh-positions-array\" count=\"99\"";
    const std::pair<const char*, std::string> cases[] = {
        {"accessor_past_array",
         replaceOnce(*house, floorPositionsAccessor,
                     "<accessor source=\"#LivingFloor_mesh-mesh-positions-array\" count=\"100000\"")},
        {"index_out_of_range",
         replaceOnce(*house, "<p>", "<p>4000000000 ", "<triangles material=\"wood_floor-material\"")},
        {"index_negative",
         replaceOnce(*house, "<p>", "<p>-7 ", "<triangles material=\"wood_floor-material\"")},
        {"matrix_of_15",
         replaceOnce(*house, " 0 0 0 1</matrix>", " 0 0 0</matrix>", "<node id=\"LivingFloor_mesh\"")},
    };
    for (const auto& [name, text] : cases) {
        const bool loaded = load(name, text);
        if (!loaded) {
            EXPECT_TRUE(refused()) << name << ": " << output;
            EXPECT_EQ(level->rootObject, nullptr) << name;
            continue;
        }
        GameObject* floor = findObject(level->rootObject.get(), "LivingFloor_mesh");
        ASSERT_NE(floor, nullptr) << name << ": " << output;
        for (std::uint32_t index : floor->mesh->indices) {
            ASSERT_LT(index, floor->mesh->vertexCount) << name;
        }
        EXPECT_TRUE(finiteBounds(*floor)) << name;
        std::cout << "  " << name << ": loaded, floor keeps " << floor->mesh->indexCount / 3
                  << " triangles\n";
    }
}

TEST_F(MalformedLevelTest, ZeroAreaTrianglesAndMissingNormalsStillLoad) {
    // All of the floor's triangles collapse onto its first vertex's edge.
    std::string text =
        replaceOnce(*house, "<p>", "<p>0 0 0 1 1 1 ", "<triangles material=\"wood_floor-material\"");
    text = replaceOnce(text, "<triangles material=\"wood_floor-material\" count=\"160\">",
                       "<triangles material=\"wood_floor-material\" count=\"162\">");
    ASSERT_TRUE(load("zero_area", text)) << output;
    GameObject* floor = findObject(level->rootObject.get(), "LivingFloor_mesh");
    ASSERT_NE(floor, nullptr);
    EXPECT_NE(floor->collisionActor, nullptr);
    EXPECT_TRUE(finiteBounds(*floor));

    const std::string noNormals = replaceOnce(
        *house, "<input semantic=\"NORMAL\" source=\"#LivingFloor_mesh-mesh-normals\" offset=\"0\"/>", "");
    ASSERT_TRUE(load("no_normals", noNormals)) << output;
    EXPECT_NE(output.find("Mesh LivingFloor_mesh: no normals, lit as facing up"), std::string::npos)
        << output;
    floor = findObject(level->rootObject.get(), "LivingFloor_mesh");
    ASSERT_NE(floor, nullptr);
    EXPECT_EQ(floor->mesh->indexCount, 160u * 3u);
    EXPECT_NE(floor->collisionActor, nullptr);
}

TEST_F(MalformedLevelTest, NoVisualSceneIsRefused) {
    std::string text = replaceOnce(*house, "<scene><instance_visual_scene url=\"#Scene\"/></scene>", "");
    const std::size_t from = text.find("<library_visual_scenes>");
    const std::size_t to = text.find("</library_visual_scenes>");
    ASSERT_NE(from, std::string::npos);
    text.erase(from, to + std::string("</library_visual_scenes>").size() - from);
    const bool loaded = load("no_scene", text);
    if (loaded) {
        // An importer that makes an empty root is as good: nothing is built.
        ASSERT_NE(level->rootObject, nullptr);
        EXPECT_TRUE(level->rootObject->children.empty());
    } else {
        EXPECT_TRUE(refused()) << output;
    }
}

TEST_F(MalformedLevelTest, MaterialImagesResolveOnlyInsideTheLevelFolder) {
    const std::string wallpaper = "<init_from>Textures/wallpaper.png</init_from>";
    const std::string plaster = "<init_from>Textures/plaster.png</init_from>";
    const std::string concrete = "<init_from>Textures/concrete.png</init_from>";
    const std::string wood = "<init_from>Textures/wood_floor.png</init_from>";
    const std::string tiles = "<init_from>Textures/tiles.png</init_from>";
    const std::string metal = "<init_from>Textures/metal.png</init_from>";
    std::string text = replaceOnce(*house, wallpaper, "<init_from>../../../../../../etc/passwd</init_from>");
    text = replaceOnce(text, plaster, "<init_from>/etc/passwd</init_from>");
    // Down one and up two: one level above the level's folder.
    text = replaceOnce(text, metal, "<init_from>Textures/../../metal_outside.png</init_from>");
    text = replaceOnce(text, concrete, "<init_from>Textures/no_such_image.png</init_from>");
    // Down and back up stays inside.
    text = replaceOnce(text, wood, "<init_from>Textures/../Textures/wood_floor.png</init_from>");
    // An exporter's absolute path to an image the author then put in Textures/.
    text = replaceOnce(text, tiles, "<init_from>C:/Users/author/house/tiles.png</init_from>");
    ASSERT_TRUE(load("images", text)) << output;

    const int climbing = materialWithImage("../../../../../../etc/passwd");
    const int absolute = materialWithImage("/etc/passwd");
    const int oneUp = materialWithImage("Textures/../../metal_outside.png");
    const int missing = materialWithImage("Textures/no_such_image.png");
    const int roundabout = materialWithImage("Textures/../Textures/wood_floor.png");
    const int exported = materialWithImage("C:/Users/author/house/tiles.png");
    ASSERT_GE(exported, 0);
    ASSERT_GE(climbing, 0);
    ASSERT_GE(absolute, 0);
    ASSERT_GE(oneUp, 0);
    ASSERT_GE(missing, 0);
    ASSERT_GE(roundabout, 0);
    TextureCache& cache = TextureCache::instance();
    EXPECT_EQ(cache.find(path + std::to_string(climbing)), nullptr);
    EXPECT_EQ(cache.find(path + std::to_string(absolute)), nullptr);
    EXPECT_EQ(cache.find(path + std::to_string(missing)), nullptr);
    EXPECT_NE(cache.find(path + std::to_string(roundabout)), nullptr);
    EXPECT_NE(cache.find(path + std::to_string(exported)), nullptr);
    EXPECT_NE(output.find("of material " + std::to_string(exported) + " in " + path +
                          " is outside the level's folder; using Textures/tiles.png"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("Texture \"../../../../../../etc/passwd\" of material " + std::to_string(climbing) +
                          " in " + path + " is outside the level's folder; not loaded"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("Texture \"/etc/passwd\" of material " + std::to_string(absolute)),
              std::string::npos)
        << output;
    EXPECT_EQ(cache.find(path + std::to_string(oneUp)), nullptr);
    EXPECT_NE(
        output.find("Texture \"Textures/../../metal_outside.png\" of material " + std::to_string(oneUp) +
                    " in " + path + " is outside the level's folder; not loaded"),
        std::string::npos)
        << output;
    // The missing image is the cache's to report; the refused ones never reach it.
    EXPECT_NE(output.find("no_such_image.png"), std::string::npos) << output;
    EXPECT_EQ(output.find(*folder + "/../"), std::string::npos) << output;
    EXPECT_EQ(output.find(*folder + "//etc"), std::string::npos) << output;
}

// Damaged copies of the monster's model through the skinned model's own
// loader: each is refused with the fixed headline and a second line that
// names the file and the reason. None may crash it: 50,000 nested nodes
// exhaust the importer's stack unless the nesting guard stops them first.
TEST(DamagedMonsterModel, EveryDamagedCopyIsRefusedNamingTheFileAndTheReason) {
    const std::string model = readFile("Assets/enemy_rigged.dae");
    ASSERT_FALSE(model.empty()) << "run from the repository root";
    EXPECT_LE(xmlNestingDepth(model, kMaxColladaNesting), 16);
    std::string random(4096, '\0');
    unsigned seed = 7u;
    for (char& c : random) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 16);
    }
    std::string deep = model;
    const std::size_t scene = deep.find("<visual_scene");
    ASSERT_NE(scene, std::string::npos);
    std::string nodes;
    for (int i = 0; i < 50000; ++i) nodes += "<node>";
    for (int i = 0; i < 50000; ++i) nodes += "</node>";
    deep.insert(deep.find('>', scene) + 1, nodes);

    char pattern[] = "/tmp/vestrel_monster_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string folder = pattern;
    enum class Make { File, Folder, Nothing };
    struct Case {
        const char* name;
        Make make;
        std::string text;
        std::string reason;  // empty: the importer's own words
    };
    const Case cases[] = {
        {"empty", Make::File, "", ""},
        {"truncated", Make::File, model.substr(0, model.size() / 2), ""},
        {"random", Make::File, random, ""},
        {"deep", Make::File, deep, "elements nested deeper than 256 levels"},
        {"folder", Make::Folder, "", "a folder, not a file"},
        {"missing", Make::Nothing, "", ""},
    };
    for (const Case& c : cases) {
        const std::string path = folder + "/" + c.name + ".dae";
        if (c.make == Make::File) std::ofstream(path, std::ios::binary) << c.text;
        if (c.make == Make::Folder) {
            ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);
        }
        SkinnedModel monster;
        std::string output;
        {
            test::ConsoleCapture console;
            EXPECT_FALSE(monster.load(path, nullptr, nullptr)) << c.name;
            output = console.text();
        }
        EXPECT_EQ(monster.scene, nullptr) << c.name;
        EXPECT_TRUE(monster.parts.empty()) << c.name;
        const std::string headline = "Loading model failed.\nError parsing " + path + ": ";
        ASSERT_EQ(output.compare(0, headline.size(), headline), 0) << c.name << ": " << output;
        const std::string reason = output.substr(headline.size());
        if (!c.reason.empty()) {
            EXPECT_EQ(reason, c.reason + "\n") << c.name;
        } else {
            // One more line, with something in it.
            EXPECT_GT(reason.size(), 1u) << c.name;
            EXPECT_EQ(reason.find('\n'), reason.size() - 1) << c.name << ": " << reason;
        }
        if (c.make == Make::Folder) {
            ::rmdir(path.c_str());
        } else {
            std::remove(path.c_str());
        }
    }
    ::rmdir(folder.c_str());
}

}  // namespace
}  // namespace vestrel
