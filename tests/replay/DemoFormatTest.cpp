// The demo file: what the recorder writes reads back as the same input, and
// every kind of damage is refused with the line and the reason; the
// screenshot schedule and the saved picture.
#include "replay/DemoFormat.h"

#include "GlTestContext.h"
#include "ScratchFolder.h"
#include "replay/DemoRecorder.h"
#include "replay/DemoSession.h"
#include "replay/Screenshot.h"
#include "render/TextureCache.h"

#include <IL/il.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace vestrel {
namespace {

std::string temporaryPath(const std::string& name) {
    return test::scratchFolder() + "vestrel_demo_test_" + name;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A body (everything before the end line) completed with an end line whose
// counts and checksum are as given: the checksum is made right unless the
// test wants it wrong.
std::string withEnd(const std::string& body, const std::string& counts) {
    const std::uint64_t check = fnv1a(kFnvOffset, body.data(), body.size());
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(check));
    return body + "end " + counts + " hash 0123456789abcdef check " + hex + "\n";
}

bool parse(const std::string& text, Demo& demo, std::string& error) {
    std::istringstream in(text);
    return readDemo(in, demo, error);
}

std::string refusal(const std::string& text) {
    Demo demo;
    std::string error;
    EXPECT_FALSE(parse(text, demo, error)) << text;
    return error;
}

const std::string kHead = "vestrel-demo 1\nwindow 800 600 60 0.1\n";

TEST(DemoFormat, WhatTheRecorderWritesReadsBackAsTheSameInput) {
    const std::string path = temporaryPath("roundtrip.dem");
    DemoRecorder recorder;
    std::string error;
    ASSERT_TRUE(recorder.open(path, {1024, 768, 75, 0.3f}, error)) << error;
    // Frame 1: a key and a click before two steps, the second with a pad
    // at its extremes and the game-over buttons it hovered; cursors are
    // offsets from the window's centre.
    recorder.event(DemoEvent::keyEvent(87, 25, 1, 0), 0);
    recorder.event(DemoEvent::mouseEvent(1, 0, 4), 0);
    recorder.cursor(0, 0, 0);
    recorder.cursor(1, -1000000, 37);
    GamepadState pad;
    pad.buttons = 0xF3F0;
    pad.leftTrigger = 0;
    pad.rightTrigger = 255;
    pad.thumbLX = -32768;
    pad.thumbLY = 32767;
    pad.thumbRX = -1;
    pad.thumbRY = 12345;
    recorder.pad(1, pad);
    recorder.hover(1, 2);
    recorder.frame(2);
    // Frame 2 runs no step; then the window is closed during a start
    // sequence, after the last frame.
    recorder.event(DemoEvent::keyEvent(87, 25, 0, 0), 2);
    recorder.frame(0);
    recorder.event(DemoEvent::closeEvent(), 2);
    DemoTotals totals;
    totals.outcome = DemoOutcome::Caught;
    totals.steps = 2;
    totals.frames = 2;
    totals.items = 3;
    totals.switches = 1;
    totals.hash = 0xfedcba9876543210ull;
    ASSERT_TRUE(recorder.finish(totals));

    Demo demo;
    ASSERT_TRUE(loadDemo(path, demo, error)) << error << "\n" << readFile(path);
    EXPECT_EQ(readFile(path).rfind("vestrel-demo 2\nwindow 1024 768 75 0.3\n", 0), 0u);
    EXPECT_EQ(demo.version, 2);
    EXPECT_EQ(demo.settings.width, 1024);
    EXPECT_EQ(demo.settings.height, 768);
    EXPECT_EQ(demo.settings.refreshRate, 75);
    EXPECT_EQ(demo.settings.ambient, 0.3f);
    ASSERT_EQ(demo.frames.size(), 3u);
    const DemoFrame& first = demo.frames[0];
    ASSERT_EQ(first.events.size(), 2u);
    EXPECT_EQ(first.events[0], DemoEvent::keyEvent(87, 25, 1, 0));
    EXPECT_EQ(first.events[1], DemoEvent::mouseEvent(1, 0, 4));
    ASSERT_EQ(first.steps.size(), 2u);
    EXPECT_EQ(first.centreX, 0.0);  // offsets: taken against a centre of (0, 0)
    EXPECT_EQ(first.centreY, 0.0);
    EXPECT_EQ(first.steps[0].cursorX, 0.0);
    EXPECT_FALSE(first.steps[0].padConnected);
    EXPECT_EQ(first.steps[0].hover, -1);
    EXPECT_EQ(first.steps[1].cursorX, -1000000.0);
    EXPECT_EQ(first.steps[1].cursorY, 37.0);
    EXPECT_EQ(first.steps[1].hover, 2);
    ASSERT_TRUE(first.steps[1].padConnected);
    const GamepadState& back = first.steps[1].pad;
    EXPECT_EQ(back.buttons, 0xF3F0);
    EXPECT_EQ(back.rightTrigger, 255);
    EXPECT_EQ(back.thumbLX, -32768);
    EXPECT_EQ(back.thumbLY, 32767);
    EXPECT_EQ(back.thumbRX, -1);
    EXPECT_EQ(back.thumbRY, 12345);
    EXPECT_TRUE(demo.frames[1].steps.empty());
    EXPECT_TRUE(demo.frames[1].ran);
    EXPECT_FALSE(demo.frames[2].ran);  // the close came after the last frame
    EXPECT_EQ(demo.frames[2].events, std::vector<DemoEvent>{DemoEvent::closeEvent()});
    EXPECT_EQ(demo.totals.outcome, DemoOutcome::Caught);
    EXPECT_EQ(demo.totals.items, 3u);
    EXPECT_EQ(demo.totals.switches, 1u);
    EXPECT_EQ(demo.totals.hash, 0xfedcba9876543210ull);
    std::remove(path.c_str());
}

TEST(DemoFormat, DamagedTruncatedAndForeignFilesAreRefusedWithTheLineAndReason) {
    const std::string body = kHead +
                             "key 0 87 25 1 0\n"
                             "cursor 0 400 300\n"
                             "frame 1\n";
    const std::string good = withEnd(body, "won steps 1 frames 1 items 0 switches 0");
    Demo demo;
    std::string error;
    ASSERT_TRUE(parse(good, demo, error)) << error;

    EXPECT_EQ(refusal(""), "the file is empty");
    EXPECT_EQ(refusal("\x89PNG\r\n\x1a\n" + good), "line 1: not a Vestrel demo");
    for (const char* version : {"0", "3"}) {
        EXPECT_EQ(refusal("vestrel-demo " + std::string(version) + "\n" + good.substr(good.find('\n') + 1)),
                  "line 1: demo version " + std::string(version) +
                      " is not supported (this build reads versions 1 to 2)");
    }
    // Cut anywhere: at the end line, inside it, inside a step's lines.
    EXPECT_EQ(refusal(body), "line 6: the file ends before its end line (truncated)");
    EXPECT_EQ(refusal(good.substr(0, good.size() - 20)),
              "line 6: the file ends in the middle of a line (truncated)");
    EXPECT_EQ(refusal(kHead + "key 0 87 25 1 0\ncursor 0 4"),
              "line 4: the file ends in the middle of a line (truncated)");
    EXPECT_EQ(refusal(good.substr(0, good.size() - 1)),
              "line 6: the file ends in the middle of a line (truncated)");
    // Junk reaches the console escaped, never raw.
    EXPECT_EQ(refusal(kHead + "\x01\xff\x1b[2J\\ 0\n"), "line 3: unknown record \"\\x01\\xff\\x1b[2J\\\\\"");

    // One digit changed (W becomes X) keeps every line well formed: only
    // the checksum tells.
    std::string flipped = good;
    flipped.replace(flipped.find("key 0 87"), 8, "key 0 88");
    EXPECT_EQ(refusal(flipped), "line 6: checksum mismatch: the file is damaged");
    EXPECT_EQ(refusal(good + "cursor 1 400 300\n"), "line 7: text after the end line");
}

TEST(DemoFormat, LinesThatCannotBelongToARunAreRefusedEvenWithARightChecksum) {
    struct Case {
        std::string lines;
        std::string counts;
        std::string error;
    };
    const Case cases[] = {
        {"cursor 1 400 300\nframe 1\n", "neither steps 1 frames 1 items 0 switches 0",
         "line 3: step 1 out of order (expected 0)"},
        {"cursor 0 400 300\nkey 0 87 0 1 0\nframe 1\n", "neither steps 1 frames 1 items 0 switches 0",
         "line 4: event between the steps of a frame"},
        {"cursor 0 400 300\nframe 2\n", "neither steps 1 frames 1 items 0 switches 0",
         "line 4: frame of 2 steps follows 1 cursor readings"},
        {"cursor 0 1 1\ncursor 1 1 1\ncursor 2 1 1\ncursor 3 1 1\ncursor 4 1 1\ncursor 5 1 1\n", "",
         "line 8: more steps in one frame than the loop runs"},
        {"pad 0 0 0 0 0 0 0 0\n", "", "line 3: pad reading without a step of its own"},
        {"cursor 0 1 1\npad 0 0 0 0 0 0 0 0\npad 0 0 0 0 0 0 0 0\n", "",
         "line 5: pad reading without a step of its own"},
        {"cursor 0 nan 1\n", "", "line 3: expected \"cursor STEP X Y\""},
        {"cursor 0 1e300 1\n", "", "line 3: expected \"cursor STEP X Y\""},
        {"key 0 999 0 1 0\n", "", "line 3: expected \"key STEP KEY SCANCODE ACTION MODS\""},
        {"key 0 87 0 3 0\n", "", "line 3: expected \"key STEP KEY SCANCODE ACTION MODS\""},
        {"key 0 87 0 1 0 7\n", "", "line 3: expected \"key STEP KEY SCANCODE ACTION MODS\""},
        {"mouse 0 9 1 0\n", "", "line 3: expected \"mouse STEP BUTTON ACTION MODS\""},
        {"pad 0 65536 0 0 0 0 0 0\n", "", "line 3: expected \"pad STEP BUTTONS LT RT LX LY RX RY\""},
        {"frame -1\n", "", "line 3: expected \"frame STEPS\" with 0 to 5 steps"},
        {"jump 0\n", "", "line 3: unknown record \"jump\""},
        {std::string(300, 'x') + "\n", "", "line 3: line too long"},
        {"cursor 0 400 300\nframe 1\n", "neither steps 2 frames 1 items 0 switches 0",
         "line 5: the end line counts 2 steps and 1 frames; the file holds 1 and 1"},
        {"cursor 0 400 300\nframe 1\n", "neither steps 1 frames 2 items 0 switches 0",
         "line 5: the end line counts 1 steps and 2 frames; the file holds 1 and 1"},
        {"cursor 0 400 300\n", "neither steps 1 frames 0 items 0 switches 0",
         "line 4: steps without their frame line (truncated)"},
        {"frame 0\n", "lost steps 0 frames 1 items 0 switches 0",
         "line 4: expected \"end OUTCOME steps N frames N items N switches N hash HEX check HEX\""},
    };
    for (const Case& c : cases) {
        const std::string text = c.counts.empty() ? kHead + c.lines : withEnd(kHead + c.lines, c.counts);
        EXPECT_EQ(refusal(text), c.error) << c.lines;
    }
    // A size or refresh rate of 0 would start a window the game refuses
    // from its command line (and divide every timed move by zero).
    for (const char* window : {"window 0 600 60 0.1", "window 800 0 60 0.1", "window 800 600 0 0.1"}) {
        EXPECT_EQ(refusal(std::string("vestrel-demo 1\n") + window + "\n"),
                  "line 2: expected \"window WIDTH HEIGHT REFRESH_RATE AMBIENT\"")
            << window;
    }
    EXPECT_EQ(refusal("vestrel-demo 1\nwindow 800 600 60 inf\n"),
              "line 2: expected \"window WIDTH HEIGHT REFRESH_RATE AMBIENT\"");

    // Version 2 cursors are whole offsets from the centre, and a step may
    // say which game-over buttons it hovered; version 1 knows no hover.
    const std::string head2 = "vestrel-demo 2\nwindow 800 600 60 0.1\n";
    const Case cases2[] = {
        {"cursor 0 0.5 0\n", "", "line 3: expected \"cursor STEP DX DY\" with whole pixels"},
        {"cursor 0 1000001 0\n", "", "line 3: expected \"cursor STEP DX DY\" with whole pixels"},
        {"hover 0 1\n", "", "line 3: hover without a step of its own"},
        {"cursor 0 0 0\nhover 0 1\nhover 0 1\n", "", "line 5: hover without a step of its own"},
        {"cursor 0 0 0\nhover 1 1\n", "", "line 4: step 1 out of order (expected 0)"},
        {"cursor 0 0 0\nhover 0 256\n", "", "line 4: expected \"hover STEP BUTTONS\""},
    };
    for (const Case& c : cases2) {
        EXPECT_EQ(refusal(head2 + c.lines), c.error) << c.lines;
    }
    EXPECT_EQ(refusal(kHead + "cursor 0 0 0\nhover 0 1\n"), "line 4: unknown record \"hover\"");
}

// Version 1 files hold positions in the header's window: they read as
// positions against that window's centre, fractions and all.
TEST(DemoFormat, VersionOneCursorsArePositionsInTheRecordedWindow) {
    Demo demo;
    std::string error;
    ASSERT_TRUE(parse(withEnd("vestrel-demo 1\nwindow 801 601 60 0.1\ncursor 0 10.5 -3\nframe 1\n",
                              "neither steps 1 frames 1 items 0 switches 0"),
                      demo, error))
        << error;
    EXPECT_EQ(demo.version, 1);
    ASSERT_EQ(demo.frames.size(), 1u);
    EXPECT_EQ(demo.frames[0].centreX, 400.0);  // integer centre, as the loop re-centres
    EXPECT_EQ(demo.frames[0].centreY, 300.0);
    EXPECT_EQ(demo.frames[0].steps[0].cursorX, 10.5);
    EXPECT_EQ(demo.frames[0].steps[0].cursorY, -3.0);
    EXPECT_EQ(demo.frames[0].steps[0].hover, -1);
}

// What the recorder accepts is exactly what a replay accepts: options at
// the limits are recorded and read back, options past them are refused
// before any file exists.
TEST(DemoFormat, RecordingRefusesTheOptionsAReplayWouldRefuse) {
    struct Case {
        DemoSettings settings;
        std::string why;  // empty: accepted
    };
    const Case cases[] = {
        {{1, 1, 1, 0.0f}, ""},
        {{16384, 16384, 1000, 100.0f}, ""},
        {{16385, 600, 60, 0.1f}, "width 16385 is outside 1 to 16384"},
        {{800, 20000, 60, 0.1f}, "height 20000 is outside 1 to 16384"},
        {{800, 600, 1001, 0.1f}, "refresh rate 1001 is outside 1 to 1000"},
        {{800, 600, 2000, 0.1f}, "refresh rate 2000 is outside 1 to 1000"},
        {{800, 600, 60, -1.0f}, "ambient -1 is outside 0 to 100"},
        {{800, 600, 60, 1e9f}, "ambient 1e+09 is outside 0 to 100"},
        {{800, 600, 60, 100.00001f}, "ambient 100.00001 is outside 0 to 100"},
    };
    const std::string path = temporaryPath("limits.dem");
    for (const Case& c : cases) {
        std::remove(path.c_str());
        DemoRecorder recorder;
        std::string error;
        const bool opened = recorder.open(path, c.settings, error);
        if (!c.why.empty()) {
            EXPECT_FALSE(opened);
            EXPECT_EQ(error, path + ": " + c.why + ", which no replay accepts");
            EXPECT_FALSE(std::filesystem::exists(path)) << c.why;
            continue;
        }
        ASSERT_TRUE(opened) << error;
        ASSERT_TRUE(recorder.finish(DemoTotals{}));
        Demo demo;
        ASSERT_TRUE(loadDemo(path, demo, error)) << error;
        EXPECT_EQ(demo.settings.width, c.settings.width);
        EXPECT_EQ(demo.settings.refreshRate, c.settings.refreshRate);
        EXPECT_EQ(demo.settings.ambient, c.settings.ambient);
    }
    std::remove(path.c_str());
}

TEST(DemoFormat, WholeFileRefusalsNameThePathAndTheReason) {
    Demo demo;
    std::string error;
    EXPECT_FALSE(loadDemo("/nonexistent/walk.dem", demo, error));
    EXPECT_EQ(error, "/nonexistent/walk.dem: can't open the file (No such file or directory)");
    const std::string folder = std::filesystem::temp_directory_path().string();
    EXPECT_FALSE(loadDemo(folder, demo, error));
    EXPECT_EQ(error, folder + ": a folder, not a demo file");
    // An endless source is refused after one line's worth, not swallowed.
    EXPECT_FALSE(loadDemo("/dev/zero", demo, error));
    EXPECT_EQ(error, "/dev/zero: line 1: not a Vestrel demo");
    EXPECT_FALSE(loadDemo("/dev/null", demo, error));
    EXPECT_EQ(error, "/dev/null: the file is empty");

    const std::string path = temporaryPath("huge.dem");
    {
        std::ofstream out(path, std::ios::binary);
        out << kHead;
    }
    std::filesystem::resize_file(path, kMaxDemoBytes + 1);  // sparse: costs no disk
    EXPECT_FALSE(loadDemo(path, demo, error));
    EXPECT_EQ(error, path + ": the file is larger than 256 MiB");
    std::remove(path.c_str());
}

TEST(ScreenshotSchedule, EveryNAndListsOfStepsAndNothingElse) {
    ScreenshotSchedule every;
    ASSERT_TRUE(every.parse("every:300"));
    EXPECT_FALSE(every.due(299));
    EXPECT_TRUE(every.due(300));
    EXPECT_FALSE(every.due(301));
    EXPECT_TRUE(every.due(600));

    ScreenshotSchedule listed;
    ASSERT_TRUE(listed.parse("600,120,1800"));
    EXPECT_TRUE(listed.due(120));
    EXPECT_TRUE(listed.due(600));
    EXPECT_FALSE(listed.due(240));
    EXPECT_TRUE(listed.due(1800));

    // A list is read up to 100000 steps; one more is refused.
    std::string many;
    for (int step = 1; step <= 100000; ++step) many += std::to_string(step) + ",";
    many.pop_back();
    ScreenshotSchedule longest;
    ASSERT_TRUE(longest.parse(many));
    EXPECT_TRUE(longest.due(1));
    EXPECT_TRUE(longest.due(100000));
    EXPECT_FALSE(longest.due(100001));
    ScreenshotSchedule tooLong;
    EXPECT_FALSE(tooLong.parse(many + ",100001"));
    EXPECT_TRUE(tooLong.empty());

    for (const char* bad :
         {"", "every:", "every:0", "every:-5", "1,,2", "12a", "-3", "0", "120,", "every:3x"}) {
        ScreenshotSchedule schedule;
        EXPECT_FALSE(schedule.parse(bad)) << bad;
        EXPECT_TRUE(schedule.empty()) << bad;
    }
}

// The saved picture is the window's back buffer as shown: its size, colours
// in place with the bottom row at the bottom (an odd width catches a row
// alignment left at GL's default of 4), and the caller's read framebuffer
// and read buffer put back.
TEST(Screenshot, SavesTheBackBufferAsShownAndPutsTheReadStateBack) {
    test::GlTestContext gl(33, 20);
    ASSERT_TRUE(gl.ok());
    TextureCache::instance();  // DevIL is started with the cache, as in the game
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 10, 5);  // the lower-left corner red
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glScissor(32, 19, 1, 1);  // the top-right pixel green
    glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);

    glReadBuffer(GL_FRONT);
    GLuint colour = 0, framebuffer = 0;
    glGenRenderbuffers(1, &colour);
    glBindRenderbuffer(GL_RENDERBUFFER, colour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, 4, 4);
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
    glFramebufferRenderbuffer(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);

    const std::string path = ::testing::TempDir() + "vestrel_shot_" + std::to_string(getpid()) + ".png";
    ASSERT_TRUE(saveWindowPicture(path, 33, 20));

    GLint readFramebuffer = 0, readBuffer = 0;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &readFramebuffer);
    EXPECT_EQ(static_cast<GLuint>(readFramebuffer), framebuffer);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glGetIntegerv(GL_READ_BUFFER, &readBuffer);
    EXPECT_EQ(readBuffer, GL_FRONT);
    glDeleteFramebuffers(1, &framebuffer);
    glDeleteRenderbuffers(1, &colour);

    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    ASSERT_EQ(ilLoadImage(path.c_str()), IL_TRUE);
    ASSERT_EQ(ilConvertImage(IL_RGB, IL_UNSIGNED_BYTE), IL_TRUE);
    ASSERT_EQ(ilGetInteger(IL_IMAGE_WIDTH), 33);
    ASSERT_EQ(ilGetInteger(IL_IMAGE_HEIGHT), 20);
    const bool topRowFirst = ilGetInteger(IL_IMAGE_ORIGIN) == IL_ORIGIN_UPPER_LEFT;
    const ILubyte* data = ilGetData();
    // (x, y) from the bottom left, as on the screen.
    auto rgb = [&](int x, int y) {
        const int row = topRowFirst ? 19 - y : y;
        const ILubyte* p = data + (row * 33 + x) * 3;
        return std::array<int, 3>{p[0], p[1], p[2]};
    };
    using Rgb = std::array<int, 3>;
    EXPECT_EQ(rgb(0, 0), (Rgb{255, 0, 0}));
    EXPECT_EQ(rgb(9, 4), (Rgb{255, 0, 0}));
    EXPECT_EQ(rgb(10, 4), (Rgb{0, 0, 255}));
    EXPECT_EQ(rgb(9, 5), (Rgb{0, 0, 255}));
    EXPECT_EQ(rgb(32, 19), (Rgb{0, 255, 0}));
    EXPECT_EQ(rgb(31, 19), (Rgb{0, 0, 255}));
    EXPECT_EQ(rgb(0, 19), (Rgb{0, 0, 255}));
    ilDeleteImages(1, &image);
    std::remove(path.c_str());
}

