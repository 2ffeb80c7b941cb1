#pragma once

// Building blocks for the frame and HUD tests: solid-colour images written to
// a temp folder and loaded into the texture cache, camera-facing quads turned
// into level objects, and the scene they are drawn in.

#include <unistd.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>

#include <assimp/mesh.h>
#include <assimp/scene.h>

#include "app/GameSettings.h"
#include "level/GameObject.h"
#include "level/Level.h"
#include "play/Camera.h"
#include "render/Mesh.h"
#include "render/Renderer.h"
#include "render/TextureCache.h"

namespace vestrel::test {

using Colour = std::array<std::uint8_t, 3>;

// Writes a solid w x h binary PPM and loads it into the texture cache under
// `key`; returns the cached texture.
inline Texture* loadSolidImage(const std::string& key, int w, int h, const Colour& colour) {
    const std::string path = "/tmp/vestrel_frame_" + std::to_string(getpid()) + "_" + std::to_string(w) +
                             "x" + std::to_string(h) + "_" + std::to_string(colour[0]) + "_" +
                             std::to_string(colour[1]) + "_" + std::to_string(colour[2]) + ".ppm";
    {
        std::ofstream file(path, std::ios::binary);
        file << "P6\n" << w << " " << h << "\n255\n";
        for (int i = 0; i < w * h; ++i) file.write(reinterpret_cast<const char*>(colour.data()), 3);
    }
    Texture* texture = TextureCache::instance().load(path, key);
    std::remove(path.c_str());
    return texture;
}

// A square in the plane x = `x`, centred at (x, y, z) with half size `half`,
// facing a camera at the origin that looks along +x (screen right is +z),
// split into divisions x divisions cells of two triangles. Its texture is
// the cached image under `textureKeyPrefix` + "0".
inline std::shared_ptr<GameObject> makeFacingQuad(Shader* shader, const char* name, float x, float y, float z,
                                                  float half, const std::string& textureKeyPrefix,
                                                  int divisions = 1) {
    const int n = divisions < 1 ? 1 : divisions;
    const unsigned side = static_cast<unsigned>(n + 1);
    aiMesh mesh;
    mesh.mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
    mesh.mMaterialIndex = 0;
    mesh.mNumVertices = side * side;
    mesh.mVertices = new aiVector3D[mesh.mNumVertices];
    mesh.mNormals = new aiVector3D[mesh.mNumVertices];
    mesh.mTextureCoords[0] = new aiVector3D[mesh.mNumVertices];
    mesh.mNumUVComponents[0] = 2;
    for (unsigned row = 0; row < side; ++row) {
        for (unsigned col = 0; col < side; ++col) {
            const float u = static_cast<float>(col) / static_cast<float>(n);
            const float v = static_cast<float>(row) / static_cast<float>(n);
            const unsigned i = row * side + col;
            mesh.mVertices[i] = aiVector3D(x, y - half + 2 * half * v, z - half + 2 * half * u);
            mesh.mNormals[i] = aiVector3D(-1, 0, 0);
            mesh.mTextureCoords[0][i] = aiVector3D(u, v, 0);
        }
    }
    mesh.mNumFaces = static_cast<unsigned>(2 * n * n);
    mesh.mFaces = new aiFace[mesh.mNumFaces];
    unsigned face = 0;
    for (unsigned row = 0; row < static_cast<unsigned>(n); ++row) {
        for (unsigned col = 0; col < static_cast<unsigned>(n); ++col) {
            const unsigned bl = row * side + col, br = bl + 1, tl = bl + side, tr = tl + 1;
            mesh.mFaces[face].mNumIndices = 3;
            mesh.mFaces[face++].mIndices = new unsigned[3]{bl, br, tr};
            mesh.mFaces[face].mNumIndices = 3;
            mesh.mFaces[face++].mIndices = new unsigned[3]{bl, tr, tl};
        }
    }
    aiNode node(name);

    auto object = std::make_shared<GameObject>();
    object->mesh = std::make_unique<Mesh>(shader, glm::mat4(1.0f), name);
    object->mesh->loadFromNode(&node, &mesh, textureKeyPrefix);
    object->computeBounds();
    return object;
}

// A node without geometry, as the root of a level tree.
inline std::unique_ptr<GameObject> makeEmptyRoot(Shader* shader) {
    auto root = std::make_unique<GameObject>();
    root->mesh = std::make_unique<Mesh>(shader, glm::mat4(1.0f), "root");
    return root;
}

// The window size every renderer and HUD computation reads.
inline void setWindowSize(int w, int h) {
    GameSettings::instance().windowWidth = w;
    GameSettings::instance().windowHeight = h;
}

// A renderer on a w x h window and a new level whose camera stands at the
// origin looking along +x (screen right is +z), lit only by a full-white
// ambient and without fog, so a textured object shows its texture colour.
inline void setUpFrameScene(int w, int h, Renderer& renderer, std::unique_ptr<Level>& level) {
    GameSettings& settings = GameSettings::instance();
    settings = GameSettings{};
    settings.fog = false;
    settings.ambientLight = glm::vec3(1.0f);
    setWindowSize(w, h);
    renderer.init();
    level = std::make_unique<Level>();
    level->camera = std::make_unique<Camera>(w, h);
    level->frustum.setParameters(60.0f, 0.1f, 60.0f, static_cast<float>(w) / static_cast<float>(h));
    level->frustum.update(level->camera->position, level->camera->direction());
}

}  // namespace vestrel::test
