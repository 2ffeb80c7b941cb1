#include "render/Renderer.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <string>

#include <glm/gtc/constants.hpp>
#include <glm/gtc/type_ptr.hpp>

#include "app/GameSettings.h"
#include "enemy/Enemy.h"
#include "level/GameObject.h"
#include "level/InteractiveSwitch.h"
#include "level/Item.h"
#include "level/Level.h"
#include "play/Camera.h"
#include "render/Button.h"
#include "render/GlContext.h"
#include "render/HUD.h"
#include "render/Light.h"
#include "render/Mesh.h"
#include "render/Texture.h"

namespace vestrel {

namespace {

constexpr int kStateLoading = 2;

// CPU time of the calling thread: the visibility stage's cost without the
// time other threads (the rasteriser's, other programs') take the core.
double threadCpuMilliseconds() {
    timespec now{};
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now) != 0) return 0.0;
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}
const glm::vec4 kFogClearColour{0.25f, 0.25f, 0.25f, 1.0f};
const glm::vec3 kItemGlowColour{1.0f, 0.4f, 0.0f};
const glm::vec3 kInteractiveGlowColour{0.09f, 0.819f, 0.09f};
constexpr float kGlassTransparency = 0.35f;

void setVec3(const Shader& shader, const char* name, const glm::vec3& value) {
    glUniform3fv(shader.getUniformLocation(name), 1, glm::value_ptr(value));
}

// Screen pixels around a silhouette that the blur composite can colour: its
// taps reach two glow texels (four screen pixels) out, plus rounding at half size.
constexpr int kGlowMarginPixels = 8;

// What the glow's silhouettes reach beyond an object's box, for the
// visibility test and the glow's screen rectangle: the highlight program
// pushes every vertex 0.03 out along its normal (generously: meshes may be
// scaled), and the glow buffer's depth is a half-size copy whose texels
// take a scene pixel's depth up to one pixel away.
constexpr float kGlowGrow = 0.1f;
constexpr float kGlowMarginForVisibility = 2.0f;

// A pixel rectangle [x0, x1) x [y0, y1), origin at the lower left.
struct PixelRect {
    int x0 = 0;
    int y0 = 0;
    int x1 = 0;
    int y1 = 0;
    bool empty() const { return x1 <= x0 || y1 <= y0; }
};

// The far plane's distance for a perspective projection as glm builds it;
// 0 (nothing counts as nearer) for a matrix it cannot be read from.
float farPlaneDistance(const glm::mat4& projection) {
    const float distance = projection[3][2] / (projection[2][2] + 1.0f);
    return std::isfinite(distance) && distance > 0.0f ? distance : 0.0f;
}

// Grows `screen` (normalised device coordinates: min x, min y, max x, max y)
// by the projection of the part of box `b` grown by `grow` that lies in
// front of the near plane, where GL clips: its corners there and the points
// where its edges cross the plane. A box reaching past the eye to the side
// then still gives a bounded rectangle, open only towards the edges of the
// screen it runs off. False when a point to project has no positive w (a
// projection whose near plane does not lie in front of the eye).
bool addBoxFootprint(const std::array<float, 6>& b, float grow, const glm::mat4& viewProjection,
                     glm::vec4& screen) {
    glm::vec4 clip[8];
    bool inFront[8];
    for (int corner = 0; corner < 8; ++corner) {
        clip[corner] = viewProjection * glm::vec4((corner & 1) ? b[3] + grow : b[0] - grow,
                                                  (corner & 2) ? b[4] + grow : b[1] - grow,
                                                  (corner & 4) ? b[5] + grow : b[2] - grow, 1.0f);
        inFront[corner] = clip[corner].z + clip[corner].w >= 0.0f;
    }
    const auto add = [&screen](const glm::vec4& point) {
        if (!(point.w > 1e-6f)) return false;
        const glm::vec2 ndc = glm::vec2(point) / point.w;
        screen = glm::vec4(glm::min(glm::vec2(screen), ndc), glm::max(glm::vec2(screen.z, screen.w), ndc));
        return true;
    };
    for (int corner = 0; corner < 8; ++corner) {
        if (inFront[corner] && !add(clip[corner])) return false;
        // The three edges from this corner to a corner one bit higher.
        for (int axis = 1; axis <= 4; axis <<= 1) {
            const int other = corner | axis;
            if (other == corner || inFront[corner] == inFront[other]) continue;
            const float da = clip[corner].z + clip[corner].w;
            const float db = clip[other].z + clip[other].w;
            if (!add(clip[corner] + (clip[other] - clip[corner]) * (da / (da - db)))) return false;
        }
    }
    return true;
}

// Grows `screen` by the screen footprint of what `object` and its visible
// subtree draw in the glow pass (the highlight program pushes silhouettes up
// to kGlowGrow out of the boxes). Returns false when a footprint cannot be
// bounded (geometry without bounds, or see addBoxFootprint); the caller then
// uses the whole screen. Boxes wholly outside the frustum are left out only
// while culling is on, because only then does the pass itself skip them.
bool addScreenFootprint(const GameObject& object, const glm::mat4& viewProjection, const ViewFrustum& frustum,
                        const VisibilityStage& visibility, glm::vec4& screen) {
    if (!object.visible) return true;
    if (object.drawable()) {
        if (!object.bounds) return false;
        const std::array<float, 6>& b = *object.bounds;
        if ((!frustum.cullingEnabled || frustum.testBox(b) != FrustumTest::Outside) &&
            visibility.boxVisible(b, kGlowGrow, kGlowMarginForVisibility) &&
            !addBoxFootprint(b, kGlowGrow, viewProjection, screen)) {
            return false;
        }
    }
    for (const std::shared_ptr<GameObject>& child : object.children) {
        if (child && !addScreenFootprint(*child, viewProjection, frustum, visibility, screen)) return false;
    }
    return true;
}

