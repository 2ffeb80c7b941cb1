// How the play state routes keys and mouse buttons to the player.

#include "play/Playstate.h"

#include <gtest/gtest.h>

// Game.h brings GLEW, which must come before GLFW's GL header.
#include "app/Game.h"

#include <GLFW/glfw3.h>
#include <glm/geometric.hpp>

#include "ConsoleCapture.h"
#include "PlayingGame.h"
#include "app/Gameoverstate.h"
#include "audio/SoundSystem.h"
#include "level/GameObject.h"
#include "level/Item.h"
#include "level/Level.h"
#include "play/Camera.h"
#include "render/Light.h"
#include "render/Mesh.h"
#include "render/TextureCache.h"

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

TEST_F(PlaystateInput, EInteractsOnPressOnlyNeverOnRepeatOrRelease) {
    auto object = std::make_shared<GameObject>();
    object->mesh = std::make_unique<Mesh>(nullptr, glm::mat4(1.0f), "Duck_item");
    auto duck = std::make_shared<Item>(object.get(), "Duck_item");
    game.level->items["Duck_item"] = duck;
    game.level->itemsInWorld["Duck_item"] = duck;
    auto target = [&] {
        player().targetName = "Duck_item";
        player().targetKind = 1;
    };

    target();
    key(GLFW_KEY_E, GLFW_REPEAT);
    key(GLFW_KEY_E, GLFW_RELEASE);
    EXPECT_TRUE(player().inventory.empty());
    EXPECT_EQ(console.text().find("Picked up item:"), std::string::npos);
    key(GLFW_KEY_E, GLFW_PRESS);
    EXPECT_EQ(player().inventory.count("Duck_item"), 1u);
    EXPECT_NE(console.text().find("Picked up item: Duck_item\n"), std::string::npos);
    EXPECT_FALSE(object->visible);
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

// The play step over the real house, in a real window.
class PlaystateStep : public ::testing::Test {
protected:
    std::unique_ptr<Game> game;

    void SetUp() override {
        game = test::startPlaying();
        ASSERT_EQ(game->currentState(), &Playstate::instance());
    }
    void TearDown() override { test::stopPlaying(game); }
    void step() { Playstate::instance().update(game.get(), 1.0f / 60.0f); }
};

TEST_F(PlaystateStep, ThePlayerLandsInTheHouseAndWalks) {
    Player& player = game->level->player;
    ASSERT_NE(player.controller, nullptr);
    game->cursorX = game->level->camera->centerX;
    game->cursorY = game->level->camera->centerY;
    for (int i = 0; i < 60; ++i) step();
    EXPECT_TRUE(player.onGround);
    const glm::vec3 rest = player.eyePosition;
    EXPECT_EQ(game->level->camera->position, rest);

    player.forwardInput = 1.0f;
    for (int i = 0; i < 10; ++i) step();
    EXPECT_GT(glm::distance(player.eyePosition, rest), 0.5f);
    EXPECT_FALSE(GameSettings::instance().playerCaught);
    EXPECT_EQ(game->currentState(), &Playstate::instance());
}

TEST_F(PlaystateStep, CaughtScreamsOnceAndHandsOverToTheGameOverScreen) {
    GameSettings& settings = GameSettings::instance();
    settings.playerWon = true;  // both in one step: still one game-over state
    settings.playerCaught = true;
    const std::size_t depth = game->states.size();
    step();
    EXPECT_EQ(game->currentState(), &Gameoverstate::instance());
    EXPECT_EQ(game->states.size(), depth + 1);
    EXPECT_TRUE(Playstate::instance().paused);
    SoundSystem& sounds = SoundSystem::instance();
    ASSERT_NE(sounds.findSound("death_scream"), nullptr);
    EXPECT_FALSE(sounds.findSound("death_scream")->loop);
    EXPECT_NE(sounds.channel("death_scream"), AudioChannel());

    step();  // paused underneath the game-over screen
    EXPECT_EQ(game->states.size(), depth + 1);
}

}  // namespace
}  // namespace vestrel
