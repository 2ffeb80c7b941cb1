#pragma once

#include <GL/glew.h>

#include <memory>
#include <string>
#include <vector>

#include "render/HUD.h"

namespace vestrel {

class Shader;

// A menu drawn over the frozen picture (the pause screen): the picture
// darkened, a title, one text row per item and a lighter bar behind the
// focused row. Text comes from the HUD's font sheet ("FONT_TEXTURE"), drawn
// with the font program; the shading and the bar with the message program,
// blended by a constant share. Window pixels, origin bottom-left.
//
// Owns its vertex array, buffers and two 1 x 1 textures; they are released
// with it (a no-op once the GL context is gone). The Game owns the overlay,
// so it never outlives the window it was made in. The geometry is rebuilt
// only when the text, the focus or the window size changes.
class MenuOverlay {
public:
    // Characters per row: the rows are left-aligned in a block this wide,
    // centred in the window.
    static constexpr int kColumns = 24;
    // Share of the picture that still shows through the shading, and the
    // bar's brightness over it.
    static constexpr float kShadeKeeps = 0.35f;
    static constexpr float kBarShare = 0.25f;

    // Where things go for a menu of `rows` rows in a window of the given
    // size; plain arithmetic for drawing and for the pointer's hit tests.
    // The font's letters fill about half of their cell: letters stand this
    // share of a glyph apart.
    static constexpr float kAdvance = 0.7f;

    struct Layout {
        int glyph = 0;    // glyph width and height, pixels
        int advance = 0;  // from one letter to the next, pixels
        HUD::Rect title;
        std::vector<HUD::Rect> rows;
    };
    static Layout layout(int windowWidth, int windowHeight, int rows);
    // The row under a pointer at (x, y) counted from the window's top-left
    // corner, or -1; `side` is -1 on the row's left half, else 1.
    static int rowAt(const Layout& layout, int windowHeight, double x, double y, int& side);
    // A row's text: the label, and the value right-aligned as "< value >".
    static std::string rowText(const std::string& label, const std::string& value);

    MenuOverlay();
    ~MenuOverlay();
    MenuOverlay(const MenuOverlay&) = delete;
    MenuOverlay& operator=(const MenuOverlay&) = delete;

    // Draws into the bound framebuffer with depth testing off; leaves
    // blending as the renderer keeps it.
    void draw(const Shader& shadeProgram, const Shader& textProgram, const std::string& title,
              const std::vector<std::string>& rows, int focus, int windowWidth, int windowHeight);

private:
    void rebuild(const std::string& title, const std::vector<std::string>& rows, int focus, int width,
                 int height);
    void bindProgram(const Shader& program);
    static void bindImage(const Shader& program, const char* sampler, GLuint texture);

    GLuint vertexArray_ = 0;
    GLuint positionBuffer_ = 0;
    GLuint uvBuffer_ = 0;
    GLuint black_ = 0;
    GLuint grey_ = 0;
    std::string builtFor_;  // the text, focus and size the buffers hold
    GLsizei barFirst_ = 0;
    GLsizei barCount_ = 0;
    GLsizei textFirst_ = 0;
    GLsizei textCount_ = 0;
};

}  // namespace vestrel
