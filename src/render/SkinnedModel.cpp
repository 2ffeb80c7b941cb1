#include "render/SkinnedModel.h"

#include <GL/glew.h>

#include <assimp/cimport.h>
#include <assimp/scene.h>

#include <chrono>
#include <iostream>

#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

#include "app/GameSettings.h"
#include "app/Platform.h"
#include "level/Level.h"
#include "play/Camera.h"
#include "render/Animator.h"
#include "render/GlContext.h"
#include "render/Shader.h"
#include "render/Texture.h"
#include "render/TextureCache.h"

namespace vestrel {

namespace {

constexpr float kDegreesToRadians = 0.01745329f;
constexpr float kUprightTurn = -1.570796f;  // the file is Z-up; the world is Y-up

glm::mat4 toGlm(const aiMatrix4x4& m) {
    // Assimp's matrices are row-major; GL wants columns.
    return glm::transpose(glm::make_mat4(&m.a1));
}

template <typename T>
void uploadBuffer(GLenum target, GLuint& buffer, const std::vector<T>& data) {
    glGenBuffers(1, &buffer);
    glBindBuffer(target, buffer);
    glBufferData(target, static_cast<GLsizeiptr>(data.size() * sizeof(T)), data.data(), GL_STATIC_DRAW);
}

void deleteBuffer(GLuint& buffer) {
    if (buffer != 0) glDeleteBuffers(1, &buffer);
    buffer = 0;
}

}  // namespace

SkinnedMeshPart::~SkinnedMeshPart() {
    if (!hasCurrentGlContext()) return;
    deleteBuffer(positionBuffer);
    deleteBuffer(normalBuffer);
    deleteBuffer(boneWeightBuffer);
    deleteBuffer(boneIndexBuffer);
    deleteBuffer(texCoordBuffer);
    deleteBuffer(indexBuffer);
    if (vertexArray != 0) glDeleteVertexArrays(1, &vertexArray);
}

std::int64_t SkinnedModel::steadyClockMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

SkinnedModel::SkinnedModel() = default;

SkinnedModel::~SkinnedModel() { release(); }

void SkinnedModel::release() {
    animator.reset();
    parts.clear();
    partOfMesh_.clear();
    if (scene != nullptr) aiReleaseImport(scene);
    scene = nullptr;
    if (propertyStore != nullptr) aiReleasePropertyStore(propertyStore);
    propertyStore = nullptr;
}

bool SkinnedModel::load(const std::string& path, Camera* viewCamera, Shader* program) {
    release();
    loadStartMs = clock();
    camera = viewCamera;
    shader = program;

    propertyStore = aiCreatePropertyStore();
    aiSetImportPropertyInteger(propertyStore, "IMPORT_TER_MAKE_UVS", 1);
    aiSetImportPropertyFloat(propertyStore, "PP_GSN_MAX_SMOOTHING_ANGLE", 80.0f);
    aiSetImportPropertyInteger(propertyStore, "PP_SBP_REMOVE", 3);  // points and lines
    // The same guard as the level's: a folder, an unreadable file or one
    // nested deep enough to exhaust the importer's stack never reaches it.
    std::string refusal = colladaRefusal(path);
    if (refusal.empty()) {
        scene = aiImportFileExWithProperties(nativePath(path).c_str(), kImportFlags, nullptr, propertyStore);
        if (scene == nullptr) {
            refusal = aiGetErrorString();
        } else if (scene->mRootNode == nullptr) {
            refusal = "the file holds no scene";
        }
    }
    if (!refusal.empty()) {
        // The fixed headline, then which file and why.
        std::cout << "Loading model failed." << std::endl;
        std::cout << "Error parsing " << path << ": " << refusal << std::endl;
        release();
        return false;
    }

    loadMaterialTextures(scene, path);

    meshCount = static_cast<int>(scene->mNumMeshes);
    partOfMesh_.assign(scene->mNumMeshes, -1);
    for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
        if (!buildPart(m, path)) {
            release();
            return false;
        }
    }

    if (scene->mNumAnimations > 0) animator = std::make_unique<Animator>(scene);

    if (shader != nullptr) lookUpLocations();

    std::cout << "Done loading enemy" << std::endl;
    modelMatrix = glm::rotate(modelMatrix, kUprightTurn, glm::vec3(1.0f, 0.0f, 0.0f));
    animationTimeMs = 0;
    lastElapsedMs = clock() - loadStartMs;
    return true;
}

