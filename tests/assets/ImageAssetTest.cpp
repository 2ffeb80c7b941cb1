// The game's 2D images, loaded with DevIL the way the texture cache loads
// them, and checked for what the HUD and the TV expect of them.
#include <IL/il.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// An RGB image with row 0 at the top, whatever origin the file stored.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;

    bool ok() const { return width > 0 && height > 0; }
    int luminance(int x, int y) const {
        const unsigned char* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
        return (p[0] * 30 + p[1] * 59 + p[2] * 11) / 100;
    }
    int strongestChannel(int x, int y) const {
        const unsigned char* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
        return std::max({p[0], p[1], p[2]});
    }
};

Picture load(const std::string& path) {
    static const bool initialised = [] {
        ilInit();
        return true;
    }();
    (void)initialised;
    Picture picture;
    ILuint image = ilGenImage();
    ilBindImage(image);
    if (ilLoadImage(path.c_str()) && ilConvertImage(IL_RGB, IL_UNSIGNED_BYTE)) {
        picture.width = ilGetInteger(IL_IMAGE_WIDTH);
        picture.height = ilGetInteger(IL_IMAGE_HEIGHT);
        const unsigned char* data = ilGetData();
        picture.rgb.assign(data, data + static_cast<size_t>(picture.width) * picture.height * 3);
        if (ilGetInteger(IL_IMAGE_ORIGIN) == IL_ORIGIN_LOWER_LEFT) {
            size_t row = static_cast<size_t>(picture.width) * 3;
            for (int y = 0; y < picture.height / 2; ++y)
                std::swap_ranges(picture.rgb.begin() + y * row, picture.rgb.begin() + (y + 1) * row,
                                 picture.rgb.end() - (y + 1) * row);
        }
    }
    while (ilGetError() != IL_NO_ERROR) {
    }
    ilDeleteImage(image);
    return picture;
}

double meanDifference(const Picture& a, const Picture& b) {
    double sum = 0.0;
    for (size_t i = 0; i < a.rgb.size(); ++i) sum += std::abs(int(a.rgb[i]) - int(b.rgb[i]));
    return sum / a.rgb.size();
}

TEST(ImageAssets, EveryImageLoadsAtItsSize) {
    struct Expected {
        const char* path;
        int width, height;
    };
    const std::vector<Expected> images = {
        {"Assets/Screen_message/Loadingscreen/Loadingscreen_0.png", 1280, 720},
        {"Assets/Screen_message/WinMsg.png", 1024, 320},
        {"Assets/Screen_message/LoseMsg.png", 1280, 720},
        {"Assets/Textures/font.jpg", 1024, 1024},
        {"Assets/Items/flashlight_item.png", 128, 128},
        {"Assets/Items/banana_item.png", 128, 128},
        {"Assets/Items/duck_item.png", 128, 128},
        {"Assets/Items/can_item.png", 128, 128},
        {"Assets/Items/file_item.png", 128, 128},
    };
    for (const Expected& e : images) {
        Picture p = load(e.path);
        EXPECT_TRUE(p.ok()) << e.path << " does not load";
        EXPECT_EQ(p.width, e.width) << e.path;
        EXPECT_EQ(p.height, e.height) << e.path;
    }
}

TEST(ImageAssets, WinBannerFitsAboveTheButtonsOnAWideWindow) {
    // The win image is drawn 0.75 of the window wide, centred at 0.75 of its
    // height: on a 16:9 window it must be at most 0.375 as high as wide to
    // stay on screen and clear of the buttons.
    Picture win = load("Assets/Screen_message/WinMsg.png");
    ASSERT_TRUE(win.ok());
    EXPECT_LE(double(win.height) / win.width, 0.375);
}

TEST(ImageAssets, ButtonStatesShareASizeAndLookClearlyDifferent) {
    for (std::string name : {"Exit", "Restart"}) {
        const std::string base = "Assets/Screen_message/Buttons/" + name + "_Button";
        Picture normal = load(base + ".png");
        Picture over = load(base + "_Mouseover.png");
        Picture pressed = load(base + "_Pressed.png");
        ASSERT_TRUE(normal.ok() && over.ok() && pressed.ok()) << name;
        // The button's height follows its current image: equal sizes keep it
        // from jumping when the mouse moves over it.
        EXPECT_EQ(normal.width, over.width) << name;
        EXPECT_EQ(normal.height, over.height) << name;
        EXPECT_EQ(normal.width, pressed.width) << name;
        EXPECT_EQ(normal.height, pressed.height) << name;
        EXPECT_GT(normal.width, normal.height) << name;
        if (normal.rgb.size() != over.rgb.size() || normal.rgb.size() != pressed.rgb.size()) continue;
        EXPECT_GT(meanDifference(normal, over), 12.0) << name;
        EXPECT_GT(meanDifference(normal, pressed), 12.0) << name;
        EXPECT_GT(meanDifference(over, pressed), 12.0) << name;
    }
}

TEST(ImageAssets, ExitAndRestartAreNotTheSameButton) {
    Picture exitButton = load("Assets/Screen_message/Buttons/Exit_Button.png");
    Picture restartButton = load("Assets/Screen_message/Buttons/Restart_Button.png");
    ASSERT_EQ(exitButton.rgb.size(), restartButton.rgb.size());
    EXPECT_GT(meanDifference(exitButton, restartButton), 3.0);
}