TEST(DemoEnvironment, VariablesMakeTheSessionAndBadValuesStopBeforeAnyWindow) {
    std::map<std::string, std::string> variables;
    auto environment = [&variables](const char* name) -> const char* {
        const auto found = variables.find(name);
        return found == variables.end() ? nullptr : found->second.c_str();
    };
    DemoSettings settings{1024, 768, 60, 0.1f};
    std::unique_ptr<DemoSession> session;
    std::string error;

    ASSERT_TRUE(DemoSession::fromEnvironment(environment, settings, session, error));
    EXPECT_EQ(session, nullptr);  // plain play: no session at all

    // The steps alone ask for pictures too, into "screenshots" in the working folder.
    {
        const std::filesystem::path previous = std::filesystem::current_path();
        std::filesystem::current_path(test::scratchFolder());
        variables["VESTREL_SCREENSHOT_STEPS"] = "5";
        const bool made = DemoSession::fromEnvironment(environment, settings, session, error);
        const bool folderMade = std::filesystem::is_directory("screenshots");
        std::filesystem::current_path(previous);
        variables.erase("VESTREL_SCREENSHOT_STEPS");
        ASSERT_TRUE(made) << error;
        ASSERT_NE(session, nullptr);
        EXPECT_FALSE(session->scripted());
        EXPECT_TRUE(folderMade);
    }

    // A replay plays with the recorded window, whatever the command line said.
    const std::string demoPath = temporaryPath("env.dem");
    {
        std::ofstream out(demoPath, std::ios::binary);
        out << withEnd("vestrel-demo 1\nwindow 640 480 75 0.25\ncursor 0 320 240\nframe 1\n",
                       "neither steps 1 frames 1 items 0 switches 0");
    }
    variables["VESTREL_REPLAY"] = demoPath;
    ASSERT_TRUE(DemoSession::fromEnvironment(environment, settings, session, error)) << error;
    ASSERT_NE(session, nullptr);
    EXPECT_TRUE(session->scripted());
    EXPECT_FALSE(session->acceptsLiveInput());
    EXPECT_FALSE(session->waitsForScreen());
    EXPECT_EQ(settings.width, 640);
    EXPECT_EQ(settings.height, 480);
    EXPECT_EQ(settings.refreshRate, 75);
    EXPECT_EQ(settings.ambient, 0.25f);

    variables["VESTREL_REPLAY_PACED"] = "0";
    ASSERT_TRUE(DemoSession::fromEnvironment(environment, settings, session, error));
    EXPECT_FALSE(session->waitsForScreen());
    variables["VESTREL_REPLAY_PACED"] = "1";
    ASSERT_TRUE(DemoSession::fromEnvironment(environment, settings, session, error));
    EXPECT_TRUE(session->waitsForScreen());

    // Nothing half-made is left behind by a refused set of variables.
    const std::string recordPath = temporaryPath("env_record.dem");
    std::remove(recordPath.c_str());
    variables["VESTREL_RECORD"] = recordPath;
    variables["VESTREL_TRACE"] = "ten";
    EXPECT_FALSE(DemoSession::fromEnvironment(environment, settings, session, error));
    EXPECT_EQ(error, "VESTREL_TRACE must be a number of steps, not \"ten\"");
    EXPECT_EQ(session, nullptr);
    EXPECT_FALSE(std::filesystem::exists(recordPath));
    variables.erase("VESTREL_TRACE");

    variables["VESTREL_SCREENSHOT_STEPS"] = "every:0";
    EXPECT_FALSE(DemoSession::fromEnvironment(environment, settings, session, error));
    EXPECT_NE(error.find("VESTREL_SCREENSHOT_STEPS"), std::string::npos);
    variables.erase("VESTREL_SCREENSHOT_STEPS");

    // A screenshot folder that exists but takes no files is refused up
    // front, like one that cannot be made. sysfs refuses new files even to
    // root; a folder without write permission refuses everyone else.
    std::vector<std::string> unwritable = {"/sys"};
    const std::string locked = temporaryPath("locked_shots");
    std::filesystem::create_directories(locked);
    std::filesystem::permissions(locked,
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    if (geteuid() != 0) unwritable.push_back(locked);
    for (const std::string& folder : unwritable) {
        variables["VESTREL_SCREENSHOT_DIR"] = folder;
        EXPECT_FALSE(DemoSession::fromEnvironment(environment, settings, session, error)) << folder;
        EXPECT_EQ(error.rfind("Can't write to the screenshot folder " + folder + " (", 0), 0u) << error;
        EXPECT_FALSE(std::filesystem::exists(recordPath));
    }
    std::filesystem::permissions(locked, std::filesystem::perms::owner_all);
    std::filesystem::remove_all(locked);
    variables.erase("VESTREL_SCREENSHOT_DIR");

    // A damaged demo names itself and the fault.
    {
        std::ofstream out(demoPath, std::ios::binary | std::ios::app);
        out << "cursor 1 320 240\n";
    }
    EXPECT_FALSE(DemoSession::fromEnvironment(environment, settings, session, error));
    EXPECT_EQ(error, "Can't replay demo: " + demoPath + ": line 6: text after the end line");

    variables.erase("VESTREL_REPLAY");
    variables["VESTREL_RECORD"] = "/nonexistent/folder/x.dem";
    EXPECT_FALSE(DemoSession::fromEnvironment(environment, settings, session, error));
    EXPECT_EQ(error, "Can't record demo: cannot create /nonexistent/folder/x.dem");
    std::remove(demoPath.c_str());
}

}  // namespace
}  // namespace vestrel