// The pixels of a width x height picture that cover `screen` (normalised
// device coordinates: min x, min y, max x, max y), grown by `margin` pixels
// on every side and kept within the picture.
PixelRect pixelsCovering(glm::vec4 screen, int width, int height, int margin) {
    // Clamp in device coordinates first so that huge footprints stay in int range.
    screen = glm::clamp(screen, glm::vec4(-1.0f), glm::vec4(1.0f));
    PixelRect rect;
    rect.x0 = std::max(static_cast<int>(std::floor((screen.x * 0.5f + 0.5f) * width)) - margin, 0);
    rect.y0 = std::max(static_cast<int>(std::floor((screen.y * 0.5f + 0.5f) * height)) - margin, 0);
    rect.x1 = std::min(static_cast<int>(std::ceil((screen.z * 0.5f + 0.5f) * width)) + margin, width);
    rect.y1 = std::min(static_cast<int>(std::ceil((screen.w * 0.5f + 0.5f) * height)) + margin, height);
    return rect;
}

// Whether two pixel rectangles share a pixel.
bool overlap(const PixelRect& a, const PixelRect& b) {
    return a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1;
}

// The smallest rectangle holding both.
PixelRect bounding(const PixelRect& a, const PixelRect& b) {
    return {std::min(a.x0, b.x0), std::min(a.y0, b.y0), std::max(a.x1, b.x1), std::max(a.y1, b.y1)};
}

// The scene-buffer pixels the glow of the level's unused items and its
// switches' objects can reach: each object's footprint plus the blur's
// margin, clipped to the buffer, with rectangles that share pixels joined
// into their bounding rectangle until none do (so a composite drawn once per
// rectangle blends no pixel twice). None when no glowing object is on
// screen or all are hidden; the whole buffer when a footprint cannot be
// bounded.
std::vector<PixelRect> glowRectangles(const Level& level, const VisibilityStage& visibility, int width,
                                      int height) {
    const glm::mat4& viewProjection = level.camera->viewProjection;
    std::vector<PixelRect> rects;
    auto add = [&](const GameObject* object) {
        if (object == nullptr) return true;
        glm::vec4 screen(2.0f, 2.0f, -2.0f, -2.0f);
        if (!addScreenFootprint(*object, viewProjection, level.frustum, visibility, screen)) return false;
        if (screen.x > screen.z || screen.y > screen.w) return true;
        const PixelRect rect = pixelsCovering(screen, width, height, kGlowMarginPixels);
        if (!rect.empty()) rects.push_back(rect);
        return true;
    };
    for (const auto& entry : level.itemsInWorld) {
        const Item* item = entry.second.get();
        if (item && !item->used && !add(item->object)) return {PixelRect{0, 0, width, height}};
    }
    for (const auto& entry : level.switches) {
        const InteractiveSwitch* zone = entry.second.get();
        if (zone && !add(zone->object)) return {PixelRect{0, 0, width, height}};
    }
    for (std::size_t i = 0; i < rects.size();) {
        bool joined = false;
        for (std::size_t j = i + 1; j < rects.size(); ++j) {
            if (!overlap(rects[i], rects[j])) continue;
            rects[i] = bounding(rects[i], rects[j]);
            rects.erase(rects.begin() + static_cast<std::ptrdiff_t>(j));
            joined = true;
            break;
        }
        // A grown rectangle may now reach one already passed: look again from the start.
        i = joined ? 0 : i + 1;
    }
    return rects;
}

// The pixels the flashlight's beam can light: the hidden writing shows only
// inside its outer cone (everywhere else it is drawn fully transparent), and
// with the cone's tip at the eye, where the player carries it, that cone
// covers a convex patch of the screen around its axis. The patch lies inside
// the projection of a 16-sided pyramid drawn around the cone, whose edges
// give the rectangle. The whole screen when the tip is elsewhere, the cone is
// very wide or the pyramid reaches behind the eye; empty when the patch is
// wholly off screen.
PixelRect beamRectangle(const Light& flashlight, const Camera& camera, int width, int height) {
    const PixelRect whole{0, 0, width, height};
    constexpr float kTipTolerance = 1e-4f;  // world units; below a pixel at the near plane
    constexpr float kWidestCosine = 0.17f;  // about 80 degrees
    constexpr int kPyramidSides = 16;
    constexpr int kMarginPixels = 2;
    if (glm::length(flashlight.position - camera.position) > kTipTolerance) return whole;
    if (flashlight.coneOuterAngle < kWidestCosine || glm::length(flashlight.coneDirection) < 1e-6f)
        return whole;

    const glm::vec3 axis = glm::normalize(flashlight.coneDirection);
    const glm::vec3 helper =
        std::fabs(axis.y) < 0.9f ? glm::vec3(0.0f, 1.0f, 0.0f) : glm::vec3(1.0f, 0.0f, 0.0f);
    const glm::vec3 side = glm::normalize(glm::cross(axis, helper));
    const glm::vec3 up = glm::cross(side, axis);
    const float outerCosine = std::min(flashlight.coneOuterAngle, 1.0f);
    const float tangent = std::sqrt(1.0f - outerCosine * outerCosine) / outerCosine;
    // The pyramid's edges lean out further than the cone by 1 / cos(pi / sides).
    const float edgeTangent = tangent / std::cos(glm::pi<float>() / kPyramidSides) * 1.001f;
    glm::vec2 low(1e30f);
    glm::vec2 high(-1e30f);
    for (int i = 0; i < kPyramidSides; ++i) {
        const float angle = glm::two_pi<float>() * static_cast<float>(i) / kPyramidSides;
        const glm::vec3 edge = axis + edgeTangent * (std::cos(angle) * side + std::sin(angle) * up);
        const glm::vec4 clip = camera.viewProjection * glm::vec4(camera.position + edge, 1.0f);
        if (clip.w < 1e-4f) return whole;
        const glm::vec2 ndc = glm::vec2(clip) / clip.w;
        low = glm::min(low, ndc);
        high = glm::max(high, ndc);
    }
    if (high.x < -1.0f || high.y < -1.0f || low.x > 1.0f || low.y > 1.0f) return PixelRect{};
    return pixelsCovering(glm::vec4(low, high), width, height, kMarginPixels);
}

