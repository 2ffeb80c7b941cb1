// The house level as the level loader reads it: names, meshes, materials, lights, emitters
// and waypoints, and the generator that writes it.
#include <IL/il.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "assets/HouseScene.h"

namespace vestrel::housetest {
namespace {

namespace fs = std::filesystem;

// The level path as the game spells it; material textures are loaded from its folder.
constexpr const char* kGameLevelPath = "Assets\\house1.dae";

const std::vector<std::string> kUniqueNames = {
    "Door_box",
    "Shower_door_box",
    "Racking_CrossBeams31_box",
    "Suzanne_interactive",
    "sink_interactive",
    "Generator_interactive",
    "cabinet_interactive",
    "Flashlight_item",
    "Banana_item",
    "Duck_item",
    "can_item",
    "file_item",
    "TV_Animated",
    "waterdrip_soundLooped",
    "engine_sound",
    "bang_sound",
};

std::string gameTextureFolder() {
    // The folder is the level path up to its last backslash, then "/" + the texture path.
    const std::string level = kGameLevelPath;
    const auto slash = level.rfind('\\');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "\\";
    return level.substr(0, slash);
}

class HouseAssetTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { house_ = new HouseScene(); }
    static void TearDownTestSuite() {
        delete house_;
        house_ = nullptr;
    }
    static const HouseScene& house() { return *house_; }

    void SetUp() override { ASSERT_NE(house_->scene(), nullptr) << kHousePath << ": " << house_->error(); }

    static HouseScene* house_;
};
HouseScene* HouseAssetTest::house_ = nullptr;

TEST_F(HouseAssetTest, GameplayNodesArePresentExactlyOnceAndNamesAreUnique) {
    for (const std::string& name : kUniqueNames) {
        EXPECT_EQ(house().named(name).size(), 1u) << name;
    }
    std::map<std::string, int> seen;
    for (const HouseNode& n : house().nodes()) ++seen[n.name];
    for (const auto& [name, count] : seen) EXPECT_EQ(count, 1) << "duplicate node name " << name;

    // Items and zones get their kind only with a mesh; without one they would silently be
    // plain decoration and the puzzle could not be solved.
    for (const HouseNode& n : house().nodes()) {
        if (n.tag == "item" || n.tag == "interactive" || n.tag == "box" || n.tag == "transparent" ||
            n.tag == "hiddenText" || n.name == "TV_Animated") {
            EXPECT_NE(n.mesh, nullptr) << n.name << " needs geometry";
        }
    }
}

TEST_F(HouseAssetTest, MovableBoxesCarryVisibleChildMeshes) {
    for (const char* name : {"Door_box", "Shower_door_box", "Racking_CrossBeams31_box"}) {
        const HouseNode* box = house().find(name);
        ASSERT_NE(box, nullptr) << name;
        int visibleChildren = 0;
        for (const HouseNode& n : house().nodes()) {
            if (n.parent == box && n.mesh != nullptr) ++visibleChildren;
        }
        EXPECT_GE(visibleChildren, 1) << name;
    }
}

TEST_F(HouseAssetTest, EveryMeshHasNormalsUvsTrianglesAndOneLoadableTexture) {
    const aiScene* scene = house().scene();
    ilInit();
    std::map<unsigned, bool> loadable;  // per material index
    size_t triangles = 0;
    for (const HouseNode& n : house().nodes()) {
        if (n.node->mNumMeshes == 0) continue;
        // A node with several materials comes in as several meshes and only the first is drawn.
        EXPECT_EQ(n.node->mNumMeshes, 1u) << n.name;
        const aiMesh* mesh = n.mesh;
        EXPECT_GT(mesh->mNumFaces, 0u) << n.name;
        EXPECT_TRUE(mesh->HasNormals()) << n.name;
        EXPECT_TRUE(mesh->HasTextureCoords(0)) << n.name;
        for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
            ASSERT_EQ(mesh->mFaces[f].mNumIndices, 3u) << n.name << " face " << f;
        }
        triangles += mesh->mNumFaces;

        const unsigned m = mesh->mMaterialIndex;
        if (loadable.count(m) != 0) {
            EXPECT_TRUE(loadable[m]) << n.name;
            continue;
        }
        aiString texture;
        ASSERT_EQ(scene->mMaterials[m]->GetTexture(aiTextureType_DIFFUSE, 0, &texture), AI_SUCCESS)
            << n.name << " has no diffuse texture";
        const std::string relative = texture.C_Str();
        // Relative to Assets, with forward slashes, so that the game's folder + "/" + path and an
        // importer resolving against the .dae's own folder both land on the same file.
        EXPECT_EQ(relative.rfind("Textures/", 0), 0u) << relative;
        EXPECT_EQ(relative.find('\\'), std::string::npos) << relative;
        EXPECT_EQ(relative.find(".."), std::string::npos) << relative;
        const std::string path = gameTextureFolder() + "/" + relative;
        bool ok = fs::is_regular_file(path);
        EXPECT_TRUE(ok) << path << " (material of " << n.name << ")";
        if (ok) {
            ILuint image = ilGenImage();
            ilBindImage(image);
            ok = ilLoadImage(path.c_str()) == IL_TRUE;
            EXPECT_TRUE(ok) << "DevIL cannot load " << path;
            if (ok) {
                const int w = ilGetInteger(IL_IMAGE_WIDTH);
                const int h = ilGetInteger(IL_IMAGE_HEIGHT);
                EXPECT_TRUE((w == 256 || w == 512) && w == h) << path << " is " << w << "x" << h;
            }
            ilDeleteImage(image);
        }
        loadable[m] = ok;
    }
    // The whole frame must hold 60 fps on a software rasteriser.
    EXPECT_GT(triangles, 2000u);
    EXPECT_LE(triangles, 20000u);
}

