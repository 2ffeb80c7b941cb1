#pragma once

#include <GL/glew.h>

#include <glm/vec3.hpp>

#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "render/FragmentCounter.h"
#include "render/Framebuffer.h"
#include "render/Mesh.h"
#include "render/PlayHud.h"
#include "render/PlayHudState.h"
#include "render/Shader.h"
#include "render/VisibilityStage.h"

namespace vestrel {

class Button;
class GameObject;
class Item;
class Level;
struct ViewFrustum;

// Turns the current Level into one frame. Owns the shader programs (the ten
// pairs, texLights twice: whole and without lights[0]), the
// half-size glow framebuffer, the full-size scene framebuffer where one is
// needed, and a full-screen quad.
//
// Frame order (render): the scene pass (lit level tree), the glow of items
// (orange) and interactive objects (green) drawn at half size and blurred
// back in, hidden text while the flashlight is on and blue, glass, the
// monster, then the one 2D overlay that fits the situation (loading, win/lose
// with buttons, or item icons plus the optional "FPS:"/"CULLED:" lines).
//
// The scene is drawn straight into the window's back buffer whenever the
// glow pass can copy the window's depth into its own buffer (the usual case:
// a window with a depth buffer and no multisampling). Otherwise it is drawn
// into the scene buffer and copied to the window before the overlay. Both
// give the same picture; the copy costs 1.7 ms a frame at 1280 x 720 on a
// software rasteriser.
//
// Lifecycle: constructed empty; init() after the GL loader is ready;
// cleanup() returns it to empty and init() may run again (restart). The
// destructor runs cleanup(); GL releases without a current context are
// no-ops, so destroying it after the window is gone is harmless.
class Renderer {
public:
    Renderer();
    virtual ~Renderer();
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    // Sets the global GL state (clear colour, depth test GL_LESS, back-face
    // culling, alpha blending), builds the programs (fatal on failure), the
    // framebuffers at the GameSettings window size and the quad. Running it
    // while already initialised releases the old resources first.
    void init();

    // Rebuilds the off-screen buffers for a window framebuffer of
    // width x height (the glow buffer at half of it). Every pass sets its
    // viewport from these buffers, so the picture follows. Does nothing
    // before init or when the size is unchanged.
    void resize(int width, int height);

    // Releases everything init made. Safe to call when not initialised.
    void cleanup();

    // Draws one frame for `level` into the window's back buffer; the caller
    // swaps buffers. Does nothing before init.
    void render(Level& level);

    bool initialized() const { return texLightsShader != nullptr; }

    // The size of the picture (the window's framebuffer as last told).
    int frameWidth() const { return frameWidth_; }
    int frameHeight() const { return frameHeight_; }
    // Whether the scene is drawn into the window itself (sceneBuffer is then
    // left empty).
    bool drawsIntoWindow() const { return sceneInWindow_; }
    // Set false before init() to always draw through the scene buffer.
    bool allowWindowTarget = true;

    // What the visibility stage decided for the last frame drawn.
    const VisibilityCounts& visibilityCounts() const { return visibility_.counts(); }
    const VisibilityStage& visibility() const { return visibility_; }

    // The counting run: GL queries around the scene passes, read back at the
    // end of every frame (which waits for the rasteriser, so never in a timed
    // run). The totals run on across restarts until switched off.
    void setCountingFragments(bool counting);
    const FragmentTotals& fragmentTotals() const { return fragmentTotals_; }

    std::unique_ptr<Shader> texLightsShader;
    // texLights without lights[0]'s per-pixel terms, for the level's surfaces
    // that light cannot reach (most of the picture lies outside the
    // flashlight's cone); the same picture for a third less work a pixel.
    std::unique_ptr<Shader> texLightsUnreachedShader;
    // Work left out because it cannot change the picture: the surfaces out of
    // lights[0]'s reach drawn by the variant without it, the glow worked out
    // only over the glowing objects' rectangles, its composite skipped under
    // their own pixels (where the scene has a stencil buffer), and the
    // warning's vignette folded into the scene's programs (the same to its
    // rounding). Off: the plain way, which tests compare.
    bool pictureShortcuts = true;
    std::unique_ptr<Shader> textureShader;
    std::unique_ptr<Shader> hudShader;
    std::unique_ptr<Shader> fontShader;
    std::unique_ptr<Shader> messageShader;
    std::unique_ptr<Shader> highlightShader;
    std::unique_ptr<Shader> blurShader;
    std::unique_ptr<Shader> hiddenTextShader;
    std::unique_ptr<Shader> glassShader;
    std::unique_ptr<Shader> skinningShader;
    // Whether the last frame drawn folded the warning's vignette into the
    // scene's programs (see vignetted_).
    bool vignetteFolded() const { return vignetteFolded_; }

    Framebuffer sceneBuffer;
    Framebuffer glowBuffer;

    // What the play state wants on screen over the play picture (prompts,
    // captions, the warning); set by the play state every step, drawn with
    // the icons. Captions also show over the end screens.
    PlayHudState hudState;

