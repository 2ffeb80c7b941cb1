#include "app/GameLoop.h"

#include "app/GameState.h"
#include "render/Button.h"

#include <algorithm>

namespace vestrel {

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

void updateButtonHover(const std::vector<std::shared_ptr<Button>>& buttons, double cursorX, double cursorY,
                       int windowHeight) {
    const double cy = windowHeight - cursorY;
    for (const std::shared_ptr<Button>& button : buttons) {
        const bool over = button->contains(static_cast<float>(cursorX), static_cast<float>(cy));
        if (over && button->state == 0) {
            button->state = 1;
        } else if (!over && button->state == 1) {
            button->state = 0;
        }
    }
}

}  // namespace vestrel
