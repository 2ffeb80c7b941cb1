// Sanitized test programs: keep Mesa's software driver loaded until exit.
//
// libGLX unloads the driver when the last context goes, which leaves the
// driver's few start-up allocations without symbols, so the leak
// suppressions in lsan.supp cannot match them and every GL test would end
// with a leak report. Loading it once more with RTLD_NODELETE pins it.
#if defined(__SANITIZE_ADDRESS__)
#include <dlfcn.h>

#include <initializer_list>

namespace {

struct PinGlDriver {
    PinGlDriver() {
        for (const char* path : {"/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", "swrast_dri.so"}) {
            if (dlopen(path, RTLD_LAZY | RTLD_NODELETE) != nullptr) {
                return;
            }
        }
    }
};

const PinGlDriver pin;

}  // namespace
#endif
