#include "render/Shader.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <glm/glm.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>
#include <memory>
#include <string>
#include <vector>

#include "app/GameSettings.h"
#include "render/GlContext.h"
#include "render/Texture.h"
#include "support/ConsoleCapture.h"
#include "support/GlReleaseWatch.h"
#include "support/GlTestContext.h"
#include "support/ScratchFolder.h"

namespace vestrel {
namespace {

using test::ConsoleCapture;
using test::GlTestContext;

// Writes `text` to a fresh file in the temp folder and returns its path.
std::string writeTempFile(const std::string& stem, const std::string& text) {
    std::string path = test::scratchFolder() + "vestrel_shader_" + stem;
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
    EXPECT_TRUE(hasCurrentGlContext());
    gl.destroyWindow();
    EXPECT_FALSE(hasCurrentGlContext());
    test::GlReleaseWatch watch;
    late.reset();  // no context any more: must not call into GL
    EXPECT_EQ(watch.calls(), 0) << watch.journal();
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

// Without a current context GL hands out no shader names.
TEST_F(ShaderDeathTest, StageCreationFailureIsFatal) {
    EXPECT_EXIT(
        {
            GlTestContext gl;
            gl.destroyWindow();
            std::cout.rdbuf(std::cerr.rdbuf());
            GLuint stage = 0;
            Shader::loadShader(kHudSources.vertexPath, GL_VERTEX_SHADER, stage);
        },
        ::testing::ExitedWithCode(1), "Failed to create 35633\n");
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
        ::testing::ExitedWithCode(1), "Failed to compile shader: [^\n]*broken\\.frag\n.*undefinedThing");
    std::remove(path.c_str());
}

// A variant's defines (the last of two names here) reach the source after
// its "#version" line, and the log still counts the file's own lines (the
// error is on line 4).
TEST_F(ShaderDeathTest, AVariantsDefineIsSeenAndKeepsTheFilesLineNumbers) {
    const std::string path = writeTempFile(
        "variant.frag",
        "#version 330 core\nout vec4 c;\n#ifdef BROKEN\nvoid main() { undefinedThing = 1; }\n#else\n"
        "void main() { c = vec4(1.0); }\n#endif\n");
    {
        GlTestContext gl;
        GLuint stage = 0;
        Shader::loadShader(path, GL_FRAGMENT_SHADER, stage, "OTHER");
        EXPECT_NE(stage, 0u);
        glDeleteShader(stage);
    }
    EXPECT_EXIT(
        {
            GlTestContext gl;
            std::cout.rdbuf(std::cerr.rdbuf());
            GLuint stage = 0;
            Shader::loadShader(path, GL_FRAGMENT_SHADER, stage, "OTHER BROKEN");
        },
        ::testing::ExitedWithCode(1),
        "Failed to compile shader: [^\n]*variant\\.frag\n.*0:4\\(.*undefinedThing");
    std::remove(path.c_str());
    // A "#version" line that ends the file: the define goes after it and the
    // empty program is refused with the file's name, never read past its end.
    const std::string bare = writeTempFile("bare.frag", "#version 330 core");
    EXPECT_EXIT(
        {
            GlTestContext gl;
            std::cout.rdbuf(std::cerr.rdbuf());
            GLuint stage = 0;
            Shader::loadShader(bare, GL_FRAGMENT_SHADER, stage, "OTHER");
        },
        ::testing::ExitedWithCode(1), "Failed to compile shader: [^\n]*bare\\.frag");
    std::remove(bare.c_str());
}

// An empty, a truncated and a random-bytes source each stop the game with
// the file's name, never a crash inside the driver.
TEST_F(ShaderDeathTest, DamagedSourcesNameTheirFile) {
    std::string random(512, '\0');
    unsigned seed = 12345u;
    for (char& c : random) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 16);
    }
    const std::pair<const char*, std::string> damaged[] = {
        {"empty.frag", ""},
        {"truncated.frag", "#version 330 core\nout vec4 c;\nvoid main() { c = vec4(1.0"},
        {"random.frag", random},
    };
    for (const auto& [name, content] : damaged) {
        const std::string path = writeTempFile(name, content);
        EXPECT_EXIT(
            {
                GlTestContext gl;
                std::cout.rdbuf(std::cerr.rdbuf());
                GLuint stage = 0;
                Shader::loadShader(path, GL_FRAGMENT_SHADER, stage);
            },
            ::testing::ExitedWithCode(1), std::string("Failed to compile shader: [^\n]*") + name);
        std::remove(path.c_str());
    }
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
        ::testing::ExitedWithCode(1),
        "Failed to link shader program: [^\n]*a\\.vert \\+ [^\n]*a\\.frag\n.*mismatched");
    std::remove(vert.c_str());
    std::remove(frag.c_str());
}

