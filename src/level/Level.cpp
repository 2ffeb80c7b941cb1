#include "level/Level.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <iostream>

#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <assimp/Importer.hpp>

#include "app/GameSettings.h"
#include "app/Platform.h"
#include "audio/SoundSystem.h"
#include "enemy/Enemy.h"
#include "level/GameObject.h"
#include "level/InteractionSimulationCallback.h"
#include "level/InteractiveSwitch.h"
#include "level/Item.h"
#include "physics/ControllerRecord.h"
#include "physics/PhysicsShapeKind.h"
#include "physics/PhysicsWorld.h"
#include "play/Camera.h"
#include "render/Button.h"
#include "render/Light.h"
#include "render/Mesh.h"
#include "render/TextureCache.h"

namespace vestrel {

namespace {

constexpr float kFrustumFieldOfView = 60.0f;
constexpr float kFrustumNear = 0.1f;
constexpr float kFrustumFar = 60.0f;

// JoinIdenticalVertices | Triangulate | ValidateDataStructure (0x40A).
constexpr unsigned kLevelImportFlags =
    aiProcess_JoinIdenticalVertices | aiProcess_Triangulate | aiProcess_ValidateDataStructure;
static_assert(kLevelImportFlags == 0x40A, "the level is read with exactly these post-processing steps");

// A spot light's soft edge: the outer cone is this much wider than the inner one.
constexpr float kSpotEdgeRadians = 0.2f;

glm::vec3 toGlmColour(const aiColor3D& c) { return glm::vec3(c.r, c.g, c.b); }
glm::vec3 toGlmVector(const aiVector3D& v) { return glm::vec3(v.x, v.y, v.z); }

// Loads the three images of one button ("EXIT" or "RESTART") and builds it.
std::shared_ptr<Button> makeButton(const std::string& name, const std::string& fileStem) {
    TextureCache& cache = TextureCache::instance();
    const std::string folder = "Assets/Screen_message/Buttons/";
    Texture* normal = cache.load(folder + fileStem + ".png", name + "_NORMAL");
    Texture* mouseOver = cache.load(folder + fileStem + "_Mouseover.png", name + "_MOUSEOVER");
    Texture* pressed = cache.load(folder + fileStem + "_Pressed.png", name + "_PRESSED");
    auto button = std::make_shared<Button>(name);
    button->setTextures(normal, mouseOver, pressed);
    return button;
}

// True when `texturePath`, read relative to the level's folder, stays inside
// it: not absolute (no leading separator, no drive or scheme colon) and no
// ".." that climbs above the folder. "a/../b.png" stays inside.
bool staysInsideFolder(const std::string& texturePath) {
    if (texturePath.empty() || texturePath[0] == '/' || texturePath[0] == '\\') return false;
    if (texturePath.find(':') != std::string::npos) return false;
    int depth = 0;
    std::size_t start = 0;
    while (start <= texturePath.size()) {
        std::size_t end = texturePath.find_first_of("/\\", start);
        if (end == std::string::npos) end = texturePath.size();
        const std::string part = texturePath.substr(start, end - start);
        if (part == "..") {
            if (--depth < 0) return false;
        } else if (!part.empty() && part != ".") {
            ++depth;
        }
        start = end + 1;
    }
    return true;
}

// Skips from `from` past the first occurrence of `terminator`; the end of the
// text when there is none.
std::size_t skipPast(const std::string& text, std::size_t from, const char* terminator) {
    const std::size_t at = text.find(terminator, from);
    return at == std::string::npos ? text.size() : at + std::char_traits<char>::length(terminator);
}

}  // namespace

int xmlNestingDepth(const std::string& text, int limit) {
    std::size_t i = 0;
    // Byte-order mark and leading blanks; anything else first is not XML.
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) i = 3;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    if (i >= text.size() || text[i] != '<') return 0;

