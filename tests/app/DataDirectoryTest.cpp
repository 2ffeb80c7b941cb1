// Where the game looks for Assets/ and Shader/, and which paths move there.
#include "app/DataDirectory.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "app/Platform.h"

namespace vestrel {
namespace {

TEST(DataDirectory, OverrideThenWorkingDirectoryThenBesideTheExecutable) {
    struct Case {
        const char* name;
        std::string overrideFolder;
        std::set<std::string> withData;  // "" is the working directory
        std::string expected;
    };
    const Case cases[] = {
        {"the variable wins even over a working directory with data",
         "/elsewhere",
         {"", "/usr/share/vestrel"},
         "/elsewhere"},
        {"the working directory, as always", "", {"", "/usr/share/vestrel", "/src"}, ""},
        {"installed data next", "", {"/usr/share/vestrel", "/src"}, "/usr/share/vestrel"},
        {"then the source tree of the build", "", {"/src"}, "/src"},
        {"nothing anywhere: the working directory names what is missing", "", {}, ""},
    };
    for (const Case& c : cases) {
        DataDirectoryProbe probe;
        probe.overrideFolder = c.overrideFolder;
        probe.besideExecutable = {"/usr/share/vestrel", "/src"};
        probe.holdsGameData = [&c](const std::string& folder) { return c.withData.count(folder) != 0; };
        EXPECT_EQ(chooseDataDirectory(probe), c.expected) << c.name;
    }
}

TEST(DataDirectory, OnlyRelativeAssetAndShaderPathsMove) {
    struct Case {
        const char* path;
        const char* folder;
        const char* expected;
    };
    const Case cases[] = {
        {"Assets/house1.dae", "/opt/v", "/opt/v/Assets/house1.dae"},
        {"Shader/texLights.vert", "/opt/v/", "/opt/v/Shader/texLights.vert"},
        {"Assets", "/opt/v", "/opt/v/Assets"},
        {"AssetsOld/x.png", "/opt/v", "AssetsOld/x.png"},
        {"tests/data/blender/sample.dae", "/opt/v", "tests/data/blender/sample.dae"},
        {"/tmp/Assets/x.png", "/opt/v", "/tmp/Assets/x.png"},
        {"Assets/house1.dae", "", "Assets/house1.dae"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(underDataDirectory(c.path, c.folder), c.expected) << c.path << " in " << c.folder;
    }
}

TEST(DataDirectory, TheGameOpensItsFilesInTheFolderTheVariableNames) {
    char pattern[] = "/tmp/vestrel_data_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string folder = pattern;
    EXPECT_FALSE(holdsGameData(folder));
    std::filesystem::create_directories(folder + "/Assets");
    EXPECT_FALSE(holdsGameData(folder));
    std::filesystem::create_directories(folder + "/Shader");
    EXPECT_TRUE(holdsGameData(folder));
    // The tests run from the repository root, which holds both.
    EXPECT_TRUE(holdsGameData(""));

    setenv("VESTREL_DATA_DIR", folder.c_str(), 1);
    forgetDataDirectory();
    EXPECT_EQ(nativePath("Shader\\glass.frag"), folder + "/Shader/glass.frag");
    EXPECT_EQ(nativePath("demos/win.dem"), "demos/win.dem");
    unsetenv("VESTREL_DATA_DIR");
    forgetDataDirectory();
    EXPECT_EQ(nativePath("Shader\\glass.frag"), "Shader/glass.frag");
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace vestrel
