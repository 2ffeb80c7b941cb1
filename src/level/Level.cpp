#include "level/Level.h"

#include <cmath>
#include <iostream>

#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <assimp/Importer.hpp>

#include "app/GameSettings.h"
#include "app/Platform.h"
#include "audio/SoundSystem.h"
#include "enemy/Enemy.h"
#include "level/GameObject.h"
#include "level/InteractiveSwitch.h"
#include "level/Item.h"
#include "physics/ControllerRecord.h"
#include "physics/PhysicsShapeKind.h"
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

}  // namespace

Level::Level() : ambient(GameSettings::instance().ambientLight) {}

Level::~Level() = default;

void Level::loadLoadingScreen() {
    const GameSettings& settings = GameSettings::instance();
    camera = std::make_unique<Camera>(settings.windowWidth, settings.windowHeight);
    TextureCache::instance().load("Assets/Screen_message/Loadingscreen/Loadingscreen_0.png",
                                  "MESSAGE_LOADING_0");
    std::cout << "Done loading screen" << std::endl;
}

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
        cache.load(folder + "/" + texturePath.C_Str(), path + std::to_string(i));
    }
}

bool Level::loadLevel(const std::string& path, Shader* meshShader, Shader* monsterShader) {
    if (scene == nullptr) {
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

void Level::convertLights() {
    aiNode* root = scene->mRootNode;
    for (unsigned i = 0; i < scene->mNumLights; ++i) {
        const aiLight* source = scene->mLights[i];
        if (source == nullptr) continue;
        const aiLightSourceType type = source->mType;
        if (type != aiLightSource_POINT && type != aiLightSource_DIRECTIONAL && type != aiLightSource_SPOT) {
            continue;
        }
        auto light = std::make_unique<Light>();
        light->intensity = toGlmColour(source->mColorDiffuse);
        light->enabled = true;
        light->coneDirection = glm::vec3(0.0f);
        if (type == aiLightSource_DIRECTIONAL) {
            light->type = LightType::Directional;
            light->position = toGlmVector(source->mDirection);
            addLight(light.release());
            continue;
        }
        aiNode* node = root->FindNode(source->mName);
        if (node != nullptr) {
            node->mTransformation = root->mTransformation * node->mTransformation;
            const aiMatrix4x4& m = node->mTransformation;
            light->position = glm::vec3(m.a4, m.b4, m.c4);
        } else {
            // A light whose node is gone still has its own position, which the
            // importer gives relative to the root.
            std::cout << "Light " << source->mName.C_Str() << " has no node; placed by its own position"
                      << std::endl;
            const aiVector3D p = root->mTransformation * source->mPosition;
            light->position = toGlmVector(p);
        }
        light->constAttenuation = source->mAttenuationConstant;
        light->linearAttenuation = source->mAttenuationLinear;
        light->quadraticAttenuation = source->mAttenuationQuadratic;
        if (type == aiLightSource_SPOT) {
            light->type = LightType::Spot;
            const aiVector3D& d = source->mDirection;
            light->coneDirection = glm::vec3(d.x, d.z, d.y);
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
        // A waypoint is placed by its node's own translation, read before the
        // object pass folds the parent transformations into it.
        const aiVector3D ownTranslation(childNode->mTransformation.a4, childNode->mTransformation.b4,
                                        childNode->mTransformation.c4);

        auto child = std::make_shared<GameObject>();
        child->initFromNode(object, childNode, scene->mMeshes, scene->mNumMeshes, meshShader, path);
        if (GameObject::isWaypointName(name)) {
            const aiVector3D p = rootTransform * ownTranslation;
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

void Level::addLight(Light* light) { lights.push_back(std::shared_ptr<Light>(light)); }

void Level::setUp() {
    const GameSettings& settings = GameSettings::instance();
    const int width = settings.windowWidth;
    const int height = settings.windowHeight;

    if (!importer) importer = std::make_unique<Assimp::Importer>();
    if (!enemy) enemy = std::make_unique<Enemy>();
    if (!camera) camera = std::make_unique<Camera>(width, height);

    const float aspect = height > 0 ? static_cast<float>(width) / static_cast<float>(height) : 1.0f;
    frustum.setParameters(kFrustumFieldOfView, kFrustumNear, kFrustumFar, aspect);
    frustum.update(camera->position, camera->direction());

    auto* flashlight = new Light(makeFlashlight());
    addLight(flashlight);
    player.flashlight = flashlight;
    flashlight->enabled = false;

    boxNames = {"Door_box", "Shower_door_box", "Racking_CrossBeams31_box"};

    tvFrameIndex = 0;
    tvFrameTime = 1.0f / 29.0f;
    tvElapsed = 0.0f;

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
