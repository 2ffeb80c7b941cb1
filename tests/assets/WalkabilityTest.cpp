// Walks the puzzle route through the house on a floor grid computed from the level's own
// colliders: "_mesh" triangles, boxes fitted to "_box", "_transparent" and "_interactive"
// bounds, and the three movable boxes in their closed and open places. A capsule can stand
// on a grid cell when nothing between a step's height above the floor and its top comes
// closer than its radius plus the controller's contact offset; a trigger is reached when
// some standable, connected cell brings the capsule's axis within the trigger sphere.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <limits>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "assets/HouseScene.h"
#include "physics/PhysicsWorld.h"

namespace vestrel::housetest {
namespace {

constexpr float kStepOffset = 0.1f;
constexpr float kContactOffset = 0.05f;
constexpr float kCatchDistance = 3.0f;
constexpr float kCell = 0.1f;
// Reached / not reached must hold with this much to spare, so that the physics world's own
// rounding cannot flip a result.
constexpr float kTriggerMargin = 0.25f;

struct Capsule {
    const char* what;
    float radius;  // clearance kept from colliders
    float height;  // total, feet on the floor
};
constexpr Capsule kPlayer{"player", 1.0f + kContactOffset, 5.0f};
constexpr Capsule kMonster{"monster", 1.3f + kContactOffset, 5.6f};
// Doorways are at least 4.5 wide and 7 high: a 4.4-wide, 7-high gauge passes every one.
constexpr Capsule kDoorGauge{"doorway gauge", 2.2f, 7.0f - 0.01f};

struct Triangle {
    glm::vec3 a, b, c;
};

float distanceToSegment(glm::vec2 p, glm::vec2 a, glm::vec2 b) {
    const glm::vec2 ab = b - a;
    const float len2 = glm::dot(ab, ab);
    const float t = len2 > 0.0f ? std::clamp(glm::dot(p - a, ab) / len2, 0.0f, 1.0f) : 0.0f;
    return glm::length(p - (a + t * ab));
}

float cross2(glm::vec2 a, glm::vec2 b) { return a.x * b.y - a.y * b.x; }

// Distance in the floor plane from p to a convex polygon (possibly flattened to a segment).
float distanceToPolygon(glm::vec2 p, const std::vector<glm::vec2>& poly) {
    if (poly.size() == 1) return glm::length(p - poly[0]);
    float area = 0.0f;
    for (size_t i = 0; i < poly.size(); ++i) area += cross2(poly[i], poly[(i + 1) % poly.size()]);
    if (std::abs(area) > 1e-6f) {
        bool inside = true;
        for (size_t i = 0; i < poly.size() && inside; ++i) {
            const glm::vec2 e = poly[(i + 1) % poly.size()] - poly[i];
            inside = cross2(e, p - poly[i]) * area >= 0.0f;
        }
        if (inside) return 0.0f;
    }
    float best = std::numeric_limits<float>::max();
    for (size_t i = 0; i < poly.size(); ++i) {
        best = std::min(best, distanceToSegment(p, poly[i], poly[(i + 1) % poly.size()]));
    }
    return best;
}

// The part of a triangle between heights lo and hi, projected on the floor plane (x, z).
std::vector<glm::vec2> clipToSlab(const Triangle& t, float lo, float hi) {
    std::vector<glm::vec3> poly = {t.a, t.b, t.c};
    auto clip = [](const std::vector<glm::vec3>& in, float limit, float sign) {
        std::vector<glm::vec3> out;
        for (size_t i = 0; i < in.size(); ++i) {
            const glm::vec3& p = in[i];
            const glm::vec3& q = in[(i + 1) % in.size()];
            const float dp = sign * (p.y - limit);
            const float dq = sign * (q.y - limit);
            if (dp >= 0.0f) out.push_back(p);
            if ((dp >= 0.0f) != (dq >= 0.0f)) out.push_back(p + (q - p) * (dp / (dp - dq)));
        }
        return out;
    };
    poly = clip(poly, lo, 1.0f);
    if (!poly.empty()) poly = clip(poly, hi, -1.0f);
    std::vector<glm::vec2> flat;
    for (const glm::vec3& p : poly) flat.emplace_back(p.x, p.z);
    return flat;
}

// The house's colliders, split into what never moves and the three movable boxes.
struct Colliders {
    std::vector<Triangle> triangles;
    std::vector<Box> boxes;
    std::map<std::string, Box> movable;
    std::map<std::string, glm::vec3> moveBy;  // world offset of the box's 5-unit move
    std::vector<std::pair<std::string, const HouseNode*>> floors;
};

Colliders collectColliders(const HouseScene& house) {
    Colliders c;
    for (const HouseNode& n : house.nodes()) {
        if (n.mesh == nullptr) continue;
        if (n.name == "Door_box" || n.name == "Shower_door_box" || n.name == "Racking_CrossBeams31_box") {
            c.movable[n.name] = colliderBox(n.bounds);
            // A box moves in its own axes: the door by (0, -5, 0), the shower door by (0, 5, 0).
            const glm::vec3 local = n.name == "Door_box" ? glm::vec3(0, -5, 0) : glm::vec3(0, 5, 0);
            c.moveBy[n.name] = glm::mat3(n.world) * local;
        } else if (n.tag == "mesh") {
            const aiMesh* mesh = n.mesh;
            for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
                const unsigned* idx = mesh->mFaces[f].mIndices;
                c.triangles.push_back(
                    {n.worldPositions[idx[0]], n.worldPositions[idx[1]], n.worldPositions[idx[2]]});
            }
            if (n.name.find("Floor") != std::string::npos) c.floors.emplace_back(n.name, &n);
        } else if (n.tag == "box" || n.tag == "transparent" || n.tag == "interactive") {
            c.boxes.push_back(colliderBox(n.bounds));
        }
    }
    return c;
}

class Grid {
public:
    static constexpr float kMinX = -20.0f, kMinZ = -26.0f, kMaxX = 42.0f, kMaxZ = 26.0f;
    const int nx = static_cast<int>((kMaxX - kMinX) / kCell);
    const int nz = static_cast<int>((kMaxZ - kMinZ) / kCell);

