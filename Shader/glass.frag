#version 330 core
// "transparency" is the opacity: 0.35 with the transparency switch on, 1.0 off.

uniform sampler2D tex;
uniform float transparency;

in vec2 vUv;

out vec4 fragColor;

void main() {
    fragColor = vec4(texture(tex, vUv).rgb, transparency);
}
