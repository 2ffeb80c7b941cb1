#include "render/Texture.h"

#include <algorithm>
#include <utility>

#include "app/GameSettings.h"
#include "render/GlContext.h"

namespace vestrel {

Texture::Texture(int pixelWidth, int pixelHeight) : width(pixelWidth), height(pixelHeight) {}

Texture::~Texture() { release(); }

Texture::Texture(Texture&& other) noexcept
    : width(other.width), height(other.height), name(std::exchange(other.name, 0)) {}

Texture& Texture::operator=(Texture&& other) noexcept {
    if (this != &other) {
        release();
        width = other.width;
        height = other.height;
        name = std::exchange(other.name, 0);
    }
    return *this;
}

std::unique_ptr<Texture> Texture::adopt(GLuint name) {
    auto texture = std::make_unique<Texture>();
    texture->name = name;
    return texture;
}

void Texture::release() {
    if (name != 0 && hasCurrentGlContext()) {
        glDeleteTextures(1, &name);
    }
    name = 0;
}

namespace {

// How one texel of the next level down averages the texels under it along a
// side of `size` texels: the two under it along an even side, three weighted
// 1, 2, 1 along an odd one (so that no row or column of the picture is left
// out of the smaller levels), itself along a side of 1. The same for every
// texel of the side; texel n of the next level starts at source texel
// step * n.
struct Taps {
    int step = 0;
    int weights[3] = {1, 0, 0};
    int count = 1;
    int total = 1;
};

Taps tapsFor(int size) {
    Taps taps;
    if (size == 1) {
        return taps;
    } else if (size % 2 == 0) {
        taps.weights[1] = 1;
        taps.count = 2;
        taps.total = 2;
    } else {
        taps.weights[1] = 2;
        taps.weights[2] = 1;
        taps.count = 3;
        taps.total = 4;
    }
    taps.step = 2;
    return taps;
}

}  // namespace

MipLevel halveRgb(const std::uint8_t* pixels, int pixelWidth, int pixelHeight) {
    MipLevel next;
    next.width = std::max(1, pixelWidth / 2);
    next.height = std::max(1, pixelHeight / 2);
    next.pixels.resize(static_cast<size_t>(next.width) * next.height * 3);
    std::uint8_t* out = next.pixels.data();
    const Taps rows = tapsFor(pixelHeight);
    const Taps columns = tapsFor(pixelWidth);
    const unsigned total = static_cast<unsigned>(rows.total * columns.total);
    for (int y = 0; y < next.height; ++y) {
        for (int x = 0; x < next.width; ++x) {
            unsigned sum[3] = {0, 0, 0};
            for (int j = 0; j < rows.count; ++j) {
                const std::uint8_t* row = pixels + static_cast<size_t>(rows.step * y + j) * pixelWidth * 3;
                for (int i = 0; i < columns.count; ++i) {
                    const std::uint8_t* texel = row + (columns.step * x + i) * 3;
                    const unsigned weight = static_cast<unsigned>(rows.weights[j] * columns.weights[i]);
                    sum[0] += weight * texel[0];
                    sum[1] += weight * texel[1];
                    sum[2] += weight * texel[2];
                }
            }
            for (unsigned channel : sum) {
                *out++ = static_cast<std::uint8_t>((channel + total / 2) / total);
            }
        }
    }
    return next;
}

void Texture::upload(const void* pixels, int pixelWidth, int pixelHeight) {
    release();
    width = pixelWidth;
    height = pixelHeight;
    glGenTextures(1, &name);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, name);

    // Rows are tightly packed (3 bytes a pixel); GL's default alignment of 4
    // would skew every row of an image whose width * 3 is not a multiple of 4.
    GLint savedAlignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &savedAlignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE, pixels);

    // The smaller levels are worked out here rather than by glGenerateMipmap:
    // llvmpipe draws each level as a pass of its own and waits for it, which
    // cost about 0.5 s of the game's start for its 56 images (and made the
    // rasteriser finish the frame so far when a texture was made mid-frame).
    MipLevel level{width, height, {}};
    const std::uint8_t* source = static_cast<const std::uint8_t*>(pixels);
    for (int index = 1; level.width > 1 || level.height > 1; ++index) {
        level = halveRgb(source, level.width, level.height);
        glTexImage2D(GL_TEXTURE_2D, index, GL_RGB, level.width, level.height, 0, GL_RGB, GL_UNSIGNED_BYTE,
                     level.pixels.data());
        source = level.pixels.data();
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, savedAlignment);
    glBindTexture(GL_TEXTURE_2D, 0);
}

namespace {

bool hasAnisotropicFiltering() {
    return GLEW_EXT_texture_filter_anisotropic || GLEW_ARB_texture_filter_anisotropic;
}

}  // namespace

void applySampling() {
    const GameSettings& settings = GameSettings::instance();
    const bool mipMaps = settings.mipMaps;

    GLfloat anisotropy = 1.0f;
    GLint minFilter = GL_LINEAR_MIPMAP_LINEAR;
    GLint magFilter = GL_LINEAR;
    switch (settings.samplingMode) {
        case 0:  // nearest neighbour
            minFilter = mipMaps ? GL_NEAREST_MIPMAP_NEAREST : GL_NEAREST;
            magFilter = GL_NEAREST;
            break;
        case 1:  // bilinear
            minFilter = mipMaps ? GL_LINEAR_MIPMAP_NEAREST : GL_LINEAR;
            break;
        case 2:  // trilinear: always samples the mip chain
            break;
        default:  // 3, anisotropic trilinear at the driver's maximum
            if (hasAnisotropicFiltering()) {
                glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &anisotropy);
            }
            break;
    }
    // Without the extension the parameter does not exist; mode 3 is then trilinear.
    if (hasAnisotropicFiltering()) {
        glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, anisotropy);
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magFilter);
}

}  // namespace vestrel
