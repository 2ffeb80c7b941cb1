#version 330 core
// Stand-alone fog pass. The game computes fog inside its lit programs
// (texLights, skinning) and never builds this pair; it is kept compiling.

layout(location = 0) in vec3 position;

uniform mat4 mvp;
uniform mat4 model;
uniform mat4 viewMatrix;

out vec3 vViewPosition;

void main() {
    vViewPosition = (viewMatrix * model * vec4(position, 1.0)).xyz;
    gl_Position = mvp * vec4(position, 1.0);
}
