#include "render/MenuOverlay.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>

#include <glm/vec2.hpp>

#include "render/GlContext.h"
#include "render/Shader.h"
#include "render/TextureCache.h"

namespace vestrel {

namespace {

constexpr char kFontKey[] = "FONT_TEXTURE";
// Rows are this many glyphs high; the title stands one row above the first.
constexpr float kRowHeight = 1.6f;

// The atlas holds every printable ASCII character in the cell of its code
// minus 32; the space is left blank.
int cellOf(char c) {
    const auto code = static_cast<unsigned char>(std::toupper(static_cast<unsigned char>(c)));
    return code > 32 && code < 127 ? code - 32 : -1;
}

void pushQuad(std::vector<glm::vec2>& positions, std::vector<glm::vec2>& uvs, const HUD::Rect& r,
              const std::array<glm::vec2, 4>& corners) {
    const glm::vec2 p[4] = {
        {r.x, r.y}, {r.x + r.width, r.y}, {r.x + r.width, r.y + r.height}, {r.x, r.y + r.height}};
    for (int i : {0, 1, 2, 0, 2, 3}) {
        positions.push_back(p[i]);
        uvs.push_back(corners[static_cast<std::size_t>(i)]);
    }
}

const std::array<glm::vec2, 4> kWholeImage{glm::vec2(0.0f, 0.0f), glm::vec2(1.0f, 0.0f),
                                           glm::vec2(1.0f, 1.0f), glm::vec2(0.0f, 1.0f)};

void pushText(std::vector<glm::vec2>& positions, std::vector<glm::vec2>& uvs, const std::string& text,
              float x, float y, int glyph, int advance) {
    for (const char c : text) {
        const int cell = cellOf(c);
        if (cell >= 0) {
            pushQuad(positions, uvs, {x, y, static_cast<float>(glyph), static_cast<float>(glyph)},
                     HUD::glyphUvs(cell));
        }
        x += static_cast<float>(advance);
    }
}

GLuint solid(unsigned char level) {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    const unsigned char pixel[4] = {level, level, level, 255};
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glBindTexture(GL_TEXTURE_2D, 0);
    return texture;
}

}  // namespace

MenuOverlay::Layout MenuOverlay::layout(int windowWidth, int windowHeight, int rows) {
    Layout out;
    // Three letters of margin, and room for the title, a gap and every row.
    const int byWidth = static_cast<int>(static_cast<float>(windowWidth) / (kAdvance * (kColumns + 3)));
    const int byHeight =
        static_cast<int>(static_cast<float>(windowHeight) / ((rows + 2) * kRowHeight + 1.0f));
    out.glyph = std::max(1, std::min(byWidth, byHeight));
    out.advance = std::max(1, static_cast<int>(std::round(kAdvance * static_cast<float>(out.glyph))));
    const float glyph = static_cast<float>(out.glyph);
    const float rowHeight = std::round(glyph * kRowHeight);
    const float blockWidth = static_cast<float>(out.advance * (kColumns + 1));
    const float left = std::round((static_cast<float>(windowWidth) - blockWidth) / 2.0f);
    const float blockHeight = rowHeight * static_cast<float>(rows + 2);
    const float top = std::round((static_cast<float>(windowHeight) + blockHeight) / 2.0f);
    out.title = {left, top - rowHeight, blockWidth, rowHeight};
    for (int row = 0; row < rows; ++row) {
        out.rows.push_back({left, top - rowHeight * static_cast<float>(row + 3), blockWidth, rowHeight});
    }
    return out;
}

int MenuOverlay::rowAt(const Layout& layout, int windowHeight, double x, double y, int& side) {
    const float px = static_cast<float>(x);
    const float py = static_cast<float>(windowHeight - y);
    for (std::size_t row = 0; row < layout.rows.size(); ++row) {
        const HUD::Rect& r = layout.rows[row];
        if (px >= r.x && px < r.x + r.width && py >= r.y && py < r.y + r.height) {
            side = px < r.x + r.width / 2.0f ? -1 : 1;
            return static_cast<int>(row);
        }
    }
    side = 0;
    return -1;
}

std::string MenuOverlay::rowText(const std::string& label, const std::string& value) {
    if (value.empty()) return label;
    const std::string shown = "< " + value + " >";
    const std::size_t gap =
        label.size() + shown.size() < kColumns ? kColumns - label.size() - shown.size() : 1;
    return label + std::string(gap, ' ') + shown;
}

MenuOverlay::MenuOverlay() {
    glGenVertexArrays(1, &vertexArray_);
    glGenBuffers(1, &positionBuffer_);
    glGenBuffers(1, &uvBuffer_);
    black_ = solid(0);
    grey_ = solid(255);
}

MenuOverlay::~MenuOverlay() {
    if (!hasCurrentGlContext()) return;
    glDeleteTextures(1, &black_);
    glDeleteTextures(1, &grey_);
    glDeleteBuffers(1, &positionBuffer_);
    glDeleteBuffers(1, &uvBuffer_);
    glDeleteVertexArrays(1, &vertexArray_);
}

void MenuOverlay::bindImage(const Shader& program, const char* sampler, GLuint texture) {
    glBindTexture(GL_TEXTURE_2D, texture);
    glUniform1i(program.getUniformLocation(sampler), 0);
}

void MenuOverlay::rebuild(const std::string& title, const std::vector<std::string>& rows, int focus,
                          int width, int height) {
    std::vector<glm::vec2> positions;
    std::vector<glm::vec2> uvs;
    const Layout l = layout(width, height, static_cast<int>(rows.size()));
    pushQuad(positions, uvs, {0.0f, 0.0f, static_cast<float>(width), static_cast<float>(height)},
             kWholeImage);
    barFirst_ = static_cast<GLsizei>(positions.size());
    if (focus >= 0 && focus < static_cast<int>(rows.size())) {
        pushQuad(positions, uvs, l.rows[static_cast<std::size_t>(focus)], kWholeImage);
    }
    barCount_ = static_cast<GLsizei>(positions.size()) - barFirst_;
    textFirst_ = static_cast<GLsizei>(positions.size());
    // The letter is drawn centred in its glyph square; the text's visible
    // width is about its advances.
    const float inset = static_cast<float>(l.advance - l.glyph) / 2.0f + static_cast<float>(l.advance) / 2.0f;
    const float titleX = l.title.x + (l.title.width - static_cast<float>(title.size() * l.advance)) / 2.0f +
                         static_cast<float>(l.advance - l.glyph) / 2.0f;
    pushText(positions, uvs, title, titleX, l.title.y + (l.title.height - static_cast<float>(l.glyph)) / 2.0f,
             l.glyph, l.advance);
    for (std::size_t row = 0; row < rows.size(); ++row) {
        const HUD::Rect& r = l.rows[row];
        pushText(positions, uvs, rows[row], r.x + inset,
                 r.y + (r.height - static_cast<float>(l.glyph)) / 2.0f, l.glyph, l.advance);
    }
    textCount_ = static_cast<GLsizei>(positions.size()) - textFirst_;

    glBindBuffer(GL_ARRAY_BUFFER, positionBuffer_);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(positions.size() * sizeof(glm::vec2)),
                 positions.data(), GL_STATIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, uvBuffer_);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(uvs.size() * sizeof(glm::vec2)), uvs.data(),
                 GL_STATIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

void MenuOverlay::bindProgram(const Shader& program) {
    glUseProgram(program.program);
    glBindVertexArray(vertexArray_);
    const GLint position = program.getAttribLocation("position");
    const GLint uv = program.getAttribLocation("uv");
    for (const auto& [location, buffer] :
         {std::pair<GLint, GLuint>{position, positionBuffer_}, {uv, uvBuffer_}}) {
        if (location < 0) continue;
        glBindBuffer(GL_ARRAY_BUFFER, buffer);
        glEnableVertexAttribArray(static_cast<GLuint>(location));
        glVertexAttribPointer(static_cast<GLuint>(location), 2, GL_FLOAT, GL_FALSE, 0, nullptr);
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

void MenuOverlay::draw(const Shader& shadeProgram, const Shader& textProgram, const std::string& title,
                       const std::vector<std::string>& rows, int focus, int windowWidth, int windowHeight) {
    if (windowWidth < 1 || windowHeight < 1) return;
    std::string key = title + "\n" + std::to_string(focus) + "\n" + std::to_string(windowWidth) + "x" +
                      std::to_string(windowHeight);
    for (const std::string& row : rows) key += "\n" + row;
    if (key != builtFor_) {
        rebuild(title, rows, focus, windowWidth, windowHeight);
        builtFor_ = key;
    }
    const float ortho[2] = {2.0f / static_cast<float>(windowWidth), 2.0f / static_cast<float>(windowHeight)};
    glDisable(GL_DEPTH_TEST);
    glActiveTexture(GL_TEXTURE0);

    // The shading and the bar: an opaque program blended by a constant share.
    bindProgram(shadeProgram);
    glUniform2fv(shadeProgram.getUniformLocation("orthoTransformation"), 1, ortho);
    glBlendFunc(GL_CONSTANT_ALPHA, GL_ONE_MINUS_CONSTANT_ALPHA);
    glBlendColor(0.0f, 0.0f, 0.0f, 1.0f - kShadeKeeps);
    bindImage(shadeProgram, "message", black_);
    glDrawArrays(GL_TRIANGLES, 0, barFirst_);
    if (barCount_ > 0) {
        glBlendColor(0.0f, 0.0f, 0.0f, kBarShare);
        bindImage(shadeProgram, "message", grey_);
        glDrawArrays(GL_TRIANGLES, barFirst_, barCount_);
    }
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    if (textCount_ > 0) {
        bindProgram(textProgram);
        glUniform2fv(textProgram.getUniformLocation("orthoTransformation"), 1, ortho);
        textProgram.bindTexture("font", TextureCache::instance().find(kFontKey));
        glDrawArrays(GL_TRIANGLES, textFirst_, textCount_);
    }
    glBindVertexArray(0);
    glBindTexture(GL_TEXTURE_2D, 0);
    glUseProgram(0);
    glEnable(GL_DEPTH_TEST);
}

}  // namespace vestrel
