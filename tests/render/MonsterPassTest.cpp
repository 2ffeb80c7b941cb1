// The renderer's monster pass: the monster drawn into the frame through the
// whole pipeline, and skipped only when it is wholly out of view.

#include <gtest/gtest.h>

#include <memory>

#include "FrameTestScene.h"
#include "app/GameSettings.h"
#include "audio/SoundSystem.h"
#include "enemy/Enemy.h"
#include "level/Level.h"
#include "play/Camera.h"
#include "render/MonsterTextures.h"
#include "render/Renderer.h"
#include "support/GlTestContext.h"

namespace vestrel {
namespace {

class MonsterPassTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ctx.ok());
        // The camera at the origin looks along +x; screen right is +z.
        test::setUpFrameScene(ctx.width(), ctx.height(), renderer, level);
        level->ambient = glm::vec3(1.0f);
        level->enemy = std::make_unique<Enemy>();
        level->enemy->load(level->lights, level->camera.get(), renderer.skinningShader.get());
    }
    void TearDown() override {
        test::forgetMonsterTextures();
        level.reset();
        SoundSystem::instance().releaseAll();
        renderer.cleanup();
        GameSettings::instance() = GameSettings{};
    }

    // Feet 10 units ahead and 2.75 below the eye, `side` units to the right.
    void placeMonster(float side) {
        level->enemy->model.modelMatrix[3] = glm::vec4(10.0f, -2.75f, side, 1.0f);
    }
    // Pixels of the monster (anything but the black clear) in columns [x0, x1).
    int monsterPixels(int x0, int x1) {
        renderer.render(*level);
        const std::vector<std::uint8_t> pixels = ctx.readPixels();
        int count = 0;
        for (int y = 0; y < ctx.height(); ++y)
            for (int x = x0; x < x1; ++x) {
                const std::uint8_t* p = &pixels[(static_cast<std::size_t>(y) * ctx.width() + x) * 4];
                count += p[0] + p[1] + p[2] > 30;
            }
        return count;
    }

    test::GlTestContext ctx{256, 256};
    Renderer renderer;
    std::unique_ptr<Level> level;
};

TEST_F(MonsterPassTest, DrawnAheadAndAtTheEdgeOfTheViewButNotBehind) {
    placeMonster(0.0f);
    const int ahead = monsterPixels(0, 256);
    EXPECT_GT(ahead, 1000);  // 5.5 of the 11.5 units of view height, textured and lit

    // The origin just past the right edge (the view is 5.77 units wide on
    // each side at 10 ahead): its body still reaches in, so it is drawn.
    placeMonster(6.0f);
    EXPECT_GT(monsterPixels(246, 256), 20);
    GameSettings::instance().frustumCulling = false;
    EXPECT_GT(monsterPixels(246, 256), 20);
    GameSettings::instance().frustumCulling = true;

    // Behind the camera nothing of it shows, culled or not.
    level->enemy->model.modelMatrix[3] = glm::vec4(-10.0f, -2.75f, 0.0f, 1.0f);
    EXPECT_EQ(monsterPixels(0, 256), 0);
}

}  // namespace
}  // namespace vestrel
