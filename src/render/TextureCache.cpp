#include "render/TextureCache.h"

#include <IL/il.h>
#include <IL/ilu.h>

#include <iostream>

#include "app/Platform.h"

namespace vestrel {

namespace {

void printImageError(ILenum error) {
    std::cout << "Error Code: " << error << std::endl;
    const char* text = iluErrorString(error);
    std::cout << (text != nullptr ? text : "") << std::endl;
}

}  // namespace

TextureCache& TextureCache::instance() {
    static TextureCache cache;
    return cache;
}

TextureCache::TextureCache() {
    ilInit();
    iluInit();
    const ILenum error = ilGetError();
    if (error != IL_NO_ERROR) {
        std::cout << "Failed to initialize DevIL" << std::endl;
        printImageError(error);
        fatalExit();
    }
}

Texture* TextureCache::load(const std::string& path, const std::string& key) {
    // Errors left over from earlier calls would be taken for this load's.
    while (ilGetError() != IL_NO_ERROR) {
    }
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);

    const ILboolean loaded = ilLoadImage(nativePath(path).c_str());
    ILenum error = ilGetError();
    if (error != IL_NO_ERROR || loaded != IL_TRUE) {
        std::cout << "Failed to load image from path: " << path << std::endl;
        // A decoder can fail without setting an error; report it as a bad file.
        printImageError(error != IL_NO_ERROR ? error : static_cast<ILenum>(IL_INVALID_FILE_HEADER));
        ilDeleteImages(1, &image);
        return nullptr;
    }

    // Textures go up bottom row first. The image library keeps each file's
    // own row order and says which it is: PNG and JPEG are stored top row
    // first and are flipped; most TGA and BMP files are stored bottom row
    // first already and go up as they are.
    if (ilGetInteger(IL_IMAGE_ORIGIN) != IL_ORIGIN_LOWER_LEFT) iluFlipImage();
    const int height = ilGetInteger(IL_IMAGE_HEIGHT);
    const int width = ilGetInteger(IL_IMAGE_WIDTH);

    if (ilConvertImage(IL_RGB, IL_UNSIGNED_BYTE) != IL_TRUE) {
        std::cout << "Failed to convert image" << std::endl;
        printImageError(ilGetError());
        ilDeleteImages(1, &image);
        return nullptr;
    }

    auto texture = std::make_shared<Texture>(width, height);
    texture->upload(ilGetData(), width, height);
    ilDeleteImages(1, &image);

    textures[key] = texture;
    return texture.get();
}

Texture* TextureCache::find(const std::string& key) const {
    const auto entry = textures.find(key);
    return entry != textures.end() ? entry->second.get() : nullptr;
}

}  // namespace vestrel
