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
// Fog: exponential-squared toward "fogColor" by distance from the eye,
// about 95% at 60 units (the far plane).

const int MAX_LIGHTS = 16;
const int POINT = 0;
const int DIRECTIONAL = 1;
const int SPOT = 2;
const float FOG_DENSITY = 0.035;

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

uniform sampler2D tex;
uniform vec3 fogColor;
uniform int fogEnabled;
uniform int numLights;
uniform Light lights[MAX_LIGHTS];

in vec3 vToLight0;
in vec3 vWorldNormal;
in vec3 vToEye;
in vec2 vUv;
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

    vec3 colour = texture(tex, vUv).rgb * diffuse + specular;
    float k = FOG_DENSITY * eyeDistance;
    float fog = float(fogEnabled != 0) * (1.0 - exp2(-k * k));
    fragColor = vec4(mix(colour, fogColor, fog), 1.0);
}