// The internal format of the window's depth buffer, so that an off-screen
// buffer can be made that a depth copy from the window accepts; 0 when the
// window has no depth buffer or one of a kind not listed here.
GLenum windowDepthFormat() {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    GLint depthKind = GL_NONE;
    glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_DEPTH, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE,
                                          &depthKind);
    if (depthKind == GL_NONE) return 0;
    GLint depthBits = 0;
    GLint componentType = GL_NONE;
    glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_DEPTH, GL_FRAMEBUFFER_ATTACHMENT_DEPTH_SIZE,
                                          &depthBits);
    glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_DEPTH, GL_FRAMEBUFFER_ATTACHMENT_COMPONENT_TYPE,
                                          &componentType);
    GLint stencilKind = GL_NONE;
    GLint stencilBits = 0;
    glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_STENCIL, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE,
                                          &stencilKind);
    if (stencilKind != GL_NONE) {
        glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_STENCIL,
                                              GL_FRAMEBUFFER_ATTACHMENT_STENCIL_SIZE, &stencilBits);
    }
    const bool stencil = stencilBits == 8;
    if (stencilBits != 0 && !stencil) return 0;
    if (componentType == GL_FLOAT) {
        return depthBits == 32 ? (stencil ? GL_DEPTH32F_STENCIL8 : GL_DEPTH_COMPONENT32F) : 0;
    }
    switch (depthBits) {
        case 16:
            return stencil ? 0 : GL_DEPTH_COMPONENT16;
        case 24:
            return stencil ? GL_DEPTH24_STENCIL8 : GL_DEPTH_COMPONENT24;
        case 32:
            return stencil ? 0 : GL_DEPTH_COMPONENT32;
        default:
            return 0;
    }
}

// Whether the window's depth can be copied, halved, into `glow` as the glow
// pass does every frame: a known depth is cleared in the window, copied, and
// read back. A copy the driver refuses (formats that differ after all, a
// multisampled window) leaves GL errors, which are taken here.
bool windowDepthCopies(const Framebuffer& glow) {
    constexpr float kProbeDepth = 0.25f;
    glBindFramebuffer(GL_FRAMEBUFFER, glow.framebuffer);
    glClearDepth(1.0);
    glClear(GL_DEPTH_BUFFER_BIT);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glClearDepth(kProbeDepth);
    glClear(GL_DEPTH_BUFFER_BIT);
    glClearDepth(1.0);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, glow.framebuffer);
    glBlitFramebuffer(0, 0, glow.width * 2, glow.height * 2, 0, 0, glow.width, glow.height,
                      GL_DEPTH_BUFFER_BIT, GL_NEAREST);
    glBindFramebuffer(GL_FRAMEBUFFER, glow.framebuffer);
    float copied = 1.0f;
    glReadPixels(0, 0, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &copied);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    const bool copies = std::fabs(copied - kProbeDepth) < 1e-3f;
    if (!copies) {
        while (glGetError() != GL_NO_ERROR) {
        }
    }
    return copies;
}

}  // namespace

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
    texLightsUnreachedShader = std::make_unique<Shader>(kTexLightsSources, "WITHOUT_LIGHT0");
    textureShader = std::make_unique<Shader>(kTextureSources);
    hudShader = std::make_unique<Shader>(kHudSources);
    fontShader = std::make_unique<Shader>(kFontSources);
    messageShader = std::make_unique<Shader>(kMessageSources);
    highlightShader = std::make_unique<Shader>(kHighlightSources);
    blurShader = std::make_unique<Shader>(kBlurSources);
    hiddenTextShader = std::make_unique<Shader>(kHiddenTextSources);
    glassShader = std::make_unique<Shader>(kGlassSources);
    skinningShader = std::make_unique<Shader>(kSkinningSources);
    vignetted_ = {std::make_unique<Shader>(kTexLightsSources, "VIGNETTE"),
                  std::make_unique<Shader>(kTexLightsSources, "WITHOUT_LIGHT0 VIGNETTE"),
                  std::make_unique<Shader>(kBlurSources, "VIGNETTE"),
                  std::make_unique<Shader>(kHiddenTextSources, "VIGNETTE"),
                  std::make_unique<Shader>(kGlassSources, "VIGNETTE"),
                  std::make_unique<Shader>(kSkinningSources, "VIGNETTE")};
    vignetteUniforms_ = VignetteUniforms{};

    const GameSettings& settings = GameSettings::instance();
    createTargets(settings.windowWidth, settings.windowHeight);

    buildQuad();
    if (countingFragments_) fragmentCounter_ = std::make_unique<FragmentCounter>();
}

void Renderer::setCountingFragments(bool counting) {
    countingFragments_ = counting;
    if (!counting) {
        fragmentCounter_.reset();
    } else if (initialized() && !fragmentCounter_) {
        fragmentCounter_ = std::make_unique<FragmentCounter>();
    }
}

