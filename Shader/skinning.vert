#version 330 core
// The monster: up to four bone influences per vertex from 60 bone matrices,
// then lit like texLights (lights[1..] per vertex here, lights[0] per pixel
// in skinning.frag).

in vec4 inPosition;
in vec3 inNormal;
in vec2 inTexCoord;
in vec4 inBoneIndices;  // mesh-local bone indices, stored as floats
in vec4 inBoneWeights;

const int MAX_BONES = 60;
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

uniform mat4 projectionMatrix;
uniform mat4 viewMatrix;
uniform mat4 modelMatrix;
uniform mat4 boneMatrices[MAX_BONES];
uniform int numLights;
uniform vec3 ambientLight;
uniform Light lights[MAX_LIGHTS];

out vec3 vToLight0;
out vec3 vWorldNormal;
out vec3 vToEye;
out vec2 vTexCoord;
out vec3 vVertexDiffuse;
out vec3 vVertexSpecular;

float shininess32(float x) {
    x *= x;
    x *= x;
    x *= x;
    x *= x;
    return x * x;
}

mat4 bone(float index) {
    // Indices outside the array would read undefined uniforms.
    return boneMatrices[clamp(int(index + 0.5), 0, MAX_BONES - 1)];
}

void main() {
    float total = inBoneWeights.x + inBoneWeights.y + inBoneWeights.z + inBoneWeights.w;
    mat4 skin = bone(inBoneIndices.x) * inBoneWeights.x + bone(inBoneIndices.y) * inBoneWeights.y +
                bone(inBoneIndices.z) * inBoneWeights.z + bone(inBoneIndices.w) * inBoneWeights.w;
    // A vertex no bone moves stays where it was modelled.
    if (total < 1e-4) skin = mat4(1.0);

    vec4 world = modelMatrix * (skin * vec4(inPosition.xyz, 1.0));
    // Normals go through the inverse transpose of the linear part, which is
    // its cofactor matrix over its determinant; normalised, only the
    // determinant's sign is left of the division.
    mat3 linear = mat3(modelMatrix) * mat3(skin);
    mat3 cofactor = mat3(cross(linear[1], linear[2]), cross(linear[2], linear[0]), cross(linear[0], linear[1]));
    float handedness = dot(linear[0], cofactor[0]) < 0.0 ? -1.0 : 1.0;
    vec3 n = handedness * normalize(cofactor * inNormal);
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

    vToLight0 = lights[0].position - world.xyz;
    vWorldNormal = n;
    vToEye = toEye;
    vTexCoord = inTexCoord;
    vVertexDiffuse = diffuse;
    vVertexSpecular = specular;
    gl_Position = projectionMatrix * viewMatrix * world;
}