// ---- What the programs draw, read back from a 64 x 64 window ---------------

struct Vertex {
    glm::vec3 position;
    glm::vec3 normal;
    glm::vec2 uv;
};

// Triangles at the level programs' fixed locations, as a level mesh builds them.
class TriangleBatch {
public:
    explicit TriangleBatch(const std::vector<Vertex>& vertices)
        : count_(static_cast<GLsizei>(vertices.size())) {
        glGenVertexArrays(1, &vertexArray_);
        glGenBuffers(1, &buffer_);
        glBindVertexArray(vertexArray_);
        glBindBuffer(GL_ARRAY_BUFFER, buffer_);
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(Vertex)),
                     vertices.data(), GL_STATIC_DRAW);
        const GLint locations[] = {kPositionLocation, kNormalLocation, kUvLocation};
        const GLint sizes[] = {3, 3, 2};
        const size_t offsets[] = {offsetof(Vertex, position), offsetof(Vertex, normal), offsetof(Vertex, uv)};
        for (int i = 0; i < 3; ++i) {
            glEnableVertexAttribArray(static_cast<GLuint>(locations[i]));
            glVertexAttribPointer(static_cast<GLuint>(locations[i]), sizes[i], GL_FLOAT, GL_FALSE,
                                  sizeof(Vertex), reinterpret_cast<const void*>(offsets[i]));
        }
        glBindVertexArray(0);
    }
    ~TriangleBatch() {
        glDeleteBuffers(1, &buffer_);
        glDeleteVertexArrays(1, &vertexArray_);
    }
    void draw() const {
        glBindVertexArray(vertexArray_);
        glDrawArrays(GL_TRIANGLES, 0, count_);
        glBindVertexArray(0);
    }

private:
    GLuint vertexArray_ = 0;
    GLuint buffer_ = 0;
    GLsizei count_ = 0;
};

// A square in the plane y = height (normal +y), cut into cells so that
// per-vertex terms have vertices to work with.
std::vector<Vertex> floorGrid(float halfSize, int cells, float height = 0.0f) {
    std::vector<Vertex> vertices;
    const float step = 2.0f * halfSize / static_cast<float>(cells);
    for (int i = 0; i < cells; ++i) {
        for (int j = 0; j < cells; ++j) {
            const float x0 = -halfSize + step * static_cast<float>(i);
            const float z0 = -halfSize + step * static_cast<float>(j);
            const glm::vec3 a{x0, height, z0}, b{x0 + step, height, z0}, c{x0 + step, height, z0 + step},
                d{x0, height, z0 + step};
            for (const glm::vec3& p : {a, d, c, a, c, b}) {
                vertices.push_back({p, {0.0f, 1.0f, 0.0f}, {0.5f, 0.5f}});
            }
        }
    }
    return vertices;
}

void setVec3(GLuint program, const std::string& name, const glm::vec3& value) {
    glUniform3fv(glGetUniformLocation(program, name.c_str()), 1, glm::value_ptr(value));
}
void setFloat(GLuint program, const std::string& name, float value) {
    glUniform1f(glGetUniformLocation(program, name.c_str()), value);
}
void setInt(GLuint program, const std::string& name, int value) {
    glUniform1i(glGetUniformLocation(program, name.c_str()), value);
}
void setMat4(GLuint program, const std::string& name, const glm::mat4& value) {
    glUniformMatrix4fv(glGetUniformLocation(program, name.c_str()), 1, GL_FALSE, glm::value_ptr(value));
}

