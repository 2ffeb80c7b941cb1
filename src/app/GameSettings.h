#pragma once

#include <cstdint>
#include <glm/vec3.hpp>

namespace vestrel {

// The process-wide record of options, frame statistics and game-wide flags.
// Plain data: readers and writers touch the fields directly. Created with its
// defaults on first use and kept until exit; a restart only clears the two
// end-of-game flags.
struct GameSettings {
    std::uint32_t culledCount = 0;  // objects the frustum left out last frame
    std::int32_t fps = 0;           // frames in the last full second
    std::int32_t refreshRate = 0;   // Hz, from the command line
    bool playerCaught = false;
    bool playerWon = false;
    glm::vec3 ambientLight{0.0f, 0.0f, 0.0f};
    bool showFps = false;           // F2
    bool wireframe = false;         // F3
    bool frustumCulling = true;     // F8
    bool transparency = true;       // F9
    bool occlusionCulling = true;   // F10: objects hidden behind walls are not drawn
    bool mipMaps = true;            // F5
    bool muted = false;             // F6
    bool fog = true;                // F7
    bool captions = true;           // what is heard, written on screen; no key (the settings menu)
    std::int32_t samplingMode = 3;  // F4: 0 nearest .. 3 anisotropic trilinear
    std::int32_t windowWidth = 0;
    std::int32_t windowHeight = 0;

    // The one record, created on the first call.
    static GameSettings& instance();
};

}  // namespace vestrel
