#version 330 core

uniform sampler2D tex;

in vec2 vUv;

out vec4 fragColor;

void main() {
    fragColor = vec4(texture(tex, vUv).rgb, 1.0);
}
