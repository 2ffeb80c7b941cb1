#include "render/GlContext.h"

#include <GLFW/glfw3.h>

namespace vestrel {

bool hasCurrentGlContext() { return glfwGetCurrentContext() != nullptr; }

}  // namespace vestrel
