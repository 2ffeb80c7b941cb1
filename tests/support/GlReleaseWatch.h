#pragma once

#include <string>

namespace vestrel::test {

// Counts the GL release calls made while an instance lives: glDeleteBuffers,
// glDeleteVertexArrays, glDeleteProgram, glDeleteShader,
// glDeleteFramebuffers, glDeleteRenderbuffers and glDeleteTextures. The calls
// still reach GL. Tests use it to show that an owner released after the
// window is gone makes no GL call at all (on Mesa such a call would be a
// silent no-op, so only counting can tell).
//
// Make it after the context it watches: glewInit resets the entry points.
// One watch at a time.
class GlReleaseWatch {
public:
    GlReleaseWatch();
    ~GlReleaseWatch();
    GlReleaseWatch(const GlReleaseWatch&) = delete;
    GlReleaseWatch& operator=(const GlReleaseWatch&) = delete;

    // Release calls seen so far, all kinds together.
    int calls() const;
    // The names of the functions called, in call order, space separated.
    std::string journal() const;
    void reset();
};

}  // namespace vestrel::test
