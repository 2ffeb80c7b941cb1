#version 330 core
// Item icons, opaque.

uniform sampler2D icon;

in vec2 vUv;

out vec4 fragColor;

void main() {
    fragColor = vec4(texture(icon, vUv).rgb, 1.0);
}
