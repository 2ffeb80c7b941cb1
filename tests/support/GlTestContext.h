#pragma once

#include <GL/glew.h>

#include <array>
#include <cstdint>
#include <vector>

struct GLFWwindow;

namespace vestrel::test {

// A hidden GLFW window with an OpenGL 3.3 core context, made current, with
// GLEW initialised. Under Xvfb this is Mesa's llvmpipe. Tests that need GL
// create one per test (or per suite) and read back what reached the pixels.
class GlTestContext {
public:
    // `depthBits` 0 asks for a window without a depth buffer.
    explicit GlTestContext(int width = 256, int height = 256, int depthBits = 24);
    ~GlTestContext();
    GlTestContext(const GlTestContext&) = delete;
    GlTestContext& operator=(const GlTestContext&) = delete;

    bool ok() const { return window_ != nullptr; }
    GLFWwindow* window() const { return window_; }
    int width() const { return width_; }
    int height() const { return height_; }

    // RGBA of one pixel of the currently bound read framebuffer; (0, 0) is
    // the bottom-left corner, as in GL.
    std::array<std::uint8_t, 4> pixel(int x, int y) const;
    // The whole framebuffer, bottom row first, 4 bytes a pixel.
    std::vector<std::uint8_t> readPixels() const;
    // Writes the framebuffer as a PNG (for looking at a failing test).
    bool savePng(const char* path) const;

    // Destroys the window (and context) early, keeping glfw initialised, so a
    // test can check what happens to GL objects released afterwards.
    void destroyWindow();

private:
    GLFWwindow* window_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

}  // namespace vestrel::test
