#pragma once

#include <GL/glew.h>

#include <array>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <glm/vec2.hpp>

namespace vestrel {

class Button;
class Item;
class Shader;
class Texture;

// Everything flat on the screen, in window pixels (origin bottom-left): the
// carried items' icons, full-screen messages, the win and lose screens with
// their buttons, and text lines from the 10 x 10 font atlas. One quad per
// icon, message, button or character, each its own small vertex array drawn
// as a triangle fan. The caller makes the shader program current; the HUD
// looks up "position", "uv", "orthoTransformation" and the sampler in it.
//
// One HUD for the whole program (instance()). Icon quads persist until the
// number of icons changes; text quads until the next text; message and
// game-over quads only during their draw call.
class HUD {
public:
    // One textured quad: window-pixel corners lower-left, lower-right,
    // upper-right, upper-left and their texture coordinates. Move-only; the
    // record frees its GL objects (a no-op once the GL context is gone).
    struct GL_Buffers {
        GLuint positionBuffer = 0;
        GLuint uvBuffer = 0;
        GLuint vertexArray = 0;
        Texture* texture = nullptr;  // not owning; unused by text quads

        GL_Buffers() = default;
        // Uploads the corners and texture coordinates with the attribute
        // locations of `program`.
        GL_Buffers(const Shader& program, const std::array<glm::vec2, 4>& corners,
                   const std::array<glm::vec2, 4>& uvs, Texture* image);
        ~GL_Buffers();
        GL_Buffers(const GL_Buffers&) = delete;
        GL_Buffers& operator=(const GL_Buffers&) = delete;
    };

    // Window-pixel rectangle, lower-left corner and size.
    struct Rect {
        float x = 0.0f;
        float y = 0.0f;
        float width = 0.0f;
        float height = 0.0f;
    };

    // The sizes init derives from the window (integer division throughout).
    struct Layout {
        glm::vec2 orthoTransformation{0.0f};
        int iconHeight = 0, iconWidth = 0, iconSpacing = 0, iconStartX = 0, iconStartY = 0;
        int textStartX = 0, textStartY = 0;
        int glyphWidth = 0, glyphHeight = 0, lineSpacing = 0, glyphSpacing = 0;
    };

    Texture* fontTexture = nullptr;  // "FONT_TEXTURE"; null if missing
    int atlasColumns = 10;
    int atlasRows = 10;
    float atlasWidth = 1024.0f;
    float atlasHeight = 1024.0f;
    glm::vec2 orthoTransformation{0.0f};
    std::vector<std::shared_ptr<GL_Buffers>> quads;
    int iconCount = 0;
    std::vector<std::shared_ptr<GL_Buffers>> textQuads;
    std::map<char, int> glyphs;
    int iconHeight = 0;
    int iconWidth = 0;
    int iconSpacing = 0;
    int iconStartX = 0;
    int iconStartY = 0;
    int textStartX = 0;
    int textStartY = 0;
    int glyphWidth = 0;
    int glyphHeight = 0;
    int lineSpacing = 0;
    int glyphSpacing = 0;

    static HUD& instance();

    // Loads "Assets\Textures\font.jpg" as "FONT_TEXTURE", fills the glyph
    // table and lays out for the GameSettings window size. Run at every
    // loading-state start.
    void init();

    // Lays the icons and the text out again for a window of the new size;
    // the text is rebuilt on its next draw.
    void resize(int windowWidth, int windowHeight);

    // The icons of the carried, unused items, left to right from the lower
    // left corner in name order. `count` is the number of such items; the
    // quads are rebuilt only when it changes (or after a message emptied
    // them).
    void drawIcons(const std::map<std::string, Item*>& inventory, int count, const Shader& program);

    // One message image fitted to the window, keeping its aspect ratio.
    void drawMessage(const std::string& key, const Shader& program);

    // The win ("WIN") or lose ("LOST", stretched over the window) image and
    // the buttons; each button's rectangle is stored in the button.
    void drawGameOver(const std::string& key, const Shader& program,
                      const std::vector<std::shared_ptr<Button>>& buttons);

    // Text lines from the top-left corner down, in capitals. Characters the
    // atlas lacks leave a blank cell.
    void drawText(const std::vector<std::string>& lines, const Shader& program);

    // Frees every quad and text quad and forgets the icon count.
    void clear();

    // --- Layout arithmetic, usable without a GL context -------------------
    static Layout computeLayout(int windowWidth, int windowHeight);
    // A message of imageWidth x imageHeight fitted to the window: full width
    // centred vertically in a portrait window, else full height centred
    // horizontally.
    static Rect messageRect(int windowWidth, int windowHeight, int imageWidth, int imageHeight);
    // The win/lose image: the whole window for "LOST", else 0.75 of the width
    // centred at (W / 2, 0.75 H) with the image's aspect ratio.
    static Rect gameOverRect(const std::string& key, int windowWidth, int windowHeight, int imageWidth,
                             int imageHeight);
    // Button k (1-based) of n: 0.2 W wide with the image's aspect ratio,
    // centred at ((W / (n + 1)) k, 0.25 H).
    static Rect buttonRect(int windowWidth, int windowHeight, int buttonCount, int k, int imageWidth,
                           int imageHeight);
    // Texture coordinates (lower-left, lower-right, upper-right, upper-left)
    // of atlas cell `cell`: its upper-left part, 0.02 short of the right and
    // lower edges.
    static std::array<glm::vec2, 4> glyphUvs(int cell);
    // The atlas cell of `c` after upper-casing, or -1 when the atlas has none.
    int glyphCell(char c) const;

private:
    HUD();
    ~HUD();

    void applyLayout(const Layout& layout);
    void drawQuadList(const Shader& program, const char* sampler);
    // Reports a missing image once per key, so a frame loop does not flood
    // the console.
    Texture* findImage(const std::string& key);

    std::set<std::string> reportedMissing_;
    std::vector<std::string> lastText_;
};

}  // namespace vestrel