    int depth = 0;
    int deepest = 0;
    while (i < text.size()) {
        i = text.find('<', i);
        if (i == std::string::npos) break;
        if (text.compare(i, 4, "<!--") == 0) {
            i = skipPast(text, i + 4, "-->");
        } else if (text.compare(i, 9, "<![CDATA[") == 0) {
            i = skipPast(text, i + 9, "]]>");
        } else if (text.compare(i, 2, "<?") == 0) {
            i = skipPast(text, i + 2, "?>");
        } else if (text.compare(i, 2, "<!") == 0) {
            i = skipPast(text, i + 2, ">");
        } else if (text.compare(i, 2, "</") == 0) {
            if (depth > 0) --depth;
            i = skipPast(text, i + 2, ">");
        } else {
            // An opening tag: find its end outside quoted attribute values.
            std::size_t j = i + 1;
            char quote = 0;
            for (; j < text.size(); ++j) {
                const char c = text[j];
                if (quote != 0) {
                    if (c == quote) quote = 0;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '>') {
                    break;
                }
            }
            const bool selfClosing = j < text.size() && text[j - 1] == '/';
            if (!selfClosing) {
                ++depth;
                deepest = std::max(deepest, depth);
                if (deepest > limit) return deepest;
            }
            i = j + 1;
        }
    }
    return deepest;
}

std::string colladaRefusal(const std::string& path) {
    const std::string native = nativePath(path);
    std::error_code error;
    if (!std::filesystem::exists(native, error)) return std::string();
    if (std::filesystem::is_directory(native, error)) return "a folder, not a file";
    std::string text;
    if (!readWholeFile(path, text)) return "the file cannot be read";
    // The importer reads nested nodes recursively and runs out of stack
    // somewhere past a few thousand levels.
    if (xmlNestingDepth(text, kMaxColladaNesting) > kMaxColladaNesting) {
        return "elements nested deeper than " + std::to_string(kMaxColladaNesting) + " levels";
    }
    return std::string();
}

Level::Level() : ambient(GameSettings::instance().ambientLight) {}

Level::~Level() {
    // The physics world outlives the level: its trigger events must not
    // reach this player once it is gone.
    if (PhysicsWorld::exists()) {
        auto* callback =
            dynamic_cast<InteractionSimulationCallback*>(PhysicsWorld::instance().simulationEventCallback());
        if (callback != nullptr && callback->player == &player) callback->player = nullptr;
    }
}

void Level::loadLoadingScreen() {
    const GameSettings& settings = GameSettings::instance();
    camera = std::make_unique<Camera>(settings.windowWidth, settings.windowHeight);
    TextureCache::instance().load("Assets/Screen_message/Loadingscreen/Loadingscreen_0.png",
                                  "MESSAGE_LOADING_0");
    std::cout << "Done loading screen" << std::endl;
}

namespace {

// For a texture path refused as outside the level's folder: the file of the
// same name beside the level, else in its Textures folder, relative to
// `folder`; empty when neither exists.
std::string findBesideLevel(const std::string& folder, const std::string& texturePath) {
    const std::size_t slash = texturePath.find_last_of("/\\");
    const std::string name = slash == std::string::npos ? texturePath : texturePath.substr(slash + 1);
    if (name.empty() || name == "." || name == ".." || name.find(':') != std::string::npos) return {};
    for (const std::string& candidate : {name, "Textures/" + name}) {
        std::error_code error;
        if (std::filesystem::is_regular_file(nativePath(folder + "/" + candidate), error)) return candidate;
    }
    return {};
}

}  // namespace

