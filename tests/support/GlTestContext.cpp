#include "GlTestContext.h"

#include <GLFW/glfw3.h>
#include <IL/il.h>

#include <cstdio>

namespace vestrel::test {

namespace {
void printGlfwError(int code, const char* description) {
    std::fprintf(stderr, "GLFW error %d: %s\n", code, description);
}
}  // namespace

GlTestContext::GlTestContext(int width, int height, int depthBits) : width_(width), height_(height) {
    glfwSetErrorCallback(printGlfwError);
    if (!glfwInit()) {
        return;
    }
    glfwDefaultWindowHints();
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    glfwWindowHint(GLFW_OPENGL_FORWARD_COMPAT, GLFW_TRUE);
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    glfwWindowHint(GLFW_DEPTH_BITS, depthBits);
    glfwWindowHint(GLFW_STENCIL_BITS, depthBits > 0 ? 8 : 0);
    window_ = glfwCreateWindow(width, height, "vestrel-test", nullptr, nullptr);
    if (window_ == nullptr) {
        return;
    }
    glfwMakeContextCurrent(window_);
    glewExperimental = GL_TRUE;
    if (glewInit() != GLEW_OK) {
        glfwDestroyWindow(window_);
        window_ = nullptr;
        return;
    }
    // GLEW may leave GL_INVALID_ENUM behind on core profiles; start clean.
    while (glGetError() != GL_NO_ERROR) {
    }
    glViewport(0, 0, width, height);
}

GlTestContext::~GlTestContext() { destroyWindow(); }

void GlTestContext::destroyWindow() {
    if (window_ != nullptr) {
        glfwMakeContextCurrent(nullptr);
        glfwDestroyWindow(window_);
        window_ = nullptr;
    }
}

std::array<std::uint8_t, 4> GlTestContext::pixel(int x, int y) const {
    std::array<std::uint8_t, 4> rgba{};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    return rgba;
}

std::vector<std::uint8_t> GlTestContext::readPixels() const {
    std::vector<std::uint8_t> pixels(static_cast<size_t>(width_) * height_ * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

bool GlTestContext::savePng(const char* path) const {
    std::vector<std::uint8_t> pixels = readPixels();
    ilInit();
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    // DevIL's default origin is the lower left, as GL's read-back is.
    ilTexImage(static_cast<ILuint>(width_), static_cast<ILuint>(height_), 1, 4, IL_RGBA, IL_UNSIGNED_BYTE,
               pixels.data());
    ilEnable(IL_FILE_OVERWRITE);
    const bool saved = ilSaveImage(path) == IL_TRUE;
    ilDeleteImages(1, &image);
    return saved;
}

}  // namespace vestrel::test
