#version 330 core

// Lighting split, chosen for software rasterisers (Mesa llvmpipe on two cores
// must hold 60 fps at 1280x720):
//   - point and directional lights (the dim room lights) are Blinn-Phong per
//     vertex, in texLights.vert, and arrive here interpolated;
//   - spot lights (the flashlight and the few ceiling spots) are Blinn-Phong
//     per pixel, because a cone cannot be interpolated across a large wall.
//     A pixel outside a cone leaves that light after one dot product.
// Fog: exponential-squared toward "fogColor" by distance from the eye, about
// 95% at 60 units (the far plane).

const int MAX_LIGHTS = 16;
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

in vec3 vWorldPosition;
in vec3 vWorldNormal;
in vec3 vToEye;
in vec3 vViewPosition;
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
    vec3 v = normalize(vToEye);
    vec3 diffuse = vVertexDiffuse;
    vec3 specular = vVertexSpecular;

    int count = min(numLights, MAX_LIGHTS);
    for (int i = 0; i < count; ++i) {
        if (lights[i].enabled == 0 || lights[i].type != SPOT) continue;
        vec3 toLight = lights[i].position - vWorldPosition;
        float d = length(toLight);
        vec3 l = toLight / max(d, 1e-4);
        float cosAngle = dot(-l, normalize(lights[i].coneDirection));
        if (cosAngle <= lights[i].coneOuterAngle) continue;
        float nDotL = dot(n, l);
        if (nDotL <= 0.0) continue;
        // Soft edge from the outer to the inner cone (smoothstep, safe when they meet).
        float edge = clamp((cosAngle - lights[i].coneOuterAngle) /
                               max(lights[i].coneInnerAngle - lights[i].coneOuterAngle, 1e-4),
                           0.0, 1.0);
        float cone = edge * edge * (3.0 - 2.0 * edge);
        float attenuation = cone / max(lights[i].constAttenuation + lights[i].linearAttenuation * d +
                                           lights[i].quadraticAttenuation * d * d,
                                       1e-3);
        vec3 h = normalize(l + v);
        diffuse += lights[i].intensity * (nDotL * attenuation);
        specular += lights[i].intensity * (0.25 * attenuation * shininess32(max(dot(n, h), 0.0)));
    }

    vec3 colour = texture(tex, vUv).rgb * diffuse + specular;
    if (fogEnabled != 0) {
        float k = FOG_DENSITY * length(vViewPosition);
        colour = mix(colour, fogColor, 1.0 - exp2(-k * k));
    }
    fragColor = vec4(colour, 1.0);
}
