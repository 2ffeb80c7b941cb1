#version 330 core
// Glow composite over the full frame from the half-size silhouette image.
//
// Software rasterisers pay for every filtered tap on every pixel, and the
// renderer applies the game's texture sampling mode (anisotropic included) to
// this image; unfiltered texelFetch taps cost the same in every mode. Nine
// taps on a 3 x 3 grid two glow texels apart (four screen pixels) give a soft
// halo a few pixels wide. Pixels the glow does not reach get opacity 0,
// keeping the scene under them exactly as it was.

#ifdef VIGNETTE
// The warning's vignette, folded into this pass while it shows (the
// renderer's vignetted twin of this program): 2 / width, 2 / height, the
// clear radius and 1 / (dark radius - clear radius), as PlayHud draws it.
uniform vec4 vignette;
uniform float vignetteStrength;
#endif
uniform sampler2D windowTex;
uniform vec2 uShift;  // one texel of windowTex in texture coordinates

in vec2 vUv;

out vec4 fragColor;

const int SPACING = 2;

void main() {
    ivec2 last = textureSize(windowTex, 0) - ivec2(1);
    ivec2 centre = ivec2(vUv / uShift);
    vec4 sum = vec4(0.0);
    for (int y = -1; y <= 1; ++y) {
        for (int x = -1; x <= 1; ++x) {
            ivec2 at = clamp(centre + ivec2(x, y) * SPACING, ivec2(0), last);
            // Centre 4, edges 2, corners 1 (out of 16): a small tent filter.
            float weight = float((2 - abs(x)) * (2 - abs(y))) / 16.0;
            sum += texelFetch(windowTex, at, 0) * weight;
        }
    }
    // The silhouettes are opaque colour over transparent black, so the colour
    // is the coverage-weighted average and the coverage is the opacity.
    // Where the glow does not reach, opacity 0 leaves the scene exactly as it
    // was (no discard: with one, llvmpipe would run this program before the
    // stencil test instead of after it).
    float reached = step(0.004, sum.a);
    fragColor = reached * vec4(sum.rgb / max(sum.a, 0.004), min(sum.a * 1.5, 1.0));
#ifdef VIGNETTE
    vec2 fromMiddle = gl_FragCoord.xy * vignette.xy - 1.0;
    float t = clamp((length(fromMiddle) - vignette.z) * vignette.w, 0.0, 1.0);
    fragColor.rgb *= 1.0 - vignetteStrength * t * t * (3.0 - 2.0 * t);
#endif
}
