#include "render/ViewFrustum.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>

#include <glm/gtc/matrix_transform.hpp>
#include <glm/mat4x4.hpp>

#include "app/GameSettings.h"

namespace vestrel {
namespace {

using Bounds = std::array<float, 6>;

Bounds boxAround(const glm::vec3& centre, float halfSize) {
    return {centre.x - halfSize, centre.y - halfSize, centre.z - halfSize,
            centre.x + halfSize, centre.y + halfSize, centre.z + halfSize};
}

// The frustum as the Level builds it for a 4:3 window.
ViewFrustum gameFrustum(const glm::vec3& eye, const glm::vec3& direction) {
    ViewFrustum frustum;
    frustum.setParameters(60.0f, 0.1f, 60.0f, 800.0f / 600.0f);
    frustum.update(eye, direction);
    return frustum;
}

glm::vec3 viewDirection(float pitchDegrees, float yawDegrees) {
    const float p = pitchDegrees * 0.017453292f, y = yawDegrees * 0.017453292f;
    return {std::cos(p) * std::cos(y), std::sin(p), std::cos(p) * std::sin(y)};
}

// Restores the culling switch and the published count a test changed.
class FrustumCounting : public ::testing::Test {
protected:
    void TearDown() override {
        GameSettings::instance().frustumCulling = true;
        GameSettings::instance().culledCount = 0;
    }
};

TEST(ViewFrustum, CornersAndPlanesFollowTheView) {
    const ViewFrustum frustum = gameFrustum(glm::vec3(1.0f, 2.0f, 3.0f), glm::vec3(2.0f, 0.0f, 0.0f));
    const float farHalfHeight = std::tan(0.5235987902f) * 60.0f;
    EXPECT_NEAR(frustum.farHalfWidth, farHalfHeight * 4.0f / 3.0f, 1e-4f);

    // Looking along +x: up is +y, and the right-hand side is +z.
    EXPECT_NEAR(frustum.farCorners[0].x, 61.0f, 1e-4f);                 // top-left
    EXPECT_NEAR(frustum.farCorners[0].y, 2.0f + farHalfHeight, 1e-3f);  // top
    EXPECT_NEAR(frustum.farCorners[0].z, 3.0f - frustum.farHalfWidth, 1e-3f);
    EXPECT_NEAR(frustum.farCorners[3].z, 3.0f + frustum.farHalfWidth, 1e-3f);  // bottom-right
    EXPECT_NEAR(frustum.nearCorners[1].x, 1.1f, 1e-5f);

    // Every plane keeps a point on the view axis inside; the near and far
    // planes face each other along the view direction.
    const glm::vec4 centre(31.0f, 2.0f, 3.0f, 1.0f);
    for (const glm::vec4& plane : frustum.planes) {
        EXPECT_GT(glm::dot(plane, centre), 0.0f);
        EXPECT_NEAR(glm::length(glm::vec3(plane)), 1.0f, 1e-5f);
    }
    EXPECT_NEAR(frustum.planes[4].x, 1.0f, 1e-5f);
    EXPECT_NEAR(frustum.planes[5].x, -1.0f, 1e-5f);
}

TEST(ViewFrustum, BoxTestsAroundTheVolume) {
    const ViewFrustum frustum = gameFrustum(glm::vec3(0.0f), glm::vec3(1.0f, 0.0f, 0.0f));

    EXPECT_EQ(frustum.testBox(boxAround({10.0f, 0.0f, 0.0f}, 1.0f)), FrustumTest::Inside);
    // Wholly behind the eye.
    EXPECT_EQ(frustum.testBox(boxAround({-5.0f, 0.0f, 0.0f}, 1.0f)), FrustumTest::Outside);
    // The eye itself sits in front of the near plane only by 0.1.
    EXPECT_EQ(frustum.testBox(boxAround({0.0f, 0.0f, 0.0f}, 0.04f)), FrustumTest::Outside);
    // Across the left plane (left of a +x view is -z) at distance 10.
    const float halfWidthAt10 = std::tan(0.5235987902f) * 10.0f * 4.0f / 3.0f;
    EXPECT_EQ(frustum.testBox(boxAround({10.0f, 0.0f, -halfWidthAt10}, 0.5f)), FrustumTest::Intersect);
    EXPECT_EQ(frustum.testBox(boxAround({10.0f, 0.0f, -halfWidthAt10 - 2.0f}, 0.5f)), FrustumTest::Outside);
    // Far larger than the whole volume: every plane has corners on both sides.
    EXPECT_EQ(frustum.testBox(Bounds{-500, -500, -500, 500, 500, 500}), FrustumTest::Intersect);
    // Just short of and just beyond the far distance on the view axis.
    EXPECT_EQ(frustum.testBox(Bounds{59.0f, -0.1f, -0.1f, 59.9f, 0.1f, 0.1f}), FrustumTest::Inside);
    EXPECT_EQ(frustum.testBox(Bounds{60.1f, -0.1f, -0.1f, 61.0f, 0.1f, 0.1f}), FrustumTest::Outside);
    EXPECT_EQ(frustum.testBox(Bounds{59.5f, -0.1f, -0.1f, 60.5f, 0.1f, 0.1f}), FrustumTest::Intersect);
}

TEST(ViewFrustum, DirectionLengthDoesNotMatter) {
    const glm::vec3 eye(3.0f, 1.0f, -2.0f);
    const glm::vec3 direction = viewDirection(-20.0f, 135.0f);
    const ViewFrustum unit = gameFrustum(eye, direction);
    const ViewFrustum scaled = gameFrustum(eye, direction * 7.5f);
    for (std::size_t i = 0; i < unit.planes.size(); ++i) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_NEAR(unit.planes[i][c], scaled.planes[i][c], 1e-4f) << "plane " << i;
        }
    }
}