void loadMaterialTextures(const aiScene* scene, const std::string& path) {
    if (scene == nullptr) return;
    const std::size_t cut = path.rfind('\\');
    std::string folder;
    if (cut == std::string::npos) {
        folder = ".";
    } else if (cut == 0) {
        folder = "\\";
    } else {
        folder = path.substr(0, cut);
    }
    TextureCache& cache = TextureCache::instance();
    for (unsigned i = 0; i < scene->mNumMaterials; ++i) {
        const aiMaterial* material = scene->mMaterials[i];
        if (material == nullptr || material->GetTextureCount(aiTextureType_DIFFUSE) == 0) continue;
        aiString texturePath;
        if (material->GetTexture(aiTextureType_DIFFUSE, 0, &texturePath) != aiReturn_SUCCESS) continue;
        // A level names its images relative to its own folder; anything that
        // reaches elsewhere on the disk is refused, not read. Exporters that
        // write absolute paths (Blender without "Copy") still find an image
        // of the same name put beside the level or in its Textures folder.
        if (!staysInsideFolder(texturePath.C_Str())) {
            const std::string local = findBesideLevel(folder, texturePath.C_Str());
            if (local.empty()) {
                std::cout << "Texture \"" << texturePath.C_Str() << "\" of material " << i << " in " << path
                          << " is outside the level's folder; not loaded" << std::endl;
                continue;
            }
            std::cout << "Texture \"" << texturePath.C_Str() << "\" of material " << i << " in " << path
                      << " is outside the level's folder; using " << local << std::endl;
            cache.load(folder + "/" + local, path + std::to_string(i));
            continue;
        }
        cache.load(folder + "/" + texturePath.C_Str(), path + std::to_string(i));
    }
}

bool Level::loadLevel(const std::string& path, Shader* meshShader, Shader* monsterShader) {
    if (scene == nullptr) {
        const std::string refusal = colladaRefusal(path);
        if (!refusal.empty()) {
            std::cout << "Error parsing " << path << ": " << refusal << std::endl;
            return false;
        }
        if (!importer) importer = std::make_unique<Assimp::Importer>();
        scene = importer->ReadFile(nativePath(path), kLevelImportFlags);
        if (scene == nullptr || scene->mRootNode == nullptr) {
            std::cout << "Error parsing " << path << ": " << importer->GetErrorString() << std::endl;
            scene = nullptr;
            return false;
        }
    }
    // The object pass folds every node's transformation into the imported
    // scene, so a second pass over the same scene would place everything
    // twice; the level built by the first call stands.
    if (rootObject) return true;

    if (!enemy) enemy = std::make_unique<Enemy>();
    loadMaterialTextures(scene, path);
    convertLights();
    buildObjects(meshShader, path);
    enemy->load(lights, camera.get(), monsterShader);
    return true;
}

namespace {

float strongestChannel(const aiColor3D& c) { return std::max({c.r, c.g, c.b}); }

}  // namespace

glm::vec2 lightColourScales(const aiScene* scene) {
    // Blender's exporter writes a lamp's colour times its power in watts (a
    // white 1000 W lamp becomes 1000, 1000, 1000) while the shaders expect
    // colours up to 1. A level with a channel above 1 is read as colour x
    // power: its lamps are divided by the strongest channel among them, which
    // keeps hues and the ratios between lamps. Suns carry an irradiance, not
    // watts, so they are scaled among themselves.
    float lamps = 0.0f;
    float suns = 0.0f;
    for (unsigned i = 0; scene != nullptr && i < scene->mNumLights; ++i) {
        const aiLight* light = scene->mLights[i];
        if (light == nullptr) continue;
        const float strongest = strongestChannel(light->mColorDiffuse);
        if (!std::isfinite(strongest)) continue;
        if (light->mType == aiLightSource_DIRECTIONAL) {
            suns = std::max(suns, strongest);
        } else if (light->mType == aiLightSource_POINT || light->mType == aiLightSource_SPOT) {
            lamps = std::max(lamps, strongest);
        }
    }
    return glm::vec2(lamps > 1.0f ? 1.0f / lamps : 1.0f, suns > 1.0f ? 1.0f / suns : 1.0f);
}

