#include "render/Light.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <glm/geometric.hpp>
#include <glm/gtc/type_ptr.hpp>

#include "app/GameSettings.h"
#include "render/Shader.h"

namespace vestrel {

namespace {

// Uniform names are formatted into a stack buffer: the light block is sent
// every frame and must not allocate. Long enough for "lights[2147483647]."
// plus the longest member name.
constexpr std::size_t kNameCapacity = 64;

class LightUniforms {
public:
    // "lights[index]." members.
    LightUniforms(const Shader& shader, int index) : shader_(shader) {
        setPrefix(std::snprintf(prefix_, sizeof(prefix_), "lights[%d].", index));
    }
    // "flashlight." members.
    explicit LightUniforms(const Shader& shader) : shader_(shader) {
        setPrefix(std::snprintf(prefix_, sizeof(prefix_), "flashlight."));
    }

    void set(const char* member, int value) { glUniform1i(location(member), value); }
    void set(const char* member, float value) { glUniform1f(location(member), value); }
    void set(const char* member, const glm::vec3& value) {
        glUniform3fv(location(member), 1, glm::value_ptr(value));
    }

private:
    void setPrefix(int written) { prefixLength_ = written > 0 ? static_cast<std::size_t>(written) : 0; }

    GLint location(const char* member) {
        char name[kNameCapacity];
        std::snprintf(name, sizeof(name), "%.*s%s", static_cast<int>(prefixLength_), prefix_, member);
        return shader_.getUniformLocation(name);
    }

    const Shader& shader_;
    char prefix_[kNameCapacity / 2] = {};
    std::size_t prefixLength_ = 0;
};

void setVec3(const Shader& shader, const char* name, const glm::vec3& value) {
    glUniform3fv(shader.getUniformLocation(name), 1, glm::value_ptr(value));
}

}  // namespace

Light makeFlashlight() {
    Light light;
    light.type = LightType::Spot;
    light.intensity = kFlashlightWhiteIntensity;
    light.enabled = false;
    light.position = glm::vec3(0.0f);
    light.constAttenuation = 0.5f;
    light.linearAttenuation = 0.01f;
    light.quadraticAttenuation = 0.008f;
    light.coneDirection = glm::vec3(1.0f, 0.0f, 0.0f);
    light.coneInnerAngle = std::cos(0.2443461f);  // 14 degrees
    light.coneOuterAngle = std::cos(0.4188790f);  // 24 degrees
    return light;
}

void toggleFlashlight(Light& flashlight, bool hasFlashlight) {
    if (hasFlashlight) {
        flashlight.enabled = !flashlight.enabled;
    }
}

void toggleFlashlightColour(Light& flashlight, bool hasFlashlight, int& flashlightMode) {
    if (!hasFlashlight || !flashlight.enabled) {
        return;
    }
    if (flashlightMode == kFlashlightWhite) {
        flashlight.intensity = kFlashlightBlueIntensity;
        flashlightMode = kFlashlightBlue;
    } else if (flashlightMode == kFlashlightBlue) {
        flashlight.intensity = kFlashlightWhiteIntensity;
        flashlightMode = kFlashlightWhite;
    }
}

namespace {

// The members point lights, spot lights and the flashlight share.
void setPositionAndAttenuation(LightUniforms& uniforms, const Light& light) {
    uniforms.set("position", light.position);
    uniforms.set("constAttenuation", light.constAttenuation);
    uniforms.set("linearAttenuation", light.linearAttenuation);
    uniforms.set("quadraticAttenuation", light.quadraticAttenuation);
}

void setCone(LightUniforms& uniforms, const Light& light) {
    uniforms.set("coneDirection", light.coneDirection);
    uniforms.set("coneInnerAngle", light.coneInnerAngle);
    uniforms.set("coneOuterAngle", light.coneOuterAngle);
}

}  // namespace

void uploadLight(const Shader& shader, int index, const Light& light) {
    LightUniforms uniforms(shader, index);
    uniforms.set("enabled", light.enabled ? 1 : 0);
    uniforms.set("type", static_cast<int>(light.type));
    uniforms.set("intensity", light.intensity);
    switch (light.type) {
        case LightType::Point:
            setPositionAndAttenuation(uniforms, light);
            break;
        case LightType::Directional:
            uniforms.set("position", light.position);
            break;
        case LightType::Spot:
            setPositionAndAttenuation(uniforms, light);
            setCone(uniforms, light);
            break;
    }
}

void uploadFlashlight(const Shader& shader, const Light& flashlight) {
    LightUniforms uniforms(shader);
    setPositionAndAttenuation(uniforms, flashlight);
    setCone(uniforms, flashlight);
}

void uploadLightBlock(const Shader& shader, const std::vector<std::shared_ptr<Light>>& lights,
                      const glm::vec3& ambient, const glm::mat4& viewMatrix, std::size_t firstLight) {
    setVec3(shader, "fogColor", kFogColor);
    glUniformMatrix4fv(shader.getUniformLocation("viewMatrix"), 1, GL_FALSE, glm::value_ptr(viewMatrix));
    glUniform1i(shader.getUniformLocation("fogEnabled"), GameSettings::instance().fog ? 1 : 0);
    glUniform1i(shader.getUniformLocation("numLights"), static_cast<int>(lights.size()));
    setVec3(shader, "ambientLight", ambient);
    for (std::size_t index = firstLight; index < lights.size(); ++index) {
        if (lights[index]) {
            uploadLight(shader, static_cast<int>(index), *lights[index]);
        }
    }
}

bool lightMayReach(const Light& light, const std::array<float, 6>& bounds) {
    const int type = static_cast<int>(light.type);
    if (!light.enabled || type < static_cast<int>(LightType::Point) ||
        type > static_cast<int>(LightType::Spot)) {
        return false;
    }
    if (light.type != LightType::Spot) return true;
    // The fall-off is zero where the cosine to the axis is at or below the
    // outer cosine. Cones of 80 degrees and more are not worth the test.
    const float axisLength = glm::length(light.coneDirection);
    const float cosine = light.coneOuterAngle;
    if (!(axisLength > 1e-6f) || !(cosine > 0.17f) || !(cosine <= 1.0f)) return true;
    const glm::vec3 axis = light.coneDirection / axisLength;
    const float sine = std::sqrt(1.0f - cosine * cosine);

    const glm::vec3 low(bounds[0], bounds[1], bounds[2]);
    const glm::vec3 high(bounds[3], bounds[4], bounds[5]);
    const glm::vec3 toCentre = 0.5f * (low + high) - light.position;
    const float along = glm::dot(toCentre, axis);
    const float distanceSquared = glm::dot(toCentre, toCentre);
    const float fromAxis = std::sqrt(std::max(distanceSquared - along * along, 0.0f));
    const float distance = std::sqrt(distanceSquared);
    // The shader's cosine comes from interpolated vectors: a margin of a
    // hundredth of a unit plus a thousandth of the distance covers its rounding.
    const float radius = 0.5f * glm::length(high - low) + 0.01f + 0.001f * distance;
    if (!std::isfinite(radius) || !std::isfinite(distance)) return true;
    // In the plane of the axis and the centre: past the apex's side of the
    // cone's edge the nearest point of the cone is the apex itself, otherwise
    // the edge line.
    if (along * cosine + fromAxis * sine < 0.0f) return distance <= radius;
    return fromAxis * cosine - along * sine <= radius;
}

}  // namespace vestrel
