// How dark the house is at the default ambient light, and how much the
// flashlight matters: pictures of the real house drawn by the real renderer
// from places a player stands, measured.

#include <gtest/gtest.h>

// Game.h brings GLEW, which must come before GLFW's GL header.
#include "app/Game.h"

#include <cstdio>
#include <string>

#include <glm/glm.hpp>

#include <btBulletCollisionCommon.h>

#include "PlayPicture.h"
#include "PlayingGame.h"
#include "PuzzleRoute.h"
#include "level/Level.h"
#include "physics/CapsuleController.h"
#include "physics/ControllerRecord.h"
#include "physics/PhysicsActor.h"
#include "physics/PhysicsWorld.h"
#include "play/Camera.h"
#include "render/Light.h"

namespace vestrel {
namespace {

using test::Frame;

constexpr float kDefaultAmbient = 0.1f;
constexpr float kWallDistance = 1.5f;

// Mean of (r + g + b) / 3 over a rectangle of the picture, 0 to 1.
double meanBrightness(const Frame& frame, int x0, int y0, int x1, int y1) {
    double sum = 0.0;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            const glm::ivec3 c = frame.at(x, y);
            sum += (c.r + c.g + c.b) / (3.0 * 255.0);
        }
    }
    return sum / (static_cast<double>(x1 - x0) * (y1 - y0));
}
double meanBrightness(const Frame& frame) { return meanBrightness(frame, 0, 0, frame.width, frame.height); }

// The share of pixels burnt to pure white.
double whiteShare(const Frame& frame) {
    int white = 0;
    for (int y = 0; y < frame.height; ++y) {
        for (int x = 0; x < frame.width; ++x) {
            const glm::ivec3 c = frame.at(x, y);
            if (c.r == 255 && c.g == 255 && c.b == 255) ++white;
        }
    }
    return static_cast<double>(white) / (frame.width * frame.height);
}

struct View {
    const char* name;
    glm::vec2 at;  // world x, z of the player
    float yaw;     // degrees
    float pitch;
};

const View kViews[] = {
    {"spawn", {0.0f, 0.0f}, 0.0f, 0.0f},           // the door to the back of the house
    {"living_room", {2.0f, 3.0f}, 180.0f, -5.0f},  // the TV and the shelf
    {"kitchen", {-3.0f, -6.5f}, 250.0f, -5.0f},   {"bedroom", {-3.0f, 11.5f}, 110.0f, -5.0f},
    {"corridor", {9.0f, -9.0f}, 65.0f, -5.0f},     // along it and onto its east wall
    {"bathroom", {25.0f, -11.5f}, 190.0f, -5.0f},  // the sink's side
};

class HouseLightingTest : public test::HouseInPlayTest {
protected:
    void SetUp() override {
        HouseInPlayTest::SetUp();
        if (HasFatalFailure()) return;
        game->level->ambient = glm::vec3(kDefaultAmbient);
    }

    // How far the view reaches from the eye before it meets something solid.
    float distanceAhead() {
        const Camera& camera = *game->level->camera;
        const glm::vec3 from = camera.position;
        const glm::vec3 to = from + camera.direction() * 50.0f;
        struct SolidOnly : btCollisionWorld::ClosestRayResultCallback {
            using ClosestRayResultCallback::ClosestRayResultCallback;
            bool needsCollision(btBroadphaseProxy* proxy) const override {
                const PhysicsActor* actor =
                    PhysicsActor::fromObject(static_cast<const btCollisionObject*>(proxy->m_clientObject));
                return actor != nullptr && actor->role() == PhysicsActor::Role::Solid;
            }
        } hit(btVector3(from.x, from.y, from.z), btVector3(to.x, to.y, to.z));
        PhysicsWorld::instance().collisionWorld().rayTest(hit.m_rayFromWorld, hit.m_rayToWorld, hit);
        return hit.hasHit() ? hit.m_closestHitFraction * 50.0f : 50.0f;
    }

    // Stands the player at `view` and draws what it sees.
    Frame look(const View& view, const std::string& name) {
        Level& level = *game->level;
        test::PuzzleDriver driver(*game);
        level.player.controller->controller->setPosition({view.at.x, 1.6, view.at.y});
        level.camera->yaw = view.yaw;
        level.camera->pitch = view.pitch;
        driver.standFor(0.25f);
        return test::drawPicture(*game, name);
    }
};

TEST_F(HouseLightingTest, RoomsAreDarkAndTheFlashlightAtLeastDoublesWhatItLights) {
    Light& flashlight = *game->level->player.flashlight;
    for (const View& view : kViews) {
        flashlight.enabled = false;
        const Frame dark = look(view, std::string("lighting_") + view.name);
        flashlight.enabled = true;
        const Frame lit = look(view, std::string("lighting_") + view.name + "_flashlight");
        const double mean = meanBrightness(dark);
        // The middle tenth of the picture each way: the beam's centre.
        const int w = dark.width, h = dark.height;
        const double centreDark = meanBrightness(dark, w * 9 / 20, h * 9 / 20, w * 11 / 20, h * 11 / 20);
        const double centreLit = meanBrightness(lit, w * 9 / 20, h * 9 / 20, w * 11 / 20, h * 11 / 20);
        std::printf("%-12s mean %.3f  centre %.3f -> %.3f (x%.2f)\n", view.name, mean, centreDark, centreLit,
                    centreLit / centreDark);
        SCOPED_TRACE(view.name);
        EXPECT_GE(mean, 0.05);
        EXPECT_LE(mean, 0.10);
        EXPECT_GE(centreLit, 2.0 * centreDark);
    }
}

// Close up, the flashlight's white light rolls off toward white without
// burning the wall out: a wall 1.5 units from the eye keeps its texture.
TEST_F(HouseLightingTest, AWallCloseUpUnderTheFlashlightIsNotBurntWhite) {
    game->level->player.flashlight->enabled = true;
    const View walls[] = {
        {"door", {4.0f, 0.0f}, 0.0f, 0.0f},                // the wooden door of the spawn view
        {"kitchen_wall", {-8.0f, -8.0f}, 90.0f, 0.0f},     // plaster, beside the kitchen's doorway
        {"bathroom_wall", {14.0f, -14.0f}, 180.0f, 0.0f},  // tiles
    };
    for (View wall : walls) {
        SCOPED_TRACE(wall.name);
        // Stepped along the view until the wall ahead is 1.5 from the eye.
        look(wall, "x");
        const glm::vec3 ahead = game->level->camera->direction();
        wall.at += glm::vec2(ahead.x, ahead.z) * (distanceAhead() - kWallDistance);
        const Frame frame = look(wall, std::string("close_") + wall.name);
        ASSERT_NEAR(distanceAhead(), kWallDistance, 0.02);
        const double white = whiteShare(frame);
        std::printf("%-14s white %.4f centre %.3f\n", wall.name, white,
                    meanBrightness(frame, frame.width * 9 / 20, frame.height * 9 / 20, frame.width * 11 / 20,
                                   frame.height * 11 / 20));
        EXPECT_LT(white, 0.01);
    }
}

}  // namespace
}  // namespace vestrel
