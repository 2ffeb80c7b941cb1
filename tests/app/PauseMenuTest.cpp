// The pause menu's pages and the settings its rows change.
#include "app/PauseMenu.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vestrel {
namespace {

using Action = PauseMenu::Action;
using Key = SettingsFile::Key;

TEST(PauseMenu, MainPageResumesOpensSettingsAndQuits) {
    PauseMenu menu;
    menu.open();
    SettingsFile::Values values;
    Key changed{};
    ASSERT_EQ(menu.page(), PauseMenu::Page::Main);
    EXPECT_EQ(menu.navigator().focus(), PauseMenu::kResumeRow);
    EXPECT_EQ(menu.command(MenuCommand::Press, values, changed), Action::Resume);

    // Down twice to QUIT; a third Down stays there.
    for (int i = 0; i < 3; ++i) menu.command(MenuCommand::Down, values, changed);
    EXPECT_EQ(menu.navigator().focus(), PauseMenu::kQuitRow);
    EXPECT_EQ(menu.command(MenuCommand::Press, values, changed), Action::Quit);

    // Left and Right change nothing on the main page; Back and Start resume.
    EXPECT_EQ(menu.command(MenuCommand::Right, values, changed), Action::None);
    EXPECT_EQ(values, SettingsFile::Values{});
    EXPECT_EQ(menu.command(MenuCommand::Back, values, changed), Action::Resume);
    EXPECT_EQ(menu.command(MenuCommand::Start, values, changed), Action::Resume);

    // SETTINGS opens the settings page at its first row; BACK returns to
    // SETTINGS on the main page.
    menu.command(MenuCommand::Up, values, changed);
    EXPECT_EQ(menu.command(MenuCommand::Press, values, changed), Action::None);
    ASSERT_EQ(menu.page(), PauseMenu::Page::Settings);
    EXPECT_EQ(menu.navigator().focus(), 0);
    const std::vector<PauseMenu::Row> rows = menu.rows(values);
    ASSERT_EQ(rows.size(), 9u);
    EXPECT_EQ(rows[0].label, "SENSITIVITY");
    EXPECT_EQ(rows[0].value, "0.10");
    EXPECT_EQ(rows[2].value, "100%");
    EXPECT_EQ(rows[7].label, "FULL SCREEN");
    EXPECT_EQ(rows[7].value, "OFF");
    EXPECT_EQ(rows[8].label, "BACK");
    EXPECT_EQ(menu.command(MenuCommand::Back, values, changed), Action::Resume);
    menu.command(MenuCommand::Up, values, changed);  // stays on the first row
    for (int i = 0; i < 10; ++i) menu.command(MenuCommand::Down, values, changed);
    EXPECT_EQ(menu.navigator().focus(), 8);
    EXPECT_EQ(menu.command(MenuCommand::Press, values, changed), Action::None);
    EXPECT_EQ(menu.page(), PauseMenu::Page::Main);
    EXPECT_EQ(menu.navigator().focus(), PauseMenu::kSettingsRow);
}

TEST(PauseMenu, SettingsStepOnTheirGridAndStopAtTheirEnds) {
    struct Case {
        Key key;
        float start;
        MenuCommand command;
        float expected;  // equal to start: no change reported
        const char* shown;
    };
    const Case cases[] = {
        {Key::LookSensitivity, 0.1f, MenuCommand::Right, 0.11f, "0.11"},
        {Key::LookSensitivity, 0.01f, MenuCommand::Left, 0.01f, "0.01"},
        {Key::LookSensitivity, 1.0f, MenuCommand::Right, 1.0f, "1.00"},
        {Key::LookSensitivity, 0.123f, MenuCommand::Left, 0.11f, "0.11"},
        {Key::MasterVolume, 100.0f, MenuCommand::Left, 90.0f, "90%"},
        {Key::EffectsVolume, 0.0f, MenuCommand::Left, 0.0f, "0%"},
        {Key::Brightness, 0.1f, MenuCommand::Right, 0.15f, "0.15"},
        {Key::Brightness, 0.3f, MenuCommand::Left, 0.25f, "0.25"},
        {Key::FieldOfView, 60.0f, MenuCommand::Right, 65.0f, "65"},
        {Key::FieldOfView, 45.0f, MenuCommand::Left, 45.0f, "45"},
        // Press steps up and carries the top back to the bottom.
        {Key::FieldOfView, 90.0f, MenuCommand::Press, 45.0f, "45"},
        {Key::MasterVolume, 50.0f, MenuCommand::Press, 60.0f, "60%"},
        // A switch flips whichever way.
        {Key::InvertY, 0.0f, MenuCommand::Left, 1.0f, "ON"},
        {Key::Captions, 1.0f, MenuCommand::Right, 0.0f, "OFF"},
        {Key::Fullscreen, 0.0f, MenuCommand::Press, 1.0f, "ON"},
    };
    for (const Case& c : cases) {
        const char* name = SettingsFile::field(c.key).name;
        PauseMenu menu;
        menu.open();
        SettingsFile::Values values;
        Key changed{};
        menu.command(MenuCommand::Down, values, changed);
        menu.command(MenuCommand::Press, values, changed);
        for (int row = 0; row < static_cast<int>(c.key); ++row)
            menu.command(MenuCommand::Down, values, changed);
        SettingsFile::set(values, c.key, c.start);
        const SettingsFile::Values before = values;
        changed = Key::Captions == c.key ? Key::LookSensitivity : Key::Captions;
        const Action action = menu.command(c.command, values, changed);
        EXPECT_NEAR(SettingsFile::get(values, c.key), c.expected, 1e-6f) << name;
        EXPECT_EQ(menu.rows(values)[static_cast<std::size_t>(c.key)].value, c.shown) << name;
        if (c.expected == c.start) {
            EXPECT_EQ(action, Action::None) << name;
            EXPECT_EQ(values, before) << name;
        } else {
            EXPECT_EQ(action, Action::Changed) << name;
            EXPECT_EQ(changed, c.key) << name;
        }
    }
}

TEST(PauseMenu, ClicksStepASettingByTheSideClickedAndPressOtherRows) {
    PauseMenu menu;
    menu.open();
    SettingsFile::Values values;
    Key changed{};
    EXPECT_EQ(menu.click(PauseMenu::kQuitRow, -1, values, changed), Action::Quit);
    EXPECT_EQ(menu.click(PauseMenu::kSettingsRow, 1, values, changed), Action::None);
    ASSERT_EQ(menu.page(), PauseMenu::Page::Settings);
    const int fov = static_cast<int>(Key::FieldOfView);
    EXPECT_EQ(menu.click(fov, -1, values, changed), Action::Changed);
    EXPECT_FLOAT_EQ(values.fieldOfView, 55.0f);
    EXPECT_EQ(menu.click(fov, 1, values, changed), Action::Changed);
    EXPECT_EQ(menu.click(fov, 1, values, changed), Action::Changed);
    EXPECT_FLOAT_EQ(values.fieldOfView, 65.0f);
    EXPECT_EQ(changed, Key::FieldOfView);
    EXPECT_EQ(menu.click(99, 1, values, changed), Action::None);
    EXPECT_EQ(menu.click(SettingsFile::kKeyCount, 1, values, changed), Action::None);  // BACK
    EXPECT_EQ(menu.page(), PauseMenu::Page::Main);
}

}  // namespace
}  // namespace vestrel
