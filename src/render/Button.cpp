#include "render/Button.h"

#include <utility>

#include "render/Texture.h"

namespace vestrel {

Button::Button(std::string buttonName) : name(std::move(buttonName)) {}

Button::~Button() = default;

void Button::setTextures(Texture* normal, Texture* mouseOver, Texture* pressed) {
    for (Texture** slot : {&normalTexture, &mouseOverTexture, &pressedTexture}) {
        Texture* image = slot == &normalTexture ? normal : slot == &mouseOverTexture ? mouseOver : pressed;
        *slot = image;
        if (image) {
            textureWidth = image->width;
            textureHeight = image->height;
        }
    }
}

std::string Button::textureKey() const {
    switch (state) {
        case 1:
            return name + "_MOUSEOVER";
        case 2:
            return name + "_PRESSED";
        default:
            return name + "_NORMAL";
    }
}

bool Button::contains(float px, float py) const {
    return px > x && px < x + width && py > y && py < y + height;
}

}  // namespace vestrel