    int index(int i, int k) const { return k * nx + i; }
    glm::vec2 centre(int i, int k) const { return {kMinX + (i + 0.5f) * kCell, kMinZ + (k + 0.5f) * kCell}; }
    int cellOf(glm::vec2 p) const {
        return index(static_cast<int>((p.x - kMinX) / kCell), static_cast<int>((p.y - kMinZ) / kCell));
    }

    // Cells whose centre is closer than radius to the shape, for cells near [lo, hi].
    template <typename Distance>
    void mark(std::vector<char>& blocked, glm::vec2 lo, glm::vec2 hi, float radius, Distance distance) const {
        const int i0 = std::max(0, static_cast<int>((lo.x - radius - kMinX) / kCell));
        const int i1 = std::min(nx - 1, static_cast<int>((hi.x + radius - kMinX) / kCell));
        const int k0 = std::max(0, static_cast<int>((lo.y - radius - kMinZ) / kCell));
        const int k1 = std::min(nz - 1, static_cast<int>((hi.y + radius - kMinZ) / kCell));
        for (int k = k0; k <= k1; ++k) {
            for (int i = i0; i <= i1; ++i) {
                char& cell = blocked[index(i, k)];
                if (!cell && distance(centre(i, k)) < radius) cell = 1;
            }
        }
    }

    void markBox(std::vector<char>& blocked, const Box& b, const Capsule& capsule) const {
        const float lo = kFloorY + kStepOffset + 1e-3f;
        const float hi = kFloorY + capsule.height;
        if (b.max.y <= lo || b.min.y >= hi) return;
        const glm::vec2 bmin(b.min.x, b.min.z), bmax(b.max.x, b.max.z);
        mark(blocked, bmin, bmax, capsule.radius, [&](glm::vec2 p) {
            const glm::vec2 d = glm::max(glm::max(bmin - p, p - bmax), glm::vec2(0.0f));
            return glm::length(d);
        });
    }

    // Cells where the capsule collides with something that never moves.
    std::vector<char> staticBlocked(const Colliders& c, const Capsule& capsule) const {
        std::vector<char> blocked(nx * nz, 0);
        const float lo = kFloorY + kStepOffset + 1e-3f;
        const float hi = kFloorY + capsule.height;
        for (const Triangle& t : c.triangles) {
            const std::vector<glm::vec2> poly = clipToSlab(t, lo, hi);
            if (poly.empty()) continue;
            glm::vec2 pmin(1e9f), pmax(-1e9f);
            for (const glm::vec2& p : poly) {
                pmin = glm::min(pmin, p);
                pmax = glm::max(pmax, p);
            }
            mark(blocked, pmin, pmax, capsule.radius,
                 [&](glm::vec2 p) { return distanceToPolygon(p, poly); });
        }
        for (const Box& b : c.boxes) markBox(blocked, b, capsule);
        return blocked;
    }

