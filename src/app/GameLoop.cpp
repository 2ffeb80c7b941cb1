#include "app/GameLoop.h"

#include "app/GameState.h"
#include "render/Button.h"

#include <algorithm>

namespace vestrel {

float addFrameTime(float accumulator, float frameTime) {
    return std::min(accumulator + frameTime, kMaxStepBacklog);
}

bool updateFrameRate(float& fpsTimer, int& frameCount, float& fps) {
    if (fpsTimer < 1.0f) {
        return false;
    }
    fps = static_cast<float>(frameCount) / fpsTimer;
    fpsTimer = 0.0f;
    frameCount = 0;
    return true;
}

bool titleNeedsUpdate(float fps, float& shownFps, bool& shown) {
    if (shown && fps == shownFps) return false;
    shown = true;
    shownFps = fps;
    return true;
}

bool placeCursor(int stateId, CursorPosition cursor, int width, int height, CursorPosition& moved) {
    if (stateId == kStatePlay || stateId == kStateLoading) {
        moved = {static_cast<double>(width / 2), static_cast<double>(height / 2)};
        return true;
    }
    // Both axes are clamped together, so a cursor beyond a corner comes back
    // to the corner in one move.
    moved = {std::clamp(cursor.x, 0.0, static_cast<double>(width)),
             std::clamp(cursor.y, 0.0, static_cast<double>(height))};
    return moved.x != cursor.x || moved.y != cursor.y;
}

int buttonsUnderCursor(const std::vector<std::shared_ptr<Button>>& buttons, double cursorX, double cursorY,
                       int windowHeight) {
    const double cy = windowHeight - cursorY;
    int over = 0;
    const int count = std::min(static_cast<int>(buttons.size()), kMaxHoverButtons);
    for (int k = 0; k < count; ++k) {
        const std::shared_ptr<Button>& button = buttons[static_cast<std::size_t>(k)];
        if (button && button->contains(static_cast<float>(cursorX), static_cast<float>(cy))) over |= 1 << k;
    }
    return over;
}

void applyButtonHover(const std::vector<std::shared_ptr<Button>>& buttons, int over) {
    const int count = std::min(static_cast<int>(buttons.size()), kMaxHoverButtons);
    for (int k = 0; k < count; ++k) {
        Button* button = buttons[static_cast<std::size_t>(k)].get();
        if (button == nullptr) continue;
        const bool isOver = (over >> k & 1) != 0;
        if (isOver && button->state == 0) {
            button->state = 1;
        } else if (!isOver && button->state == 1) {
            button->state = 0;
        }
    }
}

void updateButtonHover(const std::vector<std::shared_ptr<Button>>& buttons, double cursorX, double cursorY,
                       int windowHeight) {
    applyButtonHover(buttons, buttonsUnderCursor(buttons, cursorX, cursorY, windowHeight));
}

}  // namespace vestrel
