#version 330 core
// Only drawn while the flashlight is on and blue. The writing is light ink on
// a dark ground: the ink's brightness times the beam's strength at the pixel
// is the opacity, so outside the cone (or out of reach) nothing shows and the
// wall behind stays as it was.

struct Flashlight {
    vec3 position;
    float constAttenuation;
    float linearAttenuation;
    float quadraticAttenuation;
    vec3 coneDirection;
    float coneInnerAngle;  // cosines of the half-angles
    float coneOuterAngle;
};

#ifdef VIGNETTE
// The warning's vignette, folded into this pass while it shows (the
// renderer's vignetted twin of this program): 2 / width, 2 / height, the
// clear radius and 1 / (dark radius - clear radius), as PlayHud draws it.
uniform vec4 vignette;
uniform float vignetteStrength;
#endif
uniform sampler2D tex;
uniform Flashlight flashlight;

in vec3 vWorldPosition;
in vec3 vWorldNormal;
in vec2 vUv;

out vec4 fragColor;

const vec3 INK_TINT = vec3(0.55, 0.75, 1.0);

void main() {
    vec3 toLight = flashlight.position - vWorldPosition;
    float d = length(toLight);
    vec3 l = toLight / max(d, 1e-4);
    float cosAngle = dot(-l, normalize(flashlight.coneDirection));
    float edge = clamp((cosAngle - flashlight.coneOuterAngle) /
                           max(flashlight.coneInnerAngle - flashlight.coneOuterAngle, 1e-4),
                       0.0, 1.0);
    float cone = edge * edge * (3.0 - 2.0 * edge);
    float attenuation = 1.0 / max(flashlight.constAttenuation + flashlight.linearAttenuation * d +
                                      flashlight.quadraticAttenuation * d * d,
                                  1e-3);
    // Both faces of the plane show the writing when lit.
    float facing = abs(dot(normalize(vWorldNormal), l));
    float beam = clamp(cone * attenuation * (0.35 + 0.65 * facing), 0.0, 1.0);

    vec3 ink = texture(tex, vUv).rgb;
    float inkAmount = max(max(ink.r, ink.g), ink.b);
    fragColor = vec4(ink * INK_TINT, inkAmount * beam);
#ifdef VIGNETTE
    vec2 fromMiddle = gl_FragCoord.xy * vignette.xy - 1.0;
    float t = clamp((length(fromMiddle) - vignette.z) * vignette.w, 0.0, 1.0);
    fragColor.rgb *= 1.0 - vignetteStrength * t * t * (3.0 - 2.0 * t);
#endif
}
