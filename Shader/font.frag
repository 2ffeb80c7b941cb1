#version 330 core
// Text from the font sheet: light glyphs on a dark ground. The glyph's
// brightness is its opacity, so only the letters cover the picture.

uniform sampler2D font;

in vec2 vUv;

out vec4 fragColor;

void main() {
    vec3 glyph = texture(font, vUv).rgb;
    fragColor = vec4(glyph, max(max(glyph.r, glyph.g), glyph.b));
}
