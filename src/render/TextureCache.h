#pragma once

#include <map>
#include <memory>
#include <string>

#include "render/Texture.h"

namespace vestrel {

// The process-wide store of loaded images, by key (an item name, "FONT_TEXTURE",
// a level path followed by a material index, ...). Created on first use,
// which also initialises DevIL and ILU (a failure there is fatal), and kept to
// program exit.
class TextureCache {
public:
    std::map<std::string, std::shared_ptr<Texture>> textures;

    static TextureCache& instance();

    // Loads the image at `path` (backslashes allowed), converts it to 8-bit
    // RGB (alpha is dropped), puts the bottom row first whatever row order
    // the file stores, and uploads it. Stores it under `key`, replacing and releasing any earlier
    // entry, and returns it; the pointer stays valid while the entry does.
    // On failure the reason is printed, nothing is stored and null returned.
    Texture* load(const std::string& path, const std::string& key);

    // The texture under `key`, or null.
    Texture* find(const std::string& key) const;

    TextureCache(const TextureCache&) = delete;
    TextureCache& operator=(const TextureCache&) = delete;

private:
    TextureCache();
};

}  // namespace vestrel
