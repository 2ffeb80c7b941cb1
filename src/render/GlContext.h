#pragma once

namespace vestrel {

// True while the calling thread has an OpenGL context made current.
//
// GL owners (shaders, textures, buffers) check this before deleting their
// names: some of them outlive the window (the texture cache lives to program
// exit, the Level is deleted after the window), and a GL call without a
// current context is undefined. Releasing a name after its context is gone is
// therefore a no-op; the driver already freed it with the context.
bool hasCurrentGlContext();

}  // namespace vestrel
