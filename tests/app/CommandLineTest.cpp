#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <vector>

namespace vestrel {
namespace {

struct Options {
    int width = 800;
    int height = 600;
    bool fullscreen = false;
    int refreshRate = 60;
    float ambient = 0.1f;
};

bool parse(std::vector<const char*> args, Options& o) {
    args.insert(args.begin(), "vestrel");
    return tryParseArguments(o.width, o.height, o.fullscreen, o.refreshRate, o.ambient,
                             static_cast<int>(args.size()), args.data());
}

TEST(CommandLine, FewerThanTwoArgumentsKeepEveryDefault) {
    for (const std::vector<const char*>& args : {std::vector<const char*>{}, {"1024"}, {"abc"}}) {
        Options o;
        EXPECT_TRUE(parse(args, o));
        EXPECT_EQ(o.width, 800);
        EXPECT_EQ(o.height, 600);
        EXPECT_FALSE(o.fullscreen);
        EXPECT_EQ(o.refreshRate, 60);
        EXPECT_FLOAT_EQ(o.ambient, 0.1f);
    }
}

TEST(CommandLine, ReadsEachPositionIntoItsOption) {
    Options o;
    ASSERT_TRUE(parse({"1024", "768"}, o));
    EXPECT_EQ(o.width, 1024);
    EXPECT_EQ(o.height, 768);
    EXPECT_FALSE(o.fullscreen);
    EXPECT_EQ(o.refreshRate, 60);

    Options all;
    ASSERT_TRUE(parse({"1024", "768", "1", "75", "0.3", "extra", "ignored"}, all));
    EXPECT_TRUE(all.fullscreen);
    EXPECT_EQ(all.refreshRate, 75);
    EXPECT_FLOAT_EQ(all.ambient, 0.3f);
}

TEST(CommandLine, EachNumberIsReadAsFarAsItParses) {
    Options o;
    ASSERT_TRUE(parse({"800px", "600x"}, o));
    EXPECT_EQ(o.width, 800);
    EXPECT_EQ(o.height, 600);
    // An int stops at the exponent; a float reads it.
    ASSERT_TRUE(parse({"1e3", "600", "1", "75.9", "1e-1x"}, o));
    EXPECT_EQ(o.width, 1);
    EXPECT_EQ(o.refreshRate, 75);
    EXPECT_FLOAT_EQ(o.ambient, 0.1f);
}

TEST(CommandLine, SizesFromOneTo16384AndARefreshRateFromOne) {
    // The smallest and largest accepted values; the refresh rate has no top
    // and the ambient level is taken as written.
    Options o;
    ASSERT_TRUE(parse({"1", "1", "0", "1", "-2.5"}, o));
    EXPECT_EQ(o.width, 1);
    EXPECT_EQ(o.height, 1);
    EXPECT_EQ(o.refreshRate, 1);
    EXPECT_FLOAT_EQ(o.ambient, -2.5f);
    ASSERT_TRUE(parse({"16384", "16384", "1", "100000"}, o));
    EXPECT_EQ(o.width, kMaxWindowSide);
    EXPECT_EQ(o.height, kMaxWindowSide);

    const std::vector<std::vector<const char*>> bad = {
        {"-5", "600"},
        {"800", "-1"},
        {"0", "600"},
        {"800", "0"},
        {"800", "600", "0", "0"},
        {"800", "600", "1", "-60"},
        // Sizes the window system crashes on, fails on or wraps.
        {"16385", "600"},
        {"800", "16385"},
        {"70000", "600"},
        {"100000", "100000"},
        {"2147483647", "2147483647"},
    };
    for (const auto& args : bad) {
        Options refused;
        EXPECT_FALSE(parse(args, refused)) << args[0] << " " << args[1];
    }
}

TEST(CommandLine, MalformedArgumentsAreRejected) {
    const std::vector<std::vector<const char*>> bad = {
        {"abc", "600"},             // width as letters
        {"800", ""},                // empty height
        {"1024", "768", "2"},       // only 0 and 1 are flags
        {"1024", "768", "true"},    // no words either
        {"1024", "768", "1", "x"},  // refresh rate
        {"1024", "768", "1", "60", "dim"},
        {"99999999999", "600"},  // out of int range sets failbit
    };
    for (const auto& args : bad) {
        Options o;
        EXPECT_FALSE(parse(args, o)) << args[0] << " " << args[1];
    }
}

TEST(CommandLineDeathTest, MalformedArgumentPrintsUsageAndExitsWithOne) {
    int w = 800, h = 600, r = 60;
    bool f = false;
    float a = 0.1f;
    const char* argv[] = {"vestrel", "1024", "768", "2"};
    EXPECT_EXIT(parseArguments(w, h, f, r, a, 4, argv), ::testing::ExitedWithCode(1), "");
    const char* negative[] = {"vestrel", "-5", "600"};
    EXPECT_EXIT(parseArguments(w, h, f, r, a, 3, negative), ::testing::ExitedWithCode(1), "");
    const char* huge[] = {"vestrel", "2147483647", "2147483647"};
    EXPECT_EXIT(parseArguments(w, h, f, r, a, 3, huge), ::testing::ExitedWithCode(1), "");
}

}  // namespace
}  // namespace vestrel
