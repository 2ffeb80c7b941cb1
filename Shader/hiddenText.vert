#version 330 core
// Writing that only the flashlight's blue beam reveals.

layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
layout(location = 2) in vec2 uv;

uniform mat4 mvp;
uniform mat4 model;

out vec3 vWorldPosition;
out vec3 vWorldNormal;
out vec2 vUv;

void main() {
    vWorldPosition = (model * vec4(position, 1.0)).xyz;
    vWorldNormal = transpose(inverse(mat3(model))) * normal;
    vUv = uv;
    gl_Position = mvp * vec4(position, 1.0);
}