// The geometric frustum must agree with the camera's projection: points well
// inside the clip volume are never culled, points well outside always are.
TEST(ViewFrustum, AgreesWithThePerspectiveProjection) {
    const float aspect = 1280.0f / 720.0f;
    std::mt19937 random(1234);
    std::uniform_real_distribution<float> angle(-80.0f, 80.0f), yawAngle(-180.0f, 180.0f),
        coord(-70.0f, 70.0f);
    int checkedInside = 0, checkedOutside = 0;
    for (int view = 0; view < 20; ++view) {
        const glm::vec3 eye(coord(random) * 0.2f, coord(random) * 0.1f, coord(random) * 0.2f);
        const glm::vec3 direction = viewDirection(angle(random), yawAngle(random));
        ViewFrustum frustum;
        frustum.setParameters(60.0f, 0.1f, 60.0f, aspect);
        frustum.update(eye, direction);
        const glm::mat4 clip = glm::perspective(glm::radians(60.0f), aspect, 0.1f, 60.0f) *
                               glm::lookAt(eye, eye + direction, glm::vec3(0.0f, 1.0f, 0.0f));

        for (int sample = 0; sample < 400; ++sample) {
            const glm::vec3 point = eye + glm::vec3(coord(random), coord(random), coord(random));
            const glm::vec4 c = clip * glm::vec4(point, 1.0f);
            const float depth = glm::dot(glm::normalize(direction), point - eye);
            const bool wellInside = c.w > 0.0f && std::abs(c.x) < 0.9f * c.w && std::abs(c.y) < 0.9f * c.w &&
                                    depth > 1.0f && depth < 59.0f;
            const bool wellOutside =
                c.w <= 0.0f || std::abs(c.x) > 1.2f * c.w || std::abs(c.y) > 1.2f * c.w || depth > 61.0f;
            const FrustumTest result = frustum.testBox(boxAround(point, 0.01f));
            if (wellInside) {
                EXPECT_EQ(result, FrustumTest::Inside) << "view " << view << " sample " << sample;
                ++checkedInside;
            } else if (wellOutside && std::abs(depth) > 0.5f) {
                EXPECT_EQ(result, FrustumTest::Outside) << "view " << view << " sample " << sample;
                ++checkedOutside;
            }
        }
    }
    EXPECT_GT(checkedInside, 50);
    EXPECT_GT(checkedOutside, 1000);
}

TEST(ViewFrustum, VerticalViewStillGivesAUsableVolume) {
    const ViewFrustum up = gameFrustum(glm::vec3(0.0f), glm::vec3(0.0f, 1.0f, 0.0f));
    for (const glm::vec4& plane : up.planes) {
        EXPECT_TRUE(std::isfinite(plane.x) && std::isfinite(plane.y) && std::isfinite(plane.z) &&
                    std::isfinite(plane.w));
    }
    EXPECT_EQ(up.testBox(boxAround({0.0f, 10.0f, 0.0f}, 1.0f)), FrustumTest::Inside);
    EXPECT_EQ(up.testBox(boxAround({0.0f, -10.0f, 0.0f}, 1.0f)), FrustumTest::Outside);
}

TEST_F(FrustumCounting, CullsAndCountsOnlyWhileEnabled) {
    ViewFrustum frustum = gameFrustum(glm::vec3(0.0f), glm::vec3(0.0f, 0.0f, -1.0f));
    const Bounds ahead = boxAround({0.0f, 0.0f, -10.0f}, 1.0f);
    const Bounds behind = boxAround({0.0f, 0.0f, 10.0f}, 1.0f);
    const Bounds straddling = Bounds{-100.0f, -1.0f, -11.0f, 0.0f, 1.0f, -9.0f};

    GameSettings::instance().frustumCulling = true;
    frustum.beginFrame();
    EXPECT_TRUE(frustum.cullingEnabled);
    EXPECT_FALSE(frustum.cull(ahead));
    EXPECT_TRUE(frustum.cull(behind));
    EXPECT_FALSE(frustum.cull(straddling));
    EXPECT_TRUE(frustum.cull(behind));
    frustum.publishCount();
    EXPECT_EQ(GameSettings::instance().culledCount, 2u);

    // A new frame starts from zero; with culling off nothing is culled or counted.
    GameSettings::instance().frustumCulling = false;
    frustum.beginFrame();
    EXPECT_FALSE(frustum.cull(behind));
    EXPECT_EQ(frustum.culledCount, 0);
    frustum.publishCount();
    EXPECT_EQ(GameSettings::instance().culledCount, 0u);
}

}  // namespace
}  // namespace vestrel