    // Height of the highest collider surface at or below a step above the floor, per cell
    // (NaN where there is none), and which floor node it belongs to.
    void floorHeights(const Colliders& c, std::vector<float>& height, std::vector<int>& floorNode) const {
        height.assign(nx * nz, std::numeric_limits<float>::quiet_NaN());
        floorNode.assign(nx * nz, -1);
        const float top = kFloorY + kStepOffset + 1e-3f;
        for (const Triangle& t : c.triangles) {
            const glm::vec3 n = glm::cross(t.b - t.a, t.c - t.a);
            if (glm::length(n) < 1e-8f || glm::normalize(n).y < 0.7f) continue;
            if (std::min({t.a.y, t.b.y, t.c.y}) > top) continue;
            const glm::vec2 a(t.a.x, t.a.z), b(t.b.x, t.b.z), cc(t.c.x, t.c.z);
            const glm::vec2 lo = glm::min(glm::min(a, b), cc), hi = glm::max(glm::max(a, b), cc);
            const float area = cross2(b - a, cc - a);
            const int i0 = std::max(0, static_cast<int>((lo.x - kMinX) / kCell));
            const int i1 = std::min(nx - 1, static_cast<int>((hi.x - kMinX) / kCell));
            const int k0 = std::max(0, static_cast<int>((lo.y - kMinZ) / kCell));
            const int k1 = std::min(nz - 1, static_cast<int>((hi.y - kMinZ) / kCell));
            for (int k = k0; k <= k1; ++k) {
                for (int i = i0; i <= i1; ++i) {
                    const glm::vec2 p = centre(i, k);
                    const float wa = cross2(b - p, cc - p) / area;
                    const float wb = cross2(cc - p, a - p) / area;
                    const float wc = 1.0f - wa - wb;
                    if (wa < -1e-4f || wb < -1e-4f || wc < -1e-4f) continue;
                    const float y = wa * t.a.y + wb * t.b.y + wc * t.c.y;
                    float& h = height[index(i, k)];
                    if (y <= top && (std::isnan(h) || y > h)) h = y;
                }
            }
        }
        for (size_t f = 0; f < c.floors.size(); ++f) {
            const Box& b = c.floors[f].second->bounds;
            for (int k = 0; k < nz; ++k) {
                for (int i = 0; i < nx; ++i) {
                    const glm::vec2 p = centre(i, k);
                    if (p.x > b.min.x && p.x < b.max.x && p.y > b.min.z && p.y < b.max.z) {
                        floorNode[index(i, k)] = static_cast<int>(f);
                    }
                }
            }
        }
    }

