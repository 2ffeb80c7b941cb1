#version 330 core
// Full-screen messages and the game-over buttons, opaque.

uniform sampler2D message;

in vec2 vUv;

out vec4 fragColor;

void main() {
    fragColor = vec4(texture(message, vUv).rgb, 1.0);
}
