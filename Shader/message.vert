#version 330 core
// Screen-space quad: positions in window pixels, origin at the lower left.
// "orthoTransformation" is (2 / width, 2 / height).

in vec2 position;
in vec2 uv;

uniform vec2 orthoTransformation;

out vec2 vUv;

void main() {
    vUv = uv;
    gl_Position = vec4(position * orthoTransformation - vec2(1.0), 0.0, 1.0);
}
