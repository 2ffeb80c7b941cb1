#include "render/Texture.h"

#include <IL/il.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include "app/GameSettings.h"
#include "render/TextureCache.h"
#include "support/ConsoleCapture.h"
#include "support/GlReleaseWatch.h"
#include "support/GlTestContext.h"

namespace vestrel {
namespace {

using test::ConsoleCapture;
using test::GlTestContext;

using Rgb = std::vector<std::uint8_t>;

std::string tempPath(const std::string& stem) {
    return "/tmp/vestrel_texture_" + std::to_string(getpid()) + "_" + stem;
}

// A binary PPM, written by hand so the row order is certain: top row first.
std::string writePpm(const std::string& stem, int width, int height, const Rgb& topRowFirst) {
    const std::string path = tempPath(stem);
    std::ofstream file(path, std::ios::binary);
    file << "P6\n" << width << " " << height << "\n255\n";
    file.write(reinterpret_cast<const char*>(topRowFirst.data()),
               static_cast<std::streamsize>(topRowFirst.size()));
    return path;
}

void put16(std::string& out, int v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& out, int v) {
    put16(out, v & 0xFFFF);
    put16(out, (v >> 16) & 0xFFFF);
}

// The pixel rows of a width x height picture, in the order `bottomUp` asks,
// each pixel as BGR (as TGA and BMP store it) and each row padded with zeros
// to `rowAlign` bytes.
std::string bgrRows(int width, int height, const Rgb& topRowFirst, bool bottomUp, int rowAlign) {
    std::string out;
    for (int i = 0; i < height; ++i) {
        const int row = bottomUp ? height - 1 - i : i;
        for (int column = 0; column < width; ++column) {
            const std::uint8_t* p = &topRowFirst[static_cast<std::size_t>((row * width + column) * 3)];
            out += {static_cast<char>(p[2]), static_cast<char>(p[1]), static_cast<char>(p[0])};
        }
        while ((width * 3) % rowAlign != 0 && out.size() % rowAlign != 0) out += '\0';
    }
    return out;
}

// An uncompressed 24-bit TGA, its rows stored bottom-up or top-down (the
// descriptor's bit 5).
std::string tgaBytes(int width, int height, const Rgb& topRowFirst, bool bottomUp) {
    std::string out(2, '\0');
    out += '\2';                  // uncompressed true colour
    out += std::string(9, '\0');  // no colour map; x and y origin 0
    put16(out, width);
    put16(out, height);
    out += static_cast<char>(24);
    out += static_cast<char>(bottomUp ? 0x00 : 0x20);
    return out + bgrRows(width, height, topRowFirst, bottomUp, 1);
}

// A 24-bit BMP; a negative height stores the rows top-down.
std::string bmpBytes(int width, int height, const Rgb& topRowFirst, bool bottomUp) {
    const std::string pixels = bgrRows(width, height, topRowFirst, bottomUp, 4);
    std::string out = "BM";
    put32(out, 54 + static_cast<int>(pixels.size()));
    put32(out, 0);
    put32(out, 54);
    put32(out, 40);
    put32(out, width);
    put32(out, bottomUp ? height : -height);
    put16(out, 1);
    put16(out, 24);
    put32(out, 0);
    put32(out, static_cast<int>(pixels.size()));
    put32(out, 2835);
    put32(out, 2835);
    put32(out, 0);
    put32(out, 0);
    return out + pixels;
}

// The texture's level 0 read back as tightly packed RGB, bottom row first.
Rgb readBack(const Texture& texture) {
    Rgb pixels(static_cast<size_t>(texture.width) * texture.height * 3);
    glBindTexture(GL_TEXTURE_2D, texture.name);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return pixels;
}

// Every test gets its own context; the process-wide cache is emptied while
// that context is still current so no entry outlives it.
class TextureTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gl.ok()) << "no GL 3.3 context";
        cache.textures.clear();
    }
    void TearDown() override {
        cache.textures.clear();
        for (const std::string& path : files) {
            std::remove(path.c_str());
        }
        GameSettings::instance().samplingMode = 3;
        GameSettings::instance().mipMaps = true;
    }
    std::string ppm(const std::string& stem, int width, int height, const Rgb& topRowFirst) {
        files.push_back(writePpm(stem, width, height, topRowFirst));
        return files.back();
    }

    GlTestContext gl{32, 32};
    TextureCache& cache = TextureCache::instance();
    std::vector<std::string> files;
};