    // Cells connected to the start through free cells (4-neighbourhood).
    std::vector<char> reachable(const std::vector<char>& blocked, glm::vec2 start) const {
        std::vector<char> seen(nx * nz, 0);
        const int s = cellOf(start);
        if (blocked[s]) return seen;
        std::deque<int> queue{s};
        seen[s] = 1;
        while (!queue.empty()) {
            const int cell = queue.front();
            queue.pop_front();
            const int i = cell % nx, k = cell / nx;
            const int next[4][2] = {{i + 1, k}, {i - 1, k}, {i, k + 1}, {i, k - 1}};
            for (const auto& nb : next) {
                if (nb[0] < 0 || nb[1] < 0 || nb[0] >= nx || nb[1] >= nz) continue;
                const int j = index(nb[0], nb[1]);
                if (!seen[j] && !blocked[j]) {
                    seen[j] = 1;
                    queue.push_back(j);
                }
            }
        }
        return seen;
    }
};

// The door states in the order the puzzle opens them.
enum class Phase { Start, DoorOpen, ShowerOpen, RackGone };

class WalkabilityTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        house_ = new HouseScene();
        if (house_->scene() == nullptr) return;
        colliders_ = new Colliders(collectColliders(*house_));
        grid_ = new Grid();
        playerStatic_ = new std::vector<char>(grid_->staticBlocked(*colliders_, kPlayer));
        monsterStatic_ = new std::vector<char>(grid_->staticBlocked(*colliders_, kMonster));
        floorHeight_ = new std::vector<float>();
        floorNode_ = new std::vector<int>();
        grid_->floorHeights(*colliders_, *floorHeight_, *floorNode_);
    }
    static void TearDownTestSuite() {
        delete floorNode_;
        delete floorHeight_;
        delete monsterStatic_;
        delete playerStatic_;
        delete grid_;
        delete colliders_;
        delete house_;
    }
    void SetUp() override {
        ASSERT_NE(house_->scene(), nullptr) << house_->error();
        for (const char* name : {"Door_box", "Shower_door_box", "Racking_CrossBeams31_box"}) {
            ASSERT_EQ(colliders_->movable.count(name), 1u) << name;
        }
    }

    // The movable boxes where they stand in a phase; the rack is gone once the cabinet acts.
    static std::vector<Box> movableBoxes(Phase phase) {
        std::vector<Box> boxes;
        auto place = [&](const char* name, bool moved) {
            Box b = colliders_->movable.at(name);
            if (moved) {
                b.min += colliders_->moveBy.at(name);
                b.max += colliders_->moveBy.at(name);
            }
            boxes.push_back(b);
        };
        place("Door_box", phase >= Phase::DoorOpen);
        place("Shower_door_box", phase >= Phase::ShowerOpen);
        if (phase < Phase::RackGone) place("Racking_CrossBeams31_box", false);
        return boxes;
    }

    static std::vector<char> blocked(const std::vector<char>& base, const Capsule& capsule, Phase phase) {
        std::vector<char> cells = base;
        for (const Box& b : movableBoxes(phase)) grid_->markBox(cells, b, capsule);
        return cells;
    }

    static std::vector<char> playerReach(Phase phase) {
        return grid_->reachable(blocked(*playerStatic_, kPlayer, phase), glm::vec2(0.0f));
    }

    // Closest approach of the player's capsule axis to a trigger's centre over reachable cells.
    static float closestApproach(const std::vector<char>& reach, const std::string& name) {
        const HouseNode* n = house_->find(name);
        if (n == nullptr) return std::numeric_limits<float>::max();
        const glm::vec3 c = colliderBox(n->bounds).centre();
        const float axisLo = kFloorY + 1.0f;  // capsule radius above the feet
        const float axisHi = kFloorY + 5.0f - 1.0f;
        const float dy = c.y < axisLo ? axisLo - c.y : (c.y > axisHi ? c.y - axisHi : 0.0f);
        float best = std::numeric_limits<float>::max();
        for (int k = 0; k < grid_->nz; ++k) {
            for (int i = 0; i < grid_->nx; ++i) {
                if (!reach[grid_->index(i, k)]) continue;
                const glm::vec2 d = grid_->centre(i, k) - glm::vec2(c.x, c.z);
                best = std::min(best, std::sqrt(glm::dot(d, d) + dy * dy));
            }
        }
        return best;
    }

    static float reachLimit(const std::string& name) {
        return triggerRadius(house_->find(name)->bounds) + 1.0f;  // sphere radius + player radius
    }

    static void expectReached(const std::vector<char>& reach, const std::string& name, const char* when) {
        ASSERT_NE(house_->find(name), nullptr) << name;
        EXPECT_LE(closestApproach(reach, name), reachLimit(name) - kTriggerMargin)
            << name << " cannot be reached " << when;
    }
    static void expectNotReached(const std::vector<char>& reach, const std::string& name, const char* when) {
        ASSERT_NE(house_->find(name), nullptr) << name;
        EXPECT_GE(closestApproach(reach, name), reachLimit(name) + kTriggerMargin)
            << name << " can already be reached " << when;
    }

    static std::vector<glm::vec3> waypoints() {
        std::map<std::string, glm::vec3> sorted;
        for (const HouseNode& n : house_->nodes()) {
            if (n.name.compare(0, 9, "Waypoint_") != 0) continue;
            sorted[n.name] = glm::vec3(n.world[3]);
        }
        std::vector<glm::vec3> path;
        for (const auto& entry : sorted) path.push_back(entry.second);
        return path;
    }

    static HouseScene* house_;
    static Colliders* colliders_;
    static Grid* grid_;
    static std::vector<char>* playerStatic_;
    static std::vector<char>* monsterStatic_;
    static std::vector<float>* floorHeight_;
    static std::vector<int>* floorNode_;
};
HouseScene* WalkabilityTest::house_ = nullptr;
Colliders* WalkabilityTest::colliders_ = nullptr;
Grid* WalkabilityTest::grid_ = nullptr;
std::vector<char>* WalkabilityTest::playerStatic_ = nullptr;
std::vector<char>* WalkabilityTest::monsterStatic_ = nullptr;
std::vector<float>* WalkabilityTest::floorHeight_ = nullptr;
std::vector<int>* WalkabilityTest::floorNode_ = nullptr;

