#include "render/Renderer.h"

#include "app/GameSettings.h"
#include "render/GlContext.h"

namespace vestrel {

Renderer::Renderer() = default;

Renderer::~Renderer() { cleanup(); }

void Renderer::init() {
    if (initialized()) cleanup();

    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glEnable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    texLightsShader = std::make_unique<Shader>(kTexLightsSources);
    textureShader = std::make_unique<Shader>(kTextureSources);
    hudShader = std::make_unique<Shader>(kHudSources);
    fontShader = std::make_unique<Shader>(kFontSources);
    messageShader = std::make_unique<Shader>(kMessageSources);
    highlightShader = std::make_unique<Shader>(kHighlightSources);
    blurShader = std::make_unique<Shader>(kBlurSources);
    hiddenTextShader = std::make_unique<Shader>(kHiddenTextSources);
    glassShader = std::make_unique<Shader>(kGlassSources);
    skinningShader = std::make_unique<Shader>(kSkinningSources);

    const GameSettings& settings = GameSettings::instance();
    sceneBuffer.create(settings.windowWidth, settings.windowHeight);
    glowBuffer.create(settings.windowWidth / 2, settings.windowHeight / 2);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);

    buildQuad();
}

void Renderer::cleanup() {
    // Programs in the documented release order; each Shader stops using and
    // deletes its program (a no-op without a context).
    texLightsShader.reset();
    hudShader.reset();
    fontShader.reset();
    textureShader.reset();
    blurShader.reset();
    highlightShader.reset();
    hiddenTextShader.reset();
    messageShader.reset();
    glassShader.reset();
    skinningShader.reset();

    sceneBuffer.release();
    glowBuffer.release();
    releaseQuad();
}

void Renderer::buildQuad() {
    static const GLfloat positions[8] = {-1.0f, -1.0f, 1.0f, -1.0f, 1.0f, 1.0f, -1.0f, 1.0f};
    static const GLfloat uvs[8] = {0.0f, 0.0f, 1.0f, 0.0f, 1.0f, 1.0f, 0.0f, 1.0f};

    glGenVertexArrays(1, &quadVertexArray);
    glBindVertexArray(quadVertexArray);

    const GLint positionLocation = blurShader->getAttribLocation("position");
    const GLint uvLocation = blurShader->getAttribLocation("uv");

    glGenBuffers(1, &quadPositionBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, quadPositionBuffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof(positions), positions, GL_STATIC_DRAW);
    if (positionLocation >= 0) {
        glEnableVertexAttribArray(static_cast<GLuint>(positionLocation));
        glVertexAttribPointer(static_cast<GLuint>(positionLocation), 2, GL_FLOAT, GL_FALSE, 0, nullptr);
    }

    glGenBuffers(1, &quadUvBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, quadUvBuffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof(uvs), uvs, GL_STATIC_DRAW);
    if (uvLocation >= 0) {
        glEnableVertexAttribArray(static_cast<GLuint>(uvLocation));
        glVertexAttribPointer(static_cast<GLuint>(uvLocation), 2, GL_FLOAT, GL_FALSE, 0, nullptr);
    }

    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

void Renderer::releaseQuad() {
    if (hasCurrentGlContext()) {
        if (quadPositionBuffer != 0) glDeleteBuffers(1, &quadPositionBuffer);
        if (quadUvBuffer != 0) glDeleteBuffers(1, &quadUvBuffer);
        if (quadVertexArray != 0) glDeleteVertexArrays(1, &quadVertexArray);
    }
    quadPositionBuffer = 0;
    quadUvBuffer = 0;
    quadVertexArray = 0;
}

void Renderer::render(Level& /*level*/) {
    if (!initialized()) return;
    // The passes are filled in as the level side lands.
}

}  // namespace vestrel