// 5 pixels wide: 15 bytes a row, not a multiple of GL's default alignment.
// Whatever row order the file stores, the picture goes up bottom row first:
// an upside-down texture would show every image of that format inverted.
TEST_F(TextureTest, OddWidthImageUploadsUnskewedWithBottomRowFirstWhateverTheFileOrder) {
    const int width = 5;
    const int height = 3;
    Rgb topRowFirst;
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            topRowFirst.push_back(static_cast<std::uint8_t>(row * 80));
            topRowFirst.push_back(static_cast<std::uint8_t>(column * 50));
            topRowFirst.push_back(static_cast<std::uint8_t>(200 - row * 10 - column));
        }
    }
    Rgb expected;
    for (int row = height - 1; row >= 0; --row) {
        expected.insert(expected.end(), topRowFirst.begin() + row * width * 3,
                        topRowFirst.begin() + (row + 1) * width * 3);
    }
    const std::string ppmText = "P6\n5 3\n255\n" + std::string(topRowFirst.begin(), topRowFirst.end());
    const std::pair<const char*, std::string> cases[] = {
        {"top_down.ppm", ppmText},
        {"bottom_up.tga", tgaBytes(width, height, topRowFirst, true)},
        {"top_down.tga", tgaBytes(width, height, topRowFirst, false)},
        {"bottom_up.bmp", bmpBytes(width, height, topRowFirst, true)},
        {"top_down.bmp", bmpBytes(width, height, topRowFirst, false)},
    };
    for (const auto& [name, bytes] : cases) {
        files.push_back(tempPath(name));
        std::ofstream(files.back(), std::ios::binary) << bytes;
        Texture* texture = cache.load(files.back(), name);
        ASSERT_NE(texture, nullptr) << name;
        EXPECT_EQ(texture->width, width) << name;
        EXPECT_EQ(texture->height, height) << name;
        EXPECT_EQ(cache.find(name), texture) << name;
        EXPECT_EQ(readBack(*texture), expected) << name;
    }

    // A complete mip chain down to 1 x 1 (5 x 3, 2 x 1, 1 x 1), each level
    // the one worked out from the level above it.
    glBindTexture(GL_TEXTURE_2D, cache.find("top_down.ppm")->name);
    MipLevel above{width, height, expected};
    for (int level = 1; level <= 2; ++level) {
        SCOPED_TRACE(::testing::Message() << "level " << level);
        const MipLevel next = halveRgb(above.pixels.data(), above.width, above.height);
        GLint levelWidth = 0;
        GLint levelHeight = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &levelWidth);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &levelHeight);
        EXPECT_EQ(levelWidth, level == 1 ? 2 : 1);
        EXPECT_EQ(levelHeight, 1);
        Rgb stored(static_cast<size_t>(levelWidth) * levelHeight * 3);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, level, GL_RGB, GL_UNSIGNED_BYTE, stored.data());
        EXPECT_EQ(stored, next.pixels);
        above = next;
    }
    glBindTexture(GL_TEXTURE_2D, 0);
}

// A grey picture, one value a texel (the same in red, green and blue).
Rgb grey(std::initializer_list<int> values) {
    Rgb pixels;
    for (int value : values) pixels.insert(pixels.end(), 3, static_cast<std::uint8_t>(value));
    return pixels;
}

