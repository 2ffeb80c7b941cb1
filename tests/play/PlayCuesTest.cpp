// What the play state puts on screen for the player: prompts, answers, the
// flashlight's hint and icon, captions; their texts, and their course
// through the real play state over the real house.

#include <gtest/gtest.h>

// Game.h brings GLEW, which must come before GLFW's GL header.
#include "app/Game.h"

#include <string>
#include <vector>

#include "ConsoleCapture.h"
#include "PlayingGame.h"
#include "PuzzleRoute.h"
#include "app/GameSettings.h"
#include "level/GameObject.h"
#include "level/Item.h"
#include "play/PlayCues.h"
#include "render/Light.h"

namespace vestrel {
namespace {

TEST(PlayCuesText, PromptsAnswersAndCaptionsNameWhatThePlayerMeets) {
    struct Case {
        const char* target;
        int kind;
        bool pad;
        const char* prompt;
    };
    const Case prompts[] = {
        {"Flashlight_item", 1, false, "E  PICK UP THE FLASHLIGHT"},
        {"can_item", 1, true, "X  PICK UP THE CAN"},
        {"Suzanne_interactive", 2, false, "E  USE THE STATUE"},
        {"Generator_interactive", 2, true, "X  USE THE GENERATOR"},
        {"Old_Chest_interactive", 2, false, "E  USE THE OLD CHEST"},  // not of the house: its base name
        {"Lamp_glow", 0, false, ""},                                  // no target kind: no prompt
    };
    for (const Case& c : prompts)
        EXPECT_EQ(PlayCues::promptFor(c.target, c.kind, c.pad), c.prompt) << c.target;

    EXPECT_EQ(PlayCues::answerFor(InteractOutcome::PickedUp, "Duck_item", ""), "PICKED UP THE DUCK");
    EXPECT_EQ(PlayCues::answerFor(InteractOutcome::Used, "sink_interactive", "Duck_item"),
              "USED THE DUCK ON THE SINK");
    EXPECT_EQ(PlayCues::answerFor(InteractOutcome::MissingItem, "sink_interactive", "Duck_item"),
              "CAN'T INTERACT WITH THAT TARGET.");
    EXPECT_EQ(PlayCues::answerFor(InteractOutcome::AlreadyUsed, "sink_interactive", "Duck_item"),
              "ITEM HAS ALREADY BEEN USED.");
    EXPECT_EQ(PlayCues::answerFor(InteractOutcome::OutOfReach, "sink_interactive", "Duck_item"), "");
    EXPECT_EQ(PlayCues::answerFor(InteractOutcome::Nothing, "", ""), "");

    EXPECT_EQ(PlayCues::growlCaption(Bearing::Behind, true), "GROWLING NEARBY - BEHIND");
    EXPECT_EQ(PlayCues::growlCaption(Bearing::Left, false), "GROWLING FAR OFF - LEFT");
    EXPECT_EQ(PlayCues::soundCaption("engine"), "AN ENGINE COUGHS INTO LIFE");
    EXPECT_EQ(PlayCues::soundCaption("death_scream"), "YOU SCREAM");
    EXPECT_EQ(PlayCues::soundCaption("waterdrip"), "");

    // The flashlight's icon sits after the carried, unused items before it in name order.
    Item banana, duck, flashlight;
    duck.used = true;
    std::map<std::string, Item*> inventory{{"Flashlight_item", &flashlight}};
    EXPECT_EQ(PlayCues::flashlightSlot(inventory), 0);
    inventory["Banana_item"] = &banana;
    inventory["Duck_item"] = &duck;
    EXPECT_EQ(PlayCues::flashlightSlot(inventory), 1);
    inventory.erase("Flashlight_item");
    EXPECT_EQ(PlayCues::flashlightSlot(inventory), -1);
}

class PlayCuesGameTest : public test::HouseInPlayTest {
protected:
    const PlayHudState& shown() const { return game->renderer.hudState; }
};

TEST_F(PlayCuesGameTest, APromptInReachAnAnswerForAMomentAndTheFlashlightsHintAndIcon) {
    Level& level = *game->level;
    test::PuzzleDriver driver(*game);
    driver.step();
    EXPECT_TRUE(shown().crosshair);
    EXPECT_EQ(shown().captions, std::vector<std::string>{"A LOW DRONE HANGS IN THE HOUSE"});
    EXPECT_EQ(shown().flashlightSlot, -1);

    ASSERT_TRUE(driver.walk({0.5f, 0.0f}));
    ASSERT_TRUE(driver.walk({1.5f, -1.8f}));
    driver.lookAt(level.targetObject("Flashlight_item")->boundsCentre());
    EXPECT_EQ(shown().prompt, "E  PICK UP THE FLASHLIGHT");
    // The same place with the pad in hand names its button.
    Playstate::instance().cues.setUsingPad(true);
    driver.step();
    EXPECT_EQ(shown().prompt, "X  PICK UP THE FLASHLIGHT");

    // E (which hands the keys back to the keyboard): the item goes, the
    // console says so and the screen too, and the hint teaches the blue light.
    {
        test::ConsoleCapture console;
        driver.tapE();
        EXPECT_EQ(console.text(), "Picked up item: Flashlight_item\n");
    }
    driver.step();
    EXPECT_EQ(shown().prompt, "");
    EXPECT_EQ(shown().message, "PICKED UP THE FLASHLIGHT");
    ASSERT_EQ(shown().hint.size(), 3u);
    EXPECT_EQ(shown().hint.front(), "LEFT MOUSE BUTTON: BLUE LIGHT");
    EXPECT_EQ(shown().flashlightSlot, 0);
    EXPECT_TRUE(shown().flashlightOn);
    EXPECT_FALSE(shown().flashlightBlue);

    // The answer stays 2.5 s (150 steps, one of them gone already).
    for (int i = 0; i < 148; ++i) driver.step();
    EXPECT_EQ(shown().message, "PICKED UP THE FLASHLIGHT");
    driver.step();
    EXPECT_EQ(shown().message, "");
    // The drone's caption went after 4 s (it showed at the first step).
    for (int i = 0; i < 90; ++i) driver.step();
    EXPECT_TRUE(shown().captions.empty());

    // Blue: the hint has done its work; the icon shows blue, then off.
    Playstate::instance().onMouseButton(GLFW_MOUSE_BUTTON_LEFT, GLFW_RELEASE, 0);
    driver.step();
    EXPECT_TRUE(shown().hint.empty());
    EXPECT_TRUE(shown().flashlightBlue);
    Playstate::instance().onMouseButton(GLFW_MOUSE_BUTTON_RIGHT, GLFW_RELEASE, 0);
    driver.step();
    EXPECT_FALSE(shown().flashlightOn);

    // The statue without the banana: the console's refusal, on screen too.
    ASSERT_TRUE(driver.walk({1.0f, 4.0f}));
    driver.lookAt(level.targetObject("Suzanne_interactive")->boundsCentre());
    EXPECT_EQ(shown().prompt, "E  USE THE STATUE");
    driver.tapE();
    driver.step();
    EXPECT_EQ(shown().message, "CAN'T INTERACT WITH THAT TARGET.");
    EXPECT_TRUE(shown().hint.empty());
}

// The captions are a switch of the settings: off, nothing heard is written;
// on again, what is still sounding comes back.
TEST_F(PlayCuesGameTest, CaptionsFollowTheirSwitch) {
    test::PuzzleDriver driver(*game);
    GameSettings::instance().captions = false;
    driver.step();
    EXPECT_TRUE(shown().captions.empty());
    EXPECT_TRUE(shown().crosshair);
    GameSettings::instance().captions = true;
    driver.step();
    EXPECT_EQ(shown().captions, std::vector<std::string>{"A LOW DRONE HANGS IN THE HOUSE"});
}

}  // namespace
}  // namespace vestrel
