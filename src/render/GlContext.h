#pragma once

namespace vestrel {

// True while this thread has a current OpenGL context. GL owners check it
// before deleting their objects: the level is deleted after the window is
// destroyed (and the renderer after GLFW is terminated), and those late
// releases must be harmless no-ops. Deliberately asks the GL window-system
// layer, not GLFW, so it is safe to call after glfwTerminate.
bool hasCurrentGlContext();

}  // namespace vestrel
