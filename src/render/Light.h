#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>

namespace vestrel {

class Shader;

enum class LightType : std::int32_t { Point = 0, Directional = 1, Spot = 2 };

// One light of the level, or the player's flashlight. Fields a kind does not
// use may hold anything; they are not sent for that kind.
struct Light {
    LightType type = LightType::Point;
    glm::vec3 intensity{0.0f};  // colour; the file's diffuse colour for level lights
    bool enabled = false;       // a disabled light is still sent, with "enabled" 0
    glm::vec3 position{0.0f};   // world position; a directional light's direction
    float constAttenuation = 0.0f;
    float linearAttenuation = 0.0f;
    float quadraticAttenuation = 0.0f;
    glm::vec3 coneDirection{0.0f};  // spot axis
    float coneInnerAngle = 0.0f;    // cosine of the inner half-angle
    float coneOuterAngle = 0.0f;    // cosine of the outer half-angle
};

// The grey that fog blends distant geometry toward (and that the shaders get
// whether or not fog is on).
inline constexpr glm::vec3 kFogColor{0.3f, 0.3f, 0.3f};

// Flashlight colour modes, kept with the player.
inline constexpr int kFlashlightWhite = 0;
inline constexpr int kFlashlightBlue = 1;
inline constexpr glm::vec3 kFlashlightWhiteIntensity{1.0f, 1.0f, 1.0f};
inline constexpr glm::vec3 kFlashlightBlueIntensity{0.0f, 0.0f, 1.0f};

// The player's flashlight as each new Level creates it: a white spot light at
// the origin pointing along +x, 14/24 degree cones, switched off.
Light makeFlashlight();

// Player toggles. Without the flashlight item nothing changes. The colour
// only switches while the light is on; switching it off keeps the colour,
// so it comes back on in the colour it had.
void toggleFlashlight(Light& flashlight, bool hasFlashlight);
void toggleFlashlightColour(Light& flashlight, bool hasFlashlight, int& flashlightMode);

// Sets the uniforms "lights[index].<member>" of light `index` in the program
// in use: "enabled", "type", "intensity", then by kind the position,
// attenuation and cone members. Names the program lacks are reported by the
// Shader and skipped by GL.
void uploadLight(const Shader& shader, int index, const Light& light);

// Sets "flashlight.<member>" (position, attenuation, cone) in the program in
// use; enabled, type and intensity are not sent.
void uploadFlashlight(const Shader& shader, const Light& flashlight);

// The per-frame light block of the lit programs (texLights, skinning):
// "fogColor", "viewMatrix", "fogEnabled" (from the fog switch), "numLights",
// "ambientLight", then every light in list order. No upper limit is applied.
// Lights before `firstLight` are left out (a program built without them
// lacks their names).
void uploadLightBlock(const Shader& shader, const std::vector<std::shared_ptr<Light>>& lights,
                      const glm::vec3& ambient, const glm::mat4& viewMatrix, std::size_t firstLight = 0);

// Whether `light`, lit per pixel the way texLights lights lights[0], can add
// anything to a surface inside the world box `bounds` (min x, y, z, max x,
// y, z). False only where its terms are exactly zero: it is off or of no
// known kind, or it is a spot whose outer cone misses the box (tested with
// the box's bounding sphere, grown a little for rounding). Anything the test
// cannot decide (a cone wider than 80 degrees, no axis) may be reached.
bool lightMayReach(const Light& light, const std::array<float, 6>& bounds);

}  // namespace vestrel
