// The settings file on disk: where it is, what reading makes of good, bad
// and foreign files, what a rewrite keeps, and that a write cut short leaves
// the old file whole. Every file lives in a folder of the test's own.
#include "app/SettingsFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace vestrel {
namespace {

namespace fs = std::filesystem;
using Key = SettingsFile::Key;

class SettingsFolder : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vestrel_settings_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        path = folder + "/vestrel/settings.ini";
    }
    void TearDown() override { fs::remove_all(folder); }

    void write(const std::string& text) const {
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }
    std::string read() const {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::string folder;
    std::string path;
};

TEST(SettingsPath, FollowsXdgConfigHomeElseHome) {
    struct Case {
        const char* config;
        const char* home;
        const char* expected;
    };
    const Case cases[] = {
        {"/cfg", "/home/p", "/cfg/vestrel/settings.ini"},
        {"", "/home/p", "/home/p/.config/vestrel/settings.ini"},
        // A relative XDG_CONFIG_HOME is not to be used.
        {"cfg", "/home/p", "/home/p/.config/vestrel/settings.ini"},
        {nullptr, "/home/p", "/home/p/.config/vestrel/settings.ini"},
        {nullptr, nullptr, ""},
    };
    for (const Case& c : cases) {
        const std::map<std::string, const char*> env{{"XDG_CONFIG_HOME", c.config}, {"HOME", c.home}};
        EXPECT_EQ(SettingsFile::defaultPath([&env](const char* name) { return env.at(name); }), c.expected)
            << (c.config ? c.config : "(unset)");
    }
}