void Renderer::createTargets(int width, int height) {
    frameWidth_ = std::max(width, 1);
    frameHeight_ = std::max(height, 1);
    sceneBuffer.release();
    sceneInWindow_ = false;
    const GLenum windowDepth = allowWindowTarget ? windowDepthFormat() : 0;
    if (windowDepth != 0) {
        glowBuffer.create(frameWidth_ / 2, frameHeight_ / 2, windowDepth);
        sceneInWindow_ = windowDepthCopies(glowBuffer);
    }
    sceneStencil_ =
        sceneInWindow_ && (windowDepth == GL_DEPTH24_STENCIL8 || windowDepth == GL_DEPTH32F_STENCIL8);
    if (!sceneInWindow_) {
        sceneBuffer.create(frameWidth_, frameHeight_);
        glowBuffer.create(frameWidth_ / 2, frameHeight_ / 2);
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void Renderer::resize(int width, int height) {
    if (!initialized()) return;
    if (frameWidth_ == width && frameHeight_ == height) return;
    createTargets(width, height);
}

void Renderer::cleanup() {
    // Programs in the documented release order; each Shader stops using and
    // deletes its program (a no-op without a context).
    texLightsShader.reset();
    texLightsUnreachedShader.reset();
    hudShader.reset();
    fontShader.reset();
    textureShader.reset();
    blurShader.reset();
    highlightShader.reset();
    hiddenTextShader.reset();
    messageShader.reset();
    glassShader.reset();
    skinningShader.reset();
    vignetted_ = VignettedPrograms{};
    scene_ = ScenePrograms{};
    vignetteFolded_ = false;
    vignetteUniforms_ = VignetteUniforms{};

    sceneBuffer.release();
    glowBuffer.release();
    playHud_.release();
    hudState = PlayHudState{};
    frameWidth_ = 0;
    frameHeight_ = 0;
    sceneInWindow_ = false;
    releaseQuad();
    fragmentCounter_.reset();
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

// Walks the tree as GameObject::draw does (invisible objects hide their
// subtree; objects with geometry are tested against the frustum, which counts
// what it culls) but collects instead of drawing.
void Renderer::collectOpaque(GameObject& object, ViewFrustum& frustum, const glm::vec3& eye,
                             std::vector<OpaqueDraw>& out) {
    if (!object.visible) return;
    if (object.drawable()) {
        if (!object.bounds) {
            out.push_back({&object, 0.0f, 0, object.mesh->indexCount});
        } else if (!frustum.cull(*object.bounds)) {
            const std::array<float, 6>& b = *object.bounds;
            const glm::vec3 nearest =
                glm::clamp(eye, glm::vec3(b[0], b[1], b[2]), glm::vec3(b[3], b[4], b[5]));
            const glm::vec3 offset = nearest - eye;
            out.push_back({&object, glm::dot(offset, offset), 0, object.mesh->indexCount});
        }
    }
    for (const std::shared_ptr<GameObject>& child : object.children) {
        if (child) collectOpaque(*child, frustum, eye, out);
    }
}

void Renderer::cullHidden(const Level& level) {
    visibleDraws.clear();
    const bool occluding = visibility_.active();
    if (occluding) {
        for (OpaqueDraw& draw : opaqueDraws) draw.marks = visibility_.addOccluder(*draw.object);
        visibility_.finishOccluders();
    }

    VisibilityCounts& counts = visibility_.counts();
    for (const OpaqueDraw& draw : opaqueDraws) {
        const GameObject& object = *draw.object;
        if (!object.bounds) {
            visibleDraws.push_back(draw);
            continue;
        }
        if (occluding && !visibility_.objectVisible(object, draw.marks)) {
            ++counts.occluded;
            continue;
        }
        // Clusters carry their bounds from the build; a mesh moved since is
        // drawn whole.
        const Mesh& mesh = *object.mesh;
        if (mesh.clusters.empty() || mesh.modelMatrix != mesh.worldPositionsModel) {
            visibleDraws.push_back(draw);
            visibleDraws.back().light0 = light0MayReach(level, *object.bounds);
            continue;
        }
        // Neighbouring visible clusters lit alike are drawn as one run.
        const std::size_t before = visibleDraws.size();
        bool extending = false;
        for (std::size_t i = 0; i < mesh.clusters.size(); ++i) {
            const MeshCluster& cluster = mesh.clusters[i];
            if (occluding && !visibility_.clusterVisible(object, draw.marks, i)) {
                ++counts.clustersHidden;
                extending = false;
                continue;
            }
            const bool lit = light0MayReach(level, cluster.bounds);
            if (extending && visibleDraws.back().light0 == lit) {
                visibleDraws.back().indexCount += cluster.indexCount;
            } else {
                visibleDraws.push_back(
                    {draw.object, draw.distance, cluster.firstIndex, cluster.indexCount, draw.marks, lit});
                extending = true;
            }
        }
        if (visibleDraws.size() == before) ++counts.occluded;
    }
}

bool Renderer::light0MayReach(const Level& level, const std::array<float, 6>& bounds) const {
    // Without lights the program's lights[0] adds nothing anywhere; a slot
    // left empty keeps whatever it had, so it may reach everything.
    if (level.lights.empty()) return false;
    return !level.lights[0] || lightMayReach(*level.lights[0], bounds);
}

void Renderer::bindScene() {
    glBindFramebuffer(GL_FRAMEBUFFER, sceneInWindow_ ? 0 : sceneBuffer.framebuffer);
}

void Renderer::unbindAll() {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glBindTexture(GL_TEXTURE_2D, 0);
}

void Renderer::render(Level& level) {
    if (!initialized()) return;
    const GameSettings& settings = GameSettings::instance();

    if (fragmentCounter_) fragmentCounter_->startPasses();
    chooseScenePrograms(level);
    drawScene(level);
    if (level.stateId == kStateLoading) {
        drawLoadingOverlay("MESSAGE_LOADING_0");
    } else if (settings.playerWon || settings.playerCaught) {
        drawGameOverOverlay(settings.playerWon ? "WIN" : "LOST", level.buttons);
        playHud_.drawCaptions(hudState, *fontShader, *hudShader, settings.windowWidth, settings.windowHeight);
    } else {
        // The warning's vignette darkens the picture under the icons (unless
        // the scene's programs did it already).
        if (!vignetteFolded_) {
            playHud_.drawVignette(hudState, *hudShader, settings.windowWidth, settings.windowHeight);
        }
        passDone(FramePass::Vignette);
        drawInventoryOverlay(level.player.inventory);
        playHud_.draw(hudState, *fontShader, *hudShader, settings.windowWidth, settings.windowHeight);
        if (settings.showFps) drawStatsOverlay();
    }
    passDone(FramePass::Overlays);
}

void Renderer::passDone(FramePass pass) {
    if (fragmentCounter_) fragmentCounter_->passDone(pass, fragmentTotals_);
}

void Renderer::chooseScenePrograms(const Level& level) {
    const GameSettings& settings = GameSettings::instance();
    // The vignette shows over the play picture only, not over the loading
    // message or the end screens.
    const bool playing = level.stateId != kStateLoading && !settings.playerWon && !settings.playerCaught;
    const int step = playing ? PlayHud::vignetteStep(hudState) : 0;
    vignetteFolded_ = pictureShortcuts && step > 0;
    if (!vignetteFolded_) {
        scene_ = {texLightsShader.get(), texLightsUnreachedShader.get(),
                  blurShader.get(),      hiddenTextShader.get(),
                  glassShader.get(),     skinningShader.get()};
        return;
    }
    scene_ = {vignetted_.texLights.get(), vignetted_.texLightsUnreached.get(),
              vignetted_.blur.get(),      vignetted_.hiddenText.get(),
              vignetted_.glass.get(),     vignetted_.skinning.get()};
    // The twins keep their uniforms between frames: they change only with
    // the step (a heartbeat's swell) or the picture's size.
    const VignetteUniforms wanted{step, frameWidth_, frameHeight_};
    if (wanted == vignetteUniforms_) return;
    vignetteUniforms_ = wanted;
    const float strength = static_cast<float>(step) / PlayHud::kVignetteSteps;
    // gl_FragCoord counts the picture's pixels.
    const float width = static_cast<float>(std::max(frameWidth_, 1));
    const float height = static_cast<float>(std::max(frameHeight_, 1));
    for (Shader* program : {scene_.texLights, scene_.texLightsUnreached, scene_.blur, scene_.hiddenText,
                            scene_.glass, scene_.skinning}) {
        glUseProgram(program->program);
        glUniform4f(program->getUniformLocation("vignette"), 2.0f / width, 2.0f / height,
                    PlayHud::kClearRadius, 1.0f / (PlayHud::kDarkRadius - PlayHud::kClearRadius));
        glUniform1f(program->getUniformLocation("vignetteStrength"), strength);
    }
    glUseProgram(0);
}

void Renderer::drawScene(Level& level) {
    const GameSettings& settings = GameSettings::instance();

    bindScene();
    if (settings.fog) {
        glClearColor(kFogClearColour.r, kFogClearColour.g, kFogClearColour.b, kFogClearColour.a);
        glClearDepth(1.0);
    }
    // Stencil too, although nothing uses it: a window's depth usually shares
    // its words with stencil, and clearing both is a plain fill where depth
    // alone would have to keep the stencil bits (1 ms of CPU a frame at
    // 1280 x 720 on llvmpipe). Without a stencil buffer the bit does nothing.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    if (settings.fog) glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glViewport(0, 0, frameWidth_, frameHeight_);

    // The camera is brought up to date first, so the lit programs see this
    // frame's eye (fog and highlights follow it), the same one the
    // geometry is placed with.
    if (level.camera) level.camera->update();
    const glm::mat4 view = level.camera ? level.camera->view : glm::mat4(1.0f);
    glUseProgram(scene_.texLightsUnreached->program);
    uploadLightBlock(*scene_.texLightsUnreached, level.lights, level.ambient, view, 1);
    glUseProgram(scene_.texLights->program);
    uploadLightBlock(*scene_.texLights, level.lights, level.ambient, view);

    level.frustum.beginFrame();
    const bool drawTree = level.rootObject && level.camera && level.stateId != kStateLoading;
    // The stage only knows what hides what once the tree's walls are in it;
    // without the tree (loading) every pass draws as it would without it.
    // Drawn as lines (the wireframe), walls hide nothing.
    visibility_.beginFrame(drawTree && settings.occlusionCulling && !settings.wireframe,
                           level.camera ? level.camera->viewProjection : glm::mat4(1.0f), frameWidth_,
                           frameHeight_);
    if (drawTree) {
        const double start = threadCpuMilliseconds();
        // Nearest first: llvmpipe tests depth before running the fragment
        // program, so pixels hidden behind nearer walls then cost next to
        // nothing. The house's rooms overlap a lot on screen.
        opaqueDraws.clear();
        collectOpaque(*level.rootObject, level.frustum, level.camera->position, opaqueDraws);
        visibility_.counts().frustumCulled = level.frustum.cullingEnabled ? level.frustum.culledCount : 0;
        std::stable_sort(opaqueDraws.begin(), opaqueDraws.end(),
                         [](const OpaqueDraw& a, const OpaqueDraw& b) { return a.distance < b.distance; });
        cullHidden(level);
        visibility_.counts().drawn = static_cast<int>(opaqueDraws.size()) - visibility_.counts().occluded;
        visibility_.counts().milliseconds = threadCpuMilliseconds() - start;

        passDone(FramePass::Prepare);
        if (fragmentCounter_) fragmentCounter_->begin(FragmentCounter::Span::ScenePass);
        // texLights writes alpha 1, so blending would give back exactly the
        // source colour; leaving it off spares llvmpipe reading the colour
        // buffer under every shaded pixel. Every later pass blends as before.
        glDisable(GL_BLEND);
        drawVisibleTree(level);
        glEnable(GL_BLEND);
        if (fragmentCounter_) fragmentCounter_->end(FragmentCounter::Span::ScenePass);
        passDone(FramePass::LevelTree);
        if (fragmentCounter_) countTreeCoverage(level);
    }
    level.frustum.publishCount();
    // What the scene's programs never drew on keeps the clear colour: the
    // vignette's pass darkens it there alone (where the depth is still the
    // far plane's), within the tiles the occluders leave open. Inside the
    // house that is usually nothing, and a pass over the whole window that
    // only fails the depth test still costs llvmpipe a millisecond.
    if (vignetteFolded_) {
        PixelRect open{0, 0, frameWidth_, frameHeight_};
        if (visibility_.active() && level.camera) {
            visibility_.buffer().uncoveredRectangle(farPlaneDistance(level.camera->projection), open.x0,
                                                    open.y0, open.x1, open.y1);
        }
        if (!open.empty()) {
            glEnable(GL_SCISSOR_TEST);
            glScissor(open.x0, open.y0, open.x1 - open.x0, open.y1 - open.y0);
            playHud_.drawVignette(hudState, *hudShader, settings.windowWidth, settings.windowHeight,
                                  PlayHud::VignetteTarget::ClearedPixels);
            glDisable(GL_SCISSOR_TEST);
        }
    }

    glUseProgram(0);
    unbindAll();

    if (!level.camera) {
        // Nothing 3D can be placed without a camera: show the cleared scene.
        copySceneToWindow(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        return;
    }

    if (fragmentCounter_) fragmentCounter_->begin(FragmentCounter::Span::OtherPasses);
    drawGlow(level);
    passDone(FramePass::Glow);

    const Light* flashlight = level.player.flashlight;
    if (flashlight && flashlight->enabled && level.flashlightColourMode() == kFlashlightBlue) {
        bindScene();
        drawHiddenText(level);
        unbindAll();
    }
    passDone(FramePass::HiddenWriting);

    bindScene();
    drawTransparent(level);
    unbindAll();
    passDone(FramePass::Glass);

    bindScene();
    if (level.stateId != kStateLoading) drawMonster(level);
    unbindAll();
    passDone(FramePass::Monster);
    if (fragmentCounter_) {
        fragmentCounter_->end(FragmentCounter::Span::OtherPasses);
        fragmentCounter_->endFrame(static_cast<std::uint64_t>(frameWidth_) * frameHeight_, fragmentTotals_);
    }

    // Colour only: every overlay draws with depth testing off, so the
    // window's depth is never read, and copying it (a format conversion on
    // llvmpipe) cost as much as the colour copy and the clear together.
    copySceneToWindow(GL_COLOR_BUFFER_BIT);
}

void Renderer::drawVisibleTree(Level& level) {
    GLuint inUse = scene_.texLights->program;
    glUseProgram(inUse);
    for (std::size_t i = 0; i < visibleDraws.size();) {
        const OpaqueDraw& draw = visibleDraws[i];
        Mesh& mesh = *draw.object->mesh;
        Shader* const own = mesh.shader;
        // Only texLights has the variant; a mesh of another program is
        // drawn with texLights in use, as the pass always did.
        const bool texLights = own == texLightsShader.get();
        const bool unreached = pictureShortcuts && !draw.light0 && texLights;
        Shader* const program = unreached ? scene_.texLightsUnreached : scene_.texLights;
        const GLuint wanted = program->program;
        if (wanted != inUse) {
            inUse = wanted;
            glUseProgram(inUse);
        }
        // The object's next runs drawn the same way go with this one, in
        // their order, as one call: a run is about a dozen triangles on
        // average, and each call cost the game thread more than they did.
        treeRuns_.clear();
        std::size_t next = i;
        for (; next < visibleDraws.size() && visibleDraws[next].object == draw.object &&
               visibleDraws[next].light0 == draw.light0;
             ++next) {
            treeRuns_.push_back({visibleDraws[next].firstIndex, visibleDraws[next].indexCount});
        }
        if (texLights) mesh.shader = program;
        mesh.drawRanges(level.camera->viewProjection, DrawMode::Normal, treeRuns_.data(), treeRuns_.size());
        mesh.shader = own;
        i = next;
    }
}

void Renderer::countTreeCoverage(Level& level) {
    // The same draws again, writing nothing and passing every depth test:
    // every pixel a triangle covers counts once per triangle.
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glDepthMask(GL_FALSE);
    glDepthFunc(GL_ALWAYS);
    fragmentCounter_->beginCoverage();
    drawVisibleTree(level);
    fragmentCounter_->endCoverage();
    glDepthFunc(GL_LESS);
    glDepthMask(GL_TRUE);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
}

void Renderer::copySceneToWindow(GLbitfield buffers) {
    if (sceneInWindow_) return;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, sceneBuffer.framebuffer);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glBlitFramebuffer(0, 0, sceneBuffer.width, sceneBuffer.height, 0, 0, sceneBuffer.width,
                      sceneBuffer.height, buffers, GL_NEAREST);
    unbindAll();
}

bool Renderer::hasGlowObjects(const Level& level) {
    for (const auto& entry : level.itemsInWorld) {
        const Item* item = entry.second.get();
        if (item && !item->used && item->object && item->object->visible) return true;
    }
    for (const auto& entry : level.switches) {
        const InteractiveSwitch* zone = entry.second.get();
        if (zone && zone->object && zone->object->visible) return true;
    }
    return false;
}

void Renderer::drawPassObject(GameObject& object, Shader& shader, int mode, Level& level) {
    if (!object.mesh) return;
    // The pass's program is lent to the mesh for this drawing only.
    Shader* const own = object.mesh->shader;
    object.mesh->shader = &shader;
    const glm::mat4& viewProjection = level.camera->viewProjection;
    if (object.drawable()) {
        if (!object.bounds) {
            object.mesh->draw(viewProjection, static_cast<DrawMode>(mode));
        } else if (!level.frustum.cull(*object.bounds)) {
            // A silhouette reaches a little past its object, and is tested
            // against a half-size copy of the depth.
            const bool glow = mode == static_cast<int>(DrawMode::Highlight);
            if (visibility_.boxVisible(*object.bounds, glow ? kGlowGrow : 0.0f,
                                       glow ? kGlowMarginForVisibility : 1.0f)) {
                object.mesh->draw(viewProjection, static_cast<DrawMode>(mode));
            } else if (!glow) {
                ++visibility_.counts().passOccluded;
            }
        }
    }
    object.mesh->shader = own;
    if (!object.visible) return;
    for (const std::shared_ptr<GameObject>& child : object.children) {
        child->draw(viewProjection, level.frustum, DrawMode::Normal);
    }
}

void Renderer::drawGlow(Level& level) {
    // With nothing to highlight the glow image would stay empty and the blur
    // composite would add nothing: skip the three full-size operations.
    if (!hasGlowObjects(level)) return;

    // Everything up to the composite only matters where a glow can show, so
    // it runs under a scissor around the glowing objects (the glow buffer's
    // rectangle a little wider, so every texel the blur reads was cleared
    // this frame), and the composite runs over each object's rectangle
    // alone (the cabinet close up at one side and an item across the room
    // leave the picture between them out). Objects all off screen leave only
    // their lit drawing below.
    const std::vector<PixelRect> rects =
        pictureShortcuts ? glowRectangles(level, visibility_, frameWidth_, frameHeight_)
                         : std::vector<PixelRect>{PixelRect{0, 0, frameWidth_, frameHeight_}};
    if (!rects.empty()) {
        PixelRect all = rects.front();
        for (const PixelRect& rect : rects) all = bounding(all, rect);
        constexpr int kBlurReachTexels = 3;
        glEnable(GL_SCISSOR_TEST);
        glScissor(all.x0 / 2 - kBlurReachTexels, all.y0 / 2 - kBlurReachTexels,
                  (all.x1 - all.x0) / 2 + 2 * kBlurReachTexels + 1,
                  (all.y1 - all.y0) / 2 + 2 * kBlurReachTexels + 1);

        glBindFramebuffer(GL_READ_FRAMEBUFFER, sceneInWindow_ ? 0 : sceneBuffer.framebuffer);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, glowBuffer.framebuffer);
        glBlitFramebuffer(0, 0, frameWidth_, frameHeight_, 0, 0, glowBuffer.width, glowBuffer.height,
                          GL_DEPTH_BUFFER_BIT, GL_NEAREST);

        glBindFramebuffer(GL_FRAMEBUFFER, glowBuffer.framebuffer);
        glViewport(0, 0, glowBuffer.width, glowBuffer.height);
        glClear(GL_COLOR_BUFFER_BIT);

        glUseProgram(highlightShader->program);
        setVec3(*highlightShader, "highlightColor", kItemGlowColour);
        for (const auto& entry : level.itemsInWorld) {
            Item* item = entry.second.get();
            if (item && !item->used && item->object) {
                drawPassObject(*item->object, *highlightShader, static_cast<int>(DrawMode::Highlight), level);
            }
        }
        setVec3(*highlightShader, "highlightColor", kInteractiveGlowColour);
        for (const auto& entry : level.switches) {
            InteractiveSwitch* zone = entry.second.get();
            if (zone && zone->object) {
                drawPassObject(*zone->object, *highlightShader, static_cast<int>(DrawMode::Highlight), level);
            }
        }
        glUseProgram(0);
        unbindAll();

        bindScene();
        glViewport(0, 0, frameWidth_, frameHeight_);
        // Where a glowing object shows, its lit self covers the glow drawn
        // under it. With a stencil buffer the objects go first and mark their
        // pixels, and the composite (nine reads a pixel) skips those: the same
        // picture, and a large object close up no longer pays for a glow that
        // nothing sees.
        const bool stencilled = sceneStencil_ && pictureShortcuts;
        if (stencilled) {
            glDisable(GL_SCISSOR_TEST);
            glEnable(GL_STENCIL_TEST);
            glStencilFunc(GL_ALWAYS, 1, 0xFF);
            glStencilOp(GL_KEEP, GL_KEEP, GL_REPLACE);
            drawGlowingObjectsLit(level);
            glStencilFunc(GL_NOTEQUAL, 1, 0xFF);
            glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
            bindScene();
            glEnable(GL_SCISSOR_TEST);
        }
        Shader& blur = *scene_.blur;
        glUseProgram(blur.program);
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, glowBuffer.colourTexture);
        applySampling();
        glUniform1i(glGetUniformLocation(blur.program, "windowTex"), 0);
        glUniform2f(blur.getUniformLocation("uShift"), 1.0f / static_cast<float>(glowBuffer.width),
                    1.0f / static_cast<float>(glowBuffer.height));
        glDepthMask(GL_FALSE);
        glBindVertexArray(quadVertexArray);
        for (const PixelRect& rect : rects) {
            glScissor(rect.x0, rect.y0, rect.x1 - rect.x0, rect.y1 - rect.y0);
            glDrawArrays(GL_TRIANGLE_FAN, 0, 4);
        }
        glBindVertexArray(0);
        glDepthMask(GL_TRUE);
        glUseProgram(0);
        glDisable(GL_SCISSOR_TEST);
        if (stencilled) {
            glDisable(GL_STENCIL_TEST);
            return;
        }
    }
    drawGlowingObjectsLit(level);
}

void Renderer::drawGlowingObjectsLit(Level& level) {
    bindScene();
    glViewport(0, 0, frameWidth_, frameHeight_);
    // The objects themselves, lit and textured over their glow; texLights
    // still holds the uniforms the scene pass set.
    Shader& texLights = *scene_.texLights;
    glUseProgram(texLights.program);
    for (const auto& entry : level.itemsInWorld) {
        Item* item = entry.second.get();
        if (item && !item->used && item->object) {
            drawPassObject(*item->object, texLights, static_cast<int>(DrawMode::Normal), level);
        }
    }
    for (const auto& entry : level.switches) {
        InteractiveSwitch* zone = entry.second.get();
        if (zone && zone->object) {
            drawPassObject(*zone->object, texLights, static_cast<int>(DrawMode::Normal), level);
        }
    }
    glUseProgram(0);
    unbindAll();
}

void Renderer::drawHiddenText(Level& level) {
    // Outside the beam the writing is drawn with opacity 0 and changes no
    // pixel, so only the beam's rectangle is drawn; the writing can cover
    // half the screen when the player reads it up close. What hangs under a
    // writing object is drawn lit, beam or not, so such an object is drawn
    // whole.
    const PixelRect beam = beamRectangle(*level.player.flashlight, *level.camera, frameWidth_, frameHeight_);
    glScissor(beam.x0, beam.y0, beam.x1 - beam.x0, beam.y1 - beam.y0);
    Shader& hiddenText = *scene_.hiddenText;
    glUseProgram(hiddenText.program);
    uploadFlashlight(hiddenText, *level.player.flashlight);
    for (const std::shared_ptr<GameObject>& object : level.hiddenTextObjects) {
        if (!object) continue;
        const bool writingOnly = object->children.empty();
        if (writingOnly && beam.empty()) continue;
        if (writingOnly) {
            glEnable(GL_SCISSOR_TEST);
        } else {
            glDisable(GL_SCISSOR_TEST);
        }
        drawPassObject(*object, hiddenText, static_cast<int>(DrawMode::HiddenText), level);
    }
    glDisable(GL_SCISSOR_TEST);
    glUseProgram(0);
}

void Renderer::drawTransparent(Level& level) {
    if (level.transparentObjects.empty()) return;
    const float transparency = GameSettings::instance().transparency ? kGlassTransparency : 1.0f;
    Shader& glass = *scene_.glass;
    glUseProgram(glass.program);
    glUniform1f(glass.getUniformLocation("transparency"), transparency);
    for (const std::shared_ptr<GameObject>& object : level.transparentObjects) {
        if (object) drawPassObject(*object, glass, static_cast<int>(DrawMode::Glass), level);
    }
    glUseProgram(0);
}

void Renderer::drawMonster(Level& level) {
    // The monster's skinned model draws itself with the skinning program,
    // lit and fogged like the house.
    if (!level.enemy) return;
    // Skinning its few thousand vertices costs milliseconds on a software
    // rasteriser even when nothing of it is seen; with culling on, a monster
    // wholly outside the view is not drawn. Its clock runs on regardless.
    const glm::vec3 feet(level.enemy->model.modelMatrix[3]);
    const float reach = 3.5f;   // arms and stride around the origin
    const float height = 6.5f;  // about 5.5 tall, with room to spare
    const float monsterBounds[6] = {feet.x - reach, feet.y - 0.5f,   feet.z - reach,
                                    feet.x + reach, feet.y + height, feet.z + reach};
    if (GameSettings::instance().frustumCulling &&
        level.frustum.testBox(monsterBounds) == FrustumTest::Outside) {
        return;
    }
    if (!visibility_.boxVisible(monsterBounds)) {
        ++visibility_.counts().passOccluded;
        return;
    }
    Shader& skinning = *scene_.skinning;
    glUseProgram(skinning.program);
    uploadLightBlock(skinning, level.lights, level.ambient, level.camera->view);
    glEnable(GL_DEPTH_TEST);
    SkinnedModel& model = level.enemy->model;
    Shader* const own = model.shader;
    if (own == skinningShader.get()) model.shader = &skinning;
    model.draw();
    model.shader = own;
    glUseProgram(0);
}

void Renderer::drawLoadingOverlay(const std::string& key) {
    glClear(GL_COLOR_BUFFER_BIT);
    glUseProgram(messageShader->program);
    glDisable(GL_DEPTH_TEST);
    HUD::instance().drawMessage(key, *messageShader);
    glEnable(GL_DEPTH_TEST);
    glUseProgram(0);
}

void Renderer::drawGameOverOverlay(const std::string& key,
                                   const std::vector<std::shared_ptr<Button>>& buttons) {
    // The lose screen hides the scene; the win screen is drawn over it.
    if (key == "LOST") glClear(GL_COLOR_BUFFER_BIT);
    glUseProgram(messageShader->program);
    glDisable(GL_DEPTH_TEST);
    // The message program writes opacity 1, so blending would give back the
    // image's own colour: without it llvmpipe need not read the picture
    // under the panel and the buttons.
    glDisable(GL_BLEND);
    HUD::instance().drawGameOver(key, *messageShader, buttons);
    glEnable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glUseProgram(0);
}

void Renderer::drawInventoryOverlay(const std::map<std::string, Item*>& inventory) {
    glUseProgram(hudShader->program);
    glDisable(GL_DEPTH_TEST);
    int count = 0;
    for (const auto& entry : inventory) {
        if (entry.second && !entry.second->used) ++count;
    }
    HUD::instance().drawIcons(inventory, count, *hudShader);
    glEnable(GL_DEPTH_TEST);
    glUseProgram(0);
}

void Renderer::drawStatsOverlay() {
    const GameSettings& settings = GameSettings::instance();
    glUseProgram(fontShader->program);
    glDisable(GL_DEPTH_TEST);
    std::vector<std::string> lines{"FPS:" + std::to_string(settings.fps),
                                   "CULLED:" + std::to_string(settings.culledCount)};
    // What the visibility stage left out besides, while it is switched on.
    if (settings.occlusionCulling)
        lines.push_back("OCCLUDED:" + std::to_string(visibility_.counts().occluded));
    HUD::instance().drawText(lines, *fontShader);
    glEnable(GL_DEPTH_TEST);
    glUseProgram(0);
}

}  // namespace vestrel
