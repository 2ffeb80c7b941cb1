#include "render/PlayHud.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include <glm/gtc/type_ptr.hpp>

#include "render/GlContext.h"
#include "render/Shader.h"
#include "render/Texture.h"

namespace vestrel {

namespace {

constexpr float kLineSpacing = 1.35f;    // between text lines, in cells
constexpr float kAdvance = 0.62f;        // from one character to the next, in cells: the
                                         // atlas's glyphs fill about 0.6 of their cell's width
constexpr float kBoxPadding = 0.3f;      // around text on its dark box, in cells
constexpr float kCrosshairShare = 0.8f;  // of a cell
constexpr float kMaxWidthShare = 0.9f;   // of the window
constexpr int kVignetteSize = 64;        // texels each way
constexpr unsigned char kShade = 110;    // what the box behind text leaves of the picture (0.43)
constexpr unsigned char kDim = 90;       // what a switched-off flashlight's icon keeps (0.35)
constexpr float kMarkShare = 0.12f;      // the beam's mark under the icon, of the icon's height

const std::array<glm::vec2, 4> kFullUvs{glm::vec2(0.0f, 0.0f), glm::vec2(1.0f, 0.0f), glm::vec2(1.0f, 1.0f),
                                        glm::vec2(0.0f, 1.0f)};

std::array<glm::vec2, 4> corners(const HUD::Rect& r) {
    return {glm::vec2(r.x, r.y), glm::vec2(r.x + r.width, r.y), glm::vec2(r.x + r.width, r.y + r.height),
            glm::vec2(r.x, r.y + r.height)};
}

HUD::Rect grown(const HUD::Rect& r, float by) {
    return {r.x - by, r.y - by, r.width + 2 * by, r.height + 2 * by};
}

std::string keyOf(const std::vector<std::string>& lines, float top, const PlayHud::Layout& layout) {
    std::string key =
        std::to_string(top) + "|" + std::to_string(layout.glyph) + "|" + std::to_string(layout.centreX);
    for (const std::string& line : lines) key += "|" + line;
    return key;
}

void setOrtho(const Shader& program) {
    glUniform2fv(program.getUniformLocation("orthoTransformation"), 1,
                 glm::value_ptr(HUD::instance().orthoTransformation));
}

void attach(GLint location, GLuint buffer, const std::vector<glm::vec2>& data) {
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(data.size() * sizeof(glm::vec2)), data.data(),
                 GL_STATIC_DRAW);
    if (location >= 0) {
        glEnableVertexAttribArray(static_cast<GLuint>(location));
        glVertexAttribPointer(static_cast<GLuint>(location), 2, GL_FLOAT, GL_FALSE, 0, nullptr);
    }
}

// Plain bilinear filtering without mip maps, clamped at the edges, for the
// HUD's own shading textures.
void smoothFiltering(const Texture& texture) {
    glBindTexture(GL_TEXTURE_2D, texture.name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glBindTexture(GL_TEXTURE_2D, 0);
}

// A quad's four corners as two triangles.
void addQuad(std::vector<glm::vec2>& out, const std::array<glm::vec2, 4>& quad) {
    out.insert(out.end(), {quad[0], quad[1], quad[2], quad[0], quad[2], quad[3]});
}

}  // namespace

PlayHud::Piece::~Piece() { clear(); }

void PlayHud::Piece::clear() {
    if (hasCurrentGlContext()) {
        if (positionBuffer != 0) glDeleteBuffers(1, &positionBuffer);
        if (uvBuffer != 0) glDeleteBuffers(1, &uvBuffer);
        if (vertexArray != 0) glDeleteVertexArrays(1, &vertexArray);
    }
    positionBuffer = uvBuffer = vertexArray = 0;
    vertices = 0;
    key.clear();
}

void PlayHud::Piece::build(const Shader& program, const std::vector<std::array<glm::vec2, 4>>& corners,
                           const std::vector<std::array<glm::vec2, 4>>& uvs) {
    clear();
    std::vector<glm::vec2> positions;
    std::vector<glm::vec2> coordinates;
    for (std::size_t i = 0; i < corners.size() && i < uvs.size(); ++i) {
        addQuad(positions, corners[i]);
        addQuad(coordinates, uvs[i]);
    }
    vertices = static_cast<GLsizei>(positions.size());
    if (vertices == 0) return;
    glGenVertexArrays(1, &vertexArray);
    glGenBuffers(1, &positionBuffer);
    glGenBuffers(1, &uvBuffer);
    glBindVertexArray(vertexArray);
    attach(program.getAttribLocation("position"), positionBuffer, positions);
    attach(program.getAttribLocation("uv"), uvBuffer, coordinates);
    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

PlayHud::PlayHud() = default;

PlayHud::~PlayHud() = default;

void PlayHud::release() {
    for (Piece* piece : {&vignette_, &crosshair_, &prompt_, &promptBox_, &message_, &messageBox_, &hint_,
                         &hintBox_, &captions_, &captionsBox_, &iconMark_}) {
        piece->clear();
    }
    vignetteTextures_.clear();
    shade_.reset();
    dim_.reset();
    white_.reset();
    blue_.reset();
}

PlayHud::Layout PlayHud::layout(int width, int height) {
    const HUD::Layout hud = HUD::computeLayout(width, height);
    Layout layout;
    layout.glyph = static_cast<float>(hud.glyphHeight);
    const float w = static_cast<float>(width);
    const float h = static_cast<float>(height);
    const float cross = std::round(layout.glyph * kCrosshairShare);
    layout.crosshair = {std::round(w / 2.0f - cross / 2.0f), std::round(h / 2.0f - cross / 2.0f), cross,
                        cross};
    layout.promptTop = std::round(h / 2.0f - 1.5f * layout.glyph);
    layout.messageTop = layout.promptTop - std::round(kLineSpacing * 1.3f * layout.glyph);
    layout.hintTop = h - std::round(4.0f * layout.glyph);
    layout.captionsBase =
        static_cast<float>(hud.iconStartY + hud.iconHeight) + std::round(layout.glyph / 2.0f);
    layout.maxWidth = kMaxWidthShare * w;
    layout.centreX = std::round(w / 2.0f);
    return layout;
}

float PlayHud::advance(float cell) { return kAdvance * cell; }

HUD::Rect PlayHud::lineRect(std::size_t characters, float centreX, float top, float glyph, float maxWidth) {
    // Each character advances kAdvance cells; the last one's cell is whole.
    auto widthOf = [&](float cell) {
        return characters == 0 ? 0.0f : (static_cast<float>(characters - 1) * kAdvance + 1.0f) * cell;
    };
    float cell = glyph;
    if (widthOf(cell) > maxWidth) cell = std::floor(maxWidth / widthOf(1.0f));
    const float lineWidth = widthOf(cell);
    return {std::round(centreX - lineWidth / 2.0f), top - cell, lineWidth, cell};
}

float PlayHud::vignetteStrength(float warning, float pulse) {
    if (warning <= 0.0f) return 0.0f;
    const float level = kFirstStrength + (1.0f - kFirstStrength) * std::min(warning, 1.0f);
    return level * (1.0f - kPulseShare + kPulseShare * std::clamp(pulse, 0.0f, 1.0f));
}

int PlayHud::vignetteStep(const PlayHudState& state) {
    if (state.warning <= 0.0f) return 0;
    const float strength = vignetteStrength(state.warning, state.pulse);
    return std::clamp(static_cast<int>(std::lround(strength * kVignetteSteps)), 1, kVignetteSteps);
}

float PlayHud::vignetteShade(float u, float v, float strength) {
    const float x = 2.0f * u - 1.0f;
    const float y = 2.0f * v - 1.0f;
    const float e = std::sqrt(x * x + y * y);
    const float t = std::clamp((e - kClearRadius) / (kDarkRadius - kClearRadius), 0.0f, 1.0f);
    return 1.0f - std::clamp(strength, 0.0f, 1.0f) * t * t * (3.0f - 2.0f * t);
}

HUD::Rect PlayHud::vignetteHole() {
    // The square inside the circle e < kClearRadius, in texture coordinates.
    const float half = kClearRadius / std::sqrt(2.0f) / 2.0f;
    return {0.5f - half, 0.5f - half, 2.0f * half, 2.0f * half};
}

HUD::Rect PlayHud::iconRect(const HUD::Layout& hud, int slot) {
    return {static_cast<float>(hud.iconStartX + slot * (hud.iconSpacing + hud.iconWidth)),
            static_cast<float>(hud.iconStartY), static_cast<float>(hud.iconWidth),
            static_cast<float>(hud.iconHeight)};
}

Texture* PlayHud::solid(std::unique_ptr<Texture>& texture, unsigned char r, unsigned char g,
                        unsigned char b) {
    if (!texture) {
        texture = std::make_unique<Texture>();
        const unsigned char pixel[3] = {r, g, b};
        texture->upload(pixel, 1, 1);
        smoothFiltering(*texture);
    }
    return texture.get();
}

void PlayHud::drawShaded(const Piece& piece, const Shader& hud, Texture* texture) {
    // The picture times the texture: the hud program writes the texture's
    // colour, and the blend multiplies it into what is there.
    glBlendFunc(GL_DST_COLOR, GL_ZERO);
    drawOpaque(piece, hud, texture);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void PlayHud::drawOpaque(const Piece& piece, const Shader& hud, Texture* texture) {
    if (piece.vertices == 0 || texture == nullptr) return;
    glUseProgram(hud.program);
    setOrtho(hud);
    glActiveTexture(GL_TEXTURE0);
    // The shading textures keep the filtering they were made with (see
    // smoothFiltering): the game's sampling mode is for the house's pictures,
    // and anisotropic filtering over most of the window costs a software
    // rasteriser milliseconds.
    glBindTexture(GL_TEXTURE_2D, texture->name);
    glUniform1i(hud.getUniformLocation("icon"), 0);
    glBindVertexArray(piece.vertexArray);
    glDrawArrays(GL_TRIANGLES, 0, piece.vertices);
    glBindVertexArray(0);
    glBindTexture(GL_TEXTURE_2D, 0);
}

void PlayHud::drawText(const Piece& piece, const Shader& font) {
    const Texture* atlas = HUD::instance().fontTexture;
    if (piece.vertices == 0 || atlas == nullptr) return;
    glUseProgram(font.program);
    setOrtho(font);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, atlas->name);
    applySampling();
    glUniform1i(font.getUniformLocation("font"), 0);
    glBindVertexArray(piece.vertexArray);
    glDrawArrays(GL_TRIANGLES, 0, piece.vertices);
    glBindVertexArray(0);
    glBindTexture(GL_TEXTURE_2D, 0);
}

void PlayHud::drawVignette(const PlayHudState& state, const Shader& hud, int width, int height,
                           VignetteTarget target) {
    if (state.warning <= 0.0f || width <= 0 || height <= 0) return;
    // Deepest as a heartbeat swells, settling to three quarters between beats.
    const int step = vignetteStep(state);
    if (vignetteTextures_.empty()) vignetteTextures_.resize(kVignetteSteps + 1);
    std::unique_ptr<Texture>& texture = vignetteTextures_[static_cast<std::size_t>(step)];
    if (!texture) {
        std::vector<std::uint8_t> pixels(static_cast<std::size_t>(kVignetteSize) * kVignetteSize * 3);
        const float stepStrength = static_cast<float>(step) / kVignetteSteps;
        for (int y = 0; y < kVignetteSize; ++y) {
            for (int x = 0; x < kVignetteSize; ++x) {
                const float shade =
                    vignetteShade((x + 0.5f) / kVignetteSize, (y + 0.5f) / kVignetteSize, stepStrength);
                const auto value = static_cast<std::uint8_t>(std::lround(shade * 255.0f));
                const std::size_t at = (static_cast<std::size_t>(y) * kVignetteSize + x) * 3;
                pixels[at] = pixels[at + 1] = pixels[at + 2] = value;
            }
        }
        texture = std::make_unique<Texture>();
        texture->upload(pixels.data(), kVignetteSize, kVignetteSize);
        smoothFiltering(*texture);
        ++vignetteUploads_;
    }
    const std::string key = std::to_string(width) + "x" + std::to_string(height);
    if (vignette_.key != key) {
        // Four bands around the untouched middle, each with the texture
        // coordinates of the part of the window it covers.
        const HUD::Rect hole = vignetteHole();
        const float x0 = hole.x, x1 = hole.x + hole.width, y0 = hole.y, y1 = hole.y + hole.height;
        const HUD::Rect bands[4] = {{0.0f, 0.0f, 1.0f, y0},
                                    {0.0f, y1, 1.0f, 1.0f - y1},
                                    {0.0f, y0, x0, y1 - y0},
                                    {x1, y0, 1.0f - x1, y1 - y0}};
        std::vector<std::array<glm::vec2, 4>> quads, uvs;
        for (const HUD::Rect& band : bands) {
            quads.push_back(
                corners({band.x * width, band.y * height, band.width * width, band.height * height}));
            uvs.push_back(corners(band));
        }
        vignette_.build(hud, quads, uvs);
        vignette_.key = key;
    }
    if (target == VignetteTarget::ClearedPixels) {
        // Every fragment at the far plane: it passes only where the depth was
        // never drawn on. llvmpipe drops the rest before shading.
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);
        glDepthMask(GL_FALSE);
        glDepthRange(1.0, 1.0);
        drawShaded(vignette_, hud, texture.get());
        glDepthRange(0.0, 1.0);
        glDepthMask(GL_TRUE);
        glDepthFunc(GL_LESS);
    } else {
        glDisable(GL_DEPTH_TEST);
        drawShaded(vignette_, hud, texture.get());
        glEnable(GL_DEPTH_TEST);
    }
    glUseProgram(0);
}

void PlayHud::drawLines(Piece& text, Piece& backing, const std::vector<std::string>& lines, float top,
                        bool upward, const Layout& layout, const Shader& font, const Shader& hud) {
    if (lines.empty()) return;
    const std::string key = keyOf(lines, top, layout) + (upward ? "^" : "v");
    if (text.key != key) {
        const HUD& atlas = HUD::instance();
        const float spacing = std::round(kLineSpacing * layout.glyph);
        const std::size_t count = lines.size();
        std::vector<std::array<glm::vec2, 4>> boxes, boxUvs, glyphs, glyphUvs;
        for (std::size_t i = 0; i < count; ++i) {
            // Upward: `top` is the newest (last) line's bottom edge.
            const float lineTop = upward ? top + static_cast<float>(count - 1 - i) * spacing + layout.glyph
                                         : top - static_cast<float>(i) * spacing;
            const HUD::Rect line =
                lineRect(lines[i].size(), layout.centreX, lineTop, layout.glyph, layout.maxWidth);
            boxes.push_back(corners(grown(line, std::round(kBoxPadding * line.height))));
            boxUvs.push_back(kFullUvs);
            for (std::size_t c = 0; c < lines[i].size(); ++c) {
                const int cell = atlas.glyphCell(lines[i][c]);
                if (cell < 0 || lines[i][c] == ' ') continue;
                glyphs.push_back(corners({line.x + static_cast<float>(c) * advance(line.height), line.y,
                                          line.height, line.height}));
                glyphUvs.push_back(HUD::glyphUvs(cell));
            }
        }
        backing.build(hud, boxes, boxUvs);
        text.build(font, glyphs, glyphUvs);
        text.key = key;
    }
    drawShaded(backing, hud, solid(shade_, kShade, kShade, kShade));
    drawText(text, font);
}

void PlayHud::drawFlashlightMarks(const PlayHudState& state, const Shader& hud, int width, int height) {
    if (state.flashlightSlot < 0) return;
    const HUD::Layout icons = HUD::computeLayout(width, height);
    const HUD::Rect icon = iconRect(icons, state.flashlightSlot);
    const std::string key = std::to_string(icon.x) + "," + std::to_string(icon.y) + "," +
                            std::to_string(icon.width) + (state.flashlightOn ? "on" : "off");
    if (iconMark_.key != key) {
        // Off: the icon greyed over; on: a bar of the beam's colour under it.
        const HUD::Rect mark =
            state.flashlightOn ? HUD::Rect{icon.x, icon.y - 2.0f * std::round(kMarkShare * icon.height),
                                           icon.width, std::max(2.0f, std::round(kMarkShare * icon.height))}
                               : icon;
        iconMark_.build(hud, {corners(mark)}, {kFullUvs});
        iconMark_.key = key;
    }
    if (!state.flashlightOn) {
        drawShaded(iconMark_, hud, solid(dim_, kDim, kDim, kDim));
    } else if (state.flashlightBlue) {
        drawOpaque(iconMark_, hud, solid(blue_, 60, 110, 255));
    } else {
        drawOpaque(iconMark_, hud, solid(white_, 235, 230, 215));
    }
}

void PlayHud::draw(const PlayHudState& state, const Shader& font, const Shader& hud, int width, int height) {
    if (width <= 0 || height <= 0) return;
    const Layout layout = PlayHud::layout(width, height);
    glDisable(GL_DEPTH_TEST);
    drawFlashlightMarks(state, hud, width, height);
    if (state.crosshair) {
        const std::string key =
            std::to_string(layout.crosshair.x) + "," + std::to_string(layout.crosshair.width);
        const int cell = HUD::instance().glyphCell('+');
        if (crosshair_.key != key && cell >= 0) {
            crosshair_.build(font, {corners(layout.crosshair)}, {HUD::glyphUvs(cell)});
            crosshair_.key = key;
        }
        drawText(crosshair_, font);
    }
    if (!state.prompt.empty()) {
        drawLines(prompt_, promptBox_, {state.prompt}, layout.promptTop, false, layout, font, hud);
    }
    if (!state.message.empty()) {
        drawLines(message_, messageBox_, {state.message}, layout.messageTop, false, layout, font, hud);
    }
    drawLines(hint_, hintBox_, state.hint, layout.hintTop, false, layout, font, hud);
    drawLines(captions_, captionsBox_, state.captions, layout.captionsBase, true, layout, font, hud);
    glEnable(GL_DEPTH_TEST);
    glUseProgram(0);
}

void PlayHud::drawCaptions(const PlayHudState& state, const Shader& font, const Shader& hud, int width,
                           int height) {
    if (width <= 0 || height <= 0 || state.captions.empty()) return;
    const Layout layout = PlayHud::layout(width, height);
    glDisable(GL_DEPTH_TEST);
    drawLines(captions_, captionsBox_, state.captions, layout.captionsBase, true, layout, font, hud);
    glEnable(GL_DEPTH_TEST);
    glUseProgram(0);
}

}  // namespace vestrel
