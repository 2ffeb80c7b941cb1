#pragma once

// Pictures of the game as the play state draws them, for the play tests:
// drawn through the real renderer, read back from the window and saved by the
// game's own screenshot writer under the build folder (play-screens/).

#include <GL/glew.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <glm/glm.hpp>

#include "ScratchFolder.h"
#include "app/Game.h"
#include "app/GameSettings.h"
#include "replay/Screenshot.h"

namespace vestrel::test {

struct Frame {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;  // bottom row first
    glm::ivec3 at(int x, int y) const {
        const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 4;
        return {rgba[i], rgba[i + 1], rgba[i + 2]};
    }
};

// Pixels that differ by more than `tolerance` in some channel.
inline std::vector<glm::ivec2> changedPixels(const Frame& a, const Frame& b, int tolerance = 8) {
    std::vector<glm::ivec2> changed;
    for (int y = 0; y < a.height; ++y) {
        for (int x = 0; x < a.width; ++x) {
            const glm::ivec3 d = glm::abs(a.at(x, y) - b.at(x, y));
            if (d.r > tolerance || d.g > tolerance || d.b > tolerance) changed.push_back({x, y});
        }
    }
    return changed;
}

// Draws the level as the play state does and reads the picture back before
// it is presented. The lights are sent with the view of the frame before, so
// the picture is taken on the second frame drawn from the same place.
inline Frame drawPicture(Game& game, const std::string& name) {
    game.renderer.render(*game.level);
    game.renderer.render(*game.level);
    glFinish();
    Frame frame;
    frame.width = GameSettings::instance().windowWidth;
    frame.height = GameSettings::instance().windowHeight;
    frame.rgba.resize(static_cast<std::size_t>(frame.width) * frame.height * 4);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, frame.width, frame.height, GL_RGBA, GL_UNSIGNED_BYTE, frame.rgba.data());
    // Saved under the build folder (play-screens/), for looking at: written
    // under a name of this process's own and renamed into place whole, so
    // runs side by side never leave half a picture there.
    const char* dir = std::getenv("VESTREL_BUILD_DIR");
    const std::filesystem::path folder =
        dir ? std::filesystem::path(dir) / "play-screens" : std::filesystem::path(scratchFolder());
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    const std::filesystem::path partial = folder / (name + "." + std::to_string(getpid()) + ".part");
    if (saveWindowPicture(partial.string(), frame.width, frame.height)) {
        std::filesystem::rename(partial, folder / (name + ".png"), error);
    }
    return frame;
}

}  // namespace vestrel::test
