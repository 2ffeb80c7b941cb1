#include "render/Framebuffer.h"

#include <iostream>
#include <utility>

#include "render/GlContext.h"

namespace vestrel {

Framebuffer::~Framebuffer() { release(); }

Framebuffer::Framebuffer(Framebuffer&& other) noexcept
    : width(std::exchange(other.width, 0)),
      height(std::exchange(other.height, 0)),
      framebuffer(std::exchange(other.framebuffer, 0u)),
      colourTexture(std::exchange(other.colourTexture, 0u)),
      colourTextureRecord(std::move(other.colourTextureRecord)),
      depthBuffer(std::exchange(other.depthBuffer, 0u)) {}

Framebuffer& Framebuffer::operator=(Framebuffer&& other) noexcept {
    if (this != &other) {
        release();
        width = std::exchange(other.width, 0);
        height = std::exchange(other.height, 0);
        framebuffer = std::exchange(other.framebuffer, 0u);
        colourTexture = std::exchange(other.colourTexture, 0u);
        colourTextureRecord = std::move(other.colourTextureRecord);
        depthBuffer = std::exchange(other.depthBuffer, 0u);
    }
    return *this;
}

void Framebuffer::create(int w, int h, GLenum depthFormat) {
    release();
    width = w < 1 ? 1 : w;
    height = h < 1 ? 1 : h;

    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);

    glGenTextures(1, &colourTexture);
    glBindTexture(GL_TEXTURE_2D, colourTexture);
    colourTextureRecord = Texture::adopt(colourTexture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    // One level only: the texture stays complete under every sampling mode
    // applySampling may set when the attachment is bound for reading (a
    // mipmap filter reads level 0), and no chain is made that would never
    // hold the pictures drawn into level 0.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glBindTexture(GL_TEXTURE_2D, 0);

    glGenRenderbuffers(1, &depthBuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, depthBuffer);
    glRenderbufferStorage(GL_RENDERBUFFER, depthFormat, width, height);

    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colourTexture, 0);
    const bool withStencil = depthFormat == GL_DEPTH24_STENCIL8 || depthFormat == GL_DEPTH32F_STENCIL8;
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, withStencil ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT,
                              GL_RENDERBUFFER, depthBuffer);
    const GLenum drawBuffer = GL_COLOR_ATTACHMENT0;
    glDrawBuffers(1, &drawBuffer);

    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        std::cout << "ERROR while creating framebuffer" << std::endl;
    }
}

void Framebuffer::release() {
    // The Texture record deletes the colour texture itself (and does nothing
    // without a context); the other two names are ours.
    colourTextureRecord.reset();
    colourTexture = 0;
    if (hasCurrentGlContext()) {
        if (depthBuffer != 0) glDeleteRenderbuffers(1, &depthBuffer);
        if (framebuffer != 0) glDeleteFramebuffers(1, &framebuffer);
    }
    depthBuffer = 0;
    framebuffer = 0;
    width = 0;
    height = 0;
}

}  // namespace vestrel
