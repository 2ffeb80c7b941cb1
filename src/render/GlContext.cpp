#include "render/GlContext.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <GL/glx.h>
#endif

namespace vestrel {

bool hasCurrentGlContext() {
#if defined(_WIN32)
    return wglGetCurrentContext() != nullptr;
#else
    return glXGetCurrentContext() != nullptr;
#endif
}

}  // namespace vestrel