// The next mip level down, texel by texel: the rounded average of the 2 x 2
// under an even side, 1-2-1 weights along an odd side, the row or column
// itself along a side of 1; sizes halve and stop at 1.
TEST(MipLevel, EachTexelAveragesTheTexelsUnderItWithNoneLeftOut) {
    struct Case {
        const char* what;
        int width, height;
        Rgb pixels;
        int nextWidth, nextHeight;
        Rgb next;
    };
    const Case cases[] = {
        {"2 x 2, rounded: 3 / 4 is 1",
         2,
         2,
         {0, 10, 255, 1, 20, 255, 1, 30, 0, 1, 40, 0},
         1,
         1,
         {1, 25, 128}},
        {"3 x 1: 1, 2, 1 along an odd side, the last column kept", 3, 1, grey({0, 0, 200}), 1, 1, grey({50})},
        {"1 x 3: the same down an odd column", 1, 3, grey({0, 0, 200}), 1, 1, grey({50})},
        {"4 x 1: a side of 1 stays 1", 4, 1, grey({0, 100, 10, 30}), 2, 1, grey({50, 20})},
        {"5 x 1: the middle texel of an odd side feeds both", 5, 1, grey({0, 0, 40, 0, 0}), 2, 1,
         grey({10, 10})},
        {"3 x 3: the far corner weighs 1 / 16", 3, 3, grey({255, 255, 255, 255, 255, 255, 255, 255, 0}), 1, 1,
         grey({239})},
        {"1 x 1: the last level is itself", 1, 1, {7, 8, 9}, 1, 1, {7, 8, 9}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const MipLevel next = halveRgb(c.pixels.data(), c.width, c.height);
        EXPECT_EQ(next.width, c.nextWidth);
        EXPECT_EQ(next.height, c.nextHeight);
        EXPECT_EQ(next.pixels, c.next);
    }
}

TEST_F(TextureTest, AlphaChannelIsDropped) {
    // An RGBA PNG, half-transparent red over nothing.
    const std::string path = tempPath("alpha.png");
    files.push_back(path);
    std::vector<std::uint8_t> rgba = {255, 0, 0, 128, 0, 255, 0, 0, 0, 0, 255, 255, 10, 20, 30, 40};
    ilInit();
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    ASSERT_TRUE(ilTexImage(2, 2, 1, 4, IL_RGBA, IL_UNSIGNED_BYTE, rgba.data()));
    ilEnable(IL_FILE_OVERWRITE);
    ASSERT_TRUE(ilSaveImage(path.c_str()));
    ilDeleteImages(1, &image);

    Texture* texture = cache.load(path, "ALPHA");
    ASSERT_NE(texture, nullptr);
    glBindTexture(GL_TEXTURE_2D, texture->name);
    GLint alphaBits = -1;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_ALPHA_SIZE, &alphaBits);
    EXPECT_EQ(alphaBits, 0);
    glBindTexture(GL_TEXTURE_2D, 0);
    // Colours keep their values, not blended with the alpha.
    Rgb pixels = readBack(*texture);
    std::sort(pixels.begin(), pixels.end());
    Rgb expected = {255, 0, 0, 0, 255, 0, 0, 0, 255, 10, 20, 30};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(pixels, expected);
}

TEST_F(TextureTest, ReloadingAKeyReplacesAndReleasesTheOldTexture) {
    const std::string first = ppm("first.ppm", 1, 1, {1, 2, 3});
    const std::string second = ppm("second.ppm", 2, 1, {4, 5, 6, 7, 8, 9});
    Texture* old = cache.load(first, "KEY");
    ASSERT_NE(old, nullptr);
    const GLuint oldName = old->name;

    Texture* fresh = cache.load(second, "KEY");
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(cache.textures.size(), 1u);
    EXPECT_EQ(cache.find("KEY"), fresh);
    EXPECT_EQ(fresh->width, 2);
    EXPECT_EQ(glIsTexture(oldName), GL_FALSE);

    // Another owner keeps the replaced texture alive until it lets go.
    std::shared_ptr<Texture> held = cache.textures["KEY"];
    const GLuint heldName = held->name;
    cache.load(first, "KEY");
    EXPECT_EQ(glIsTexture(heldName), GL_TRUE);
    held.reset();
    EXPECT_EQ(glIsTexture(heldName), GL_FALSE);
}

TEST_F(TextureTest, UnreadableImagesAreReportedAndStoreNothing) {
    const std::string garbage = tempPath("garbage.png");
    files.push_back(garbage);
    std::ofstream(garbage, std::ios::binary) << "this is not a picture at all \x01\x02\x03\xff";
    const std::string missing = tempPath("missing.png");

    for (const std::string& path : {missing, garbage}) {
        SCOPED_TRACE(path);
        ConsoleCapture console;
        EXPECT_EQ(cache.load(path, "BROKEN"), nullptr);
        EXPECT_EQ(cache.textures.count("BROKEN"), 0u);
        const std::string text = console.text();
        EXPECT_EQ(text.rfind("Failed to load image from path: " + path + "\nError Code: ", 0), 0u) << text;
        // Headline, code and the library's text: three lines.
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3) << text;
    }

    // A failed reload leaves the earlier texture under that key in place.
    const std::string good = ppm("good.ppm", 1, 1, {9, 9, 9});
    Texture* kept = cache.load(good, "KEPT");
    ASSERT_NE(kept, nullptr);
    ConsoleCapture console;
    EXPECT_EQ(cache.load(missing, "KEPT"), nullptr);
    EXPECT_EQ(cache.find("KEPT"), kept);
    EXPECT_EQ(glIsTexture(kept->name), GL_TRUE);
}

