#pragma once

#include <cstdint>

namespace vestrel {

// Which static actors PhysicsWorld::createActor builds for a level object.
// Stored as an integer in each level object; values outside this list build
// nothing.
enum class PhysicsShapeKind : std::int32_t {
    None = 0,            // no physics at all
    TriangleMesh = 1,    // one solid actor with the object's triangles
    Box = 2,             // one solid box fitted to the object's bounds
    BoxWithTrigger = 3,  // the box of Box plus a trigger sphere
    Trigger = 4,         // only the trigger sphere
};

}  // namespace vestrel
