#pragma once

#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

#include "level/InteractiveObject.h"
#include "play/Player.h"
#include "render/ViewFrustum.h"

struct aiNode;
struct aiScene;
namespace Assimp {
class Importer;
}

namespace vestrel {

class Button;
class Camera;
class Enemy;
class GameObject;
class InteractiveSwitch;
class Item;
class Shader;
class Texture;
struct ControllerRecord;
struct Light;

// The factors the level's light colours are multiplied by: x for point and
// spot lights, y for directional ones. 1 when every colour of the group is at
// most 1; otherwise 1 / the strongest channel of the group, for files that
// write colour x power (Blender's exporter).
glm::vec2 lightColourScales(const aiScene* scene);

// Loads the diffuse texture of every material of `scene` that has one into
// the TextureCache, keyed by `path` followed by the material's index; the
// image is read from the folder of `path` (up to its last "\") + "/" + the
// texture's own path. Missing images are reported by the cache and skipped.
// A texture path that is absolute, or that climbs out of that folder with
// "..", is never read as written: an image of the same file name beside the
// level or in its "Textures" folder is used instead, with a console line,
// and without one the texture is refused with a console line.
void loadMaterialTextures(const aiScene* scene, const std::string& path);

// The deepest element nesting of an XML text, counting stops once it passes
// `limit` (the result is then limit + 1). Comments, CDATA, processing
// instructions and quoted attribute values are skipped; a text that does not
// start with "<" (after a byte-order mark and blanks) is not XML and gives 0.
int xmlNestingDepth(const std::string& text, int limit);

// The points of a target's bounds (min x, y, z, max x, y, z) that the
// player's eye must see one of to reach it: the centre, the middle of the
// top face, and the point of the bounds nearest the eye, each pulled a tenth
// of the way in towards the centre so that a ray ending there stops inside
// the target rather than on a wall it touches.
std::array<glm::vec3, 3> reachPoints(const std::array<float, 6>& bounds, const glm::vec3& eye);

// Collada files (the level, the monster's model) whose elements nest deeper
// than this are refused before import. The house nests a handful of levels;
// the importer and the object tree recurse once per level.
constexpr int kMaxColladaNesting = 256;

// Why the Collada file at `path` must not go to the importer: a folder in
// its place, a file that cannot be read, or elements nested deeper than
// kMaxColladaNesting. Empty when it may go (a missing file too: the importer
// reports that in its own words). Every Collada file the game reads is
// checked with this first.
std::string colladaRefusal(const std::string& path);

// Everything of one game: the level's object tree and lookup tables, its
// lights, the player, the camera, the monster and the game-over buttons.
// The Game creates a new Level at start and at every restart.
class Level {
public:
    const aiScene* scene = nullptr;  // owned by `importer`
    std::unique_ptr<Assimp::Importer> importer;
    std::unique_ptr<GameObject> rootObject;
    std::vector<std::shared_ptr<Light>> lights;  // the flashlight first, then the level's lights
    glm::vec3 ambient{0.0f};
    ViewFrustum frustum;
    std::map<std::string, std::shared_ptr<Item>> items;
    std::map<std::string, std::shared_ptr<Item>> itemsInWorld;  // not yet picked up
    std::map<std::string, GameObject*> interactives;
    std::map<std::string, GameObject*> boxes;
    std::vector<std::string> boxNames;
    std::map<std::string, std::shared_ptr<InteractiveSwitch>> switches;
    std::vector<std::shared_ptr<GameObject>> hiddenTextObjects;
    std::vector<std::shared_ptr<GameObject>> transparentObjects;
    GameObject* tvObject = nullptr;
    std::vector<Texture*> tvFrames;
    int tvFrameIndex = 0;
    float tvFrameTime = 0.0f;
    float tvElapsed = 0.0f;
    Button* exitButton = nullptr;
    Button* restartButton = nullptr;
    std::vector<std::shared_ptr<Button>> buttons;  // Exit first, then Restart
    int stateId = 0;                               // current game state: 0 play, 1 game over, 2 loading
    Player player;
    std::unique_ptr<Enemy> enemy;
    std::unique_ptr<Camera> camera;
    // The objects of items and interaction zones: they hang in no tree, so
    // the level keeps them alive while Items and switches point at them.
    std::vector<std::shared_ptr<GameObject>> detachedObjects;
    // The character controllers of this game; the player and the monster
    // point at them.
    std::unique_ptr<ControllerRecord> playerControllerRecord;
    std::unique_ptr<ControllerRecord> enemyControllerRecord;