TEST_F(HouseAssetTest, HouseIsTheAgreedScale) {
    // Floors on -1, ceilings about 9 above them, a footprint of about 50 x 40.
    Box all;
    for (const HouseNode& n : house().nodes()) {
        if (n.name.find("Floor_mesh") != std::string::npos) {
            EXPECT_NEAR(n.bounds.min.y, kFloorY, 1e-3) << n.name;
            EXPECT_NEAR(n.bounds.max.y, kFloorY, 1e-3) << n.name;
        }
        if (n.name.find("Ceiling_mesh") != std::string::npos) {
            EXPECT_NEAR(n.bounds.min.y - kFloorY, 9.0f, 0.5f) << n.name;
        }
        if (n.mesh != nullptr) {
            all.add(n.bounds.min);
            all.add(n.bounds.max);
        }
    }
    EXPECT_NEAR(all.size().x, 50.0f, 3.0f);
    EXPECT_NEAR(all.size().z, 40.0f, 3.0f);
    // The player spawns at the origin, inside the footprint.
    EXPECT_LT(all.min.x, 0.0f);
    EXPECT_GT(all.max.x, 0.0f);
    EXPECT_LT(all.min.z, 0.0f);
    EXPECT_GT(all.max.z, 0.0f);
}

TEST_F(HouseAssetTest, WaypointsAreConsecutiveAndOnTheFloor) {
    // A waypoint stands where its node stands in the world, as every node does.
    std::map<int, glm::vec3> byNumber;
    for (const HouseNode& n : house().nodes()) {
        if (n.name.compare(0, 8, "Waypoint") != 0) continue;
        ASSERT_EQ(n.name.size(), 11u) << n.name << ": expected Waypoint_NN";
        ASSERT_EQ(n.name.substr(0, 9), "Waypoint_");
        const int number = std::atoi(n.name.substr(9, 2).c_str());
        EXPECT_EQ(byNumber.count(number), 0u) << "duplicate number " << n.name;
        EXPECT_EQ(n.node->mNumChildren, 0u) << n.name << ": the loader never visits a waypoint's children";
        EXPECT_EQ(n.parent, &house().root()) << n.name;
        byNumber[number] = glm::vec3(n.world[3]);
    }
    ASSERT_GE(byNumber.size(), 4u);
    int expected = 0;
    for (const auto& [number, position] : byNumber) {
        EXPECT_EQ(number, expected++) << "waypoint numbers must run 00, 01, ... without gaps";
        EXPECT_NEAR(position.y, kFloorY, 1e-4) << "Waypoint " << number;
    }
    // The monster is created 3 above waypoint 0 and catches within 3: it must start well away
    // from the spawn at the origin.
    const glm::vec3 first = byNumber.begin()->second;
    EXPECT_GT(glm::length(glm::vec2(first.x, first.z)), 10.0f);
}

