#pragma once

#include <glm/mat4x4.hpp>

#include "render/BaseSceneObject.h"

namespace vestrel {

// What the renderer's passes ask of a drawable; one value per pass.
enum class DrawMode : int {
    Normal = 0,      // lit scene: "mvp", "model", texture on "tex"
    Highlight = 1,   // flat-colour silhouette: "mvp" only
    HiddenText = 2,  // flashlight-revealed writing: "mvp", "model", texture on "tex"
    Glass = 3,       // transparent objects: "mvp", texture on "tex"
};

// A scene object the level tree updates and draws. Abstract.
class SceneObject : public BaseSceneObject {
public:
    using BaseSceneObject::BaseSceneObject;

    // Called once per simulation step for every object of the level tree.
    virtual void update(float /*deltaSeconds*/) {}

    // Draws with the program currently in use; never changes the active
    // program. The caller has set the pass uniforms.
    virtual void draw(const glm::mat4& viewProjection, DrawMode mode) = 0;
};

}  // namespace vestrel
