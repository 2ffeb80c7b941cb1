// How the play state routes keys and mouse buttons to the player.

#include "play/Playstate.h"

#include <gtest/gtest.h>

// Game.h brings GLEW, which must come before GLFW's GL header.
#include "app/Game.h"

#include <GLFW/glfw3.h>

#include "ConsoleCapture.h"
#include "level/Level.h"
#include "render/Light.h"

namespace vestrel {
namespace {

class PlaystateInput : public ::testing::Test {
protected:
    test::ConsoleCapture console;  // the Game's farewell lines
    Game game;
    Playstate& play = Playstate::instance();
    Light flashlight = makeFlashlight();
    Game* savedGame = play.game;

    void SetUp() override {
        game.level = std::make_unique<Level>();
        game.running = true;
        play.game = &game;
        player().flashlight = &flashlight;
        player().hasFlashlight = true;
    }
    void TearDown() override { play.game = savedGame; }
    Player& player() { return game.level->player; }
    void key(int k, int action) { play.onKey(k, 0, action, 0, &game); }
};

TEST_F(PlaystateInput, MovementKeysReachThePlayerAndRepeatsAreIgnored) {
    key(GLFW_KEY_W, GLFW_PRESS);
    key(GLFW_KEY_D, GLFW_PRESS);
    EXPECT_EQ(player().forwardInput, 1.0f);
    EXPECT_EQ(player().strafeInput, 1.0f);
    key(GLFW_KEY_S, GLFW_REPEAT);
    EXPECT_EQ(player().forwardInput, 1.0f);
    key(GLFW_KEY_W, GLFW_RELEASE);
    EXPECT_EQ(player().forwardInput, 0.0f);

    player().onGround = true;
    key(GLFW_KEY_SPACE, GLFW_PRESS);
    EXPECT_TRUE(player().jumping);
    key(GLFW_KEY_E, GLFW_PRESS);  // with nothing targeted interaction changes nothing here
    EXPECT_TRUE(game.running);

    key(GLFW_KEY_ESCAPE, GLFW_RELEASE);
    EXPECT_TRUE(game.running);
    key(GLFW_KEY_ESCAPE, GLFW_PRESS);
    EXPECT_FALSE(game.running);
}

TEST_F(PlaystateInput, MouseButtonsSwitchTheFlashlightOnRelease) {
    play.onMouseButton(GLFW_MOUSE_BUTTON_RIGHT, GLFW_PRESS, 0);
    EXPECT_FALSE(flashlight.enabled);
    play.onMouseButton(GLFW_MOUSE_BUTTON_RIGHT, GLFW_RELEASE, 0);
    EXPECT_TRUE(flashlight.enabled);

    play.onMouseButton(GLFW_MOUSE_BUTTON_LEFT, GLFW_PRESS, 0);
    EXPECT_EQ(player().flashlightMode, kFlashlightWhite);
    play.onMouseButton(GLFW_MOUSE_BUTTON_LEFT, GLFW_RELEASE, 0);
    EXPECT_EQ(player().flashlightMode, kFlashlightBlue);
    play.onMouseButton(GLFW_MOUSE_BUTTON_MIDDLE, GLFW_RELEASE, 0);
    EXPECT_EQ(player().flashlightMode, kFlashlightBlue);

    // Switched off, the colour stays as it is; without the item nothing changes.
    play.onMouseButton(GLFW_MOUSE_BUTTON_RIGHT, GLFW_RELEASE, 0);
    play.onMouseButton(GLFW_MOUSE_BUTTON_LEFT, GLFW_RELEASE, 0);
    EXPECT_EQ(player().flashlightMode, kFlashlightBlue);
    player().hasFlashlight = false;
    play.onMouseButton(GLFW_MOUSE_BUTTON_RIGHT, GLFW_RELEASE, 0);
    EXPECT_FALSE(flashlight.enabled);
}

}  // namespace
}  // namespace vestrel
