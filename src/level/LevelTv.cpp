// The flip-book TV: frames from "Assets/TV_animated/", stepped with the
// simulation clock.

#include "level/DirectoryListing.h"
#include "level/GameObject.h"
#include "level/Level.h"
#include "render/Mesh.h"
#include "render/TextureCache.h"

namespace vestrel {

void Level::loadTvFrames(const std::string& folder) {
    // A second set-up of the same level replaces the frames, never doubles them.
    tvFrames.clear();
    TextureCache& cache = TextureCache::instance();
    for (const std::string& name : listDirectory(folder)) {
        // The cache reports a file that is no image; its null frame keeps the
        // frame count the folder gave.
        tvFrames.push_back(cache.load(folder + name, name));
    }
}

void Level::updateTv(float dt) {
    if (tvFrames.empty() || tvObject == nullptr || !tvObject->mesh) return;
    tvElapsed += dt;
    if (tvElapsed >= tvFrameTime) {
        tvFrameIndex = (tvFrameIndex + 1) % static_cast<int>(tvFrames.size());
        tvObject->mesh->texture = tvFrames[static_cast<std::size_t>(tvFrameIndex)];
        tvElapsed -= tvFrameTime;
    }
}

}  // namespace vestrel
