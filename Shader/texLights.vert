#version 330 core
// Lit, textured, fogged level geometry. See texLights.frag for how the light
// work is split between the two stages.

layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
layout(location = 2) in vec2 uv;

const int MAX_LIGHTS = 16;
const int POINT = 0;
const int DIRECTIONAL = 1;
const int SPOT = 2;

struct Light {
    int enabled;
    int type;  // 0 point, 1 directional, 2 spot; other values add nothing
    vec3 intensity;
    vec3 position;  // world position; the travel direction for a directional light
    float constAttenuation;
    float linearAttenuation;
    float quadraticAttenuation;
    vec3 coneDirection;
    float coneInnerAngle;  // cosines of the cone's half-angles
    float coneOuterAngle;
};

const float FOG_DENSITY = 0.035;

uniform mat4 mvp;
uniform mat4 model;
uniform mat4 viewMatrix;
uniform int numLights;
uniform vec3 ambientLight;
uniform int fogEnabled;
uniform Light lights[MAX_LIGHTS];

out vec3 vToLight0;  // from the vertex to lights[0]; the light's direction reversed for a directional one
out vec3 vWorldNormal;
out vec3 vToEye;
out vec2 vUv;
out vec3 vVertexDiffuse;   // ambient + lights[1..] diffuse
out vec3 vVertexSpecular;  // lights[1..] specular
out float vFog;            // 0 clear .. 1 all fog colour
// What the fragment stage needs of lights[0] that is the same for every
// pixel, worked out once per vertex instead of once per pixel:
flat out vec4 vLight0Attenuation;  // constant, linear, quadratic terms; w = 1 when it is on, else 0
flat out vec3 vLight0Cone;         // unit cone axis of a spot, else (0, 0, 0)
flat out vec2 vLight0ConeRange;    // outer cosine, 1 / (inner - outer); a range every cosine passes unless a spot

// Blinn-Phong exponent 32 by repeated squaring (cheaper than pow).
float shininess32(float x) {
    x *= x;
    x *= x;
    x *= x;
    x *= x;
    return x * x;
}

void main() {
    vec4 world = model * vec4(position, 1.0);
    vec3 n = normalize(transpose(inverse(mat3(model))) * normal);
    // The eye sits at -R^T t for a view matrix with rotation R and translation t.
    vec3 eye = -(transpose(mat3(viewMatrix)) * viewMatrix[3].xyz);
    vec3 toEye = eye - world.xyz;
    vec3 v = normalize(toEye);

    vec3 diffuse = ambientLight;
    vec3 specular = vec3(0.0);
    int count = min(numLights, MAX_LIGHTS);
    for (int i = 1; i < count; ++i) {
        int type = lights[i].type;
        if (lights[i].enabled == 0 || type < POINT || type > SPOT) continue;
        vec3 l;
        float attenuation = 1.0;
        if (type == DIRECTIONAL) {
            l = -normalize(lights[i].position);
        } else {
            vec3 toLight = lights[i].position - world.xyz;
            float d = length(toLight);
            l = toLight / max(d, 1e-4);
            attenuation = 1.0 / max(lights[i].constAttenuation + lights[i].linearAttenuation * d +
                                        lights[i].quadraticAttenuation * d * d,
                                    1e-3);
            if (type == SPOT) {
                float cosAngle = dot(-l, normalize(lights[i].coneDirection));
                attenuation *= smoothstep(lights[i].coneOuterAngle,
                                          max(lights[i].coneInnerAngle, lights[i].coneOuterAngle + 1e-4), cosAngle);
            }
        }
        float nDotL = dot(n, l);
        if (nDotL <= 0.0) continue;
        vec3 h = normalize(l + v);
        diffuse += lights[i].intensity * (nDotL * attenuation);
        specular += lights[i].intensity * (0.25 * attenuation * shininess32(max(dot(n, h), 0.0)));
    }

    // lights[0]: every kind reduced to one per-pixel formula (see texLights.frag).
    int type0 = lights[0].type;
    bool on0 = numLights > 0 && lights[0].enabled != 0 && type0 >= POINT && type0 <= SPOT;
    if (type0 == DIRECTIONAL) {
        vToLight0 = -normalize(lights[0].position);
        vLight0Attenuation = vec4(1.0, 0.0, 0.0, float(on0));
    } else {
        vToLight0 = lights[0].position - world.xyz;
        vLight0Attenuation = vec4(lights[0].constAttenuation, lights[0].linearAttenuation,
                                  lights[0].quadraticAttenuation, float(on0));
    }
    if (type0 == SPOT) {
        vLight0Cone = normalize(lights[0].coneDirection);
        vLight0ConeRange = vec2(lights[0].coneOuterAngle,
                                1.0 / max(lights[0].coneInnerAngle - lights[0].coneOuterAngle, 1e-4));
    } else {
        // cos is never below -1, so the fall-off is always complete.
        vLight0Cone = vec3(0.0);
        vLight0ConeRange = vec2(-2.0, 1.0);
    }
    // Fog changes slowly with distance; the level's surfaces are split into
    // cells about 2 units wide, so per vertex is indistinguishable.
    float k = FOG_DENSITY * length(toEye);
    vFog = float(fogEnabled != 0) * (1.0 - exp2(-k * k));
    vWorldNormal = n;
    vToEye = toEye;
    vUv = uv;
    vVertexDiffuse = diffuse;
    vVertexSpecular = specular;
    gl_Position = mvp * vec4(position, 1.0);
}
