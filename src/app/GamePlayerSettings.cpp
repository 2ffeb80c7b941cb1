// The Game's side of the player's settings: applying them to the level, the
// sound and the window, full screen, and pausing when the window loses the
// focus.
#include "app/Game.h"

#include <GLFW/glfw3.h>

#include <glm/vec3.hpp>

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "app/GameSettings.h"
#include "app/GameState.h"
#include "app/Pausestate.h"
#include "audio/SoundSystem.h"
#include "level/Level.h"
#include "play/Camera.h"
#include "replay/DemoSession.h"

namespace vestrel {

int monitorForWindow(const ScreenRect& window, const std::vector<ScreenRect>& monitors) {
    if (monitors.empty()) return -1;
    const int centreX = window.x + window.width / 2;
    const int centreY = window.y + window.height / 2;
    int best = 0;
    long long bestOverlap = -1;
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        const ScreenRect& m = monitors[i];
        if (centreX >= m.x && centreX < m.x + m.width && centreY >= m.y && centreY < m.y + m.height) {
            return static_cast<int>(i);
        }
        const long long w =
            std::max(0, std::min(window.x + window.width, m.x + m.width) - std::max(window.x, m.x));
        const long long h =
            std::max(0, std::min(window.y + window.height, m.y + m.height) - std::max(window.y, m.y));
        if (w * h > bestOverlap) {
            bestOverlap = w * h;
            best = static_cast<int>(i);
        }
    }
    return bestOverlap > 0 ? best : 0;
}

void Game::applyPlayerSettings() {
    const SettingsFile::Values& values = playerSettings;
    if (level != nullptr) {
        level->player.lookSensitivity = values.lookSensitivity;
        level->player.invertLook = values.invertY;
        if (level->camera && level->camera->fieldOfView != values.fieldOfView) {
            level->setFieldOfView(values.fieldOfView);
        }
    }
    // The sound system starts with the first level's set-up; it is not
    // started early for volumes that change nothing.
    if (volumesApplied_ || values.masterVolume != 100.0f || values.effectsVolume != 100.0f) {
        SoundSystem::instance().setVolumes(values.masterVolume / 100.0f, values.effectsVolume / 100.0f);
        volumesApplied_ = true;
    }
}

void Game::settingChanged(SettingsFile::Key key) {
    GameSettings& settings = GameSettings::instance();
    switch (key) {
        case SettingsFile::Key::Brightness:
            settings.ambientLight = glm::vec3(playerSettings.brightness);
            if (level != nullptr) level->ambient = settings.ambientLight;
            break;
        case SettingsFile::Key::Captions:
            settings.captions = playerSettings.captions;
            break;
        case SettingsFile::Key::Fullscreen:
            if (!setFullscreen(playerSettings.fullscreen)) {
                playerSettings.fullscreen = isFullscreen();
                return;
            }
            break;
        default:
            applyPlayerSettings();
            break;
    }
    if (settingsFile != nullptr) settingsFile->remember(playerSettings, key);
}

void Game::saveSettings() {
    if (settingsFile == nullptr) return;
    std::vector<std::string> report;
    settingsFile->save(report);
    for (const std::string& line : report) std::cout << line << std::endl;
}

bool Game::demoHoldsTheRun() const {
    return demo != nullptr && (demo->recording() || !demo->acceptsLiveInput());
}

bool Game::isFullscreen() const { return window != nullptr && glfwGetWindowMonitor(window) != nullptr; }

bool Game::setFullscreen(bool fullscreen) {
    if (window == nullptr) return false;
    if (fullscreen == isFullscreen()) return true;
    if (demoHoldsTheRun()) {
        std::cout << "Full screen stays as it is while a demo is recorded or replayed" << std::endl;
        return false;
    }
    if (fullscreen) {
        glfwGetWindowPos(window, &windowed_.x, &windowed_.y);
        glfwGetWindowSize(window, &windowed_.width, &windowed_.height);
        int count = 0;
        GLFWmonitor** monitors = glfwGetMonitors(&count);
        std::vector<ScreenRect> rects;
        for (int i = 0; i < count; ++i) {
            const GLFWvidmode* mode = glfwGetVideoMode(monitors[i]);
            ScreenRect rect;
            glfwGetMonitorPos(monitors[i], &rect.x, &rect.y);
            rect.width = mode != nullptr ? mode->width : 0;
            rect.height = mode != nullptr ? mode->height : 0;
            rects.push_back(rect);
        }
        const int chosen = monitorForWindow(windowed_, rects);
        if (chosen < 0) {
            std::cout << "Full screen: no monitor found" << std::endl;
            return false;
        }
        GLFWmonitor* monitor = monitors[chosen];
        const GLFWvidmode* mode = glfwGetVideoMode(monitor);
        glfwSetWindowMonitor(window, monitor, 0, 0, mode->width, mode->height, mode->refreshRate);
    } else {
        glfwSetWindowMonitor(window, nullptr, windowed_.x, windowed_.y, std::max(1, windowed_.width),
                             std::max(1, windowed_.height), GLFW_DONT_CARE);
    }
    std::cout << "Full screen: " << (fullscreen ? "ON" : "OFF") << std::endl;
    return true;
}

void Game::toggleFullscreen() {
    playerSettings.fullscreen = !isFullscreen();
    settingChanged(SettingsFile::Key::Fullscreen);
    saveSettings();
}

void Game::windowFocusChanged(bool focused) {
    if (focused) {
        focusLostAt_ = -1.0;
    } else if (!demoHoldsTheRun()) {
        focusLostAt_ = glfwGetTime();
    }
}

void Game::pauseIfFocusStaysAway() {
    if (focusLostAt_ < 0.0 || window == nullptr) return;
    // Grabbing or freeing the pointer makes some window systems take the
    // focus away and give it back at once; only a loss that lasts pauses.
    if (glfwGetWindowAttrib(window, GLFW_FOCUSED) == GLFW_TRUE) {
        focusLostAt_ = -1.0;
        return;
    }
    if (glfwGetTime() - focusLostAt_ < kFocusLossGrace) return;
    focusLostAt_ = -1.0;
    const GameState* state = currentState();
    if (state != nullptr && state->stateId == kStatePlay && !demoHoldsTheRun()) Pausestate::open(this);
}

}  // namespace vestrel
