#pragma once

#include <string>

namespace vestrel {

class Texture;

// One game-over button ("EXIT" or "RESTART"). Its rectangle is in window
// pixels with y counted from the bottom edge, set by the HUD at every layout;
// the game loop and the game-over state move `state` between 0 normal,
// 1 mouse over and 2 pressed.
class Button {
public:
    int state = 0;
    float x = 0.0f;
    float y = 0.0f;
    float width = 0.0f;
    float height = 0.0f;
    std::string name;
    Texture* normalTexture = nullptr;  // not owning (texture cache)
    Texture* mouseOverTexture = nullptr;
    Texture* pressedTexture = nullptr;
    int textureWidth = 0;  // size of the last image assigned (the pressed one)
    int textureHeight = 0;

    Button() = default;
    explicit Button(std::string buttonName);
    virtual ~Button();

    // Assigns the three images in the order normal, mouse over, pressed;
    // the size fields follow each non-null image, so they end up holding the
    // pressed image's size.
    void setTextures(Texture* normal, Texture* mouseOver, Texture* pressed);

    // The texture-cache key of the current image: name + "_NORMAL",
    // "_MOUSEOVER" or "_PRESSED" for states 0, 1, 2 (any other state shows
    // the normal image).
    std::string textureKey() const;

    // Strict inside test of a point in the button's (bottom-up) pixels.
    bool contains(float px, float py) const;
};

}  // namespace vestrel
