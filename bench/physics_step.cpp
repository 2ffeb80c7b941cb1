// Cost of one fixed physics step of the game: simulate + fetchResults, the
// player's gravity, forward and sideways moves and the monster's move.
// Runs on Assets/house1.dae when it is there, and on a synthetic house-sized
// triangle mesh always. Prints the median and 95th percentile in milliseconds.

#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <assimp/Importer.hpp>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <glm/geometric.hpp>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/Platform.h"
#include "physics/PhysicsWorld.h"

namespace {

using namespace vestrel;

constexpr float kDt = 1.0f / 60.0f;
constexpr int kWarmUpSteps = 200;
constexpr int kMeasuredSteps = 5000;
constexpr unsigned kImportFlags = 0x40A;

struct Geometry {
    std::string name;
    std::vector<float> positions;
    std::vector<std::uint32_t> indices;
};

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

void collect(const aiScene& scene, const aiNode& node, const aiMatrix4x4& parent,
             std::vector<Geometry>& out) {
    const aiMatrix4x4 transform = parent * node.mTransformation;
    const std::string name = node.mName.C_Str();
    if (node.mNumMeshes > 0 && (endsWith(name, "_mesh") || endsWith(name, "_box"))) {
        const aiMesh& mesh = *scene.mMeshes[node.mMeshes[0]];
        Geometry geometry;
        geometry.name = name;
        for (unsigned v = 0; v < mesh.mNumVertices; ++v) {
            const aiVector3D p = transform * mesh.mVertices[v];
            geometry.positions.insert(geometry.positions.end(), {p.x, p.y, p.z});
        }
        for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
            if (mesh.mFaces[f].mNumIndices != 3) continue;
            geometry.indices.insert(geometry.indices.end(), mesh.mFaces[f].mIndices,
                                    mesh.mFaces[f].mIndices + 3);
        }
        out.push_back(std::move(geometry));
    }
    for (unsigned c = 0; c < node.mNumChildren; ++c) collect(scene, *node.mChildren[c], transform, out);
}

// The level's "_mesh" nodes as triangle meshes and "_box" nodes as boxes.
std::vector<Geometry> loadHouse() {
    std::vector<Geometry> geometry;
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(nativePath("Assets\\house1.dae"), kImportFlags);
    if (scene != nullptr && scene->mRootNode != nullptr)
        collect(*scene, *scene->mRootNode, aiMatrix4x4(), geometry);
    return geometry;
}

// A 40 x 40 house: a floor of 1 x 1 tiles, outer walls and a grid of inner
// walls with door gaps, all as one triangle mesh.
std::vector<Geometry> syntheticHouse() {
    Geometry house;
    house.name = "House_mesh";
    auto vertex = [&house](float x, float y, float z) {
        house.positions.insert(house.positions.end(), {x, y, z});
        return static_cast<std::uint32_t>(house.positions.size() / 3 - 1);
    };
    auto quad = [&](glm::vec3 a, glm::vec3 b, glm::vec3 c, glm::vec3 d) {
        const auto ia = vertex(a.x, a.y, a.z), ib = vertex(b.x, b.y, b.z), ic = vertex(c.x, c.y, c.z),
                   id = vertex(d.x, d.y, d.z);
        house.indices.insert(house.indices.end(), {ia, ib, ic, ia, ic, id});
    };
    for (int x = -20; x < 20; ++x) {
        for (int z = -20; z < 20; ++z) {
            quad({x, 0, z}, {x, 0, z + 1}, {x + 1, 0, z + 1}, {x + 1, 0, z});
        }
    }
    for (int line = -20; line <= 20; line += 10) {
        for (int segment = -20; segment < 20; segment += 2) {
            const bool door = line != -20 && line != 20 && (segment % 10 == 4 || segment % 10 == -6);
            if (door) continue;
            const float s = static_cast<float>(segment), l = static_cast<float>(line);
            quad({s, 0, l}, {s, 8, l}, {s + 2, 8, l}, {s + 2, 0, l});
            quad({l, 0, s}, {l, 8, s}, {l, 8, s + 2}, {l, 0, s + 2});
        }
    }
    return {house};
}

