#pragma once

#include <GL/glew.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace vestrel {

// One GL 2D texture. Move-only; the Texture deletes its GL name when
// destroyed (a no-op once the GL context is gone). Shared through
// std::shared_ptr by the TextureCache and its readers.
class Texture {
public:
    int width = 0;    // pixels, as loaded
    int height = 0;   // pixels, as loaded
    GLuint name = 0;  // the GL texture, 0 before upload

    Texture() = default;
    Texture(int pixelWidth, int pixelHeight);
    ~Texture();

    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;
    Texture(Texture&& other) noexcept;
    Texture& operator=(Texture&& other) noexcept;

    // Takes ownership of an existing GL texture (a framebuffer's colour
    // attachment, so it can be bound like any texture). Sizes stay 0.
    static std::unique_ptr<Texture> adopt(GLuint name);

    // Creates the GL texture from tightly packed 8-bit RGB rows, bottom row
    // first, with a full mip chain. Any texture this record held before is
    // deleted. Filtering is not set here: applySampling does it at every bind.
    // Leaves texture unit 0 active with texture 0 bound.
    void upload(const void* pixels, int pixelWidth, int pixelHeight);

private:
    void release();
};

// One level of a mip chain: tightly packed 8-bit RGB rows.
struct MipLevel {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
};

// The next level down of tightly packed 8-bit RGB rows: floor(width / 2) x
// floor(height / 2), at least 1 x 1, as GL sizes mip levels. Each texel is
// the rounded average of the texels under it, 2 along an even side, 3
// weighted 1, 2, 1 along an odd side (none of the picture is dropped).
MipLevel halveRgb(const std::uint8_t* pixels, int pixelWidth, int pixelHeight);

// Sets the filtering of the texture bound to GL_TEXTURE_2D from the
// GameSettings sampling mode (0 nearest, 1 bilinear, 2 trilinear,
// 3 anisotropic trilinear) and mip-map switch. Called after every bind for
// drawing, so a mode change shows on the next frame for every texture.
void applySampling();

}  // namespace vestrel
