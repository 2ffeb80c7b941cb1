#include "app/PauseMenu.h"

#include <cmath>
#include <cstdio>

namespace vestrel {

namespace {

using Key = SettingsFile::Key;

const char* const kMainRows[] = {"RESUME", "SETTINGS", "QUIT"};

const char* label(Key key) {
    switch (key) {
        case Key::LookSensitivity:
            return "SENSITIVITY";
        case Key::InvertY:
            return "INVERT Y";
        case Key::MasterVolume:
            return "MASTER VOLUME";
        case Key::EffectsVolume:
            return "EFFECTS VOLUME";
        case Key::Brightness:
            return "BRIGHTNESS";
        case Key::FieldOfView:
            return "FIELD OF VIEW";
        case Key::Captions:
            return "CAPTIONS";
        case Key::Fullscreen:
            return "FULL SCREEN";
    }
    return "";
}

}  // namespace

void PauseMenu::open() { showPage(Page::Main, kResumeRow); }

void PauseMenu::showPage(Page page, int focus) {
    page_ = page;
    const int count = page == Page::Main ? 3 : SettingsFile::kKeyCount + 1;
    navigator_.reset(count, focus);
}

std::vector<PauseMenu::Row> PauseMenu::rows(const SettingsFile::Values& values) const {
    std::vector<Row> out;
    if (page_ == Page::Main) {
        for (const char* text : kMainRows) out.push_back({text, ""});
        return out;
    }
    for (const SettingsFile::Field& f : SettingsFile::fields()) {
        out.push_back({label(f.key), shownValue(f.key, SettingsFile::get(values, f.key))});
    }
    out.push_back({"BACK", ""});
    return out;
}

bool PauseMenu::settingOfRow(int row, Key& key) const {
    if (page_ != Page::Settings || row < 0 || row >= SettingsFile::kKeyCount) return false;
    key = SettingsFile::fields()[static_cast<std::size_t>(row)].key;
    return true;
}

float PauseMenu::stepped(Key key, float value, int direction, bool wrap) {
    const SettingsFile::Field& f = SettingsFile::field(key);
    if (f.isSwitch) return value >= 0.5f ? 0.0f : 1.0f;
    if (wrap && direction > 0 && value >= f.max) return f.min;
    // On the step's grid, so repeated steps print as the numbers they are.
    const float next = std::round((value + static_cast<float>(direction) * f.step) / f.step) * f.step;
    return next < f.min ? f.min : next > f.max ? f.max : next;
}

std::string PauseMenu::shownValue(Key key, float value) {
    const SettingsFile::Field& f = SettingsFile::field(key);
    if (f.isSwitch) return value >= 0.5f ? "ON" : "OFF";
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", f.decimals, static_cast<double>(value));
    std::string shown = text;
    if (key == Key::MasterVolume || key == Key::EffectsVolume) shown += "%";
    return shown;
}

PauseMenu::Action PauseMenu::press(int row, int direction, SettingsFile::Values& values, Key& changed) {
    Key key{};
    if (settingOfRow(row, key)) {
        const float before = SettingsFile::get(values, key);
        const float after = stepped(key, before, direction, direction > 0);
        if (after == before) return Action::None;
        SettingsFile::set(values, key, after);
        changed = key;
        return Action::Changed;
    }
    if (page_ == Page::Settings) {
        // BACK
        showPage(Page::Main, kSettingsRow);
        return Action::None;
    }
    switch (row) {
        case kResumeRow:
            return Action::Resume;
        case kSettingsRow:
            showPage(Page::Settings, 0);
            return Action::None;
        case kQuitRow:
            return Action::Quit;
        default:
            return Action::None;
    }
}

PauseMenu::Action PauseMenu::command(MenuCommand command, SettingsFile::Values& values, Key& changed) {
    const int last = navigator_.count() - 1;
    switch (command) {
        case MenuCommand::Up:
            navigator_.step(-1, last);
            return Action::None;
        case MenuCommand::Down:
            navigator_.step(1, 0);
            return Action::None;
        case MenuCommand::Left:
        case MenuCommand::Right: {
            Key key{};
            if (!settingOfRow(navigator_.focus(), key)) return Action::None;
            const float before = SettingsFile::get(values, key);
            const float after = stepped(key, before, command == MenuCommand::Right ? 1 : -1, false);
            if (after == before) return Action::None;
            SettingsFile::set(values, key, after);
            changed = key;
            return Action::Changed;
        }
        case MenuCommand::Press:
            if (navigator_.focus() < 0) {
                navigator_.focusByKey(0);
                return Action::None;
            }
            return press(navigator_.focus(), 1, values, changed);
        case MenuCommand::Back:
        case MenuCommand::Start:
            return Action::Resume;
        case MenuCommand::None:
            break;
    }
    return Action::None;
}

PauseMenu::Action PauseMenu::click(int row, int side, SettingsFile::Values& values, Key& changed) {
    if (row < 0 || row >= navigator_.count()) return Action::None;
    Key key{};
    if (settingOfRow(row, key)) {
        const float before = SettingsFile::get(values, key);
        const float after = stepped(key, before, side < 0 ? -1 : 1, false);
        if (after == before) return Action::None;
        SettingsFile::set(values, key, after);
        changed = key;
        return Action::Changed;
    }
    return press(row, 1, values, changed);
}

}  // namespace vestrel