    // Takes the ambient colour from GameSettings; nothing else is loaded.
    Level();
    virtual ~Level();
    Level(const Level&) = delete;
    Level& operator=(const Level&) = delete;

    // Creates the camera for the GameSettings window size, loads
    // "Assets/Screen_message/Loadingscreen/Loadingscreen_0.png" into the
    // texture cache as "MESSAGE_LOADING_0" and prints "Done loading screen".
    // Needs a current GL context (the image is uploaded).
    void loadLoadingScreen();

    // The loading state's set-up: the culling frustum, the flashlight, the
    // names of the movable boxes, the "WIN" and "LOST" images and the Exit
    // and Restart buttons with their images. Needs a current GL context.
    void setUp();

    // The window's picture changed size: the camera's projection and cursor
    // centre and the culling frustum take the new aspect ratio.
    void resizeView(int width, int height);

    // The player's vertical field of view in degrees: the camera's
    // projection and the culling frustum take it.
    void setFieldOfView(float degrees);

    // Reads the level file at `path` (once per Level; backslashes allowed),
    // loads its material textures, converts its lights and builds the object
    // tree, the item, zone, box, glass and hidden-text tables, the sound
    // emitters and the monster's waypoints. Every level mesh starts with
    // `meshShader`; `monsterShader` is kept for the monster's model. Prints
    // "Error parsing <path>: <reason>" and returns false (building nothing)
    // when the file cannot be read or nests deeper than kMaxColladaNesting.
    bool loadLevel(const std::string& path, Shader* meshShader, Shader* monsterShader);

    // Wraps `light` (ownership taken) and appends it to `lights`.
    void addLight(Light* light);

    // The flashlight's colour mode for the renderer: 0 white, 1 blue.
    int flashlightColourMode() const { return player.flashlightMode; }

    // One fixed step of the play: player, monster, capture test, TV, culling
    // frustum, sound listener and the object tree's timed moves.
    void update(int cursorX, int cursorY, float dt);

    // Completes the item and switch tables once the level is built: item
    // icons, the four switches with their zones, boxes and required items,
    // then empties the build-time tables and fills `itemsInWorld`. A zone,
    // box or item the level lacks is reported once and left out; the rest of
    // the puzzle still works.
    void setUpItemsAndSwitches();

    // The interact key: picks up the targeted item ("Picked up item: <name>")
    // or hands the inventory to the targeted switch. Nothing without a target,
    // and nothing (silently) when the target is out of reach.
    InteractOutcome interact();

    // Whether the player's eye sees the target's object past every solid
    // shape of the physics world (its own box, trigger spheres and the
    // capsules aside): a straight line to one of its reachPoints is clear.
    // True without an item or zone target, for a target without bounds and
    // without a physics world to ask; false for a target name that is no
    // item or switch of the level.
    bool targetInReach() const;

    // The object of the item or switch called `name`; null for other names.
    GameObject* targetObject(const std::string& name) const;

    // Loads every entry of `folder` (in listing order) as a TV frame, cached
    // under its name; one that does not load (a subdirectory, a file that is
    // no image) keeps its place as a null frame.
    void loadTvFrames(const std::string& folder = "Assets/TV_animated/");

    // Advances the TV by `dt` seconds: at most one frame change per call,
    // every `tvFrameTime` seconds. Without frames or a TV object it does nothing.
    void updateTv(float dt);

private:
    void convertLights();
    void buildObjects(Shader* meshShader, const std::string& path);
    void visitNode(aiNode* node, GameObject* object, Shader* meshShader, const std::string& path);
    void placeObject(const std::shared_ptr<GameObject>& child, GameObject* parentObject);
};

}  // namespace vestrel