struct LightValues {
    int type = 0;
    glm::vec3 intensity{1.0f};
    bool enabled = true;
    glm::vec3 position{0.0f};
    glm::vec3 attenuation{1.0f, 0.0f, 0.0f};
    glm::vec3 coneDirection{0.0f};
    float coneInner = 1.0f;
    float coneOuter = 1.0f;
};

void setLight(GLuint program, int index, const LightValues& light) {
    const std::string prefix = "lights[" + std::to_string(index) + "].";
    setInt(program, prefix + "enabled", light.enabled ? 1 : 0);
    setInt(program, prefix + "type", light.type);
    setVec3(program, prefix + "intensity", light.intensity);
    setVec3(program, prefix + "position", light.position);
    setFloat(program, prefix + "constAttenuation", light.attenuation.x);
    setFloat(program, prefix + "linearAttenuation", light.attenuation.y);
    setFloat(program, prefix + "quadraticAttenuation", light.attenuation.z);
    setVec3(program, prefix + "coneDirection", light.coneDirection);
    setFloat(program, prefix + "coneInnerAngle", light.coneInner);
    setFloat(program, prefix + "coneOuterAngle", light.coneOuter);
}

class ShaderPixelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gl.ok()) << "no GL 3.3 context";
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        const std::uint8_t white[3] = {255, 255, 255};
        whiteTexture.upload(white, 1, 1);
        lookDownFrom(20.0f);
    }
    void TearDown() override { glUseProgram(0); }

    // A camera straight above the origin looking down, +x to the right.
    void lookDownFrom(float height) {
        eye = {0.0f, height, 0.0f};
        view = glm::lookAt(eye, glm::vec3(0.0f), glm::vec3(0.0f, 0.0f, -1.0f));
        projection = glm::perspective(glm::radians(60.0f), 1.0f, 0.1f, 100.0f);
    }
    // The window pixel a world point lands on.
    glm::ivec2 pixelOf(const glm::vec3& world) const {
        const glm::vec4 clip = projection * view * glm::vec4(world, 1.0f);
        const glm::vec2 ndc = glm::vec2(clip) / clip.w;
        return glm::ivec2((ndc * 0.5f + 0.5f) * 64.0f);
    }
    int red(const glm::vec3& world) const {
        const glm::ivec2 at = pixelOf(world);
        return gl.pixel(at.x, at.y)[0];
    }

    // texLights over the floor grid with the given lights.
    void drawLitFloor(const std::vector<LightValues>& lights, bool fog = false, float ambient = 0.05f) {
        glUseProgram(texLights.program);
        setMat4(texLights.program, "mvp", projection * view);
        setMat4(texLights.program, "model", glm::mat4(1.0f));
        setMat4(texLights.program, "viewMatrix", view);
        setVec3(texLights.program, "fogColor", glm::vec3(0.3f));
        setInt(texLights.program, "fogEnabled", fog ? 1 : 0);
        setInt(texLights.program, "numLights", static_cast<int>(lights.size()));
        setVec3(texLights.program, "ambientLight", glm::vec3(ambient));
        for (size_t i = 0; i < lights.size(); ++i) {
            setLight(texLights.program, static_cast<int>(i), lights[i]);
        }
        texLights.bindTexture("tex", &whiteTexture);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        floor.draw();
    }

    GlTestContext gl{64, 64};
    Texture whiteTexture;
    Shader texLights{kTexLightsSources};
    TriangleBatch floor{floorGrid(20.0f, 40)};
    glm::vec3 eye{0.0f};
    glm::mat4 view{1.0f};
    glm::mat4 projection{1.0f};
};

