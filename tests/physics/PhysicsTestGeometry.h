#pragma once

#include <cstdint>
#include <glm/vec3.hpp>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <memory>

#include "app/GameSettings.h"
#include "physics/ControllerRecord.h"
#include "physics/PhysicsWorld.h"

namespace vestrel::test {

// Triangle soup in world coordinates, handed to PhysicsWorld::createActor.
struct TriangleSoup {
    std::vector<float> positions;
    std::vector<std::uint32_t> indices;

    std::uint32_t vertex(const glm::vec3& p) {
        positions.insert(positions.end(), {p.x, p.y, p.z});
        return static_cast<std::uint32_t>(positions.size() / 3 - 1);
    }
    void quad(const glm::vec3& a, const glm::vec3& b, const glm::vec3& c, const glm::vec3& d) {
        const std::uint32_t ia = vertex(a), ib = vertex(b), ic = vertex(c), id = vertex(d);
        indices.insert(indices.end(), {ia, ib, ic, ia, ic, id});
    }
    // Horizontal square at height y.
    void floor(float y, float minX, float minZ, float maxX, float maxZ) {
        quad({minX, y, minZ}, {minX, y, maxZ}, {maxX, y, maxZ}, {maxX, y, minZ});
    }
    // The six faces of an axis-aligned box.
    void box(const glm::vec3& lo, const glm::vec3& hi) {
        floor(lo.y, lo.x, lo.z, hi.x, hi.z);
        floor(hi.y, lo.x, lo.z, hi.x, hi.z);
        quad({lo.x, lo.y, lo.z}, {lo.x, hi.y, lo.z}, {lo.x, hi.y, hi.z}, {lo.x, lo.y, hi.z});
        quad({hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z}, {hi.x, hi.y, hi.z}, {hi.x, lo.y, hi.z});
        quad({lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z}, {lo.x, hi.y, lo.z});
        quad({lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z}, {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z});
    }

    PhysicsMeshData data(const std::string& name) const {
        PhysicsMeshData mesh;
        mesh.name = name;
        mesh.positions = positions.data();
        mesh.vertexCount = static_cast<std::uint32_t>(positions.size() / 3);
        mesh.indices = indices.data();
        mesh.indexCount = static_cast<std::uint32_t>(indices.size());
        return mesh;
    }
};

inline std::unique_ptr<PhysicsActor> addMesh(const TriangleSoup& soup, const std::string& name) {
    std::unique_ptr<PhysicsActor> actor;
    PhysicsWorld::instance().createActor(soup.data(name), nullptr, PhysicsShapeKind::TriangleMesh, &actor,
                                         nullptr);
    return actor;
}

inline std::unique_ptr<PhysicsActor> addBox(const glm::vec3& lo, const glm::vec3& hi,
                                            const std::string& name) {
    const float bounds[6] = {lo.x, lo.y, lo.z, hi.x, hi.y, hi.z};
    std::unique_ptr<PhysicsActor> actor;
    PhysicsMeshData mesh;
    mesh.name = name;
    PhysicsWorld::instance().createActor(mesh, bounds, PhysicsShapeKind::Box, &actor, nullptr);
    return actor;
}

inline constexpr float kStep = 1.0f / 60.0f;

// A fresh physics world per test, with room for the player's and the
// monster's controllers; the world and the caught flag are reset around each.
class ControllerWorldTest : public ::testing::Test {
protected:
    void SetUp() override {
        PhysicsWorld::destroy();
        GameSettings::instance().playerCaught = false;
    }
    void TearDown() override {
        player.reset();
        enemy.reset();
        PhysicsWorld::destroy();
        GameSettings::instance().playerCaught = false;
    }

    // One controller move of a fixed step's length, as the play step makes it.
    std::uint32_t move(ControllerRecord& record, const glm::vec3& displacement) {
        return record.controller->move(displacement, record.minDist, kStep, record.filters);
    }

    bool onGround = false;
    std::unique_ptr<ControllerRecord> player;
    std::unique_ptr<ControllerRecord> enemy;
};

}  // namespace vestrel::test
