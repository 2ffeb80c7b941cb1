#include "render/HUD.h"

#include <cctype>
#include <iostream>
#include <string_view>

#include <glm/gtc/type_ptr.hpp>

#include "app/GameSettings.h"
#include "level/Item.h"
#include "render/Button.h"
#include "render/GlContext.h"
#include "render/Shader.h"
#include "render/Texture.h"
#include "render/TextureCache.h"

namespace vestrel {

namespace {

constexpr char kFontPath[] = "Assets\\Textures\\font.jpg";
constexpr char kFontKey[] = "FONT_TEXTURE";
constexpr int kSpaceCell = 98;
constexpr char kPunctuation[] = "!'-./?+";
// Each glyph shows its cell's upper-left part, this much short of the right
// and lower edges, so neighbouring cells never bleed in.
constexpr float kGlyphInset = 0.02f;

const std::array<glm::vec2, 4> kFullUvs{glm::vec2(0.0f, 0.0f), glm::vec2(1.0f, 0.0f), glm::vec2(1.0f, 1.0f),
                                        glm::vec2(0.0f, 1.0f)};

std::array<glm::vec2, 4> corners(const HUD::Rect& r) {
    return {glm::vec2(r.x, r.y), glm::vec2(r.x + r.width, r.y), glm::vec2(r.x + r.width, r.y + r.height),
            glm::vec2(r.x, r.y + r.height)};
}

void attach(GLint location, GLuint buffer, const std::array<glm::vec2, 4>& data) {
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof(data), data.data(), GL_STATIC_DRAW);
    if (location >= 0) {
        glEnableVertexAttribArray(static_cast<GLuint>(location));
        glVertexAttribPointer(static_cast<GLuint>(location), 2, GL_FLOAT, GL_FALSE, 0, nullptr);
    }
}

}  // namespace

// --- GL_Buffers ------------------------------------------------------------