TEST_F(HouseAssetTest, LightsAreDimDirectChildrenOfTheRootAndSpotsPointDown) {
    const aiScene* scene = house().scene();
    int points = 0;
    int spots = 0;
    for (unsigned i = 0; i < scene->mNumLights; ++i) {
        const aiLight* light = scene->mLights[i];
        const std::string name = light->mName.C_Str();
        const auto nodes = house().named(name);
        ASSERT_EQ(nodes.size(), 1u) << "light " << name << " must have exactly one node of its name";
        EXPECT_EQ(nodes.front()->parent, &house().root()) << name;
        const aiColor3D& c = light->mColorDiffuse;
        EXPECT_LE(std::max({c.r, c.g, c.b}), 0.9f) << name << " is too bright for this house";
        EXPECT_GT(c.r + c.g + c.b, 0.0f) << name;
        EXPECT_GE(light->mAttenuationConstant, 1.0f) << name;

        // Inside the house, below the ceiling.
        const glm::vec3 p(nodes.front()->world[3]);
        EXPECT_GT(p.y, kFloorY) << name;
        EXPECT_LT(p.y, kFloorY + 9.0f) << name;
        if (light->mType == aiLightSource_POINT) {
            ++points;
        } else if (light->mType == aiLightSource_SPOT) {
            ++spots;
            // The game swaps the file's direction to (x, z, y).
            const glm::vec3 cone(light->mDirection.x, light->mDirection.z, light->mDirection.y);
            EXPECT_LT(glm::normalize(cone).y, -0.99f) << name;
            EXPECT_GT(light->mAngleInnerCone, 0.2f) << name;
            EXPECT_LT(light->mAngleInnerCone + 0.2f, 1.2f) << name;
        } else {
            ADD_FAILURE() << name << " has a light type the game ignores";
        }
    }
    EXPECT_GE(points, 4);
    EXPECT_GE(spots, 2);
    // The shaders hold 16 lights, one of them the flashlight.
    EXPECT_LE(scene->mNumLights, 15u);
}

TEST_F(HouseAssetTest, SoundEmittersHangUnderMeshesNearTheirPlaces) {
    // An emitter takes the centre of its parent's bounds as its position.
    const std::map<std::string, std::string> nearBy = {{"waterdrip_soundLooped", "sink_interactive"},
                                                       {"engine_sound", "Generator_interactive"},
                                                       {"bang_sound", "Racking_CrossBeams31_box"}};
    for (const auto& [emitter, place] : nearBy) {
        const HouseNode* n = house().find(emitter);
        ASSERT_NE(n, nullptr) << emitter;
        ASSERT_NE(n->parent, nullptr);
        ASSERT_NE(n->parent->mesh, nullptr) << emitter << " must hang under a mesh object";
        const HouseNode* target = house().find(place);
        ASSERT_NE(target, nullptr);
        const glm::vec3 d = n->parent->bounds.centre() - target->bounds.centre();
        EXPECT_LT(glm::length(glm::vec2(d.x, d.z)), 12.0f) << emitter << " is far from " << place;
    }
    // No other emitters: each base name selects a file and unknown ones play nothing.
    for (const HouseNode& n : house().nodes()) {
        if (n.tag == "sound" || n.tag == "soundLooped") {
            EXPECT_EQ(nearBy.count(n.name), 1u) << n.name;
        }
    }
}

