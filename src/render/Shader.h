#pragma once

#include <GL/glew.h>

#include <array>
#include <cstdint>
#include <string>

namespace vestrel {

class Texture;

// One vertex/fragment source pair, as paths relative to the working
// directory. The backslash is part of the path string (it is printed as is);
// it is translated only when the file is opened.
struct ShaderSourcePair {
    const char* vertexPath;
    const char* fragmentPath;
};

inline constexpr ShaderSourcePair kTexLightsSources{"Shader\\texLights.vert", "Shader\\texLights.frag"};
inline constexpr ShaderSourcePair kTextureSources{"Shader\\texture.vert", "Shader\\texture.frag"};
inline constexpr ShaderSourcePair kHudSources{"Shader\\hud.vert", "Shader\\hud.frag"};
inline constexpr ShaderSourcePair kFontSources{"Shader\\font.vert", "Shader\\font.frag"};
inline constexpr ShaderSourcePair kMessageSources{"Shader\\message.vert", "Shader\\message.frag"};
inline constexpr ShaderSourcePair kHighlightSources{"Shader\\highlight.vert", "Shader\\highlight.frag"};
inline constexpr ShaderSourcePair kBlurSources{"Shader\\blur.vert", "Shader\\blur.frag"};
inline constexpr ShaderSourcePair kHiddenTextSources{"Shader\\hiddenText.vert", "Shader\\hiddenText.frag"};
inline constexpr ShaderSourcePair kGlassSources{"Shader\\glass.vert", "Shader\\glass.frag"};
inline constexpr ShaderSourcePair kSkinningSources{"Shader\\skinning.vert", "Shader\\skinning.frag"};
// Fog is computed inside the lit programs; this pair is kept with the others
// but no program is built from it.
inline constexpr ShaderSourcePair kFogSources{"Shader\\fog.vert", "Shader\\fog.frag"};

// All eleven pairs. The first ten, in this order, are the programs the
// Renderer builds (texLights, texture, hud, font, message, highlight, blur,
// hiddenText, glass, skinning); the last is the fog pair.
inline constexpr std::array<ShaderSourcePair, 11> shaderSources{
    kTexLightsSources, kTextureSources,   kHudSources,  kFontSources,
    kMessageSources,   kHighlightSources, kBlurSources, kHiddenTextSources,
    kGlassSources,     kSkinningSources,  kFogSources};
inline constexpr std::size_t kBuiltShaderCount = 10;

// Attribute locations fixed in the sources of the level programs (texLights,
// highlight, hiddenText, glass): a level mesh builds its vertex array once
// with texLights and is drawn unchanged by the other three.
inline constexpr GLint kPositionLocation = 0;
inline constexpr GLint kNormalLocation = 1;
inline constexpr GLint kUvLocation = 2;

// Number of light slots ("lights[16]") in texLights and skinning: the level's
// lights plus the flashlight must fit.
inline constexpr int kMaxShaderLights = 16;
// Number of bone matrices ("boneMatrices[60]") in skinning.
inline constexpr int kMaxShaderBones = 60;

// One linked GLSL program. Move-only: exactly one Shader deletes a program.
//
// Building a program is part of start-up and any failure is fatal: the
// reason is printed, the console pauses and the process exits with status 1.
// Looking up a missing attribute or uniform later is only reported.
class Shader {
public:
    GLuint program = 0;         // the linked program; 0 after destruction
    GLuint vertexShader = 0;    // compiled stage, deleted by a successful link
    GLuint fragmentShader = 0;  // compiled stage, deleted by a successful link

    // An empty record; fill the stages with loadShader, create `program` and link.
    Shader() = default;
    // Reads, compiles and links one pair (fatal on any failure). Each name
    // in `fragmentDefine` (separated by spaces) is put at the top of the
    // fragment stage as "#define <name>" (after its "#version" line): a
    // variant of one program.
    Shader(const std::string& vertexPath, const std::string& fragmentPath,
           const std::string& fragmentDefine = std::string());
    explicit Shader(const ShaderSourcePair& sources, const std::string& fragmentDefine = std::string());
    // Stops using and deletes the program; a no-op once the GL context is gone.
    ~Shader();

    Shader(const Shader&) = delete;
    Shader& operator=(const Shader&) = delete;
    Shader(Shader&& other) noexcept;
    Shader& operator=(Shader&& other) noexcept;

    // Reads the source file at `path` (backslashes allowed) and compiles it as
    // a stage of `type` (GL_VERTEX_SHADER or GL_FRAGMENT_SHADER) into `shader`.
    // Returns only on success. Each name in `define` (separated by spaces)
    // is compiled as "#define <name>" after the source's "#version" line.
    static void loadShader(const std::string& path, GLenum type, GLuint& shader,
                           const std::string& define = std::string());

    // Attaches both stages to `program` and links it; the stages are deleted
    // afterwards. Returns only on success.
    // `sourcesName` names the program in the failure headline.
    void link(const std::string& sourcesName = std::string());

    // Locations in `program`; -1, with a console line, when the name is absent
    // (or null). Nothing is cached: every call asks GL.
    GLint getAttribLocation(const char* name) const;
    GLint getUniformLocation(const char* name) const;

    // A number no other successful link in this process has had; 0 before
    // the first and after release. A program linked again keeps its name,
    // and drivers may give a deleted program's name to the next one, so
    // whatever remembers uniform locations compares this as well as `program`.
    std::uint64_t linkId() const { return linkId_; }

    // Binds `texture` on the active texture unit (unit 0 throughout the game),
    // applies the current sampling mode and points the sampler uniform `name`
    // at unit 0. A null texture binds texture 0. The program must be in use.
    void bindTexture(const char* name, const Texture* texture) const;

private:
    void release();

    std::uint64_t linkId_ = 0;
};

}  // namespace vestrel
