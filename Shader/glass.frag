#version 330 core
// "transparency" is the opacity: 0.35 with the transparency switch on, 1.0 off.
// Glass takes no light of its own; in the dark house it shows a faint sheen
// (GLASS_SHADE of its texture) over what lies behind.

const float GLASS_SHADE = 0.3;

#ifdef VIGNETTE
// The warning's vignette, folded into this pass while it shows (the
// renderer's vignetted twin of this program): 2 / width, 2 / height, the
// clear radius and 1 / (dark radius - clear radius), as PlayHud draws it.
uniform vec4 vignette;
uniform float vignetteStrength;
#endif
uniform sampler2D tex;
uniform float transparency;

in vec2 vUv;

out vec4 fragColor;

void main() {
    fragColor = vec4(texture(tex, vUv).rgb * GLASS_SHADE, transparency);
#ifdef VIGNETTE
    vec2 fromMiddle = gl_FragCoord.xy * vignette.xy - 1.0;
    float t = clamp((length(fromMiddle) - vignette.z) * vignette.w, 0.0, 1.0);
    fragColor.rgb *= 1.0 - vignetteStrength * t * t * (3.0 - 2.0 * t);
#endif
}
