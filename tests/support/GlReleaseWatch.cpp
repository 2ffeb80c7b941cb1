#include "GlReleaseWatch.h"

#include <GL/glew.h>
#include <dlfcn.h>

#include <cassert>

namespace vestrel::test {

namespace {

bool watching = false;
int count = 0;
std::string journalText;

void note(const char* name) {
    if (!watching) return;
    ++count;
    if (!journalText.empty()) journalText += ' ';
    journalText += name;
}

PFNGLDELETEBUFFERSPROC realDeleteBuffers = nullptr;
PFNGLDELETEVERTEXARRAYSPROC realDeleteVertexArrays = nullptr;
PFNGLDELETEPROGRAMPROC realDeleteProgram = nullptr;
PFNGLDELETESHADERPROC realDeleteShader = nullptr;
PFNGLDELETEFRAMEBUFFERSPROC realDeleteFramebuffers = nullptr;
PFNGLDELETERENDERBUFFERSPROC realDeleteRenderbuffers = nullptr;

void GLAPIENTRY countDeleteBuffers(GLsizei n, const GLuint* names) {
    note("glDeleteBuffers");
    realDeleteBuffers(n, names);
}
void GLAPIENTRY countDeleteVertexArrays(GLsizei n, const GLuint* names) {
    note("glDeleteVertexArrays");
    realDeleteVertexArrays(n, names);
}
void GLAPIENTRY countDeleteProgram(GLuint name) {
    note("glDeleteProgram");
    realDeleteProgram(name);
}
void GLAPIENTRY countDeleteShader(GLuint name) {
    note("glDeleteShader");
    realDeleteShader(name);
}
void GLAPIENTRY countDeleteFramebuffers(GLsizei n, const GLuint* names) {
    note("glDeleteFramebuffers");
    realDeleteFramebuffers(n, names);
}
void GLAPIENTRY countDeleteRenderbuffers(GLsizei n, const GLuint* names) {
    note("glDeleteRenderbuffers");
    realDeleteRenderbuffers(n, names);
}

}  // namespace

GlReleaseWatch::GlReleaseWatch() {
    assert(!watching);
    realDeleteBuffers = __glewDeleteBuffers;
    realDeleteVertexArrays = __glewDeleteVertexArrays;
    realDeleteProgram = __glewDeleteProgram;
    realDeleteShader = __glewDeleteShader;
    realDeleteFramebuffers = __glewDeleteFramebuffers;
    realDeleteRenderbuffers = __glewDeleteRenderbuffers;
    __glewDeleteBuffers = countDeleteBuffers;
    __glewDeleteVertexArrays = countDeleteVertexArrays;
    __glewDeleteProgram = countDeleteProgram;
    __glewDeleteShader = countDeleteShader;
    __glewDeleteFramebuffers = countDeleteFramebuffers;
    __glewDeleteRenderbuffers = countDeleteRenderbuffers;
    reset();
    watching = true;
}

GlReleaseWatch::~GlReleaseWatch() {
    watching = false;
    __glewDeleteBuffers = realDeleteBuffers;
    __glewDeleteVertexArrays = realDeleteVertexArrays;
    __glewDeleteProgram = realDeleteProgram;
    __glewDeleteShader = realDeleteShader;
    __glewDeleteFramebuffers = realDeleteFramebuffers;
    __glewDeleteRenderbuffers = realDeleteRenderbuffers;
}

int GlReleaseWatch::calls() const { return count; }
std::string GlReleaseWatch::journal() const { return journalText; }
void GlReleaseWatch::reset() {
    count = 0;
    journalText.clear();
}

}  // namespace vestrel::test

// glDeleteTextures is a GL 1.1 function the GL library exports itself, not a
// GLEW pointer: this definition in the test program takes its place and
// passes every call on to the library's.
extern "C" void GLAPIENTRY glDeleteTextures(GLsizei n, const GLuint* textures) {
    using DeleteTextures = void(GLAPIENTRY*)(GLsizei, const GLuint*);
    static const auto real = reinterpret_cast<DeleteTextures>(dlsym(RTLD_NEXT, "glDeleteTextures"));
    vestrel::test::note("glDeleteTextures");
    if (real != nullptr) real(n, textures);
}