TEST_F(TextureTest, SamplingModesSetFiltersOnTheBoundTexture) {
    GLfloat maxAnisotropy = 0.0f;
    glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &maxAnisotropy);
    ASSERT_GT(maxAnisotropy, 1.0f);

    const struct {
        int mode;
        bool mipMaps;
        GLint minFilter;
        GLint magFilter;
        GLfloat anisotropy;
    } table[] = {
        {0, true, GL_NEAREST_MIPMAP_NEAREST, GL_NEAREST, 1.0f},
        {0, false, GL_NEAREST, GL_NEAREST, 1.0f},
        {1, true, GL_LINEAR_MIPMAP_NEAREST, GL_LINEAR, 1.0f},
        {1, false, GL_LINEAR, GL_LINEAR, 1.0f},
        {2, true, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR, 1.0f},
        {2, false, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR, 1.0f},
        {3, true, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR, maxAnisotropy},
        {3, false, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR, maxAnisotropy},
        // From the top mode straight down: nothing of mode 3 lingers.
        {0, false, GL_NEAREST, GL_NEAREST, 1.0f},
    };
    const std::uint8_t pixel[3] = {1, 2, 3};
    Texture texture(1, 1);
    texture.upload(pixel, 1, 1);
    glBindTexture(GL_TEXTURE_2D, texture.name);
    GameSettings& settings = GameSettings::instance();
    for (const auto& row : table) {
        SCOPED_TRACE(::testing::Message() << "mode " << row.mode << " mipMaps " << row.mipMaps);
        settings.samplingMode = row.mode;
        settings.mipMaps = row.mipMaps;
        applySampling();
        GLint minFilter = 0;
        GLint magFilter = 0;
        GLfloat anisotropy = 0.0f;
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
        glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, &anisotropy);
        EXPECT_EQ(minFilter, row.minFilter);
        EXPECT_EQ(magFilter, row.magFilter);
        EXPECT_FLOAT_EQ(anisotropy, row.anisotropy);
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TextureTest, OwnershipMovesAndReuploadFreesThePreviousName) {
    const std::uint8_t pixel[3] = {1, 2, 3};
    Texture first(1, 1);
    first.upload(pixel, 1, 1);
    const GLuint firstName = first.name;
    first.upload(pixel, 1, 1);
    EXPECT_EQ(glIsTexture(firstName), GL_FALSE);

    const GLuint name = first.name;
    {
        Texture moved(std::move(first));
        EXPECT_EQ(first.name, 0u);
        EXPECT_EQ(moved.name, name);
        EXPECT_EQ(glIsTexture(name), GL_TRUE);
    }
    EXPECT_EQ(glIsTexture(name), GL_FALSE);

    // Adopting a framebuffer's colour texture makes the record its owner.
    GLuint attachment = 0;
    glGenTextures(1, &attachment);
    glBindTexture(GL_TEXTURE_2D, attachment);
    glBindTexture(GL_TEXTURE_2D, 0);
    Texture::adopt(attachment).reset();
    EXPECT_EQ(glIsTexture(attachment), GL_FALSE);
}

TEST_F(TextureTest, ReleaseAfterTheWindowIsGoneIsHarmless) {
    Texture* cached = cache.load(ppm("late.ppm", 1, 1, {7, 7, 7}), "LATE");
    ASSERT_NE(cached, nullptr);
    const std::uint8_t pixel[3] = {1, 2, 3};
    auto own = std::make_unique<Texture>(1, 1);
    own->upload(pixel, 1, 1);

    {
        // The watch sees a release made while the window is there.
        auto seen = std::make_unique<Texture>(1, 1);
        seen->upload(pixel, 1, 1);
        test::GlReleaseWatch watch;
        seen.reset();
        EXPECT_EQ(watch.journal(), "glDeleteTextures");
    }

    gl.destroyWindow();
    test::GlReleaseWatch watch;
    own.reset();
    cache.textures.clear();
    EXPECT_EQ(watch.calls(), 0) << watch.journal();
}

}  // namespace
}  // namespace vestrel
