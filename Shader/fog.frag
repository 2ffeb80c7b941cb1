#version 330 core
// Same curve as texLights: exponential-squared, about 95% at 60 units,
// toward the fog colour dimmed to the house's darkness.

const float FOG_DENSITY = 0.035;
const float FOG_SHADE = 0.15;

uniform vec3 fogColor;
uniform int fogEnabled;

in vec3 vViewPosition;

out vec4 fragColor;

void main() {
    float k = FOG_DENSITY * length(vViewPosition);
    float amount = fogEnabled != 0 ? 1.0 - exp2(-k * k) : 0.0;
    fragColor = vec4(fogColor * FOG_SHADE, amount);
}
