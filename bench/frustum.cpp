// Cost of the per-step frustum rebuild and of the per-frame box tests for a
// level-sized object count. Prints microseconds of process CPU time, so other
// work on the machine does not inflate the numbers. Not run by CTest.
#include <array>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <random>
#include <vector>

#include "render/ViewFrustum.h"

namespace {

double cpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

glm::vec3 directionAt(int frame) {
    const float yaw = static_cast<float>(frame) * 0.01f;
    return {std::cos(yaw), -0.1f, std::sin(yaw)};
}

}  // namespace

int main() {
    constexpr int kObjects = 600;  // a generous house
    constexpr int kFrames = 20000;

    std::mt19937 random(7);
    std::uniform_real_distribution<float> coord(-40.0f, 40.0f), size(0.2f, 6.0f);
    std::vector<std::array<float, 6>> boxes(kObjects);
    for (auto& box : boxes) {
        const float x = coord(random), y = coord(random) * 0.2f, z = coord(random), s = size(random);
        box = {x, y, z, x + s, y + s, z + s};
    }

    vestrel::ViewFrustum frustum;
    frustum.setParameters(60.0f, 0.1f, 60.0f, 1280.0f / 720.0f);
    frustum.cullingEnabled = true;

    const double updateStart = cpuSeconds();
    for (int frame = 0; frame < kFrames; ++frame) {
        frustum.update(glm::vec3(0.0f, 3.0f, 0.0f), directionAt(frame));
    }
    const double updateSeconds = cpuSeconds() - updateStart;

    long culled = 0;
    const double testStart = cpuSeconds();
    for (int frame = 0; frame < kFrames; frame += 10) {
        frustum.update(glm::vec3(0.0f, 3.0f, 0.0f), directionAt(frame));
        frustum.culledCount = 0;
        for (const auto& box : boxes) {
            frustum.cull(box);
        }
        culled += frustum.culledCount;
    }
    const double testSeconds = cpuSeconds() - testStart;
    const int testedFrames = kFrames / 10;

    std::printf("frustum update: %.3f us\n", updateSeconds / kFrames * 1e6);
    std::printf("%d box tests:   %.3f us per frame (%.1f%% culled)\n", kObjects,
                testSeconds / testedFrames * 1e6,
                100.0 * static_cast<double>(culled) / (static_cast<double>(testedFrames) * kObjects));
    return 0;
}