HUD::GL_Buffers::GL_Buffers(const Shader& program, const std::array<glm::vec2, 4>& cornerPositions,
                            const std::array<glm::vec2, 4>& uvs, Texture* image)
    : texture(image) {
    glGenBuffers(1, &positionBuffer);
    glGenBuffers(1, &uvBuffer);
    glGenVertexArrays(1, &vertexArray);
    glBindVertexArray(vertexArray);
    attach(program.getAttribLocation("position"), positionBuffer, cornerPositions);
    attach(program.getAttribLocation("uv"), uvBuffer, uvs);
    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

HUD::GL_Buffers::~GL_Buffers() {
    if (hasCurrentGlContext()) {
        if (positionBuffer != 0) glDeleteBuffers(1, &positionBuffer);
        if (uvBuffer != 0) glDeleteBuffers(1, &uvBuffer);
        if (vertexArray != 0) glDeleteVertexArrays(1, &vertexArray);
    }
}

// --- HUD -------------------------------------------------------------------

HUD& HUD::instance() {
    static HUD hud;
    return hud;
}

HUD::HUD() = default;

HUD::~HUD() = default;

void HUD::clear() {
    quads.clear();
    textQuads.clear();
    lastText_.clear();
    iconCount = 0;
}

HUD::Layout HUD::computeLayout(int windowWidth, int windowHeight) {
    Layout layout;
    // A zero-sized (minimised) window would make the projection infinite.
    layout.orthoTransformation = glm::vec2(windowWidth > 0 ? 2.0f / static_cast<float>(windowWidth) : 0.0f,
                                           windowHeight > 0 ? 2.0f / static_cast<float>(windowHeight) : 0.0f);
    const int a = windowHeight / 12;
    layout.iconHeight = layout.iconWidth = a;
    const int b = a / 2;
    layout.iconSpacing = layout.iconStartX = layout.iconStartY = b;
    layout.glyphSpacing = 0;
    const int c = windowHeight / 30;
    layout.glyphWidth = layout.glyphHeight = c;
    const int d = c / 2;
    layout.lineSpacing = d;
    layout.textStartX = d;
    layout.textStartY = windowHeight - d;
    return layout;
}

void HUD::applyLayout(const Layout& layout) {
    orthoTransformation = layout.orthoTransformation;
    iconHeight = layout.iconHeight;
    iconWidth = layout.iconWidth;
    iconSpacing = layout.iconSpacing;
    iconStartX = layout.iconStartX;
    iconStartY = layout.iconStartY;
    textStartX = layout.textStartX;
    textStartY = layout.textStartY;
    glyphWidth = layout.glyphWidth;
    glyphHeight = layout.glyphHeight;
    lineSpacing = layout.lineSpacing;
    glyphSpacing = layout.glyphSpacing;
}

void HUD::init() {
    TextureCache& cache = TextureCache::instance();
    cache.load(kFontPath, kFontKey);

    glyphs.clear();
    for (char c = '0'; c <= '9'; ++c) glyphs[c] = c - 32;
    glyphs[':'] = ':' - 32;
    for (char c = 'A'; c <= 'Z'; ++c) glyphs[c] = c - 32;
    glyphs[' '] = kSpaceCell;
    // The atlas holds every printable character in the cell of its code
    // minus 32; the prompts and captions use these few besides.
    for (const char c : std::string_view(kPunctuation)) glyphs[c] = c - 32;

    const GameSettings& settings = GameSettings::instance();
    applyLayout(computeLayout(settings.windowWidth, settings.windowHeight));

    fontTexture = cache.find(kFontKey);
    // The layout may have changed: text is rebuilt on its next draw.
    textQuads.clear();
    lastText_.clear();
}

void HUD::resize(int windowWidth, int windowHeight) {
    applyLayout(computeLayout(windowWidth, windowHeight));
    textQuads.clear();
    lastText_.clear();
}

HUD::Rect HUD::messageRect(int windowWidth, int windowHeight, int imageWidth, int imageHeight) {
    Rect r;
    if (imageWidth <= 0 || imageHeight <= 0) return r;
    const float w = static_cast<float>(windowWidth);
    const float h = static_cast<float>(windowHeight);
    if (windowWidth < windowHeight) {
        r.width = w;
        r.height = w / static_cast<float>(imageWidth) * static_cast<float>(imageHeight);
        r.x = 0.0f;
        r.y = static_cast<float>(windowHeight / 2) - r.height / 2.0f;
    } else {
        r.height = h;
        r.width = h / static_cast<float>(imageHeight) * static_cast<float>(imageWidth);
        r.y = 0.0f;
        r.x = static_cast<float>(windowWidth / 2) - r.width / 2.0f;
    }
    return r;
}

HUD::Rect HUD::gameOverRect(const std::string& key, int windowWidth, int windowHeight, int imageWidth,
                            int imageHeight) {
    Rect r;
    if (key == "LOST") {
        r.width = static_cast<float>(windowWidth);
        r.height = static_cast<float>(windowHeight);
        return r;
    }
    if (imageWidth <= 0 || imageHeight <= 0) return r;
    r.width = 0.75f * static_cast<float>(windowWidth);
    r.height = r.width / static_cast<float>(imageWidth) * static_cast<float>(imageHeight);
    r.x = static_cast<float>(windowWidth / 2) - r.width / 2.0f;
    r.y = 0.75f * static_cast<float>(windowHeight) - r.height / 2.0f;
    return r;
}

HUD::Rect HUD::buttonRect(int windowWidth, int windowHeight, int buttonCount, int k, int imageWidth,
                          int imageHeight) {
    Rect r;
    r.width = 0.2f * static_cast<float>(windowWidth);
    // Without an image the button keeps a 4:1 shape, so it can still be
    // found and clicked.
    const float aspect = imageWidth > 0 && imageHeight > 0
                             ? static_cast<float>(imageHeight) / static_cast<float>(imageWidth)
                             : 0.25f;
    r.height = r.width * aspect;
    const float centreX = static_cast<float>((windowWidth / (buttonCount + 1)) * k);
    const float centreY = 0.25f * static_cast<float>(windowHeight);
    r.x = centreX - r.width / 2.0f;
    r.y = centreY - r.height / 2.0f;
    return r;
}

std::array<glm::vec2, 4> HUD::glyphUvs(int cell) {
    const float cellWidth = 1024.0f / 10.0f;
    const float cellHeight = 1024.0f / 10.0f;
    const int column = cell % 10;
    const int row = cell / 10;
    const float u0 = static_cast<float>(column) * cellWidth / 1024.0f;
    const float u1 = u0 + cellWidth / 1024.0f - kGlyphInset;
    const float vTop = 1.0f - static_cast<float>(row) * cellHeight / 1024.0f;
    const float vBottom = vTop - (cellHeight / 1024.0f - kGlyphInset);
    return {glm::vec2(u0, vBottom), glm::vec2(u1, vBottom), glm::vec2(u1, vTop), glm::vec2(u0, vTop)};
}

int HUD::glyphCell(char c) const {
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const auto found = glyphs.find(upper);
    return found == glyphs.end() ? -1 : found->second;
}

Texture* HUD::findImage(const std::string& key) {
    Texture* image = TextureCache::instance().find(key);
    if (image == nullptr && reportedMissing_.insert(key).second) {
        std::cout << "HUD image missing: " << key << std::endl;
    }
    return image;
}

void HUD::drawQuadList(const Shader& program, const char* sampler) {
    glUniform2fv(program.getUniformLocation("orthoTransformation"), 1, glm::value_ptr(orthoTransformation));
    const GLint samplerLocation = program.getUniformLocation(sampler);
    glActiveTexture(GL_TEXTURE0);
    for (const std::shared_ptr<GL_Buffers>& quad : quads) {
        // A quad whose image is missing keeps its place but shows nothing.
        if (quad->texture == nullptr) continue;
        glBindTexture(GL_TEXTURE_2D, quad->texture->name);
        applySampling();
        glUniform1i(samplerLocation, 0);
        glBindVertexArray(quad->vertexArray);
        glDrawArrays(GL_TRIANGLE_FAN, 0, 4);
        glBindVertexArray(0);
        glBindTexture(GL_TEXTURE_2D, 0);
    }
}

void HUD::drawIcons(const std::map<std::string, Item*>& inventory, int count, const Shader& program) {
    // Icons are also rebuilt when a message or game-over draw has emptied the
    // list since, so an unchanged count never leaves them missing.
    if (iconCount != count || static_cast<int>(quads.size()) != iconCount) {
        quads.clear();
        iconCount = 0;
        Rect r{static_cast<float>(iconStartX), static_cast<float>(iconStartY), static_cast<float>(iconWidth),
               static_cast<float>(iconHeight)};
        for (const auto& entry : inventory) {
            const Item* item = entry.second;
            if (item == nullptr || item->used) continue;
            quads.push_back(std::make_shared<GL_Buffers>(program, corners(r), kFullUvs, item->icon));
            ++iconCount;
            r.x += static_cast<float>(iconSpacing + iconWidth);
        }
    }
    drawQuadList(program, "icon");
}

void HUD::drawMessage(const std::string& key, const Shader& program) {
    quads.clear();
    const GameSettings& settings = GameSettings::instance();
    if (Texture* image = findImage(key)) {
        const Rect r = messageRect(settings.windowWidth, settings.windowHeight, image->width, image->height);
        quads.push_back(std::make_shared<GL_Buffers>(program, corners(r), kFullUvs, image));
        drawQuadList(program, "message");
    }
    quads.clear();
}

void HUD::drawGameOver(const std::string& key, const Shader& program,
                       const std::vector<std::shared_ptr<Button>>& buttons) {
    quads.clear();
    const GameSettings& settings = GameSettings::instance();
    const int w = settings.windowWidth;
    const int h = settings.windowHeight;

    if (Texture* image = findImage(key)) {
        const Rect r = gameOverRect(key, w, h, image->width, image->height);
        quads.push_back(std::make_shared<GL_Buffers>(program, corners(r), kFullUvs, image));
    }

    const int n = static_cast<int>(buttons.size());
    int k = 1;
    for (const std::shared_ptr<Button>& button : buttons) {
        if (!button) continue;
        Texture* image = findImage(button->textureKey());
        const Rect r = buttonRect(w, h, n, k++, image ? image->width : 0, image ? image->height : 0);
        button->x = r.x;
        button->y = r.y;
        button->width = r.width;
        button->height = r.height;
        quads.push_back(std::make_shared<GL_Buffers>(program, corners(r), kFullUvs, image));
    }

    drawQuadList(program, "message");
    quads.clear();
}

void HUD::drawText(const std::vector<std::string>& lines, const Shader& program) {
    // The same lines as last time reuse their quads: the stats overlay
    // changes at most once a second, and this keeps buffer churn out of
    // every frame.
    if (lines != lastText_ || textQuads.empty()) {
        textQuads.clear();
        float x = static_cast<float>(textStartX);
        float y = static_cast<float>(textStartY);
        for (const std::string& line : lines) {
            for (const char c : line) {
                x += static_cast<float>(glyphHeight + glyphSpacing);
                const int cell = glyphCell(c);
                if (cell < 0) continue;
                const Rect r{x, y - static_cast<float>(glyphWidth), static_cast<float>(glyphHeight),
                             static_cast<float>(glyphWidth)};
                textQuads.push_back(
                    std::make_shared<GL_Buffers>(program, corners(r), glyphUvs(cell), nullptr));
            }
            x = static_cast<float>(textStartX);
            y -= static_cast<float>(glyphWidth + lineSpacing);
        }
        lastText_ = lines;
    }

    if (fontTexture == nullptr) {
        findImage(kFontKey);
        return;
    }
    glUniform2fv(program.getUniformLocation("orthoTransformation"), 1, glm::value_ptr(orthoTransformation));
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, fontTexture->name);
    applySampling();
    glUniform1i(program.getUniformLocation("font"), 0);
    for (const std::shared_ptr<GL_Buffers>& quad : textQuads) {
        glBindVertexArray(quad->vertexArray);
        glDrawArrays(GL_TRIANGLE_FAN, 0, 4);
    }
    glBindVertexArray(0);
    glBindTexture(GL_TEXTURE_2D, 0);
}

}  // namespace vestrel
