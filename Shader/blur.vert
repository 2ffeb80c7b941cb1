#version 330 core
// Full-screen quad for the glow composite.

in vec2 position;
in vec2 uv;

out vec2 vUv;

void main() {
    vUv = uv;
    // Depth 0 (the near plane): with GL_LESS the glow passes over every scene
    // pixel; the silhouettes were already depth tested against the scene.
    gl_Position = vec4(position, -1.0, 1.0);
}