void run(const char* label, const std::vector<Geometry>& geometry) {
    PhysicsWorld::destroy();
    PhysicsWorld& world = PhysicsWorld::instance();
    std::vector<std::unique_ptr<PhysicsActor>> actors;
    std::size_t triangles = 0;
    for (const Geometry& g : geometry) {
        PhysicsMeshData mesh;
        mesh.name = g.name;
        mesh.positions = g.positions.data();
        mesh.vertexCount = static_cast<std::uint32_t>(g.positions.size() / 3);
        mesh.indices = g.indices.data();
        mesh.indexCount = static_cast<std::uint32_t>(g.indices.size());
        if (mesh.vertexCount == 0 || mesh.indexCount < 3) continue;
        float bounds[6] = {1e5f, 1e5f, 1e5f, -1e5f, -1e5f, -1e5f};
        for (std::size_t i = 0; i < g.positions.size(); ++i) {
            bounds[i % 3] = std::min(bounds[i % 3], g.positions[i]);
            bounds[i % 3 + 3] = std::max(bounds[i % 3 + 3], g.positions[i]);
        }
        const PhysicsShapeKind kind =
            endsWith(g.name, "_box") ? PhysicsShapeKind::Box : PhysicsShapeKind::TriangleMesh;
        std::unique_ptr<PhysicsActor> solid, trigger;
        world.createActor(mesh, bounds, kind, &solid, &trigger);
        actors.push_back(std::move(solid));
        if (kind == PhysicsShapeKind::TriangleMesh) triangles += g.indices.size() / 3;
    }

    bool onGround = false;
    std::unique_ptr<ControllerRecord> player = world.createPlayerController(&onGround);
    std::unique_ptr<ControllerRecord> enemy = world.createEnemyController({5.0f, 0.0f, 5.0f});

    std::mt19937 random(7);
    std::uniform_real_distribution<float> angle(0.0f, 6.2831853f);
    glm::vec3 heading(1.0f, 0.0f, 0.0f);
    glm::vec3 enemyHeading(0.0f, 0.0f, 1.0f);
    std::vector<double> ms;
    ms.reserve(kMeasuredSteps);
    for (int step = 0; step < kWarmUpSteps + kMeasuredSteps; ++step) {
        if (step % 90 == 0) {
            const float a = angle(random);
            heading = glm::vec3(std::cos(a), 0.0f, std::sin(a));
        }
        if (step % 240 == 0) enemyHeading = -enemyHeading;
        const auto start = std::chrono::steady_clock::now();
        world.simulate(kDt);
        world.fetchResults(true);
        ControllerRecord& p = *player;
        p.controller->move(world.gravity * kDt, p.minDist, kDt, p.filters);
        p.controller->move(heading * 16.0f * kDt, p.minDist, kDt, p.filters);
        p.controller->move(glm::vec3(-heading.z, 0.0f, heading.x) * 4.0f * kDt, p.minDist, kDt, p.filters);
        ControllerRecord& e = *enemy;
        e.controller->move(enemyHeading * 7.0f * kDt, e.minDist, kDt, e.filters);
        const auto end = std::chrono::steady_clock::now();
        if (step >= kWarmUpSteps)
            ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%s: %zu actors, %zu mesh triangles, %d steps: median %.4f ms, p95 %.4f ms\n", label,
                world.actorCount(), triangles, kMeasuredSteps, ms[ms.size() / 2], ms[ms.size() * 95 / 100]);
    player.reset();
    enemy.reset();
    actors.clear();
    PhysicsWorld::destroy();
}

}  // namespace

int main() {
    run("synthetic house", syntheticHouse());
    const std::vector<Geometry> house = loadHouse();
    if (house.empty()) {
        std::printf("Assets/house1.dae: not found or no _mesh/_box nodes\n");
    } else {
        run("Assets/house1.dae", house);
    }
    return 0;
}