bool SkinnedModel::buildPart(unsigned meshIndex, const std::string& path) {
    const aiMesh* mesh = scene->mMeshes[meshIndex];
    if (mesh == nullptr || mesh->mNumFaces == 0 || mesh->mNumVertices == 0) return true;
    if (mesh->mVertices == nullptr) {
        std::cerr << "A mesh of the model has no vertices and is not loaded." << std::endl;
        return true;
    }
    if (mesh->mNormals == nullptr) {
        std::cerr << "A mesh of the model has no normals and is not loaded." << std::endl;
        return true;
    }
    if (mesh->mFaces == nullptr) {
        std::cerr << "A mesh of the model has no polygon faces and is not loaded." << std::endl;
        return true;
    }

    auto part = std::make_unique<SkinnedMeshPart>();
    const unsigned vertices = mesh->mNumVertices;
    part->faceCount = static_cast<int>(mesh->mNumFaces);
    part->vertexCount = static_cast<int>(vertices);
    part->boneCount = static_cast<int>(mesh->mNumBones);
    part->materialIndex = static_cast<int>(mesh->mMaterialIndex);

    part->positions.reserve(vertices * 4);
    part->normals.reserve(vertices * 3);
    part->texCoords.reserve(vertices * 2);
    for (unsigned v = 0; v < vertices; ++v) {
        const aiVector3D& p = mesh->mVertices[v];
        const aiVector3D& n = mesh->mNormals[v];
        part->positions.insert(part->positions.end(), {p.x, p.y, p.z, 1.0f});
        part->normals.insert(part->normals.end(), {n.x, n.y, n.z});
        if (mesh->mTextureCoords[0] != nullptr) {
            part->texCoords.insert(part->texCoords.end(),
                                   {mesh->mTextureCoords[0][v].x, mesh->mTextureCoords[0][v].y});
        } else {
            part->texCoords.insert(part->texCoords.end(), {0.0f, 0.0f});
        }
    }
    part->indices.reserve(static_cast<std::size_t>(mesh->mNumFaces) * 3);
    for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
        const aiFace& face = mesh->mFaces[f];
        // Triangulated and sorted by primitive type, every face is a
        // triangle; anything shorter repeats its last corner rather than
        // reading past the face.
        for (unsigned c = 0; c < 3; ++c) {
            const unsigned corner = face.mNumIndices == 0 ? 0u : std::min(c, face.mNumIndices - 1);
            part->indices.push_back(face.mNumIndices == 0 ? 0u : face.mIndices[corner]);
        }
    }

    if (!loadInfluences(*mesh, *part)) return false;

    part->texture = TextureCache::instance().find(path + std::to_string(mesh->mMaterialIndex));
    createBuffers(*part);
    partOfMesh_[meshIndex] = static_cast<int>(parts.size());
    parts.push_back(std::move(part));
    return true;
}

bool SkinnedModel::loadInfluences(const aiMesh& mesh, SkinnedMeshPart& part) {
    const unsigned vertices = mesh.mNumVertices;
    part.boneWeights.assign(static_cast<std::size_t>(vertices) * kMaxInfluences, 0.0f);
    part.boneIndices.assign(static_cast<std::size_t>(vertices) * kMaxInfluences, 0.0f);
    if (mesh.mNumBones == 0 || mesh.mBones == nullptr) return true;
    std::vector<int> used(vertices, 0);
    for (unsigned b = 0; b < mesh.mNumBones; ++b) {
        const aiBone* bone = mesh.mBones[b];
        if (bone == nullptr) continue;
        for (unsigned w = 0; w < bone->mNumWeights; ++w) {
            const aiVertexWeight& weight = bone->mWeights[w];
            if (weight.mVertexId >= vertices) continue;
            int& slot = used[weight.mVertexId];
            if (slot >= kMaxInfluences) {
                std::cerr << "The model has invalid bone weights and is not loaded." << std::endl;
                return false;
            }
            const std::size_t at = static_cast<std::size_t>(weight.mVertexId) * kMaxInfluences + slot;
            part.boneIndices[at] = static_cast<float>(b);
            part.boneWeights[at] = weight.mWeight;
            ++slot;
        }
    }
    return true;
}

void SkinnedModel::createBuffers(SkinnedMeshPart& part) {
    uploadBuffer(GL_ARRAY_BUFFER, part.positionBuffer, part.positions);
    uploadBuffer(GL_ELEMENT_ARRAY_BUFFER, part.indexBuffer, part.indices);
    uploadBuffer(GL_ARRAY_BUFFER, part.normalBuffer, part.normals);
    uploadBuffer(GL_ARRAY_BUFFER, part.texCoordBuffer, part.texCoords);
    uploadBuffer(GL_ARRAY_BUFFER, part.boneWeightBuffer, part.boneWeights);
    uploadBuffer(GL_ARRAY_BUFFER, part.boneIndexBuffer, part.boneIndices);

    glGenVertexArrays(1, &part.vertexArray);
    glBindVertexArray(part.vertexArray);
    const struct {
        GLuint buffer;
        const char* name;
        GLint components;
    } attributes[] = {{part.positionBuffer, "inPosition", 4},
                      {part.normalBuffer, "inNormal", 3},
                      {part.texCoordBuffer, "inTexCoord", 2},
                      {part.boneWeightBuffer, "inBoneWeights", 4},
                      {part.boneIndexBuffer, "inBoneIndices", 4}};
    for (const auto& attribute : attributes) {
        glBindBuffer(GL_ARRAY_BUFFER, attribute.buffer);
        const GLint location = shader != nullptr ? shader->getAttribLocation(attribute.name) : -1;
        if (location < 0) continue;
        glEnableVertexAttribArray(static_cast<GLuint>(location));
        glVertexAttribPointer(static_cast<GLuint>(location), attribute.components, GL_FLOAT, GL_FALSE, 0,
                              nullptr);
    }
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, part.indexBuffer);
    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
}