TEST_F(WalkabilityTest, SpawnIsFreeAndStandsOnTheFloor) {
    const int spawn = grid_->cellOf(glm::vec2(0.0f));
    EXPECT_FALSE((*playerStatic_)[spawn]) << "the player spawns inside a collider";
    EXPECT_NEAR((*floorHeight_)[spawn], kFloorY, 1e-3f);
}

TEST_F(WalkabilityTest, PuzzleOpensInOrder) {
    const auto start = playerReach(Phase::Start);
    for (const char* name : {"Flashlight_item", "Banana_item", "Suzanne_interactive"}) {
        expectReached(start, name, "from the start");
    }
    for (const char* name : {"can_item", "file_item", "Duck_item", "Generator_interactive",
                             "cabinet_interactive", "sink_interactive"}) {
        expectNotReached(start, name, "while the door is shut");
    }

    const auto doorOpen = playerReach(Phase::DoorOpen);
    for (const char* name :
         {"can_item", "Generator_interactive", "cabinet_interactive", "sink_interactive"}) {
        expectReached(doorOpen, name, "once the door is open");
    }
    expectNotReached(doorOpen, "file_item", "while the shower is shut");
    expectNotReached(doorOpen, "Duck_item", "while the rack stands");

    const auto showerOpen = playerReach(Phase::ShowerOpen);
    expectReached(showerOpen, "file_item", "once the shower is open");
    expectNotReached(showerOpen, "Duck_item", "while the rack stands");

    const auto rackGone = playerReach(Phase::RackGone);
    expectReached(rackGone, "Duck_item", "once the rack is gone");
    expectReached(rackGone, "sink_interactive", "at the end");
}

TEST_F(WalkabilityTest, MovesSlideBoxesAlongTheirOpenings) {
    // With the Z-up file a box's own -Y is the world's +Z.
    const glm::vec3 door = colliders_->moveBy.at("Door_box");
    const glm::vec3 shower = colliders_->moveBy.at("Shower_door_box");
    EXPECT_NEAR(door.z, 5.0f, 1e-4f);
    EXPECT_NEAR(shower.z, -5.0f, 1e-4f);
    EXPECT_NEAR(std::abs(door.x) + std::abs(door.y), 0.0f, 1e-4f);
    EXPECT_NEAR(std::abs(shower.x) + std::abs(shower.y), 0.0f, 1e-4f);
    // Each door is thin across its slide and long along it, so the slide uncovers the opening.
    for (const char* name : {"Door_box", "Shower_door_box"}) {
        const glm::vec3 s = colliders_->movable.at(name).size();
        EXPECT_LT(s.x, 0.5f) << name;
        EXPECT_LE(s.z, 5.0f) << name << " is longer than its slide";
        EXPECT_GE(s.y, 7.0f - 1e-3f) << name << " is lower than a doorway";
    }
}

TEST_F(WalkabilityTest, EverywhereThePlayerWalksHasFloorWithoutSteps) {
    const auto reach = playerReach(Phase::RackGone);
    int cells = 0;
    int holes = 0;
    int steps = 0;
    for (size_t j = 0; j < reach.size(); ++j) {
        if (!reach[j]) continue;
        ++cells;
        const float h = (*floorHeight_)[j];
        if (std::isnan(h)) {
            ++holes;
        } else if (std::abs(h - kFloorY) > kStepOffset) {
            ++steps;
        }
    }
    EXPECT_GT(cells, 10000);
    EXPECT_EQ(holes, 0) << "cells without floor under a walkable place";
    EXPECT_EQ(steps, 0) << "floor more than a step away from the floor level";
}

