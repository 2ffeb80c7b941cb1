#pragma once

#include <string>
#include <vector>

#include "app/MenuNavigator.h"
#include "app/SettingsFile.h"

namespace vestrel {

// The pause screen's menu as plain logic: its two pages, their rows, and
// what a command does to them and to the settings. The pause state feeds it
// keys, pad readings and clicks and carries out the actions it returns.
//
// Main page: RESUME, SETTINGS, QUIT. Settings page: one row per setting
// (look sensitivity, invert Y, master and effects volume, brightness, field
// of view, captions, full screen), then BACK. Up and Down move between rows;
// on a setting Left and Right step it down and up (a switch flips either
// way) and Press steps it up, from the top back to the bottom; BACK returns
// to the main page. Back (Escape, the pad's B) and Start resume from either
// page.
class PauseMenu {
public:
    enum class Page { Main, Settings };
    enum class Action { None, Resume, Quit, Changed };

    struct Row {
        std::string label;
        std::string value;  // empty for rows that are not settings
    };

    static constexpr int kResumeRow = 0;
    static constexpr int kSettingsRow = 1;
    static constexpr int kQuitRow = 2;

    // The main page with RESUME focused.
    void open();

    Page page() const { return page_; }
    const char* title() const { return page_ == Page::Main ? "PAUSED" : "SETTINGS"; }
    std::vector<Row> rows(const SettingsFile::Values& values) const;
    MenuNavigator& navigator() { return navigator_; }
    const MenuNavigator& navigator() const { return navigator_; }

    // Carries out a command on the focused row. A changed setting is
    // written to `values` and named in `changed`.
    Action command(MenuCommand command, SettingsFile::Values& values, SettingsFile::Key& changed);

    // A click on `row`: on a setting, `side` below 0 steps it down and
    // otherwise up; any other row is pressed.
    Action click(int row, int side, SettingsFile::Values& values, SettingsFile::Key& changed);

    // The row's setting on the settings page; false for BACK and main rows.
    bool settingOfRow(int row, SettingsFile::Key& key) const;

    // A setting stepped `direction` (+1 or -1) steps within its range;
    // `wrap` carries a step past the top to the bottom.
    static float stepped(SettingsFile::Key key, float value, int direction, bool wrap);
    // How the menu shows a value: "ON"/"OFF", or the number with its
    // decimals (volumes with a "%").
    static std::string shownValue(SettingsFile::Key key, float value);

private:
    Action press(int row, int direction, SettingsFile::Values& values, SettingsFile::Key& changed);
    void showPage(Page page, int focus);

    Page page_ = Page::Main;
    MenuNavigator navigator_;
};

}  // namespace vestrel
