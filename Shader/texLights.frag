#version 330 core
// Light work is split for software rasterisers (Mesa llvmpipe on two cores
// must hold 60 fps at 1280 x 720). llvmpipe runs both sides of every branch
// and every loop iteration for all pixels of a block, so per-pixel cost grows
// with each light looked at, whatever its type or state. Therefore:
//   - lights[0] is lit per pixel. The game puts the flashlight there, a
//     narrow cone that must stay round and sharp on any wall;
//   - lights[1..] (the dim room lights: point, directional and ceiling spots)
//     are Blinn-Phong per vertex in texLights.vert and arrive interpolated.
// Both use the same Blinn-Phong terms: attenuation 1 / (c + l d + q d^2),
// cone fall-off smoothstep(outer, inner, cos), specular exponent 32.
// Fog: exponential-squared by distance from the eye, worked out per vertex,
// toward "fogColor" dimmed to the house's darkness (FOG_SHADE): far things
// sink into the dark instead of greying over. Light above KNEE rolls off
// toward white without reaching it, so a wall lit close up by the flashlight
// keeps its texture instead of burning out.

const int MAX_LIGHTS = 16;
const float FOG_SHADE = 0.15;
const float KNEE = 0.8;

struct Light {
    int enabled;
    int type;
    vec3 intensity;
    vec3 position;
    float constAttenuation;
    float linearAttenuation;
    float quadraticAttenuation;
    vec3 coneDirection;
    float coneInnerAngle;
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
uniform vec3 fogColor;
uniform Light lights[MAX_LIGHTS];

in vec3 vToLight0;
in vec3 vWorldNormal;
in vec3 vToEye;
in vec2 vUv;
in vec3 vVertexDiffuse;
in vec3 vVertexSpecular;
in float vFog;
flat in vec4 vLight0Attenuation;
flat in vec3 vLight0Cone;
flat in vec2 vLight0ConeRange;

out vec4 fragColor;

float shininess32(float x) {
    x *= x;
    x *= x;
    x *= x;
    x *= x;
    return x * x;
}

vec3 rollOff(vec3 c) {
    vec3 over = max(c - KNEE, 0.0);
    return min(c, KNEE) + over / (1.0 + over / (1.0 - KNEE));
}

void main() {
#ifdef WITHOUT_LIGHT0
    // The variant for surfaces lights[0] cannot reach (outside its cone, or
    // with it off): its terms would add exactly zero, so they are left out.
    vec3 diffuse = vVertexDiffuse;
    vec3 specular = vVertexSpecular;
#else
    vec3 n = normalize(vWorldNormal);
    vec3 v = normalize(vToEye);

    // lights[0] without branches: the vertex stage turned its kind and state
    // into attenuation terms and a cone that are neutral where they do not
    // apply (a directional light: terms (1, 0, 0), a constant vToLight0).
    float d2 = dot(vToLight0, vToLight0);
    float inverseD = inversesqrt(max(d2, 1e-8));
    vec3 l = vToLight0 * inverseD;
    float d = d2 * inverseD;
    float attenuation = vLight0Attenuation.w / max(vLight0Attenuation.x + vLight0Attenuation.y * d +
                                                       vLight0Attenuation.z * d2,
                                                   1e-3);
    float edge = clamp((dot(-l, vLight0Cone) - vLight0ConeRange.x) * vLight0ConeRange.y, 0.0, 1.0);
    attenuation *= edge * edge * (3.0 - 2.0 * edge);
    float nDotL = dot(n, l);
    vec3 light0 = lights[0].intensity * attenuation;
    vec3 h = normalize(l + v);
    vec3 diffuse = vVertexDiffuse + light0 * max(nDotL, 0.0);
    vec3 specular = vVertexSpecular + light0 * (0.25 * float(nDotL > 0.0) * shininess32(max(dot(n, h), 0.0)));
#endif

    vec3 colour = rollOff(texture(tex, vUv).rgb * diffuse + specular);
    fragColor = vec4(mix(colour, fogColor * FOG_SHADE, vFog), 1.0);
#ifdef VIGNETTE
    vec2 fromMiddle = gl_FragCoord.xy * vignette.xy - 1.0;
    float t = clamp((length(fromMiddle) - vignette.z) * vignette.w, 0.0, 1.0);
    fragColor.rgb *= 1.0 - vignetteStrength * t * t * (3.0 - 2.0 * t);
#endif
}