// The HUD reads a fixed 10 x 10 grid of 102.4-pixel cells and shows only the
// upper-left part of each, 0.02 of the sheet short of its right and lower edges.
constexpr double kCell = 102.4;
constexpr int kVisible = int(kCell - 0.02 * 1024) - 1;  // 80 whole pixels, with a pixel of slack

struct CellInk {
    int inside = 0;   // bright pixels in the part the HUD shows
    int outside = 0;  // bright pixels in the part it cuts off
};

CellInk inkOfCell(const Picture& atlas, int cell) {
    CellInk ink;
    int x0 = int(std::ceil((cell % 10) * kCell));
    int y0 = int(std::ceil((cell / 10) * kCell));
    int x1 = int((cell % 10 + 1) * kCell);
    int y1 = int((cell / 10 + 1) * kCell);
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            if (atlas.luminance(x, y) < 128) continue;
            if (x - x0 < kVisible && y - y0 < kVisible)
                ++ink.inside;
            else
                ++ink.outside;
        }
    }
    return ink;
}

TEST(ImageAssets, FontAtlasHoldsEverySupportedGlyphInsideTheShownPartOfItsCell) {
    Picture atlas = load("Assets/Textures/font.jpg");
    ASSERT_TRUE(atlas.ok());
    ASSERT_EQ(atlas.width, 1024);
    ASSERT_EQ(atlas.height, 1024);
    std::string supported = "0123456789:";
    for (char c = 'A'; c <= 'Z'; ++c) supported += c;
    supported += "!'-./?+";  // the punctuation of prompts and captions (a comma would be cut)
    std::vector<int> inkInside;
    for (char c : supported) {
        CellInk ink = inkOfCell(atlas, c - 32);
        EXPECT_GT(ink.inside, 60) << "'" << c << "' is missing from cell " << (c - 32);
        EXPECT_EQ(ink.outside, 0) << "'" << c << "' runs into the part of its cell the HUD cuts off";
        inkInside.push_back(ink.inside);
    }
    // The space has a cell of its own, and it must draw nothing.
    CellInk space = inkOfCell(atlas, 98);
    EXPECT_EQ(space.inside + space.outside, 0);
    // Light glyphs on black: most of the sheet is dark.
    long dark = 0;
    for (int y = 0; y < atlas.height; ++y)
        for (int x = 0; x < atlas.width; ++x) dark += atlas.luminance(x, y) < 32;
    EXPECT_GT(dark, 0.75 * atlas.width * atlas.height);
    // Glyphs differ: a ':' has far less ink than an 'M' or a '0'. (Punctuation
    // has little ink: the check for it is only that it is there.)
    EXPECT_LT(inkInside[10] * 2, inkInside[supported.find('M')]);
    EXPECT_LT(inkInside[10] * 2, inkInside[0]);
}

TEST(ImageAssets, TvFramesPlayInByteOrderAndFlicker) {
    // The TV lists its folder sorted byte-wise and loads every entry; with
    // zero-padded numbers that order is the intended play order.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator("Assets/TV_animated")) {
        EXPECT_TRUE(entry.is_regular_file()) << entry.path() << " would show as a blank frame";
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    ASSERT_GE(names.size(), 2u);
    ASSERT_LE(names.size(), 30u);
    Picture previous;
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string& name = names[i];
        size_t digits = name.find_first_of("0123456789");
        ASSERT_NE(digits, std::string::npos) << name;
        EXPECT_EQ(std::atoi(name.c_str() + digits), int(i)) << name << " is out of play order";
        Picture frame = load("Assets/TV_animated/" + name);
        ASSERT_TRUE(frame.ok()) << name;
        if (previous.ok()) {
            EXPECT_EQ(frame.width, previous.width) << name;
            EXPECT_EQ(frame.height, previous.height) << name;
            if (frame.rgb.size() == previous.rgb.size()) {
                EXPECT_GT(meanDifference(frame, previous), 5.0) << name;
            }
        }
        previous = frame;
    }
}

TEST(ImageAssets, MessagesAreDarkWithLightLettering) {
    for (const char* path : {"Assets/Screen_message/Loadingscreen/Loadingscreen_0.png",
                             "Assets/Screen_message/WinMsg.png", "Assets/Screen_message/LoseMsg.png"}) {
        Picture p = load(path);
        ASSERT_TRUE(p.ok()) << path;
        long dark = 0, bright = 0;
        for (int y = 0; y < p.height; ++y) {
            for (int x = 0; x < p.width; ++x) {
                dark += p.luminance(x, y) < 60;
                // Blood-red lettering counts as bright as white does.
                bright += p.strongestChannel(x, y) > 150;
            }
        }
        const double pixels = double(p.width) * p.height;
        EXPECT_GT(dark / pixels, 0.5) << path;
        // Enough strong lettering to read, but text, not a bright picture.
        EXPECT_GT(bright / pixels, 0.01) << path;
        EXPECT_LT(bright / pixels, 0.3) << path;
    }
}

}  // namespace
