#version 330 core

uniform vec3 highlightColor;

out vec4 fragColor;

void main() {
    fragColor = vec4(highlightColor, 1.0);
}
