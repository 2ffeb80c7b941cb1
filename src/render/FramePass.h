#pragma once

#include <array>

namespace vestrel {

// The parts of a frame the counting run times one by one.
enum class FramePass : int {
    Prepare = 0,
    LevelTree,
    Glow,
    HiddenWriting,
    Glass,
    Monster,
    Vignette,
    Overlays
};
inline constexpr int kFramePassCount = static_cast<int>(FramePass::Overlays) + 1;
inline constexpr std::array<const char*, kFramePassCount> kFramePassNames = {
    "clear and visibility", "level tree", "glow", "hidden writing", "glass", "monster", "vignette",
    "icons and text"};

}  // namespace vestrel
