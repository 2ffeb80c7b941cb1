#include "render/Shader.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdio>
#include <fstream>
#include <glm/glm.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>
#include <string>
#include <vector>

#include "app/GameSettings.h"
#include "render/Texture.h"
#include "support/ConsoleCapture.h"
#include "support/GlTestContext.h"

namespace vestrel {
namespace {

using test::ConsoleCapture;
using test::GlTestContext;

// Writes `text` to a fresh file in the temp folder and returns its path.
std::string writeTempFile(const std::string& stem, const std::string& text) {
    std::string path = "/tmp/vestrel_shader_" + std::to_string(getpid()) + "_" + stem;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

class ShaderTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(gl.ok()) << "no GL 3.3 context"; }
    GlTestContext gl{64, 64};
};

TEST_F(ShaderTest, EveryPairCompilesAndLinksAndFreesItsStages) {
    for (const ShaderSourcePair& pair : shaderSources) {
        SCOPED_TRACE(pair.vertexPath);
        ConsoleCapture console;
        Shader shader(pair);
        EXPECT_NE(shader.program, 0u);
        EXPECT_EQ(shader.vertexShader, 0u);
        EXPECT_EQ(shader.fragmentShader, 0u);
        GLint attached = -1;
        glGetProgramiv(shader.program, GL_ATTACHED_SHADERS, &attached);
        EXPECT_EQ(attached, 0);
        EXPECT_EQ(console.text(), "");
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Every name the game sets must survive the GLSL compiler; an inactive one
// would print "uniform not found" on every use, every frame.
TEST_F(ShaderTest, ProgramsKeepTheirWholeVocabularyActive) {
    const std::vector<std::string> lightMembers = {"enabled",
                                                   "type",
                                                   "intensity",
                                                   "position",
                                                   "constAttenuation",
                                                   "linearAttenuation",
                                                   "quadraticAttenuation",
                                                   "coneDirection",
                                                   "coneInnerAngle",
                                                   "coneOuterAngle"};
    const std::vector<std::string> flashlightMembers = {
        "position",      "constAttenuation", "linearAttenuation", "quadraticAttenuation",
        "coneDirection", "coneInnerAngle",   "coneOuterAngle"};
    auto withLights = [&](std::vector<std::string> names) {
        for (int i : {0, 1, kMaxShaderLights - 1}) {
            for (const std::string& member : lightMembers) {
                names.push_back("lights[" + std::to_string(i) + "]." + member);
            }
        }
        return names;
    };
    struct Expected {
        ShaderSourcePair pair;
        std::vector<std::string> attributes;
        std::vector<std::string> uniforms;
    };
    std::vector<std::string> hiddenTextUniforms = {"mvp", "model", "tex"};
    for (const std::string& member : flashlightMembers) {
        hiddenTextUniforms.push_back("flashlight." + member);
    }
    const std::vector<Expected> table = {
        {kTexLightsSources,
         {"position", "normal", "uv"},
         withLights(
             {"mvp", "model", "tex", "viewMatrix", "fogColor", "fogEnabled", "numLights", "ambientLight"})},
        {kHighlightSources, {"position"}, {"mvp", "highlightColor"}},
        {kHiddenTextSources, {"position", "normal", "uv"}, hiddenTextUniforms},
        {kGlassSources, {"position", "uv"}, {"mvp", "tex", "transparency"}},
        {kBlurSources, {"position", "uv"}, {"windowTex", "uShift"}},
        {kHudSources, {"position", "uv"}, {"orthoTransformation", "icon"}},
        {kFontSources, {"position", "uv"}, {"orthoTransformation", "font"}},
        {kMessageSources, {"position", "uv"}, {"orthoTransformation", "message"}},
        {kSkinningSources,
         {"inPosition", "inNormal", "inTexCoord", "inBoneIndices", "inBoneWeights"},
         withLights({"projectionMatrix", "viewMatrix", "modelMatrix", "boneMatrices", "boneMatrices[59]",
                     "useTexture", "tex", "numLights", "ambientLight", "fogColor", "fogEnabled"})},
    };
    for (const Expected& expected : table) {
        SCOPED_TRACE(expected.pair.vertexPath);
        Shader shader(expected.pair);
        ConsoleCapture console;
        for (const std::string& name : expected.attributes) {
            EXPECT_GE(shader.getAttribLocation(name.c_str()), 0) << name;
        }
        for (const std::string& name : expected.uniforms) {
            EXPECT_GE(shader.getUniformLocation(name.c_str()), 0) << name;
        }
        EXPECT_EQ(console.text(), "");
    }
}

// A level mesh's vertex array is built once with texLights' locations and
// drawn unchanged by highlight, hiddenText and glass.
TEST_F(ShaderTest, LevelProgramsAgreeOnVertexLocations) {
    Shader texLights(kTexLightsSources);
    EXPECT_EQ(glGetAttribLocation(texLights.program, "position"), kPositionLocation);
    EXPECT_EQ(glGetAttribLocation(texLights.program, "normal"), kNormalLocation);
    EXPECT_EQ(glGetAttribLocation(texLights.program, "uv"), kUvLocation);
    for (const ShaderSourcePair& pair :
         {kHighlightSources, kHiddenTextSources, kGlassSources, kTextureSources}) {
        SCOPED_TRACE(pair.vertexPath);
        Shader shader(pair);
        const struct {
            const char* name;
            GLint location;
        } expected[] = {{"position", kPositionLocation}, {"normal", kNormalLocation}, {"uv", kUvLocation}};
        for (const auto& attribute : expected) {
            const GLint location = glGetAttribLocation(shader.program, attribute.name);
            // A stage may leave an attribute unread (inactive, -1); a read one must sit where texLights put
            // it.
            EXPECT_TRUE(location == -1 || location == attribute.location)
                << attribute.name << " at " << location;
        }
    }
}

TEST_F(ShaderTest, MissingNamesAreReportedAndAnswerMinusOne) {
    Shader shader(kHighlightSources);
    ConsoleCapture console;
    EXPECT_EQ(shader.getAttribLocation("tangent"), -1);
    EXPECT_EQ(console.text(), "attribute not found: tangent\n");
    console.clear();
    EXPECT_EQ(shader.getUniformLocation("fogColor"), -1);
    EXPECT_EQ(console.text(), "Shader " + std::to_string(shader.program) + ": uniform not found: fogColor\n");
    console.clear();
    // Nothing is cached: a second lookup reports again.
    EXPECT_EQ(shader.getUniformLocation("fogColor"), -1);
    EXPECT_NE(console.text(), "");
    console.clear();
    EXPECT_EQ(shader.getAttribLocation(nullptr), -1);
    EXPECT_EQ(shader.getUniformLocation(nullptr), -1);
    EXPECT_EQ(console.text(), "attribute is null: \nuniform is null: \n");
}

TEST_F(ShaderTest, BindTextureUsesUnitZeroAndAppliesSampling) {
    GameSettings& settings = GameSettings::instance();
    const GameSettings saved = settings;
    settings.samplingMode = 0;
    settings.mipMaps = false;

    Shader shader(kGlassSources);
    glUseProgram(shader.program);
    const GLint sampler = glGetUniformLocation(shader.program, "tex");
    glUniform1i(sampler, 5);
    const unsigned char pixel[3] = {10, 20, 30};
    Texture texture(1, 1);
    texture.upload(pixel, 1, 1);

    shader.bindTexture("tex", &texture);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), texture.name);
    GLint unit = -1;
    glGetUniformiv(shader.program, sampler, &unit);
    EXPECT_EQ(unit, 0);
    GLint minFilter = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    EXPECT_EQ(minFilter, GL_NEAREST);

    // No texture: the sampler reads texture 0 instead of crashing.
    shader.bindTexture("tex", nullptr);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    glUseProgram(0);
    settings = saved;
}

TEST_F(ShaderTest, DestructionDeletesTheProgramOnceAndSurvivesALostContext) {
    GLuint name = 0;
    {
        Shader shader(kHudSources);
        name = shader.program;
        Shader moved(std::move(shader));
        EXPECT_EQ(shader.program, 0u);
        EXPECT_EQ(moved.program, name);
        glUseProgram(moved.program);
    }
    EXPECT_EQ(glIsProgram(name), GL_FALSE);
    GLint current = -1;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_EQ(current, 0);

    auto late = std::make_unique<Shader>(kHudSources);
    gl.destroyWindow();
    late.reset();  // no context any more: must not call into GL
    SUCCEED();
}

// Fatal build failures: the child prints to the console and exits with 1.
// The console is routed to stderr inside the child so the matcher sees it.
class ShaderDeathTest : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(ShaderDeathTest, MissingSourceFileIsFatal) {
    GLuint stage = 0;
    EXPECT_EXIT(
        {
            std::cout.rdbuf(std::cerr.rdbuf());
            Shader::loadShader("Shader\\missing.vert", GL_VERTEX_SHADER, stage);
        },
        ::testing::ExitedWithCode(1), "^Failed to open shader file: Shader\\\\missing\\.vert\n");
}

TEST_F(ShaderDeathTest, CompileErrorPrintsHeadlineThenLog) {
    const std::string path =
        writeTempFile("broken.frag", "#version 330 core\nvoid main() { undefinedThing = 1; }\n");
    EXPECT_EXIT(
        {
            GlTestContext gl;
            std::cout.rdbuf(std::cerr.rdbuf());
            GLuint stage = 0;
            Shader::loadShader(path, GL_FRAGMENT_SHADER, stage);
        },
        ::testing::ExitedWithCode(1), "Failed to compile shader:\n.*undefinedThing");
    std::remove(path.c_str());
}

TEST_F(ShaderDeathTest, LinkErrorPrintsHeadlineThenLog) {
    // The two stages disagree on the type of the varying they share.
    const std::string vert = writeTempFile("a.vert",
                                           "#version 330 core\nout vec2 mismatched;\nvoid main() { "
                                           "mismatched = vec2(0.0); gl_Position = vec4(0.0); }\n");
    const std::string frag = writeTempFile(
        "a.frag",
        "#version 330 core\nin vec3 mismatched;\nout vec4 c;\nvoid main() { c = vec4(mismatched, 1.0); }\n");
    EXPECT_EXIT(
        {
            GlTestContext gl;
            std::cout.rdbuf(std::cerr.rdbuf());
            Shader shader(vert, frag);
        },
        ::testing::ExitedWithCode(1), "Failed to link shader program:\n.*mismatched");
    std::remove(vert.c_str());
    std::remove(frag.c_str());
}

}  // namespace
}  // namespace vestrel
