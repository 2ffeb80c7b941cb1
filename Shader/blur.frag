#version 330 core
// Glow composite: a 9-tap blur of the half-size silhouette image. Each tap
// sits between texels, so with linear filtering it averages four of them and
// nine taps cover an 8 x 8 texel area at little cost. Pixels the glow does
// not reach are discarded, saving their blend.

uniform sampler2D windowTex;
uniform vec2 uShift;  // one texel of windowTex

in vec2 vUv;

out vec4 fragColor;

void main() {
    vec2 near = uShift * 1.5;
    vec2 far = uShift * 3.5;
    vec4 sum = texture(windowTex, vUv) * 0.2;
    sum += (texture(windowTex, vUv + vec2(near.x, near.y)) + texture(windowTex, vUv + vec2(-near.x, near.y)) +
            texture(windowTex, vUv + vec2(near.x, -near.y)) + texture(windowTex, vUv + vec2(-near.x, -near.y))) *
           0.12;
    sum += (texture(windowTex, vUv + vec2(far.x, 0.0)) + texture(windowTex, vUv + vec2(-far.x, 0.0)) +
            texture(windowTex, vUv + vec2(0.0, far.y)) + texture(windowTex, vUv + vec2(0.0, -far.y))) *
           0.08;
    if (sum.a < 0.004) discard;
    // The silhouettes are opaque colour over transparent black, so the colour
    // is the alpha-weighted average; the coverage becomes the opacity.
    fragColor = vec4(sum.rgb / sum.a, min(sum.a * 1.25, 1.0));
}