void Level::convertLights() {
    aiNode* root = scene->mRootNode;
    const glm::vec2 scales = lightColourScales(scene);
    if (scales.x != 1.0f || scales.y != 1.0f) {
        std::cout << "Light colours above 1 read as colour x power: lamps scaled by " << scales.x
                  << ", suns by " << scales.y << std::endl;
    }
    for (unsigned i = 0; i < scene->mNumLights; ++i) {
        const aiLight* source = scene->mLights[i];
        if (source == nullptr) continue;
        const aiLightSourceType type = source->mType;
        if (type != aiLightSource_POINT && type != aiLightSource_DIRECTIONAL && type != aiLightSource_SPOT) {
            continue;
        }
        auto light = std::make_unique<Light>();
        light->intensity =
            toGlmColour(source->mColorDiffuse) * (type == aiLightSource_DIRECTIONAL ? scales.y : scales.x);
        light->enabled = true;
        light->coneDirection = glm::vec3(0.0f);
        aiNode* node = root->FindNode(source->mName);
        // The file gives a spot's axis and a sun's direction in the light
        // node's own space: they turn with the node's rotation and the file's
        // Z-up to Y-up turn, as positions do.
        aiMatrix3x3 turn(root->mTransformation);
        if (node != nullptr) {
            node->mTransformation = root->mTransformation * node->mTransformation;
            const aiMatrix4x4& m = node->mTransformation;
            light->position = glm::vec3(m.a4, m.b4, m.c4);
            turn = aiMatrix3x3(m);
        } else if (type != aiLightSource_DIRECTIONAL) {
            // A light whose node is gone still has its own position, which the
            // importer gives relative to the root.
            std::cout << "Light " << source->mName.C_Str() << " has no node; placed by its own position"
                      << std::endl;
            const aiVector3D p = root->mTransformation * source->mPosition;
            light->position = toGlmVector(p);
        }
        aiVector3D axis = turn * source->mDirection;
        if (axis.Length() > 0.0f) axis.Normalize();
        if (type == aiLightSource_DIRECTIONAL) {
            // A directional light carries its travel direction where others
            // carry a position.
            light->type = LightType::Directional;
            light->position = toGlmVector(axis);
            addLight(light.release());
            continue;
        }
        light->constAttenuation = source->mAttenuationConstant;
        light->linearAttenuation = source->mAttenuationLinear;
        light->quadraticAttenuation = source->mAttenuationQuadratic;
        if (type == aiLightSource_SPOT) {
            light->type = LightType::Spot;
            light->coneDirection = toGlmVector(axis);
            light->coneInnerAngle = std::cos(source->mAngleInnerCone);
            light->coneOuterAngle = std::cos(source->mAngleInnerCone + kSpotEdgeRadians);
        } else {
            light->type = LightType::Point;
        }
        addLight(light.release());
    }
}

void Level::buildObjects(Shader* meshShader, const std::string& path) {
    aiNode* rootNode = scene->mRootNode;
    rootObject = std::make_unique<GameObject>();
    rootObject->initFromNode(nullptr, rootNode, scene->mMeshes, scene->mNumMeshes, meshShader, path);
    if (GameObject::isWaypointName(rootNode->mName.C_Str())) {
        const aiMatrix4x4& m = rootNode->mTransformation;
        const aiVector3D p = m * aiVector3D(m.a4, m.b4, m.c4);
        enemy->addWaypoint(rootNode->mName.C_Str(), glm::vec3(p.x, -p.z, p.y));
        return;
    }
    visitNode(rootNode, rootObject.get(), meshShader, path);
}

void Level::visitNode(aiNode* node, GameObject* object, Shader* meshShader, const std::string& path) {
    const aiMatrix4x4& rootTransform = scene->mRootNode->mTransformation;
    for (unsigned i = 0; i < node->mNumChildren; ++i) {
        aiNode* childNode = node->mChildren[i];
        if (childNode == nullptr) continue;
        const std::string name = childNode->mName.C_Str();

        auto child = std::make_shared<GameObject>();
        child->initFromNode(object, childNode, scene->mMeshes, scene->mNumMeshes, meshShader, path);
        if (GameObject::isWaypointName(name)) {
            // Read after initFromNode has folded the parents (the file's
            // Z-up turn among them) into the node: the root turn applied once
            // more and the swizzle below take that turn off again, so a
            // waypoint stands where its empty stands, like every mesh and
            // light, parents' moves and turns included.
            const aiMatrix4x4& global = childNode->mTransformation;
            const aiVector3D p = rootTransform * aiVector3D(global.a4, global.b4, global.c4);
            enemy->addWaypoint(name, glm::vec3(p.x, -p.z, p.y));
        } else {
            visitNode(childNode, child.get(), meshShader, path);
        }
        placeObject(child, object);
        if (name == "TV_Animated") tvObject = child.get();
        for (const std::string& boxName : boxNames) {
            if (name == boxName) {
                boxes[name] = child.get();
                break;
            }
        }
    }
}

