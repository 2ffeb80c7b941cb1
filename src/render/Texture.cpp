#include "render/Texture.h"

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
    glPixelStorei(GL_UNPACK_ALIGNMENT, savedAlignment);

    glGenerateMipmap(GL_TEXTURE_2D);
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
