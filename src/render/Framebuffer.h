#pragma once

#include <GL/glew.h>

#include <memory>

#include "render/Texture.h"

namespace vestrel {

// An off-screen render target: one RGBA8 colour texture and a depth
// renderbuffer (24-bit unless the creator asks for another format). Held by
// value in the Renderer; move-only, and the record that holds the names is
// the one that frees them (a no-op once the GL context is gone). The colour
// texture is also wrapped in a Texture record so a pass can bind it like any
// other image; that record owns and deletes the GL texture.
struct Framebuffer {
    int width = 0;
    int height = 0;
    GLuint framebuffer = 0;
    GLuint colourTexture = 0;
    std::unique_ptr<Texture> colourTextureRecord;
    GLuint depthBuffer = 0;

    Framebuffer() = default;
    ~Framebuffer();
    Framebuffer(const Framebuffer&) = delete;
    Framebuffer& operator=(const Framebuffer&) = delete;
    Framebuffer(Framebuffer&& other) noexcept;
    Framebuffer& operator=(Framebuffer&& other) noexcept;

    // Builds the target at w x h (any earlier one is released first) and leaves
    // it bound. An incomplete framebuffer prints "ERROR while creating
    // framebuffer" and is kept: the game carries on with it. Sizes below one
    // pixel are raised to one, so a tiny window still gets a usable target.
    // `depthFormat` is the renderbuffer's internal format; a depth copy from
    // another buffer needs the two formats to match.
    void create(int w, int h, GLenum depthFormat = GL_DEPTH_COMPONENT24);

    // Frees the colour texture, the renderbuffer and the framebuffer, in that
    // order, and returns the record to its empty state. Safe to call twice.
    void release();

    bool valid() const { return framebuffer != 0; }
};

}  // namespace vestrel
