// Menus worked with keys, the pad and the mouse: which key or reading means
// what, where the focus goes, and when the pointer takes it back.
#include "app/MenuNavigator.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <vector>

namespace vestrel {
namespace {

TEST(MenuKeys, ArrowsMoveWhileHeldOtherKeysActOnThePressOnly) {
    struct Case {
        int key;
        int action;
        MenuCommand expected;
    };
    const Case cases[] = {
        {GLFW_KEY_UP, GLFW_PRESS, MenuCommand::Up},
        {GLFW_KEY_DOWN, GLFW_REPEAT, MenuCommand::Down},
        {GLFW_KEY_LEFT, GLFW_PRESS, MenuCommand::Left},
        {GLFW_KEY_RIGHT, GLFW_REPEAT, MenuCommand::Right},
        {GLFW_KEY_RIGHT, GLFW_RELEASE, MenuCommand::None},
        {GLFW_KEY_ENTER, GLFW_PRESS, MenuCommand::Press},
        {GLFW_KEY_KP_ENTER, GLFW_PRESS, MenuCommand::Press},
        {GLFW_KEY_SPACE, GLFW_PRESS, MenuCommand::Press},
        {GLFW_KEY_ENTER, GLFW_REPEAT, MenuCommand::None},
        {GLFW_KEY_SPACE, GLFW_RELEASE, MenuCommand::None},
        {GLFW_KEY_ESCAPE, GLFW_PRESS, MenuCommand::Back},
        {GLFW_KEY_ESCAPE, GLFW_REPEAT, MenuCommand::None},
        {GLFW_KEY_W, GLFW_PRESS, MenuCommand::None},
        {GLFW_KEY_E, GLFW_PRESS, MenuCommand::None},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(menuCommandForKey(c.key, c.action), c.expected) << c.key << "/" << c.action;
    }
}

GamepadState pad(std::uint16_t buttons, std::int16_t x = 0, std::int16_t y = 0) {
    GamepadState state;
    state.buttons = buttons;
    state.thumbLX = x;
    state.thumbLY = y;
    return state;
}

TEST(MenuPad, DirectionsFromTheDirectionPadOrAStickPushedPastHalf) {
    struct Case {
        GamepadState reading;
        MenuCommand expected;
    };
    const std::int16_t half = 16384;  // exactly kStickPush of full tilt
    const Case cases[] = {
        {pad(0), MenuCommand::None},
        {pad(kPadDpadUp), MenuCommand::Up},
        {pad(kPadDpadLeft, 0, -32768), MenuCommand::Left},  // the direction pad wins
        {pad(0, 0, half), MenuCommand::Up},
        {pad(0, 0, half - 1), MenuCommand::None},
        {pad(0, 0, -half), MenuCommand::Down},
        {pad(0, half, 0), MenuCommand::Right},
        {pad(0, -32768, 20000), MenuCommand::Left},  // the larger axis
        {pad(0, 20000, 20000), MenuCommand::Up},     // a tie goes to up and down
    };
    for (const Case& c : cases) {
        EXPECT_EQ(padDirection(c.reading), c.expected)
            << c.reading.buttons << " " << c.reading.thumbLX << "," << c.reading.thumbLY;
    }
}

TEST(MenuPad, ActsOnPressesNotWhileHeldAndIgnoresWhatWasHeldWhenTheMenuOpened) {
    MenuNavigator menu;
    menu.reset(2, -1);
    // Open with Start (that opened the pause) and the stick pushed down.
    const std::vector<std::pair<GamepadState, MenuCommand>> readings = {
        {pad(kPadStart, 0, -30000), MenuCommand::None},                                     // held at opening
        {pad(kPadStart, 0, -30000), MenuCommand::None}, {pad(0, 0, 0), MenuCommand::None},  // let go
        {pad(kPadStart), MenuCommand::Start},           {pad(kPadStart | kPadA), MenuCommand::Press},
        {pad(kPadA | kPadB), MenuCommand::Back},  // B newly pressed; A still held
        {pad(0, 0, -30000), MenuCommand::Down},         {pad(0, 0, -20000), MenuCommand::None},  // still down
        {pad(0, 25000, 0), MenuCommand::Right},  // turned to the right without passing the centre
        {pad(kPadA, 25000, 0), MenuCommand::Press},     {pad(0), MenuCommand::None},
    };
    int n = 0;
    for (const auto& [reading, expected] : readings) {
        EXPECT_EQ(menu.padCommand(reading), expected) << "reading " << n;
        ++n;
    }
}

TEST(MenuFocus, KeysStepWithinTheItemsAndAStillPointerDoesNotTakeTheFocusBack) {
    MenuNavigator menu;
    menu.reset(3, -1);
    EXPECT_EQ(menu.focus(), -1);
    // The pointer rests over item 0: it leads and focuses it.
    menu.pointerOver(0, 100, 100);
    EXPECT_EQ(menu.focus(), 0);
    menu.pointerOver(-1, 100, 200);
    EXPECT_EQ(menu.focus(), -1);

    // The first key focuses the starting item, then steps stop at the ends.
    menu.step(1, 2);
    EXPECT_EQ(menu.focus(), 2);
    menu.step(1, 0);
    EXPECT_EQ(menu.focus(), 2);
    menu.step(-1, 0);
    menu.step(-1, 0);
    menu.step(-1, 0);
    EXPECT_EQ(menu.focus(), 0);

    // The pointer has not moved: it is over no item, but the focus stays.
    menu.pointerOver(-1, 100, 200);
    EXPECT_EQ(menu.focus(), 0);
    EXPECT_FALSE(menu.pointerLeads(100, 200));
    // One pixel of motion and it leads again.
    menu.pointerOver(-1, 101, 200);
    EXPECT_EQ(menu.focus(), -1);
    EXPECT_TRUE(menu.pointerLeads(100, 200));

    // Keys may come in a batch before the pointer is looked at again (a
    // pointer freed from the game's grab jumps meanwhile): its place is
    // taken at that next look.
    menu.step(1, 1);
    menu.pointerOver(-1, 300, 300);
    EXPECT_EQ(menu.focus(), 1);
    menu.pointerOver(-1, 300, 301);
    EXPECT_EQ(menu.focus(), -1);

    menu.reset(2, 5);  // out of range: nothing focused
    EXPECT_EQ(menu.focus(), -1);

    // A menu that opens with a focus keeps it wherever the pointer is first
    // seen (a pointer freed from the game's grab jumps), until it moves.
    menu.reset(3, 0);
    menu.pointerOver(-1, 640, 480);
    menu.pointerOver(2, 640, 480);
    EXPECT_EQ(menu.focus(), 0);
    menu.pointerOver(2, 640, 470);
    EXPECT_EQ(menu.focus(), 2);
}

}  // namespace
}  // namespace vestrel