// Slot 0 (the flashlight's) is lit per pixel, the others per vertex: both
// paths must give the same kind of picture.
TEST_F(ShaderPixelTest, PointLightFallsOffWithDistanceInEverySlot) {
    LightValues point;
    point.position = {6.0f, 1.0f, 0.0f};
    point.attenuation = {1.0f, 0.0f, 0.05f};
    LightValues off;
    off.enabled = false;
    for (const auto& lights : {std::vector<LightValues>{point}, std::vector<LightValues>{off, point}}) {
        SCOPED_TRACE(lights.size() == 1 ? "slot 0" : "slot 1");
        drawLitFloor(lights);
        const int near = red({6.0f, 0.0f, 0.0f});
        const int middle = red({0.0f, 0.0f, 0.0f});
        const int far = red({-6.0f, 0.0f, 0.0f});
        EXPECT_GT(near, 150);
        EXPECT_GT(near, middle + 40);
        EXPECT_GT(middle, far);
        EXPECT_EQ(gl.pixel(32, 32)[3], 255) << "lit geometry is opaque";
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ShaderPixelTest, DisabledAndUnknownLightsAddNothing) {
    LightValues point;
    point.position = {0.0f, 1.0f, 0.0f};
    drawLitFloor({});
    const int ambientOnly = red({0.0f, 0.0f, 0.0f});
    EXPECT_NEAR(ambientOnly, 13, 2);  // 0.05 of white

    point.enabled = false;
    LightValues strange = point;
    strange.enabled = true;
    strange.type = 7;
    drawLitFloor({point, strange});
    EXPECT_NEAR(red({0.0f, 0.0f, 0.0f}), ambientOnly, 1);
    drawLitFloor({strange, point});
    EXPECT_NEAR(red({0.0f, 0.0f, 0.0f}), ambientOnly, 1);
    // "numLights" 0: whatever the first slot still holds is not used.
    point.enabled = true;
    glUseProgram(texLights.program);
    setLight(texLights.program, 0, point);
    drawLitFloor({});
    EXPECT_NEAR(red({0.0f, 0.0f, 0.0f}), ambientOnly, 1);
}

// A directional light's "position" is the direction its light travels.
TEST_F(ShaderPixelTest, DirectionalLightShinesAlongItsDirectionInEverySlot) {
    LightValues sun;
    sun.type = 1;
    sun.intensity = glm::vec3(0.5f);
    LightValues off;
    off.enabled = false;
    for (int slot : {0, 1}) {
        SCOPED_TRACE(slot);
        sun.position = {0.0f, -1.0f, 0.0f};  // straight down onto the floor
        drawLitFloor(slot == 0 ? std::vector<LightValues>{sun} : std::vector<LightValues>{off, sun});
        const int lit = red({3.0f, 0.0f, 3.0f});
        EXPECT_GT(lit, 120);
        EXPECT_NEAR(red({-5.0f, 0.0f, -5.0f}), lit, 12) << "no distance fall-off";

        sun.position = {0.0f, 1.0f, 0.0f};  // from below: the floor faces away
        drawLitFloor(slot == 0 ? std::vector<LightValues>{sun} : std::vector<LightValues>{off, sun});
        EXPECT_LT(red({3.0f, 0.0f, 3.0f}), 20);
    }
}

TEST_F(ShaderPixelTest, SpotLightLightsOnlyInsideItsConeInEverySlot) {
    LightValues spot;
    spot.type = 2;
    spot.position = {2.0f, 6.0f, 0.0f};
    spot.coneDirection = {0.0f, -2.0f, 0.0f};  // not unit length: the shader must not care
    spot.coneInner = std::cos(glm::radians(14.0f));
    spot.coneOuter = std::cos(glm::radians(24.0f));
    LightValues off;
    off.enabled = false;
    for (const auto& lights : {std::vector<LightValues>{spot}, std::vector<LightValues>{off, spot}}) {
        SCOPED_TRACE(lights.size() == 1 ? "slot 0" : "slot 1");
        drawLitFloor(lights);
        const int centre = red({2.0f, 0.0f, 0.0f});
        EXPECT_GT(centre, 150) << "cone centre";
        EXPECT_LT(red({2.0f + 5.0f, 0.0f, 0.0f}), 20) << "outside the outer cone";
        EXPECT_LT(red({2.0f, 0.0f, -5.0f}), 20) << "outside the outer cone";
        const int edge = red({2.0f + 6.0f * std::tan(glm::radians(21.0f)), 0.0f, 0.0f});
        EXPECT_GT(edge, 20) << "between inner and outer cone";
        EXPECT_LT(edge, centre - 20);
    }
}

TEST_F(ShaderPixelTest, FogPushesDistantPixelsTowardFogColour) {
    LightValues point;
    point.position = {0.0f, 2.0f, 0.0f};
    point.attenuation = {1.0f, 0.0f, 0.1f};

    lookDownFrom(3.0f);
    drawLitFloor({point}, false);
    const int nearClear = red({0.0f, 0.0f, 0.0f});
    drawLitFloor({point}, true);
    EXPECT_NEAR(red({0.0f, 0.0f, 0.0f}), nearClear, 6) << "3 units away: hardly any fog";

    lookDownFrom(58.0f);
    drawLitFloor({}, false);
    EXPECT_LT(red({0.0f, 0.0f, 0.0f}), 20);
    drawLitFloor({}, true);
    const auto foggy = gl.pixel(32, 32);
    for (int channel = 0; channel < 3; ++channel) {
        // 94 % of the fog colour 0.3 dimmed to 0.15 of itself: 11 of 255.
        EXPECT_NEAR(foggy[channel], 11, 3) << "channel " << channel;
    }
}

TEST_F(ShaderPixelTest, SkinningMovesVerticesWithTheirBones) {
    Shader skinning(kSkinningSources);
    glUseProgram(skinning.program);
    setMat4(skinning.program, "projectionMatrix", projection);
    setMat4(skinning.program, "viewMatrix", view);
    setMat4(skinning.program, "modelMatrix", glm::mat4(1.0f));
    std::vector<glm::mat4> bones(kMaxShaderBones, glm::mat4(1.0f));
    bones[3] = glm::translate(glm::mat4(1.0f), glm::vec3(6.0f, 0.0f, 0.0f));
    glUniformMatrix4fv(glGetUniformLocation(skinning.program, "boneMatrices"), kMaxShaderBones, GL_FALSE,
                       glm::value_ptr(bones[0]));
    setInt(skinning.program, "useTexture", 0);
    setInt(skinning.program, "numLights", 0);
    setInt(skinning.program, "fogEnabled", 0);
    setVec3(skinning.program, "ambientLight", glm::vec3(1.0f));

    auto drawSquare = [&](const glm::vec4& weights, const glm::vec4& indices = glm::vec4(3.0f)) {
        std::vector<float> data;
        const float corners[6][2] = {{-1, -1}, {-1, 1}, {1, 1}, {-1, -1}, {1, 1}, {1, -1}};
        for (const auto& c : corners) {
            data.insert(data.end(),
                        {c[0], 0.0f, c[1], 1.0f, 0.0f, 1.0f, 0.0f, 0.5f, 0.5f, indices.x, indices.y,
                         indices.z, indices.w, weights.x, weights.y, weights.z, weights.w});
        }
        GLuint vertexArray = 0;
        GLuint buffer = 0;
        glGenVertexArrays(1, &vertexArray);
        glGenBuffers(1, &buffer);
        glBindVertexArray(vertexArray);
        glBindBuffer(GL_ARRAY_BUFFER, buffer);
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(data.size() * sizeof(float)), data.data(),
                     GL_STATIC_DRAW);
        const struct {
            const char* name;
            GLint size;
            size_t offset;
        } attributes[] = {{"inPosition", 4, 0},
                          {"inNormal", 3, 4},
                          {"inTexCoord", 2, 7},
                          {"inBoneIndices", 4, 9},
                          {"inBoneWeights", 4, 13}};
        for (const auto& attribute : attributes) {
            const GLint location = skinning.getAttribLocation(attribute.name);
            ASSERT_GE(location, 0);
            glEnableVertexAttribArray(static_cast<GLuint>(location));
            glVertexAttribPointer(static_cast<GLuint>(location), attribute.size, GL_FLOAT, GL_FALSE,
                                  17 * sizeof(float),
                                  reinterpret_cast<const void*>(attribute.offset * sizeof(float)));
        }
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glDrawArrays(GL_TRIANGLES, 0, 6);
        glBindVertexArray(0);
        glDeleteBuffers(1, &buffer);
        glDeleteVertexArrays(1, &vertexArray);
    };

    drawSquare({0.5f, 0.5f, 0.0f, 0.0f});          // two slots on bone 3, weights summing to 1
    EXPECT_NEAR(red({6.0f, 0.0f, 0.0f}), 178, 3);  // untextured grey 0.7, full ambient
    EXPECT_EQ(red({0.0f, 0.0f, 0.0f}), 0);
    // Lit to 1.4, the monster rolls off like the house: 0.8 + 0.6 / 4 = 0.95.
    setVec3(skinning.program, "ambientLight", glm::vec3(2.0f));
    drawSquare({0.5f, 0.5f, 0.0f, 0.0f});
    EXPECT_NEAR(red({6.0f, 0.0f, 0.0f}), 242, 2);
    setVec3(skinning.program, "ambientLight", glm::vec3(1.0f));

    drawSquare({0.0f, 0.0f, 0.0f, 0.0f});  // no influence: the bind pose
    EXPECT_NEAR(red({0.0f, 0.0f, 0.0f}), 178, 3);
    EXPECT_EQ(red({6.0f, 0.0f, 0.0f}), 0);

    // Each slot with its own bone and weight: a quarter on bone 2 (still),
    // three quarters on bone 3 (6 to the right) put the square 4.5 across.
    drawSquare({0.0f, 0.0f, 0.25f, 0.75f}, {0.0f, 1.0f, 2.0f, 3.0f});
    EXPECT_NEAR(red({4.5f, 0.0f, 0.0f}), 178, 3);
    EXPECT_EQ(red({3.0f, 0.0f, 0.0f}), 0);
    EXPECT_EQ(red({6.0f, 0.0f, 0.0f}), 0);

    // Normals turn with the inverse transpose of the bone, whichever slot
    // lights them (0 per pixel, 1 per vertex); no ambient, one directional
    // light. The square's normal is up.
    setVec3(skinning.program, "ambientLight", glm::vec3(0.0f));
    auto litCentre = [&](const glm::mat4& bone, int slot, const glm::vec3& travel) {
        bones[3] = glm::translate(glm::mat4(1.0f), glm::vec3(6.0f, 0.0f, 0.0f)) * bone;
        glUniformMatrix4fv(glGetUniformLocation(skinning.program, "boneMatrices"), kMaxShaderBones, GL_FALSE,
                           glm::value_ptr(bones[0]));
        LightValues off;
        off.enabled = false;
        setLight(skinning.program, 0, off);
        LightValues sun;
        sun.type = 1;
        sun.position = travel;
        setLight(skinning.program, slot, sun);
        setInt(skinning.program, "numLights", slot + 1);
        drawSquare({1.0f, 0.0f, 0.0f, 0.0f});
        return red({6.0f, 0.0f, 0.0f});
    };
    glm::mat4 shear(1.0f);
    shear[0][1] = 1.0f;  // y grows with x: the square tilts, its normal becomes (-1, 1, 0) / sqrt 2
    for (int slot = 0; slot < 2; ++slot) {
        // A mirrored bone keeps the normal up: lit from above.
        EXPECT_GT(
            litCentre(glm::scale(glm::mat4(1.0f), glm::vec3(-1.0f, 1.0f, 1.0f)), slot, {0.0f, -1.0f, 0.0f}),
            150)
            << "slot " << slot;
        // The sheared square faces a light from the upper left, and turns its
        // back on one from the right (which the unsheared normal would see).
        EXPECT_GT(litCentre(shear, slot, {1.0f, -2.0f, 0.0f}), 150) << "slot " << slot;
        EXPECT_EQ(litCentre(shear, slot, {-2.0f, -1.0f, 0.0f}), 0) << "slot " << slot;
    }
}