TEST_F(SettingsFolder, ReadingReportsEachProblemByLineAndKeepsTheGoodValues) {
    struct Case {
        const char* name;
        std::string text;
        std::vector<std::string> reports;  // after "<path>:"
        std::map<Key, float> expected;     // every other key keeps its default
    };
    const std::vector<Case> cases = {
        {"empty", "", {}, {}},
        {"every key, comments, blanks and spaces",
         "# mine\n; also a comment\n\nlook_sensitivity=0.25\n  invert_y = yes\nmaster_volume = 40\n"
         "effects_volume = 0\nbrightness = 0.35\nfield_of_view = 75\ncaptions = off\nFULLSCREEN = True\n",
         {},
         {{Key::LookSensitivity, 0.25f},
          {Key::InvertY, 1},
          {Key::MasterVolume, 40},
          {Key::EffectsVolume, 0},
          {Key::Brightness, 0.35f},
          {Key::FieldOfView, 75},
          {Key::Captions, 0},
          {Key::Fullscreen, 1}}},
        {"a damaged line between good ones",
         "invert_y = true\nthis is not a setting\nfield_of_view = 50\n",
         {"2: not a setting (expected key = value); ignored"},
         {{Key::InvertY, 1}, {Key::FieldOfView, 50}}},
        {"wrong kinds of value",
         "look_sensitivity = fast\ninvert_y = maybe\nmaster_volume = 50%\nbrightness = 0.3\n",
         {"1: look_sensitivity must be a number from 0.01 to 1, not \"fast\"; using 0.1",
          "2: invert_y must be true or false, not \"maybe\"; using false",
          "3: master_volume must be a number from 0 to 100, not \"50%\"; using 100"},
         {{Key::Brightness, 0.3f}}},
        // Just inside each end is taken as written; just outside is clamped.
        {"values at and beyond the ends of their ranges",
         "look_sensitivity = 1\nfield_of_view = 90.5\nmaster_volume = -0.5\neffects_volume = 0\n"
         "brightness = 1.01\n",
         {"2: field_of_view 90.5 is out of range (45 to 90); using 90",
          "3: master_volume -0.5 is out of range (0 to 100); using 0",
          "5: brightness 1.01 is out of range (0 to 1); using 1"},
         {{Key::LookSensitivity, 1},
          {Key::FieldOfView, 90},
          {Key::MasterVolume, 0},
          {Key::EffectsVolume, 0},
          {Key::Brightness, 1}}},
        {"unknown keys and a key set twice, with Windows line ends",
         "colour = red\r\nfield_of_view = 50\r\nfield_of_view = 70\r\n",
         {"1: unknown setting \"colour\"; kept as it is",
          "3: field_of_view is set again; this later value counts"},
         {{Key::FieldOfView, 70}}},
        {"a value that overflows a float",
         "look_sensitivity = 1e999\n",
         {"1: look_sensitivity must be a number from 0.01 to 1, not \"1e999\"; using 0.1"},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        write(c.text);
        SettingsFile file(path);
        std::vector<std::string> report;
        EXPECT_TRUE(file.load(report));
        std::vector<std::string> expectedReports;
        for (const std::string& line : c.reports) expectedReports.push_back(path + ":" + line);
        EXPECT_EQ(report, expectedReports);
        for (const SettingsFile::Field& f : SettingsFile::fields()) {
            const auto found = c.expected.find(f.key);
            const float want = found != c.expected.end() ? found->second : SettingsFile::get({}, f.key);
            EXPECT_FLOAT_EQ(SettingsFile::get(file.values(), f.key), want) << f.name;
        }
    }
}

TEST_F(SettingsFolder, MissingUnreadableAndForeignFilesGiveTheDefaultsAndAreNeverWrittenOver) {
    SettingsFile missing(path);
    std::vector<std::string> report;
    EXPECT_FALSE(missing.load(report));
    EXPECT_TRUE(report.empty());
    EXPECT_EQ(missing.values(), SettingsFile::Values{});

    struct Case {
        const char* name;
        std::function<void()> make;
        std::string reported;
    };
    std::string binary = "look_sensitivity = 0.5\n";
    binary += std::string("\0\x01\x02garbage", 10);
    const Case cases[] = {
        {"binary", [&] { write(binary); },
         path + ": not a settings file (binary data); using the defaults and leaving it as it is"},
        {"too large", [&] { write(std::string(SettingsFile::kMaxBytes + 1, '#')); },
         path + ": not a settings file (larger than 64 KiB); using the defaults and leaving it as it is"},
        {"a folder", [&] { fs::create_directories(path); },
         path + ": can't read settings (not a file); using the defaults"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(fs::path(path).parent_path());
        c.make();
        const bool isFile = fs::is_regular_file(path);
        const std::string before = isFile ? read() : "";
        SettingsFile file(path);
        report.clear();
        file.load(report);
        ASSERT_EQ(report, std::vector<std::string>{c.reported});
        EXPECT_EQ(file.values(), SettingsFile::Values{});

        SettingsFile::Values changed = file.values();
        changed.invertY = true;
        file.remember(changed, Key::InvertY);
        report.clear();
        EXPECT_FALSE(file.save(report));
        ASSERT_EQ(report.size(), 1u);
        EXPECT_EQ(report[0].rfind("Settings not saved to " + path + ": ", 0), 0u) << report[0];
        EXPECT_EQ(fs::is_regular_file(path), isFile);
        if (isFile) {
            EXPECT_EQ(read(), before);
        }
    }
}

TEST_F(SettingsFolder, RewriteKeepsForeignLinesAndPutsChangedValuesInPlace) {
    write("# my notes\ncolour = red\nfield_of_view = 200\nnot a setting\ninvert_y = false\n");
    SettingsFile file(path);
    std::vector<std::string> report;
    file.load(report);
    EXPECT_EQ(report.size(), 3u);

    // Nothing changed: nothing is written, not even the clamped value.
    EXPECT_TRUE(file.save(report));
    EXPECT_EQ(read(), "# my notes\ncolour = red\nfield_of_view = 200\nnot a setting\ninvert_y = false\n");

    SettingsFile::Values values = file.values();
    values.invertY = true;
    values.lookSensitivity = 0.35f;
    file.remember(values, Key::InvertY);
    file.remember(values, Key::LookSensitivity);
    // Remembering a value the file already holds changes nothing.
    file.remember(values, Key::FieldOfView);
    ASSERT_TRUE(file.save(report)) << report.back();
    EXPECT_EQ(read(),
              "# my notes\ncolour = red\nfield_of_view = 90\nnot a setting\ninvert_y = true\n"
              "look_sensitivity = 0.35\n");

    // The rewritten file reads back to the same values, and a second change
    // lands on the line the first one added.
    SettingsFile again(path);
    report.clear();
    again.load(report);
    EXPECT_EQ(again.values(), file.values());
    values.lookSensitivity = 0.2f;
    file.remember(values, Key::LookSensitivity);
    ASSERT_TRUE(file.save(report));
    EXPECT_EQ(read(),
              "# my notes\ncolour = red\nfield_of_view = 90\nnot a setting\ninvert_y = true\n"
              "look_sensitivity = 0.2\n");
}

TEST_F(SettingsFolder, AFirstSaveCreatesTheFolderAndAHeaderedFile) {
    SettingsFile file(path);
    std::vector<std::string> report;
    file.load(report);
    SettingsFile::Values values;
    file.remember(values, Key::Captions);  // still the default: nothing to save
    EXPECT_FALSE(file.hasUnsavedChanges());
    values.captions = false;
    file.remember(values, Key::Captions);
    ASSERT_TRUE(file.save(report));
    const std::string text = read();
    EXPECT_EQ(text.substr(text.find("captions")), "captions = false\n");
    EXPECT_EQ(text[0], '#');
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::others_write, fs::perms::none);
}

TEST_F(SettingsFolder, HeldOrFailedWritesReportWhyAndLeaveTheDiskAlone) {
    SettingsFile::Values values;
    values.fullscreen = true;

    SettingsFile replay(path);
    std::vector<std::string> report;
    replay.load(report);
    replay.holdWrites("a demo is being replayed");
    replay.remember(values, Key::Fullscreen);
    EXPECT_FALSE(replay.save(report));
    EXPECT_EQ(report,
              std::vector<std::string>{"Settings not saved to " + path + ": a demo is being replayed"});
    EXPECT_FALSE(fs::exists(path));

    // The folder cannot be made: a file stands where it should be.
    std::ofstream(folder + "/blocked") << "x";
    SettingsFile blocked(folder + "/blocked/vestrel/settings.ini");
    report.clear();
    blocked.load(report);
    blocked.remember(values, Key::Fullscreen);
    EXPECT_FALSE(blocked.save(report));
    ASSERT_EQ(report.size(), 1u);
    EXPECT_EQ(report[0].rfind(
                  "Settings not saved to " + folder + "/blocked/vestrel/settings.ini: can't create ", 0),
              0u)
        << report[0];
    EXPECT_TRUE(blocked.hasUnsavedChanges());
}

TEST_F(SettingsFolder, AWriteKilledHalfWayLeavesTheOldFileWhole) {
    const std::string old = "look_sensitivity = 0.5\n";
    write(old);
    std::string fresh;
    for (int i = 0; i < 200; ++i) fresh += "# line " + std::to_string(i) + "\n";
    fresh += "look_sensitivity = 0.25\n";

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::string error;
        SettingsFile::writeAtomically(path, fresh, error, [] { kill(getpid(), SIGKILL); });
        _exit(0);  // not reached
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGKILL);
    EXPECT_EQ(read(), old);
    // The new text had begun to go to disk beside it.
    std::size_t partial = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(path).parent_path())) {
        if (entry.path() != fs::path(path)) partial = fs::file_size(entry.path());
    }
    EXPECT_EQ(partial, fresh.size() / 2);

    std::string error;
    ASSERT_TRUE(SettingsFile::writeAtomically(path, fresh, error)) << error;
    EXPECT_EQ(read(), fresh);
}

TEST(SettingsValues, SetClampsIntoTheRangeAndSwitchesFlipAtHalf) {
    struct Case {
        Key key;
        float value;
        float expected;
    };
    const Case cases[] = {
        {Key::LookSensitivity, 0.0f, 0.01f},
        {Key::LookSensitivity, 0.5f, 0.5f},
        {Key::FieldOfView, 44.0f, 45.0f},
        {Key::FieldOfView, 91.0f, 90.0f},
        {Key::InvertY, 0.49f, 0.0f},
        {Key::InvertY, 0.5f, 1.0f},
        {Key::Brightness, std::nanf(""), 0.1f},
    };
    for (const Case& c : cases) {
        SettingsFile::Values values;
        SettingsFile::set(values, c.key, c.value);
        EXPECT_FLOAT_EQ(SettingsFile::get(values, c.key), c.expected) << SettingsFile::field(c.key).name;
    }
}

}  // namespace
}  // namespace vestrel
