#include "app/MenuNavigator.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <cmath>

namespace vestrel {

MenuCommand menuCommandForKey(int key, int action) {
    const bool pressed = action == GLFW_PRESS;
    const bool held = pressed || action == GLFW_REPEAT;
    switch (key) {
        case GLFW_KEY_UP:
            return held ? MenuCommand::Up : MenuCommand::None;
        case GLFW_KEY_DOWN:
            return held ? MenuCommand::Down : MenuCommand::None;
        case GLFW_KEY_LEFT:
            return held ? MenuCommand::Left : MenuCommand::None;
        case GLFW_KEY_RIGHT:
            return held ? MenuCommand::Right : MenuCommand::None;
        case GLFW_KEY_ENTER:
        case GLFW_KEY_KP_ENTER:
        case GLFW_KEY_SPACE:
            return pressed ? MenuCommand::Press : MenuCommand::None;
        case GLFW_KEY_ESCAPE:
            return pressed ? MenuCommand::Back : MenuCommand::None;
        default:
            return MenuCommand::None;
    }
}

MenuCommand padDirection(const GamepadState& reading) {
    if (reading.buttons & kPadDpadUp) return MenuCommand::Up;
    if (reading.buttons & kPadDpadDown) return MenuCommand::Down;
    if (reading.buttons & kPadDpadLeft) return MenuCommand::Left;
    if (reading.buttons & kPadDpadRight) return MenuCommand::Right;
    const float x = static_cast<float>(reading.thumbLX) / 32768.0f;
    const float y = static_cast<float>(reading.thumbLY) / 32768.0f;
    if (std::max(std::fabs(x), std::fabs(y)) < MenuNavigator::kStickPush) return MenuCommand::None;
    if (std::fabs(y) >= std::fabs(x)) return y > 0.0f ? MenuCommand::Up : MenuCommand::Down;
    return x > 0.0f ? MenuCommand::Right : MenuCommand::Left;
}

void MenuNavigator::reset(int count, int focus) {
    count_ = count;
    focus_ = focus >= 0 && focus < count ? focus : -1;
    keyLed_ = focus_ >= 0;
    anchorPending_ = keyLed_;
    padSeeded_ = false;
}

void MenuNavigator::focusByKey(int item) {
    if (item < 0 || item >= count_) return;
    focus_ = item;
    keyLed_ = true;
    anchorPending_ = true;
}

void MenuNavigator::step(int delta, int start) {
    if (count_ <= 0) return;
    const int target = focus_ < 0 ? start : std::clamp(focus_ + delta, 0, count_ - 1);
    focusByKey(target);
}

bool MenuNavigator::pointerLeads(double x, double y) {
    if (anchorPending_) {
        anchorPending_ = false;
        keyPointerX_ = x;
        keyPointerY_ = y;
    }
    if (keyLed_ && (x != keyPointerX_ || y != keyPointerY_)) keyLed_ = false;
    return !keyLed_;
}

void MenuNavigator::pointerOver(int item, double x, double y) {
    if (!pointerLeads(x, y)) return;
    focus_ = item >= 0 && item < count_ ? item : -1;
}

MenuCommand MenuNavigator::padCommand(const GamepadState& reading) {
    const MenuCommand direction = padDirection(reading);
    if (!padSeeded_) {
        // Whatever is held when the menu opens (the Start that opened it, the
        // A of a jump) must be let go before it counts.
        padSeeded_ = true;
        padButtons_ = reading.buttons;
        padDirection_ = direction;
        return MenuCommand::None;
    }
    const std::uint16_t pressed = static_cast<std::uint16_t>(reading.buttons & ~padButtons_);
    padButtons_ = reading.buttons;
    const MenuCommand previous = padDirection_;
    padDirection_ = direction;
    if (pressed & kPadA) return MenuCommand::Press;
    if (pressed & kPadB) return MenuCommand::Back;
    if (pressed & kPadStart) return MenuCommand::Start;
    return direction != previous ? direction : MenuCommand::None;
}

}  // namespace vestrel