// A flat quad in clip space for the 2D programs; "position" and "uv" are found by name.
void drawScreenQuad(const Shader& shader, const glm::vec2& from, const glm::vec2& to) {
    const float data[] = {from.x, from.y, 0, 0, to.x, from.y, 1, 0, to.x, to.y, 1, 1, from.x, to.y, 0, 1};
    GLuint vertexArray = 0;
    GLuint buffer = 0;
    glGenVertexArrays(1, &vertexArray);
    glGenBuffers(1, &buffer);
    glBindVertexArray(vertexArray);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof(data), data, GL_STATIC_DRAW);
    const GLint position = shader.getAttribLocation("position");
    const GLint uv = shader.getAttribLocation("uv");
    glEnableVertexAttribArray(static_cast<GLuint>(position));
    glVertexAttribPointer(static_cast<GLuint>(position), 2, GL_FLOAT, GL_FALSE, 16, nullptr);
    glEnableVertexAttribArray(static_cast<GLuint>(uv));
    glVertexAttribPointer(static_cast<GLuint>(uv), 2, GL_FLOAT, GL_FALSE, 16,
                          reinterpret_cast<const void*>(8));
    glDrawArrays(GL_TRIANGLE_FAN, 0, 4);
    glBindVertexArray(0);
    glDeleteBuffers(1, &buffer);
    glDeleteVertexArrays(1, &vertexArray);
}

