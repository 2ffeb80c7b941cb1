#include "render/Shader.h"

#include <algorithm>
#include <atomic>
#include <iostream>
#include <sstream>
#include <utility>
#include <vector>

#include "app/Platform.h"
#include "render/GlContext.h"
#include "render/Texture.h"

namespace vestrel {

namespace {

std::uint64_t nextLinkId() {
    static std::atomic<std::uint64_t> last{0};
    return ++last;
}

}  // namespace

Shader::Shader(const std::string& vertexPath, const std::string& fragmentPath,
               const std::string& fragmentDefine) {
    loadShader(vertexPath, GL_VERTEX_SHADER, vertexShader);
    loadShader(fragmentPath, GL_FRAGMENT_SHADER, fragmentShader, fragmentDefine);
    program = glCreateProgram();
    link(vertexPath + " + " + fragmentPath + (fragmentDefine.empty() ? "" : " (" + fragmentDefine + ")"));
}

Shader::Shader(const ShaderSourcePair& sources, const std::string& fragmentDefine)
    : Shader(sources.vertexPath, sources.fragmentPath, fragmentDefine) {}

Shader::~Shader() { release(); }

Shader::Shader(Shader&& other) noexcept
    : program(std::exchange(other.program, 0)),
      vertexShader(std::exchange(other.vertexShader, 0)),
      fragmentShader(std::exchange(other.fragmentShader, 0)),
      linkId_(std::exchange(other.linkId_, 0)) {}

Shader& Shader::operator=(Shader&& other) noexcept {
    if (this != &other) {
        release();
        program = std::exchange(other.program, 0);
        vertexShader = std::exchange(other.vertexShader, 0);
        fragmentShader = std::exchange(other.fragmentShader, 0);
        linkId_ = std::exchange(other.linkId_, 0);
    }
    return *this;
}

void Shader::release() {
    if (program != 0 && hasCurrentGlContext()) {
        glUseProgram(0);
        glDeleteProgram(program);
    }
    program = 0;
    linkId_ = 0;
}

void Shader::loadShader(const std::string& path, GLenum type, GLuint& shader, const std::string& define) {
    // A folder in the file's place, or a read that fails part way, counts as
    // a file that cannot be opened.
    std::string source;
    if (!readWholeFile(path, source)) {
        std::cout << "Failed to open shader file: " << path << std::endl;
        fatalExit();
    }

    shader = glCreateShader(type);
    if (shader == 0) {
        std::cout << "Failed to create " << static_cast<unsigned int>(type) << std::endl;
        fatalExit();
    }
    if (define.empty()) {
        const char* text = source.c_str();
        glShaderSource(shader, 1, &text, nullptr);
    } else {
        // The defines (names separated by spaces) go after the "#version"
        // line, which must come first (even as the file's only line); "#line"
        // keeps the compiler's line numbers those of the file.
        const bool versioned = source.compare(0, 8, "#version") == 0;
        const std::size_t split = versioned ? std::min(source.find('\n'), source.size()) : 0;
        std::string head = source.substr(0, split) + (versioned ? "\n" : "");
        std::istringstream names(define);
        for (std::string name; names >> name;) head += "#define " + name + "\n";
        head += std::string("#line ") + (versioned ? "2" : "1") + "\n";
        const std::string tail = versioned ? source.substr(std::min(split + 1, source.size())) : source;
        const char* texts[] = {head.c_str(), tail.c_str()};
        glShaderSource(shader, 2, texts, nullptr);
    }
    glCompileShader(shader);

    GLint status = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
    if (status != GL_FALSE && glIsShader(shader) == GL_TRUE) {
        return;
    }
    GLint logLength = 0;
    glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &logLength);
    // One extra character so an empty or unterminated log still prints as a string.
    std::vector<char> log(static_cast<size_t>(logLength > 0 ? logLength : 0) + 1, '\0');
    if (logLength > 0) {
        glGetShaderInfoLog(shader, logLength, nullptr, log.data());
    }
    // The headline names the file: the log's line numbers mean nothing without it.
    std::cout << "Failed to compile shader: " << path << std::endl;
    std::cout << log.data() << std::endl;
    glDeleteShader(shader);
    shader = 0;
    fatalExit();
}

void Shader::link(const std::string& sourcesName) {
    glAttachShader(program, vertexShader);
    glAttachShader(program, fragmentShader);
    glLinkProgram(program);

    GLint status = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &status);
    if (status != GL_FALSE) {
        glDetachShader(program, vertexShader);
        glDetachShader(program, fragmentShader);
        glDeleteShader(vertexShader);
        glDeleteShader(fragmentShader);
        vertexShader = 0;
        fragmentShader = 0;
        linkId_ = nextLinkId();
        return;
    }
    GLint logLength = 0;
    glGetProgramiv(program, GL_INFO_LOG_LENGTH, &logLength);
    std::vector<char> log(static_cast<size_t>(logLength > 0 ? logLength : 0) + 1, '\0');
    if (logLength > 0) {
        glGetProgramInfoLog(program, logLength, nullptr, log.data());
    }
    std::cout << "Failed to link shader program:";
    if (!sourcesName.empty()) std::cout << " " << sourcesName;
    std::cout << std::endl;
    std::cout << log.data() << std::endl;
    glDeleteProgram(program);
    glDeleteShader(vertexShader);
    glDeleteShader(fragmentShader);
    program = 0;
    vertexShader = 0;
    fragmentShader = 0;
    fatalExit();
}

GLint Shader::getAttribLocation(const char* name) const {
    if (name == nullptr) {
        // GL would read through the null pointer; report and answer "absent".
        std::cout << "attribute is null: " << std::endl;
        return -1;
    }
    const GLint location = glGetAttribLocation(program, name);
    if (location == -1) {
        std::cout << "attribute not found: " << name << std::endl;
    }
    return location;
}

GLint Shader::getUniformLocation(const char* name) const {
    if (name == nullptr) {
        std::cout << "uniform is null: " << std::endl;
        return -1;
    }
    const GLint location = glGetUniformLocation(program, name);
    if (location == -1) {
        std::cout << "Shader " << program << ": "
                  << "uniform not found: " << name << std::endl;
    }
    return location;
}

void Shader::bindTexture(const char* name, const Texture* texture) const {
    glBindTexture(GL_TEXTURE_2D, texture != nullptr ? texture->name : 0);
    if (texture != nullptr) {
        applySampling();
    }
    if (name != nullptr) {
        glUniform1i(glGetUniformLocation(program, name), 0);
    }
}

}  // namespace vestrel
