#pragma once

#include <string>

#include "render/TextureCache.h"

namespace vestrel::test {

// Drops the monster's material textures from the cache while the test's GL
// context is still current. Each test has a context of its own, and a later
// test reloading the same key would otherwise delete the old GL name in the
// new context, where the same number may already be the new texture.
inline void forgetMonsterTextures() {
    auto& textures = TextureCache::instance().textures;
    const std::string prefix = "Assets\\enemy_rigged.dae";
    for (auto it = textures.begin(); it != textures.end();) {
        it = it->first.compare(0, prefix.size(), prefix) == 0 ? textures.erase(it) : std::next(it);
    }
}

}  // namespace vestrel::test
