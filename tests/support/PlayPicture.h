#pragma once

// Pictures of the game as the play state draws them, for the play tests:
// drawn through the real renderer, read back from the window and saved under
// the build folder (play-screens/) for looking at.

#include <GL/glew.h>
#include <IL/il.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <glm/glm.hpp>

#include "app/Game.h"
#include "app/GameSettings.h"

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

// Saves `frame` as <build folder>/play-screens/<name>.png (/tmp without one).
inline void savePicture(const Frame& frame, const std::string& name) {
    const char* dir = std::getenv("VESTREL_BUILD_DIR");
    const std::string folder = std::string(dir ? dir : "/tmp") + "/play-screens";
    if (std::system(("mkdir -p '" + folder + "'").c_str()) != 0) return;
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    ilTexImage(static_cast<ILuint>(frame.width), static_cast<ILuint>(frame.height), 1, 4, IL_RGBA,
               IL_UNSIGNED_BYTE, const_cast<std::uint8_t*>(frame.rgba.data()));
    ilEnable(IL_FILE_OVERWRITE);
    ilSaveImage((folder + "/" + name + ".png").c_str());
    ilDeleteImages(1, &image);
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
    savePicture(frame, name);
    return frame;
}

}  // namespace vestrel::test
