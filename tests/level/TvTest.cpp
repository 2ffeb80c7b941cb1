// The TV: listing its frame folder and stepping through the frames.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "ConsoleCapture.h"
#include "GlTestContext.h"
#include "ScratchFolder.h"
#include "level/DirectoryListing.h"
#include "level/GameObject.h"
#include "level/Level.h"
#include "render/Mesh.h"
#include "render/TextureCache.h"

namespace vestrel {
namespace {

namespace fs = std::filesystem;

// A fresh folder under the test's temp folder, removed afterwards.
class Folder {
public:
    explicit Folder(const std::string& name) : path_(fs::path(test::scratchFolder()) / name) {
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    void touch(const std::string& name) const { std::ofstream(path_ / name) << "x"; }
    // With a trailing "/", as the game names its folders.
    std::string path() const { return path_.string() + "/"; }
    const fs::path& fsPath() const { return path_; }

private:
    fs::path path_;
};

TEST(DirectoryListingTest, DirectoriesFirstThenNamesInByteOrder) {
    Folder padded("tv_padded");
    for (const char* name : {"frame010.png", "frame002.png", "frame001.png"}) padded.touch(name);
    EXPECT_EQ(listDirectory(padded.path()),
              (std::vector<std::string>{"frame001.png", "frame002.png", "frame010.png"}));

    // Unpadded numbers sort as bytes, not as numbers; bytes count unsigned, so
    // a UTF-8 name comes after every ASCII one; directories and files that are
    // no images stay in the list.
    Folder plain("tv_plain");
    for (const char* name :
         {"frame2.png", "frame10.png", "frame1.png", "frame20.png", "notes.txt", "Zebra.png",
          "\xc3\xa9"
          "cran.png"}) {
        plain.touch(name);
    }
    fs::create_directory(plain.fsPath() / "old");
    fs::create_directory(plain.fsPath() / "backup");
    EXPECT_EQ(listDirectory(plain.path()),
              (std::vector<std::string>{"backup", "old", "Zebra.png", "frame1.png", "frame10.png",
                                        "frame2.png", "frame20.png", "notes.txt",
                                        "\xc3\xa9"
                                        "cran.png"}));

    EXPECT_TRUE(listDirectory(test::scratchFolder() + "no_such_folder/").empty());
    Folder empty("tv_empty");
    EXPECT_TRUE(listDirectory(empty.path()).empty());
    // A file is no folder.
    plain.touch("file");
    EXPECT_TRUE(listDirectory(plain.path() + "file").empty());
}

class TvTest : public ::testing::Test {
protected:
    test::GlTestContext context;
    Level level;
    GameObject tv;
    Texture* const materialTexture = reinterpret_cast<Texture*>(&tv);  // only compared, never used

    void SetUp() override {
        ASSERT_TRUE(context.ok());
        tv.mesh = std::make_unique<Mesh>(nullptr, glm::mat4(1.0f), "TV_Animated");
        tv.mesh->texture = materialTexture;
        level.tvObject = &tv;
        level.tvFrameTime = 1.0f / 29.0f;
    }
    void TearDown() override { TextureCache::instance().textures.clear(); }
};

TEST_F(TvTest, TheShippedFramesLoadInOrderAndPlay29TimesASecond) {
    level.loadTvFrames();
    ASSERT_GE(level.tvFrames.size(), 2u);
    const std::vector<std::string> names = listDirectory("Assets/TV_animated/");
    ASSERT_EQ(names.size(), level.tvFrames.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_NE(level.tvFrames[i], nullptr) << names[i];
        EXPECT_EQ(level.tvFrames[i], TextureCache::instance().find(names[i])) << names[i];
    }

    // 1/60 s steps: nothing for two steps, then frame 1 (not frame 0).
    const float step = 1.0f / 60.0f;
    level.updateTv(step);
    level.updateTv(step);
    EXPECT_EQ(tv.mesh->texture, materialTexture);
    level.updateTv(step);
    EXPECT_EQ(level.tvFrameIndex, 1);
    EXPECT_EQ(tv.mesh->texture, level.tvFrames[1]);

    // Every second or third step changes the picture, 29 times a second.
    int changes = 1;
    int sinceChange = 0;
    Texture* shown = tv.mesh->texture;
    for (int i = 3; i < 600; ++i) {
        level.updateTv(step);
        ++sinceChange;
        if (tv.mesh->texture != shown) {
            EXPECT_TRUE(sinceChange == 2 || sinceChange == 3) << "step " << i;
            ++changes;
            sinceChange = 0;
            shown = tv.mesh->texture;
        }
    }
    EXPECT_NEAR(changes, 290, 1);
    EXPECT_EQ(level.tvFrameIndex, changes % static_cast<int>(level.tvFrames.size()));
}

TEST_F(TvTest, OneChangePerCallNullFramesKeptAndAnEmptyListDoesNothing) {
    Folder folder("tv_mixed");
    fs::copy_file("Assets/TV_animated/tv_00.png", folder.fsPath() / "a.png");
    folder.touch("b.txt");
    fs::create_directory(folder.fsPath() / "c");
    {
        test::ConsoleCapture quiet;  // the cache reports the two that do not load
        level.loadTvFrames(folder.path());
    }
    // Directory first: "c", then "a.png", "b.txt".
    ASSERT_EQ(level.tvFrames.size(), 3u);
    EXPECT_EQ(level.tvFrames[0], nullptr);
    EXPECT_NE(level.tvFrames[1], nullptr);
    EXPECT_EQ(level.tvFrames[2], nullptr);

    // A long step still changes one frame; the rest waits in tvElapsed.
    level.updateTv(0.1f);
    EXPECT_EQ(level.tvFrameIndex, 1);
    EXPECT_EQ(tv.mesh->texture, level.tvFrames[1]);
    EXPECT_NEAR(level.tvElapsed, 0.1f - 1.0f / 29.0f, 1e-6f);
    level.updateTv(0.0f);
    EXPECT_EQ(level.tvFrameIndex, 2);
    EXPECT_EQ(tv.mesh->texture, nullptr);  // drawn untextured while it is current
    EXPECT_LT(level.tvElapsed, 1.0f / 29.0f);
    level.updateTv(0.0f);  // the backlog is used up
    EXPECT_EQ(level.tvFrameIndex, 2);
    level.updateTv(0.01f);  // and round to the first frame
    EXPECT_EQ(level.tvFrameIndex, 0);
    EXPECT_EQ(tv.mesh->texture, nullptr);

    Level bare;
    bare.tvObject = &tv;
    bare.tvFrameTime = 1.0f / 29.0f;
    bare.updateTv(1.0f);
    EXPECT_EQ(bare.tvElapsed, 0.0f);
    EXPECT_EQ(tv.mesh->texture, nullptr);
}

}  // namespace
}  // namespace vestrel