TEST_F(ShaderPixelTest, BlurSpreadsTheGlowAndLeavesTheRestUntouched) {
    // A 16 x 16 silhouette image: a 4 x 4 orange block in the middle, transparent elsewhere.
    std::vector<std::uint8_t> rgba(16 * 16 * 4, 0);
    for (int y = 6; y < 10; ++y) {
        for (int x = 6; x < 10; ++x) {
            std::uint8_t* p = &rgba[static_cast<size_t>(y * 16 + x) * 4];
            p[0] = 255;
            p[1] = 102;
            p[2] = 0;
            p[3] = 255;
        }
    }
    GLuint glow = 0;
    glGenTextures(1, &glow);
    glBindTexture(GL_TEXTURE_2D, glow);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 16, 16, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);

    Shader blur(kBlurSources);
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glUseProgram(blur.program);
    setInt(blur.program, "windowTex", 0);
    glUniform2f(glGetUniformLocation(blur.program, "uShift"), 1.0f / 16.0f, 1.0f / 16.0f);
    glDepthMask(GL_FALSE);
    drawScreenQuad(blur, {-1.0f, -1.0f}, {1.0f, 1.0f});
    glDepthMask(GL_TRUE);
    glDeleteTextures(1, &glow);

    // Each tap covers an opacity of 1.5 x the share of the tent (weights
    // 1-2-1 per axis, out of 16) whose texels lie in the block (6..9), and
    // the orange lies that much over the blue scene. At texel 8 the taps
    // are texels 6, 8 and 10 on each axis: 9 sixteenths covered; at texel 10
    // (just outside the block) 8 and 10 across, 6, 8, 10 down: 3 sixteenths.
    auto expectGlow = [&](int x, int y, double covered) {
        const double opacity = std::min(1.5 * covered / 16.0, 1.0);
        const auto p = gl.pixel(x, y);
        EXPECT_NEAR(p[0], 255 * opacity, 2) << x << ", " << y;
        EXPECT_NEAR(p[1], 102 * opacity, 2) << x << ", " << y;
        EXPECT_NEAR(p[2], 255 * (1.0 - opacity), 2) << x << ", " << y;
    };
    expectGlow(32, 32, 9.0);
    expectGlow(42, 32, 3.0);
    const auto corner = gl.pixel(2, 2);
    EXPECT_EQ(corner[0], 0);
    EXPECT_EQ(corner[2], 255);
}