TEST_F(WalkabilityTest, EveryRoomIsEnteredThroughFullSizeDoorways) {
    const auto base = grid_->staticBlocked(*colliders_, kDoorGauge);
    const auto reach = grid_->reachable(blocked(base, kDoorGauge, Phase::RackGone), glm::vec2(0.0f));
    std::vector<char> entered(colliders_->floors.size(), 0);
    for (size_t j = 0; j < reach.size(); ++j) {
        if (reach[j] && (*floorNode_)[j] >= 0) entered[(*floorNode_)[j]] = 1;
    }
    ASSERT_GE(colliders_->floors.size(), 5u);
    for (size_t f = 0; f < entered.size(); ++f) {
        EXPECT_TRUE(entered[f]) << colliders_->floors[f].first
                                << ": no doorway 4.5 wide and 7 high leads into this room";
    }
}

TEST_F(WalkabilityTest, MonsterWalksItsPathAndNeverReachesTheFrontRooms) {
    const auto path = waypoints();
    ASSERT_GE(path.size(), 4u);
    for (Phase phase : {Phase::Start, Phase::RackGone}) {
        const auto cells = blocked(*monsterStatic_, kMonster, phase);
        for (size_t w = 0; w + 1 < path.size(); ++w) {
            const glm::vec2 a(path[w].x, path[w].z), b(path[w + 1].x, path[w + 1].z);
            const int samples = static_cast<int>(glm::length(b - a) / 0.05f) + 1;
            for (int s = 0; s <= samples; ++s) {
                const glm::vec2 p = a + (b - a) * (static_cast<float>(s) / samples);
                ASSERT_FALSE(cells[grid_->cellOf(p)])
                    << "the monster does not fit between waypoints " << w << " and " << w + 1 << " at ("
                    << p.x << ", " << p.y << ")";
            }
        }
    }
    // It catches within 3 units, through walls too: nowhere the player can go before the door
    // opens may come that close to the path.
    const auto start = playerReach(Phase::Start);
    float closest = std::numeric_limits<float>::max();
    for (int k = 0; k < grid_->nz; ++k) {
        for (int i = 0; i < grid_->nx; ++i) {
            if (!start[grid_->index(i, k)]) continue;
            for (size_t w = 0; w + 1 < path.size(); ++w) {
                closest =
                    std::min(closest, distanceToSegment(grid_->centre(i, k), glm::vec2(path[w].x, path[w].z),
                                                        glm::vec2(path[w + 1].x, path[w + 1].z)));
            }
        }
    }
    EXPECT_GT(closest, kCatchDistance + 0.5f);
}

// ---- The route walked by the game's own physics ----------------------------------------------

// Records which triggers the player's capsule enters.
class TriggerLog : public SimulationEventCallback {
public:
    void onTrigger(const TriggerPair* pairs, std::uint32_t count) override {
        for (std::uint32_t i = 0; i < count; ++i) {
            if (pairs[i].status == TriggerStatus::TouchFound) entered.insert(pairs[i].triggerActor->name());
        }
    }
    std::set<std::string> entered;
};

PhysicsShapeKind kindOf(const std::string& tag) {
    if (tag == "box" || tag == "transparent") return PhysicsShapeKind::Box;
    if (tag == "mesh") return PhysicsShapeKind::TriangleMesh;
    if (tag == "item") return PhysicsShapeKind::Trigger;
    if (tag == "interactive") return PhysicsShapeKind::BoxWithTrigger;
    return PhysicsShapeKind::None;
}

class HouseRouteTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(house_.scene(), nullptr) << house_.error();
        PhysicsWorld::destroy();
        world_ = &PhysicsWorld::instance();
        auto log = std::make_unique<TriggerLog>();
        log_ = log.get();
        world_->setSimulationEventCallback(std::move(log));
        for (const HouseNode& n : house_.nodes()) {
            const PhysicsShapeKind kind = kindOf(n.tag);
            if (n.mesh == nullptr || kind == PhysicsShapeKind::None) continue;
            build(n, colliderBox(n.bounds), kind);
        }
        player_ = world_->createPlayerController(&onGround_);
        ASSERT_NE(player_, nullptr);
    }
    void TearDown() override {
        player_.reset();
        actors_.clear();
        PhysicsWorld::destroy();
    }

    void build(const HouseNode& n, const Box& box, PhysicsShapeKind kind) {
        std::vector<float> positions;
        for (const glm::vec3& p : n.worldPositions) positions.insert(positions.end(), {p.x, p.y, p.z});
        std::vector<std::uint32_t> indices;
        for (unsigned f = 0; f < n.mesh->mNumFaces; ++f) {
            const unsigned* idx = n.mesh->mFaces[f].mIndices;
            indices.insert(indices.end(), {idx[0], idx[1], idx[2]});
        }
        PhysicsMeshData data{n.name, positions.data(), static_cast<std::uint32_t>(n.worldPositions.size()),
                             indices.data(), static_cast<std::uint32_t>(indices.size())};
        const float bounds[6] = {box.min.x, box.min.y, box.min.z, box.max.x, box.max.y, box.max.z};
        auto& slot = actors_[n.name];
        world_->createActor(data, bounds, kind, &slot.first, &slot.second);
    }

    // What the switches do: a door's box moves 5 in its own axes, the rack goes away.
    void open(const std::string& name) {
        const HouseNode* n = house_.find(name);
        ASSERT_NE(n, nullptr);
        actors_.erase(name);
        if (name == "Racking_CrossBeams31_box") return;
        const glm::vec3 local = name == "Door_box" ? glm::vec3(0, -5, 0) : glm::vec3(0, 5, 0);
        const glm::vec3 offset = glm::mat3(n->world) * local;
        Box moved = colliderBox(n->bounds);
        moved.min += offset;
        moved.max += offset;
        build(*n, moved, PhysicsShapeKind::Box);
    }

    glm::vec2 position() const {
        const glm::dvec3 p = player_->controller->getPosition();
        return {static_cast<float>(p.x), static_cast<float>(p.z)};
    }

    // Walks straight at 8 units/s towards each point in turn, as the play state steps the
    // world. False when the player stops short of a point for two seconds.
    bool walk(std::initializer_list<glm::vec2> points) {
        constexpr float dt = 1.0f / 60.0f;
        for (const glm::vec2& target : points) {
            int stuck = 0;
            glm::vec2 last = position();
            while (glm::length(target - position()) > 0.3f) {
                world_->simulate(dt);
                world_->fetchResults(true);
                player_->controller->move(world_->gravity * dt, player_->minDist, dt, player_->filters);
                const glm::vec2 to = target - position();
                const glm::vec2 step = to * std::min(8.0f * dt / glm::length(to), 1.0f);
                player_->controller->move(glm::vec3(step.x, 0.0f, step.y), player_->minDist, dt,
                                          player_->filters);
                const glm::dvec3 p = player_->controller->getPosition();
                if (p.y < kFloorY) {
                    ADD_FAILURE() << "the player fell through the floor at (" << p.x << ", " << p.z << ")";
                    return false;
                }
                stuck = glm::length(position() - last) < 0.01f ? stuck + 1 : 0;
                if (stuck > 120) return false;
                last = position();
            }
        }
        return true;
    }
    bool entered(const std::string& name) const { return log_->entered.count(name) != 0; }

    HouseScene house_;
    PhysicsWorld* world_ = nullptr;
    TriggerLog* log_ = nullptr;
    std::map<std::string, std::pair<std::unique_ptr<PhysicsActor>, std::unique_ptr<PhysicsActor>>> actors_;
    std::unique_ptr<ControllerRecord> player_;
    bool onGround_ = false;
};

