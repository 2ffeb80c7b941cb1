#version 330 core
// The monster, lit, rolled off and fogged exactly like texLights.frag
// (lights[0], the flashlight, per pixel; the others arrive from the vertex
// stage).

const int MAX_LIGHTS = 16;
const int POINT = 0;
const int DIRECTIONAL = 1;
const int SPOT = 2;
const float FOG_DENSITY = 0.035;
const float FOG_SHADE = 0.15;
const float KNEE = 0.8;
const float UNTEXTURED = 0.7;  // grey of a part without a texture

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
uniform int useTexture;  // 0: the part is drawn in plain grey
uniform vec3 fogColor;
uniform int fogEnabled;
uniform int numLights;
uniform Light lights[MAX_LIGHTS];

in vec3 vToLight0;
in vec3 vWorldNormal;
in vec3 vToEye;
in vec2 vTexCoord;
in vec3 vVertexDiffuse;
in vec3 vVertexSpecular;

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
    vec3 n = normalize(vWorldNormal);
    float eyeDistance = length(vToEye);
    vec3 v = vToEye / max(eyeDistance, 1e-4);

    // lights[0], written without branches: every term is computed and the
    // kind picks which apply.
    int type = lights[0].type;
    float switchedOn = float(numLights > 0 && lights[0].enabled != 0 && type >= POINT && type <= SPOT);
    float directional = float(type == DIRECTIONAL);
    float d = length(vToLight0);
    vec3 l = mix(vToLight0 / max(d, 1e-4), -normalize(lights[0].position), directional);
    float attenuation = mix(1.0 / max(lights[0].constAttenuation + lights[0].linearAttenuation * d +
                                          lights[0].quadraticAttenuation * d * d,
                                      1e-3),
                            1.0, directional);
    float cone = smoothstep(lights[0].coneOuterAngle, max(lights[0].coneInnerAngle, lights[0].coneOuterAngle + 1e-4),
                            dot(-l, normalize(lights[0].coneDirection)));
    attenuation *= switchedOn * mix(1.0, cone, float(type == SPOT));
    vec3 h = normalize(l + v);
    vec3 diffuse = vVertexDiffuse + lights[0].intensity * (max(dot(n, l), 0.0) * attenuation);
    vec3 specular = vVertexSpecular + lights[0].intensity * (0.25 * attenuation * float(dot(n, l) > 0.0) *
                                                             shininess32(max(dot(n, h), 0.0)));

    vec3 base = mix(vec3(UNTEXTURED), texture(tex, vTexCoord).rgb, float(useTexture != 0));
    vec3 colour = rollOff(base * diffuse + specular);
    float k = FOG_DENSITY * eyeDistance;
    float fog = float(fogEnabled != 0) * (1.0 - exp2(-k * k));
    fragColor = vec4(mix(colour, fogColor * FOG_SHADE, fog), 1.0);
#ifdef VIGNETTE
    vec2 fromMiddle = gl_FragCoord.xy * vignette.xy - 1.0;
    float t = clamp((length(fromMiddle) - vignette.z) * vignette.w, 0.0, 1.0);
    fragColor.rgb *= 1.0 - vignetteStrength * t * t * (3.0 - 2.0 * t);
#endif
}