TEST_F(HouseAssetTest, HiddenTextSitsJustInFrontOfAWall) {
    int planes = 0;
    for (const HouseNode& text : house().nodes()) {
        if (text.tag != "hiddenText") continue;
        ++planes;
        const glm::vec3 s = text.bounds.size();
        const int thin = s.x < s.z ? 0 : 2;
        ASSERT_LT(s[thin], 1e-3f) << text.name << " must be a vertical plane";
        EXPECT_GT(s.y, 1.0f) << text.name;
        const float at = text.bounds.min[thin];
        // Some wall face lies parallel to it, 0.005 to 0.1 behind.
        bool wallBehind = false;
        for (const HouseNode& wall : house().nodes()) {
            if (wall.tag != "mesh" || wall.mesh == nullptr) continue;
            const aiMesh* mesh = wall.mesh;
            for (unsigned f = 0; f < mesh->mNumFaces && !wallBehind; ++f) {
                const aiFace& face = mesh->mFaces[f];
                const glm::vec3& a = wall.worldPositions[face.mIndices[0]];
                const glm::vec3& b = wall.worldPositions[face.mIndices[1]];
                const glm::vec3& c = wall.worldPositions[face.mIndices[2]];
                if (std::abs(a[thin] - b[thin]) > 1e-4f || std::abs(a[thin] - c[thin]) > 1e-4f) continue;
                const float gap = std::abs(a[thin] - at);
                const int along = 2 - thin;
                const float lo = std::min({a[along], b[along], c[along]});
                const float hi = std::max({a[along], b[along], c[along]});
                const float mid = text.bounds.centre()[along];
                wallBehind = gap > 0.005f && gap < 0.1f && lo <= mid && mid <= hi;
            }
            if (wallBehind) break;
        }
        EXPECT_TRUE(wallBehind) << text.name;
    }
    EXPECT_GE(planes, 1);
}

// ---- The generator ---------------------------------------------------------------------------

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The pixels of an image as 8-bit RGB rows; empty when DevIL cannot read it.
std::vector<unsigned char> decodeRgb(const fs::path& path) {
    ilInit();
    ILuint image = ilGenImage();
    ilBindImage(image);
    std::vector<unsigned char> pixels;
    if (ilLoadImage(path.c_str()) == IL_TRUE && ilConvertImage(IL_RGB, IL_UNSIGNED_BYTE) == IL_TRUE) {
        const ILubyte* data = ilGetData();
        pixels.assign(data, data + ilGetInteger(IL_IMAGE_WIDTH) * ilGetInteger(IL_IMAGE_HEIGHT) * 3);
    }
    ilDeleteImage(image);
    return pixels;
}

TEST(HouseGeneratorTest, RegeneratingReproducesTheCommittedFilesByteForByte) {
    char pattern[] = "/tmp/vestrel_house_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path out = pattern;
    const std::string command = "python3 tools/make_house.py --out " + out.string() + " > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    std::vector<fs::path> files = {"house1.dae"};
    for (const auto& entry : fs::directory_iterator(out / "Textures")) {
        files.push_back(fs::path("Textures") / entry.path().filename());
    }
    EXPECT_GT(files.size(), 10u);
    uintmax_t total = 0;
    for (const fs::path& file : files) {
        const fs::path committed = fs::path("Assets") / file;
        ASSERT_TRUE(fs::exists(committed)) << committed << " is generated but not in Assets";
        const std::string fresh = readFile(out / file);
        if (fresh != readFile(committed)) {
            // Another zlib may pack the same picture differently; the pixels must still agree.
            const bool image = file.extension() == ".png";
            EXPECT_TRUE(image && decodeRgb(out / file) == decodeRgb(committed) &&
                        !decodeRgb(committed).empty())
                << committed << " differs from a fresh run of the generator";
        }
        total += fresh.size();
    }
    // The repository stays small.
    EXPECT_LT(total, 8u * 1024u * 1024u);
    fs::remove_all(out);
}

}  // namespace
}  // namespace vestrel::housetest
