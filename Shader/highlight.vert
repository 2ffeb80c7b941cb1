#version 330 core
// Flat silhouettes of items and interactive objects for the glow. Draws a
// level mesh's vertex array as built for texLights, so the locations match.

layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
layout(location = 2) in vec2 uv;

uniform mat4 mvp;

// Inflating the silhouette a little along the normal lets the glow start
// just outside the object, which is then drawn lit over it.
const float INFLATE = 0.03;

void main() {
    gl_Position = mvp * vec4(position + normal * INFLATE, 1.0);
}