    GLuint quadVertexArray = 0;
    GLuint quadPositionBuffer = 0;
    GLuint quadUvBuffer = 0;

private:
    // One tree object that passed culling, with its squared distance from the
    // eye to the nearest point of its bounds, and the part of its triangle
    // list to draw (all of it unless the visibility stage hid some clusters).
    struct OpaqueDraw {
        GameObject* object;
        float distance;
        std::uint32_t firstIndex = 0;
        std::uint32_t indexCount = 0;
        VisibilityStage::OccluderMarks marks{};
        bool light0 = true;  // whether lights[0] may reach it (texLights, or the variant without it)
    };
    // Walks the tree as GameObject::draw does (invisible objects hide their
    // subtree; objects with geometry are tested against the frustum, which
    // counts what it culls) but collects instead of drawing.
    static void collectOpaque(GameObject& object, ViewFrustum& frustum, const glm::vec3& eye,
                              std::vector<OpaqueDraw>& out);
    std::vector<OpaqueDraw> opaqueDraws;      // reused every frame
    std::vector<OpaqueDraw> visibleDraws;     // what of them the visibility stage kept
    std::vector<Mesh::IndexRange> treeRuns_;  // scratch: one call's runs in drawVisibleTree
    // Fills visibleDraws from opaqueDraws, in the same order: after
    // rasterising the large objects as occluders (nearest first), what can
    // show, whole objects or the runs of their visible clusters; a run also
    // ends where the level's lights[0] starts or stops reaching its clusters.
    void cullHidden(const Level& level);
    // Whether the level's lights[0] may light anything in the world box
    // `bounds` (see lightMayReach); false for a level without lights.
    bool light0MayReach(const Level& level, const std::array<float, 6>& bounds) const;

    VisibilityStage visibility_;
    bool countingFragments_ = false;
    std::unique_ptr<FragmentCounter> fragmentCounter_;  // while counting and initialised
    FragmentTotals fragmentTotals_;

    PlayHud playHud_;
    // The scene's programs with the warning's vignette folded in, built with
    // "#define VIGNETTE". While the vignette shows (and pictureShortcuts is
    // on) every scene pass draws with these and the vignette's own pass over
    // most of the window is left out; only what the scene left at the clear
    // colour is darkened by that pass. The same picture to a level of
    // rounding.
    struct VignettedPrograms {
        std::unique_ptr<Shader> texLights;
        std::unique_ptr<Shader> texLightsUnreached;
        std::unique_ptr<Shader> blur;
        std::unique_ptr<Shader> hiddenText;
        std::unique_ptr<Shader> glass;
        std::unique_ptr<Shader> skinning;
    };
    VignettedPrograms vignetted_;
    // This frame's programs for the scene passes: the plain ones, or their
    // vignetted twins while the vignette is folded in.
    struct ScenePrograms {
        Shader* texLights = nullptr;
        Shader* texLightsUnreached = nullptr;
        Shader* blur = nullptr;
        Shader* hiddenText = nullptr;
        Shader* glass = nullptr;
        Shader* skinning = nullptr;
    };
    ScenePrograms scene_;
    bool vignetteFolded_ = false;
    // What the twins' vignette uniforms were last set to (step 0: never).
    struct VignetteUniforms {
        int step = 0;
        int width = 0;
        int height = 0;
        bool operator==(const VignetteUniforms& other) const {
            return step == other.step && width == other.width && height == other.height;
        }
    };
    VignetteUniforms vignetteUniforms_;
    // Picks this frame's programs and, when folding the vignette, gives the
    // twins its strength and the picture's size.
    void chooseScenePrograms(const Level& level);
    int frameWidth_ = 0;
    int frameHeight_ = 0;
    bool sceneInWindow_ = false;
    bool sceneStencil_ = false;  // the scene's target has 8 stencil bits (cleared every frame)
    // Builds the glow buffer and, unless the scene can go straight to the
    // window, the scene buffer, for a picture of width x height.
    void createTargets(int width, int height);

    void drawScene(Level& level);
    void drawGlow(Level& level);
    // The unused items and the switches' objects, lit, as the glow pass ends.
    void drawGlowingObjectsLit(Level& level);
    void drawHiddenText(Level& level);
    void drawTransparent(Level& level);
    void drawMonster(Level& level);
    void drawInventoryOverlay(const std::map<std::string, Item*>& inventory);
    void drawLoadingOverlay(const std::string& key);
    void drawGameOverOverlay(const std::string& key, const std::vector<std::shared_ptr<Button>>& buttons);
    void drawStatsOverlay();
    // The counting run's pass clock (nothing when not counting).
    void passDone(FramePass pass);
    // The level tree's draws that survived the culling, nearest first, each
    // with texLights or its variant without lights[0].
    void drawVisibleTree(Level& level);
    // Counting run: the pixels those draws cover (fragmentCounter_ set).
    void countTreeCoverage(Level& level);

    // One object of the glow, hidden-text or glass pass: drawn with `shader`
    // in `mode` (frustum-tested and counted, then left out when the
    // visibility stage finds it hidden), its children with their own
    // programs in mode 0.
    void drawPassObject(GameObject& object, Shader& shader, int mode, Level& level);
    // Whether the glow pass has anything to draw: an unused item or a switch
    // whose object is visible with geometry.
    static bool hasGlowObjects(const Level& level);
    // Binds where the scene is drawn: the window or the scene buffer.
    void bindScene();
    // Copies `buffers` of the scene buffer to the window; nothing when the
    // scene was drawn there already.
    void copySceneToWindow(GLbitfield buffers);
    void unbindAll();
    void buildQuad();
    void releaseQuad();
};

}  // namespace vestrel
