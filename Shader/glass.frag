#version 330 core
// "transparency" is the opacity: 0.35 with the transparency switch on, 1.0 off.
// Glass takes no light of its own; in the dark house it shows a faint sheen
// (GLASS_SHADE of its texture) over what lies behind.

const float GLASS_SHADE = 0.3;

uniform sampler2D tex;
uniform float transparency;

in vec2 vUv;

out vec4 fragColor;

void main() {
    fragColor = vec4(texture(tex, vUv).rgb * GLASS_SHADE, transparency);
}
