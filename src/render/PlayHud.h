#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "render/HUD.h"
#include "render/PlayHudState.h"

namespace vestrel {

class Shader;
class Texture;

// Draws a PlayHudState over the play picture: the monster's vignette (before
// the item icons), then the marks on the flashlight's icon, the crosshair,
// the prompt, the answer to the last press, the hint and the captions. Text
// uses the HUD's font atlas and glyph table with the font program; shading
// (vignette, the boxes behind text, a switched-off icon) multiplies the
// picture through the hud program with a small texture of its own.
//
// Nothing is drawn for an empty state, and the vignette costs nothing while
// there is no warning. Quads are kept until what they show changes. Owns its
// GL objects; release() frees them (also done by the destructor; harmless
// without a context).
class PlayHud {
public:
    // Where the pieces go in a width x height window (pixels, origin bottom
    // left); text lines are centred horizontally.
    struct Layout {
        float glyph = 0.0f;         // a character cell's side, as the HUD's text
        HUD::Rect crosshair;        // the "+" in the middle
        float promptTop = 0.0f;     // just under the crosshair
        float messageTop = 0.0f;    // under the prompt
        float hintTop = 0.0f;       // near the top
        float captionsBase = 0.0f;  // the bottom edge of the newest caption, above the icon row
        float maxWidth = 0.0f;      // lines wider than this are drawn smaller
        float centreX = 0.0f;       // where lines are centred
    };
    static Layout layout(int width, int height);

    // The rectangle of one line of `characters` cells of `glyph` pixels
    // centred on `centreX` with its top at `top`, one character every
    // advance(glyph) pixels; a line wider than `maxWidth` gets cells small
    // enough to fit.
    static HUD::Rect lineRect(std::size_t characters, float centreX, float top, float glyph, float maxWidth);
    static float advance(float glyph);

    // The vignette's strength for a warning level and the heartbeat's swell:
    // none without a warning; from kFirstStrength at the first hint of one
    // up to 1, three quarters of that between beats.
    static float vignetteStrength(float warning, float pulse);
    static constexpr float kFirstStrength = 0.35f;
    static constexpr float kPulseShare = 0.25f;

    // What the vignette multiplies the picture by at texture coordinates
    // (u, v) of the window for a warning `strength` (0..1): 1 - strength x
    // smoothstep(kClearRadius, kDarkRadius, e), e the distance from the
    // centre with the window's half sizes as 1.
    static float vignetteShade(float u, float v, float strength);
    // The step of kVignetteSteps the vignette is drawn at for `state` (its
    // strength is step / kVignetteSteps; a picture is made per step):
    // vignetteStrength rounded, at least 1 with a warning, 0 without.
    static int vignetteStep(const PlayHudState& state);
    static constexpr int kVignetteSteps = 32;
    static constexpr float kClearRadius = 0.55f;
    static constexpr float kDarkRadius = 1.25f;
    // The middle of the window the vignette never touches (texture
    // coordinates, the square where e < kClearRadius), so it is not drawn.
    static HUD::Rect vignetteHole();

    // The icon of the HUD's row at `slot` (0 the leftmost).
    static HUD::Rect iconRect(const HUD::Layout& hud, int slot);

    PlayHud();
    ~PlayHud();
    PlayHud(const PlayHud&) = delete;
    PlayHud& operator=(const PlayHud&) = delete;

    // The vignette, drawn under the icons; nothing without a warning.
    // ClearedPixels darkens only the pixels whose depth is still the far
    // plane's (what the scene left at the clear colour), for a scene whose
    // programs darkened the rest themselves.
    enum class VignetteTarget { WholePicture, ClearedPixels };
    void drawVignette(const PlayHudState& state, const Shader& hud, int width, int height,
                      VignetteTarget target = VignetteTarget::WholePicture);
    // Everything else of the state.
    void draw(const PlayHudState& state, const Shader& font, const Shader& hud, int width, int height);
    // Only the captions (over the end screens).
    void drawCaptions(const PlayHudState& state, const Shader& font, const Shader& hud, int width,
                      int height);

    void release();

    // How many vignette pictures were made so far (each strength step makes
    // one, the first time it shows).
    int vignetteUploads() const { return vignetteUploads_; }

private:
    // Quads drawn together in one call as triangles, kept while `key` (what
    // they show and where) stays the same. Owns its vertex array and buffers.
    struct Piece {
        std::string key;
        GLuint vertexArray = 0;
        GLuint positionBuffer = 0;
        GLuint uvBuffer = 0;
        GLsizei vertices = 0;
        Piece() = default;
        ~Piece();
        Piece(const Piece&) = delete;
        Piece& operator=(const Piece&) = delete;
        void clear();
        // Replaces the quads (corners and texture coordinates each in the
        // order lower-left, lower-right, upper-right, upper-left) with the
        // attribute locations of `program`.
        void build(const Shader& program, const std::vector<std::array<glm::vec2, 4>>& corners,
                   const std::vector<std::array<glm::vec2, 4>>& uvs);
    };

    void drawLines(Piece& text, Piece& backing, const std::vector<std::string>& lines, float top, bool upward,
                   const Layout& layout, const Shader& font, const Shader& hud);
    void drawFlashlightMarks(const PlayHudState& state, const Shader& hud, int width, int height);
    void drawShaded(const Piece& piece, const Shader& hud, Texture* texture);
    void drawOpaque(const Piece& piece, const Shader& hud, Texture* texture);
    void drawText(const Piece& piece, const Shader& font);
    Texture* solid(std::unique_ptr<Texture>& texture, unsigned char r, unsigned char g, unsigned char b);

    Piece vignette_, crosshair_, prompt_, promptBox_, message_, messageBox_, hint_, hintBox_, captions_,
        captionsBox_, iconMark_;
    // One picture per strength step (index = step), made when the step first
    // shows and kept: making a texture mid-frame (its mipmaps are drawn) made
    // llvmpipe finish the frame drawn so far, at every heartbeat step.
    std::vector<std::unique_ptr<Texture>> vignetteTextures_;
    int vignetteUploads_ = 0;
    std::unique_ptr<Texture> shade_;  // behind text
    std::unique_ptr<Texture> dim_;    // over a switched-off flashlight's icon
    std::unique_ptr<Texture> white_;  // the white beam's mark
    std::unique_ptr<Texture> blue_;   // the blue beam's mark
};

}  // namespace vestrel
