#include "play/DebugKeys.h"

#include <iostream>

#include <GLFW/glfw3.h>

#include "app/GameSettings.h"
#include "audio/SoundSystem.h"

namespace vestrel {

namespace {

constexpr int kSamplingModeCount = 4;

const char* onOff(bool value) { return value ? "ON" : "OFF"; }

// Flips `field` and prints `label` with its new value.
void toggle(bool& field, const char* label) {
    field = !field;
    std::cout << label << onOff(field) << std::endl;
}

}  // namespace

const char* DebugKeys::samplingModeName(int mode) {
    switch (mode) {
        case 0:
            return "NEAREST NEIGHBOR";
        case 1:
            return "BILINEAR";
        case 2:
            return "TRILINEAR";
        case 3:
            return "ANISOTROPIC TRILINEAR";
        default:
            return "UNKNOWN";
    }
}

void DebugKeys::printHelp() {
    std::cout << "---------- HELP -------------" << std::endl;
    std::cout << "F1 - print help" << std::endl;
    std::cout << "F2 - FPS on/off" << std::endl;
    std::cout << "F3 - Wireframe on/off" << std::endl;
    std::cout << "F4 - Texture filtering: Nearest neighbor/Bilinear/Trilinear" << std::endl;
    std::cout << "F5 - Mip maps on/off" << std::endl;
    std::cout << "F6 - Mute/Unmute sound" << std::endl;
    std::cout << "F7 - Fog on/off" << std::endl;
    std::cout << "F8 - View frustum culling on/off" << std::endl;
    std::cout << "F9 - Transparency on/off" << std::endl;
    std::cout << "-----------------------------" << std::endl;
}

bool DebugKeys::handle(int key, GameSettings& settings, SoundSystem& sounds) {
    switch (key) {
        case GLFW_KEY_F1:
            printHelp();
            return true;
        case GLFW_KEY_F2:
            toggle(settings.showFps, "Display FPS: ");
            return true;
        case GLFW_KEY_F3:
            toggle(settings.wireframe, "Display wireframe: ");
            return true;
        case GLFW_KEY_F4: {
            // A mode that is somehow out of range (negative) comes back to 0.
            const int next = (settings.samplingMode + 1) % kSamplingModeCount;
            settings.samplingMode = next < 0 ? 0 : next;
            std::cout << "Using texture sampling quality: " << samplingModeName(settings.samplingMode)
                      << std::endl;
            return true;
        }
        case GLFW_KEY_F5:
            toggle(settings.mipMaps, "Using mip maps: ");
            return true;
        case GLFW_KEY_F6:
            settings.muted = !settings.muted;
            sounds.applyMute();
            std::cout << "Sound is " << (settings.muted ? "MUTED" : "UNMUTED") << std::endl;
            return true;
        case GLFW_KEY_F7:
            toggle(settings.fog, "Fog is ");
            return true;
        case GLFW_KEY_F8:
            toggle(settings.frustumCulling, "View frustum culling: ");
            return true;
        case GLFW_KEY_F9:
            toggle(settings.transparency, "Display transparency: ");
            return true;
        case GLFW_KEY_F10:
            toggle(settings.occlusionCulling, "Occlusion culling: ");
            return true;
        default:
            return false;
    }
}

}  // namespace vestrel