void Level::placeObject(const std::shared_ptr<GameObject>& child, GameObject* parentObject) {
    const std::string& name = child->mesh->name;
    if (child->kind == static_cast<int>(PhysicsShapeKind::Trigger)) {
        auto item = std::make_shared<Item>(child.get(), name);
        items[name] = item;
        itemsInWorld[name] = item;
        detachedObjects.push_back(child);
    } else if (child->kind == static_cast<int>(PhysicsShapeKind::BoxWithTrigger)) {
        interactives[name] = child.get();
        detachedObjects.push_back(child);
    } else if (child->hiddenText) {
        hiddenTextObjects.push_back(child);
    } else if (child->transparent) {
        transparentObjects.push_back(child);
    } else {
        parentObject->addChild(child);
    }
}

void Level::resizeView(int width, int height) {
    if (camera) camera->setViewport(width, height);
    const float aspect = height > 0 ? static_cast<float>(width) / static_cast<float>(height) : 1.0f;
    frustum.setParameters(camera ? camera->fieldOfView : kFrustumFieldOfView, kFrustumNear, kFrustumFar,
                          aspect);
    if (camera) frustum.update(camera->position, camera->direction());
}

void Level::setFieldOfView(float degrees) {
    if (!camera) return;
    camera->fieldOfView = degrees;
    const GameSettings& settings = GameSettings::instance();
    resizeView(settings.windowWidth, settings.windowHeight);
}

void Level::addLight(Light* light) { lights.push_back(std::shared_ptr<Light>(light)); }

void Level::setUp() {
    const GameSettings& settings = GameSettings::instance();
    const int width = settings.windowWidth;
    const int height = settings.windowHeight;

    if (!importer) importer = std::make_unique<Assimp::Importer>();
    if (!enemy) enemy = std::make_unique<Enemy>();
    if (!camera) camera = std::make_unique<Camera>(width, height);

    const float aspect = height > 0 ? static_cast<float>(width) / static_cast<float>(height) : 1.0f;
    frustum.setParameters(camera->fieldOfView, kFrustumNear, kFrustumFar, aspect);
    frustum.update(camera->position, camera->direction());

    auto* flashlight = new Light(makeFlashlight());
    addLight(flashlight);
    player.flashlight = flashlight;
    flashlight->enabled = false;

    boxNames = {"Door_box", "Shower_door_box", "Racking_CrossBeams31_box"};

    tvFrameIndex = 0;
    tvFrameTime = 1.0f / 29.0f;
    tvElapsed = 0.0f;
    loadTvFrames();

    TextureCache& cache = TextureCache::instance();
    cache.load("Assets/Screen_message/WinMsg.png", "WIN");
    cache.load("Assets/Screen_message/LoseMsg.png", "LOST");

    buttons.clear();
    buttons.push_back(makeButton("EXIT", "Exit_Button"));
    buttons.push_back(makeButton("RESTART", "Restart_Button"));
    exitButton = buttons[0].get();
    restartButton = buttons[1].get();

    // The player's breathing after a run: created here, started and stopped
    // by the player's step.
    SoundSystem& sounds = SoundSystem::instance();
    sounds.createSound("Assets\\Audio\\breathing.wav", "breathing", kSoundDefault, true);
    sounds.channel("breathing").setVolume(1.0f);
}

}  // namespace vestrel