TEST_F(HouseRouteTest, PlayerWalksThePuzzleInOrder) {
    // Land, pick up the flashlight, fetch the banana from the kitchen, go to the statue.
    ASSERT_TRUE(walk({{0.5f, 0.0f}, {1.5f, -1.8f}}));
    EXPECT_TRUE(entered("Flashlight_item"));
    ASSERT_TRUE(walk({{-5.0f, -3.0f}, {-5.0f, -8.0f}, {-3.5f, -9.6f}}));
    EXPECT_TRUE(entered("Banana_item"));
    ASSERT_TRUE(walk({{-5.0f, -8.0f}, {-5.0f, -3.0f}, {1.0f, 4.0f}}));
    EXPECT_TRUE(entered("Suzanne_interactive"));

    // The door stops the player until the statue opens it.
    EXPECT_FALSE(walk({{3.5f, 0.0f}, {9.0f, 0.0f}}));
    EXPECT_LT(position().x, 5.0f);
    open("Door_box");
    ASSERT_TRUE(walk({{9.0f, 0.0f}, {14.0f, 0.0f}, {18.5f, 2.5f}}));
    EXPECT_TRUE(entered("can_item"));

    // Generator room, then the bathroom: the shower stays shut until the generator runs.
    ASSERT_TRUE(walk({{14.0f, 0.0f}, {9.0f, 0.0f}, {9.0f, 13.0f}, {15.0f, 13.0f}, {24.0f, 13.5f}}));
    EXPECT_TRUE(entered("Generator_interactive"));
    ASSERT_TRUE(walk({{15.0f, 13.0f}, {9.0f, 13.0f}, {9.0f, -13.0f}, {15.0f, -13.0f}, {27.0f, -11.0f}}));
    EXPECT_FALSE(walk({{32.5f, -11.0f}}));
    EXPECT_FALSE(entered("file_item"));
    open("Shower_door_box");
    ASSERT_TRUE(walk({{32.5f, -11.0f}, {33.0f, -16.5f}}));
    EXPECT_TRUE(entered("file_item"));

    // The cabinet, then the rack stands in the way of the duck until the cabinet acts.
    ASSERT_TRUE(walk(
        {{27.0f, -11.0f}, {15.0f, -13.0f}, {9.0f, -13.0f}, {9.0f, 0.0f}, {14.0f, 0.0f}, {22.0f, -3.5f}}));
    EXPECT_TRUE(entered("cabinet_interactive"));
    EXPECT_FALSE(walk({{26.0f, -0.5f}, {31.0f, -0.5f}}));
    EXPECT_FALSE(entered("Duck_item"));
    open("Racking_CrossBeams31_box");
    ASSERT_TRUE(walk({{31.0f, -0.5f}}));
    EXPECT_TRUE(entered("Duck_item"));

    // Back to the sink.
    ASSERT_TRUE(walk(
        {{24.0f, -0.5f}, {14.0f, 0.0f}, {9.0f, 0.0f}, {9.0f, -13.0f}, {15.0f, -13.0f}, {17.5f, -11.5f}}));
    EXPECT_TRUE(entered("sink_interactive"));
}

TEST_F(HouseRouteTest, MonsterPatrolsThereAndBackWithTheGamesController) {
    // Walked as the monster walks: straight at 7 units/s towards the next waypoint, the heading
    // taken in three dimensions from its centre, turning when within 0.5 horizontally.
    std::map<std::string, glm::vec3> sorted;
    for (const HouseNode& n : house_.nodes()) {
        if (n.name.compare(0, 9, "Waypoint_") == 0) {
            sorted[n.name] = glm::vec3(n.world[3]);
        }
    }
    std::vector<glm::vec3> path;
    for (const auto& entry : sorted) path.push_back(entry.second);
    ASSERT_GE(path.size(), 4u);
    auto monster = world_->createEnemyController(path[0]);
    ASSERT_NE(monster, nullptr);

    constexpr float dt = 1.0f / 60.0f;
    const int legs = 2 * static_cast<int>(path.size() - 1);  // out and back
    int target = 1;
    bool forward = true;
    std::vector<int> reached;
    glm::vec3 direction = glm::normalize(path[1] - path[0]);
    for (int step = 0; step < 60 * 60 && static_cast<int>(reached.size()) < legs; ++step) {
        monster->controller->move(direction * 7.0f * dt, monster->minDist, dt, monster->filters);
        const glm::vec3 p(monster->controller->getPosition());
        if (glm::length(glm::vec2(path[target].x - p.x, path[target].z - p.z)) >= 0.5f) continue;
        reached.push_back(target);
        if (forward && target + 1 == static_cast<int>(path.size())) forward = false;
        if (!forward && target == 0) forward = true;
        target += forward ? 1 : -1;
        direction = glm::normalize(path[target] - p);
    }
    std::vector<int> expected;
    for (int i = 1; i < static_cast<int>(path.size()); ++i) expected.push_back(i);
    for (int i = static_cast<int>(path.size()) - 2; i >= 0; --i) expected.push_back(i);
    EXPECT_EQ(reached, expected) << "the monster got stuck on its way";
}

}  // namespace
}  // namespace vestrel::housetest