void SkinnedModel::rotate(float angleDegrees, float factor) {
    modelMatrix =
        glm::rotate(modelMatrix, angleDegrees * factor * kDegreesToRadians, glm::vec3(0.0f, 0.0f, 1.0f));
}

const SkinnedMeshPart* SkinnedModel::partForMesh(unsigned meshIndex) const {
    if (meshIndex >= partOfMesh_.size() || partOfMesh_[meshIndex] < 0) return nullptr;
    return parts[static_cast<std::size_t>(partOfMesh_[meshIndex])].get();
}

void SkinnedModel::lookUpLocations() {
    locations_.projection = shader->getUniformLocation("projectionMatrix");
    locations_.view = shader->getUniformLocation("viewMatrix");
    locations_.model = shader->getUniformLocation("modelMatrix");
    locations_.bones = shader->getUniformLocation("boneMatrices");
    locations_.tex = glGetUniformLocation(shader->program, "tex");
    locations_.useTexture = glGetUniformLocation(shader->program, "useTexture");
    locationsProgram_ = shader->program;
    locationsLinkId_ = shader->linkId();
}

int SkinnedModel::uniform(int cached, const char* name) const {
    // A missing uniform is asked for again, so the shader reports it at every use.
    return cached >= 0 ? cached : shader->getUniformLocation(name);
}

void SkinnedModel::draw() {
    if (scene == nullptr || shader == nullptr) return;
    if (shader->program != locationsProgram_ || shader->linkId() != locationsLinkId_) lookUpLocations();
    if (animator) {
        const std::int64_t elapsed = clock() - loadStartMs;
        if (!animationHeld) animationTimeMs += elapsed - lastElapsedMs;
        lastElapsedMs = elapsed;
        animator->update(animationTimeMs);
    }
    if (camera != nullptr) {
        glUniformMatrix4fv(uniform(locations_.projection, "projectionMatrix"), 1, GL_FALSE,
                           glm::value_ptr(camera->projection));
        glUniformMatrix4fv(uniform(locations_.view, "viewMatrix"), 1, GL_FALSE, glm::value_ptr(camera->view));
    }
    glUniformMatrix4fv(uniform(locations_.model, "modelMatrix"), 1, GL_FALSE, glm::value_ptr(modelMatrix));
    drawNode(scene->mRootNode);
}

void SkinnedModel::drawNode(const aiNode* node) {
    for (unsigned i = 0; i < node->mNumMeshes; ++i) {
        const SkinnedMeshPart* part = partForMesh(node->mMeshes[i]);
        if (part == nullptr) continue;
        boneUpload_.fill(glm::mat4(1.0f));
        if (part->boneCount > 0 && animator) {
            animator->boneMatrices(node, i, boneScratch_);
            // A mesh whose bones cannot all be posed would be torn apart.
            if (boneScratch_.size() != static_cast<std::size_t>(part->boneCount)) continue;
            const std::size_t uploaded = std::min<std::size_t>(boneScratch_.size(), kMaxBones);
            for (std::size_t b = 0; b < uploaded; ++b) boneUpload_[b] = toGlm(boneScratch_[b]);
        }
        glUniformMatrix4fv(uniform(locations_.bones, "boneMatrices"), kMaxBones, GL_FALSE,
                           glm::value_ptr(boneUpload_[0]));
        drawPart(*part);
    }
    for (unsigned c = 0; c < node->mNumChildren; ++c) drawNode(node->mChildren[c]);
}

void SkinnedModel::drawPart(const SkinnedMeshPart& part) {
    glBindTexture(GL_TEXTURE_2D, part.texture != nullptr ? part.texture->name : 0);
    applySampling();
    glUniform1i(locations_.tex, 0);
    glUniform1i(locations_.useTexture, 1);
    glBindVertexArray(part.vertexArray);
    const GLenum mode = GameSettings::instance().wireframe ? GL_LINES : GL_TRIANGLES;
    glDrawElements(mode, part.faceCount * 3, GL_UNSIGNED_INT, nullptr);
    glBindVertexArray(0);
    glBindTexture(GL_TEXTURE_2D, 0);
}

}  // namespace vestrel
