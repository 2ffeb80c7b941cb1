// Fill-rate cost of the game's per-pixel programs at 1280 x 720, the size of
// the scene framebuffer. Each pass covers the whole frame once; the time per
// pass is measured with glFinish around a batch of frames. Run it under the
// same display as the game (llvmpipe: LP_NUM_THREADS=2 for a two-core box).

#include <GL/glew.h>

#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <glm/glm.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>
#include <string>
#include <vector>

#include "app/GameSettings.h"
#include "render/Shader.h"
#include "render/Texture.h"
#include "support/GlTestContext.h"

using namespace vestrel;

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr int kWarmUpFrames = 5;
constexpr int kTimedFrames = 40;

struct Grid {
    GLuint vertexArray = 0;
    GLuint buffer = 0;
    GLsizei count = 0;
};

// A floor of 2 x 2 unit cells (about what a tiled house floor has), positions,
// normals and uvs at the level programs' fixed locations.
Grid makeFloor(float halfSize, float cell) {
    std::vector<float> data;
    const int cells = static_cast<int>(2.0f * halfSize / cell);
    for (int i = 0; i < cells; ++i) {
        for (int j = 0; j < cells; ++j) {
            const float x0 = -halfSize + cell * static_cast<float>(i);
            const float z0 = -halfSize + cell * static_cast<float>(j);
            const float corners[6][2] = {{x0, z0}, {x0, z0 + cell},        {x0 + cell, z0 + cell},
                                         {x0, z0}, {x0 + cell, z0 + cell}, {x0 + cell, z0}};
            for (const auto& c : corners) {
                data.insert(data.end(), {c[0], 0.0f, c[1], 0.0f, 1.0f, 0.0f, c[0] * 0.25f, c[1] * 0.25f});
            }
        }
    }
    Grid grid;
    grid.count = static_cast<GLsizei>(data.size() / 8);
    glGenVertexArrays(1, &grid.vertexArray);
    glGenBuffers(1, &grid.buffer);
    glBindVertexArray(grid.vertexArray);
    glBindBuffer(GL_ARRAY_BUFFER, grid.buffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(data.size() * sizeof(float)), data.data(),
                 GL_STATIC_DRAW);
    const GLuint locations[] = {kPositionLocation, kNormalLocation, kUvLocation};
    const GLint sizes[] = {3, 3, 2};
    const size_t offsets[] = {0, 3, 6};
    for (int i = 0; i < 3; ++i) {
        glEnableVertexAttribArray(locations[i]);
        glVertexAttribPointer(locations[i], sizes[i], GL_FLOAT, GL_FALSE, 8 * sizeof(float),
                              reinterpret_cast<const void*>(offsets[i] * sizeof(float)));
    }
    glBindVertexArray(0);
    return grid;
}

struct Timing {
    double wallMs;  // per frame, on this machine as it is loaded now
    double cpuMs;   // per frame, CPU time of all of the process's threads
};

double cpuMilliseconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// CPU time divided by the rasteriser's thread count estimates the wall time
// on an otherwise idle machine with that many cores, which a busy build
// machine cannot show directly.
Timing measure(const std::function<void()>& drawFrame) {
    for (int i = 0; i < kWarmUpFrames; ++i) {
        drawFrame();
    }
    glFinish();
    const double cpuStart = cpuMilliseconds();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kTimedFrames; ++i) {
        drawFrame();
        glFinish();
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    return {std::chrono::duration<double, std::milli>(elapsed).count() / kTimedFrames,
            (cpuMilliseconds() - cpuStart) / kTimedFrames};
}

void report(const std::string& label, const Timing& timing) {
    std::printf("%-34s wall %8.2f ms   cpu %8.2f ms\n", label.c_str(), timing.wallMs, timing.cpuMs);
}

void setLight(GLuint program, int index, int type, const glm::vec3& position, const glm::vec3& direction) {
    const std::string prefix = "lights[" + std::to_string(index) + "].";
    auto loc = [&](const char* member) { return glGetUniformLocation(program, (prefix + member).c_str()); };
    glUniform1i(loc("enabled"), 1);
    glUniform1i(loc("type"), type);
    glUniform3f(loc("intensity"), 0.4f, 0.35f, 0.3f);
    glUniform3fv(loc("position"), 1, glm::value_ptr(position));
    glUniform1f(loc("constAttenuation"), 0.5f);
    glUniform1f(loc("linearAttenuation"), 0.01f);
    glUniform1f(loc("quadraticAttenuation"), 0.008f);
    glUniform3fv(loc("coneDirection"), 1, glm::value_ptr(direction));
    glUniform1f(loc("coneInnerAngle"), std::cos(0.2443461f));
    glUniform1f(loc("coneOuterAngle"), std::cos(0.4188790f));
}

}  // namespace