TEST_F(ShaderPixelTest, HiddenTextShowsOnlyInTheFlashlightCone) {
    Shader hidden(kHiddenTextSources);
    glClearColor(0.2f, 0.2f, 0.2f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glUseProgram(hidden.program);
    setMat4(hidden.program, "mvp", projection * view);
    setMat4(hidden.program, "model", glm::mat4(1.0f));
    setVec3(hidden.program, "flashlight.position", eye);
    setVec3(hidden.program, "flashlight.coneDirection", {0.0f, -1.0f, 0.0f});
    setFloat(hidden.program, "flashlight.constAttenuation", 0.5f);
    setFloat(hidden.program, "flashlight.linearAttenuation", 0.01f);
    setFloat(hidden.program, "flashlight.quadraticAttenuation", 0.002f);
    setFloat(hidden.program, "flashlight.coneInnerAngle", std::cos(glm::radians(14.0f)));
    setFloat(hidden.program, "flashlight.coneOuterAngle", std::cos(glm::radians(24.0f)));
    // Straight below the light, 20 away: the beam is 1 / (0.5 + 0.01 x 20 +
    // 0.002 x 20^2) = 2/3, and the ink, tinted (0.55, 0.75, 1), lies over the
    // 0.2 grey as much as the beam times its brightest channel: ink of any one
    // colour shows, and from behind the writing as from the front (the floor
    // mirrored upside down turns its normal away from the light).
    const double beam = 1.0 / 1.5;
    const glm::dvec3 tint(0.55, 0.75, 1.0);
    const glm::dvec3 inks[] = {{1.0, 1.0, 1.0}, {1.0, 0.0, 0.0}, {0.0, 1.0, 0.0}, {0.0, 0.0, 1.0}};
    const glm::ivec2 centre = pixelOf(glm::vec3(0.0f));
    for (bool fromBehind : {false, true}) {
        setMat4(hidden.program, "model",
                fromBehind ? glm::scale(glm::mat4(1.0f), glm::vec3(1.0f, -1.0f, 1.0f)) : glm::mat4(1.0f));
        for (const glm::dvec3& ink : inks) {
            SCOPED_TRACE(::testing::Message() << "ink " << ink.r << " " << ink.g << " " << ink.b
                                              << (fromBehind ? ", from behind" : ", from the front"));
            const std::uint8_t texel[3] = {static_cast<std::uint8_t>(255 * ink.r),
                                           static_cast<std::uint8_t>(255 * ink.g),
                                           static_cast<std::uint8_t>(255 * ink.b)};
            Texture inkTexture;
            inkTexture.upload(texel, 1, 1);
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            hidden.bindTexture("tex", &inkTexture);
            floor.draw();
            const auto lit = gl.pixel(centre.x, centre.y);
            for (int c = 0; c < 3; ++c) {
                EXPECT_NEAR(lit[c], 255 * (ink[c] * tint[c] * beam + 0.2 * (1.0 - beam)), 3)
                    << "channel " << c;
            }
            EXPECT_NEAR(red({10.0f, 0.0f, 0.0f}), 51, 1) << "outside the beam the wall behind is untouched";
        }
    }
}

TEST_F(ShaderPixelTest, GlassOpacityIsTheTransparencyValue) {
    Shader glass(kGlassSources);
    const std::uint8_t green[3] = {0, 255, 0};
    Texture greenTexture;
    greenTexture.upload(green, 1, 1);
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glUseProgram(glass.program);
    setMat4(glass.program, "mvp", projection * view);
    setFloat(glass.program, "transparency", 0.35f);
    glass.bindTexture("tex", &greenTexture);
    floor.draw();
    const auto mixed = gl.pixel(32, 32);
    EXPECT_NEAR(mixed[0], 166, 3);
    // The glass's own colour shows at 0.3 of its texture: 0.35 x 0.3 x 255.
    EXPECT_NEAR(mixed[1], 27, 2);
}

TEST_F(ShaderPixelTest, ScreenProgramsPlaceQuadsInWindowPixels) {
    Shader font(kFontSources);
    Shader hud(kHudSources);
    glDisable(GL_DEPTH_TEST);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glUseProgram(hud.program);
    glUniform2f(glGetUniformLocation(hud.program, "orthoTransformation"), 2.0f / 64.0f, 2.0f / 64.0f);
    hud.bindTexture("icon", &whiteTexture);
    drawScreenQuad(hud, {0.0f, 0.0f}, {32.0f, 16.0f});  // lower-left, 32 x 16 pixels
    EXPECT_EQ(gl.pixel(5, 5)[0], 255);
    EXPECT_EQ(gl.pixel(31, 15)[0], 255);
    EXPECT_EQ(gl.pixel(33, 5)[0], 0);
    EXPECT_EQ(gl.pixel(5, 17)[0], 0);

    // A black font cell is see-through: only the glyph's light pixels cover.
    const std::uint8_t black[3] = {0, 0, 0};
    Texture blackTexture;
    blackTexture.upload(black, 1, 1);
    glUseProgram(font.program);
    glUniform2f(glGetUniformLocation(font.program, "orthoTransformation"), 2.0f / 64.0f, 2.0f / 64.0f);
    font.bindTexture("font", &blackTexture);
    drawScreenQuad(font, {0.0f, 0.0f}, {64.0f, 64.0f});
    EXPECT_EQ(gl.pixel(5, 5)[0], 255);
    glEnable(GL_DEPTH_TEST);
}

}  // namespace
}  // namespace vestrel