int main(int argc, char** argv) {
    // "quick": only texLights with bilinear sampling (what the game starts with on
    // a software rasteriser), for comparing shader variants.
    const bool quick = argc > 1 && std::string(argv[1]) == "quick";
    test::GlTestContext gl(64, 64);
    if (!gl.ok()) {
        std::printf("no GL 3.3 context\n");
        return 1;
    }
    std::printf("renderer: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));

    // The scene framebuffer, as the Renderer makes it.
    GLuint framebuffer = 0, colour = 0, depth = 0;
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glGenTextures(1, &colour);
    glBindTexture(GL_TEXTURE_2D, colour);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kWidth, kHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colour, 0);
    glGenRenderbuffers(1, &depth);
    glBindRenderbuffer(GL_RENDERBUFFER, depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, kWidth, kHeight);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
    glViewport(0, 0, kWidth, kHeight);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    // A 256 x 256 checker texture with its mip chain, like a material.
    std::vector<unsigned char> pixels(256 * 256 * 3);
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            const unsigned char v = ((x / 16 + y / 16) % 2) ? 200 : 90;
            unsigned char* p = &pixels[static_cast<size_t>(y * 256 + x) * 3];
            p[0] = v;
            p[1] = static_cast<unsigned char>(v * 0.9f);
            p[2] = static_cast<unsigned char>(v * 0.8f);
        }
    }
    Texture material;
    material.upload(pixels.data(), 256, 256);

    Grid floor = makeFloor(60.0f, 2.0f);
    const glm::vec3 eye(0.0f, 3.0f, 0.0f);
    const glm::mat4 view = glm::lookAt(eye, glm::vec3(0.0f, 0.0f, -8.0f), glm::vec3(0.0f, 1.0f, 0.0f));
    const glm::mat4 projection = glm::perspective(glm::radians(60.0f), 1280.0f / 720.0f, 0.1f, 60.0f);

    Shader texLights(kTexLightsSources);
    GameSettings& settings = GameSettings::instance();

    // lightCount lights: the flashlight (spot, along the view), then room
    // point lights, with every fourth room light a ceiling spot pointing down.
    float anisotropyCap = 0.0f;  // > 0: overrides the driver's maximum in mode 3
    auto texLightsFrame = [&](int lightCount) {
        return [&, lightCount]() {
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            const GLuint p = texLights.program;
            glUseProgram(p);
            glUniformMatrix4fv(glGetUniformLocation(p, "mvp"), 1, GL_FALSE,
                               glm::value_ptr(projection * view));
            glUniformMatrix4fv(glGetUniformLocation(p, "model"), 1, GL_FALSE,
                               glm::value_ptr(glm::mat4(1.0f)));
            glUniformMatrix4fv(glGetUniformLocation(p, "viewMatrix"), 1, GL_FALSE, glm::value_ptr(view));
            glUniform3f(glGetUniformLocation(p, "fogColor"), 0.3f, 0.3f, 0.3f);
            glUniform1i(glGetUniformLocation(p, "fogEnabled"), 1);
            glUniform1i(glGetUniformLocation(p, "numLights"), lightCount);
            glUniform3f(glGetUniformLocation(p, "ambientLight"), 0.1f, 0.1f, 0.1f);
            setLight(p, 0, 2, eye, glm::normalize(glm::vec3(0.0f, -3.0f, -8.0f)));
            for (int i = 1; i < lightCount; ++i) {
                const glm::vec3 at(static_cast<float>((i % 4) * 10 - 15), 8.0f,
                                   static_cast<float>(-(i / 4) * 10 - 5));
                setLight(p, i, i % 4 == 3 ? 2 : 0, at, glm::vec3(0.0f, -1.0f, 0.0f));
            }
            texLights.bindTexture("tex", &material);
            if (anisotropyCap > 0.0f) {
                glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, anisotropyCap);
            }
            glBindVertexArray(floor.vertexArray);
            glDrawArrays(GL_TRIANGLES, 0, floor.count);
            glBindVertexArray(0);
        };
    };

    std::printf("full-frame passes at %d x %d, per frame over %d frames (glFinish)\n", kWidth, kHeight,
                kTimedFrames);
    std::printf("cpu: all threads together; on an idle machine wall ~ cpu / LP_NUM_THREADS\n");

    // Floor of the cost: the flat highlight program over the same floor.
    Shader highlight(kHighlightSources);
    report("highlight (flat colour)", measure([&]() {
               glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
               glUseProgram(highlight.program);
               glUniformMatrix4fv(glGetUniformLocation(highlight.program, "mvp"), 1, GL_FALSE,
                                  glm::value_ptr(projection * view));
               glUniform3f(glGetUniformLocation(highlight.program, "highlightColor"), 1.0f, 0.4f, 0.0f);
               glBindVertexArray(floor.vertexArray);
               glDrawArrays(GL_TRIANGLES, 0, floor.count);
               glBindVertexArray(0);
           }));
    for (int mode : {0, 1, 2, 3}) {
        if (quick && mode != 1) {
            continue;
        }
        settings.samplingMode = mode;
        for (int lights : {1, 8, 16}) {
            report("texLights sampling " + std::to_string(mode) + ", " + std::to_string(lights) + " lights",
                   measure(texLightsFrame(lights)));
        }
    }
    if (quick) {
        return 0;
    }
    settings.samplingMode = 3;
    for (float cap : {2.0f, 4.0f}) {
        anisotropyCap = cap;
        report("texLights sampling 3 at " + std::to_string(static_cast<int>(cap)) + "x, 1 light",
               measure(texLightsFrame(1)));
    }
    anisotropyCap = 0.0f;

    // The glow composite: the half-size glow image blurred over the frame.
    Shader blur(kBlurSources);
    GLuint glow = 0;
    std::vector<unsigned char> glowPixels(640 * 360 * 4, 0);
    for (int y = 150; y < 210; ++y) {
        for (int x = 280; x < 360; ++x) {
            unsigned char* p = &glowPixels[static_cast<size_t>(y * 640 + x) * 4];
            p[0] = 255;
            p[1] = 102;
            p[3] = 255;
        }
    }
    glGenTextures(1, &glow);
    glBindTexture(GL_TEXTURE_2D, glow);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 640, 360, 0, GL_RGBA, GL_UNSIGNED_BYTE, glowPixels.data());
    glGenerateMipmap(GL_TEXTURE_2D);
    const float quad[] = {-1, -1, 0, 0, 1, -1, 1, 0, 1, 1, 1, 1, -1, 1, 0, 1};
    GLuint quadArray = 0, quadBuffer = 0;
    glGenVertexArrays(1, &quadArray);
    glGenBuffers(1, &quadBuffer);
    glBindVertexArray(quadArray);
    glBindBuffer(GL_ARRAY_BUFFER, quadBuffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof(quad), quad, GL_STATIC_DRAW);
    const GLint position = glGetAttribLocation(blur.program, "position");
    const GLint uv = glGetAttribLocation(blur.program, "uv");
    glEnableVertexAttribArray(static_cast<GLuint>(position));
    glVertexAttribPointer(static_cast<GLuint>(position), 2, GL_FLOAT, GL_FALSE, 16, nullptr);
    glEnableVertexAttribArray(static_cast<GLuint>(uv));
    glVertexAttribPointer(static_cast<GLuint>(uv), 2, GL_FLOAT, GL_FALSE, 16,
                          reinterpret_cast<const void*>(8));
    glBindVertexArray(0);
    auto blurFrame = [&]() {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glUseProgram(blur.program);
        glBindTexture(GL_TEXTURE_2D, glow);
        applySampling();
        glUniform1i(glGetUniformLocation(blur.program, "windowTex"), 0);
        glUniform2f(glGetUniformLocation(blur.program, "uShift"), 1.0f / 640.0f, 1.0f / 360.0f);
        glDepthMask(GL_FALSE);
        glBindVertexArray(quadArray);
        glDrawArrays(GL_TRIANGLE_FAN, 0, 4);
        glBindVertexArray(0);
        glDepthMask(GL_TRUE);
    };
    for (int mode : {0, 1, 2, 3}) {
        settings.samplingMode = mode;
        report("blur composite sampling " + std::to_string(mode), measure(blurFrame));
    }
    settings.samplingMode = 3;

    glDeleteTextures(1, &glow);
    glDeleteBuffers(1, &quadBuffer);
    glDeleteVertexArrays(1, &quadArray);
    glDeleteBuffers(1, &floor.buffer);
    glDeleteVertexArrays(1, &floor.vertexArray);
    glDeleteRenderbuffers(1, &depth);
    glDeleteTextures(1, &colour);
    glDeleteFramebuffers(1, &framebuffer);
    return 0;
}
