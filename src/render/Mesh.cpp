#include "render/Mesh.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <iostream>

#include <assimp/mesh.h>
#include <assimp/scene.h>
#include <glm/gtc/type_ptr.hpp>

#include "app/GameSettings.h"
#include "render/GlContext.h"
#include "render/Shader.h"
#include "render/Texture.h"
#include "render/TextureCache.h"

namespace vestrel {

glm::mat4 toGlm(const aiMatrix4x4& m) {
    // The importer stores rows; GLM stores columns. Column c of the result is
    // row c of the transpose, i.e. column c of the importer's matrix.
    return glm::mat4(m.a1, m.b1, m.c1, m.d1,   // column 0
                     m.a2, m.b2, m.c2, m.d2,   // column 1
                     m.a3, m.b3, m.c3, m.d3,   // column 2
                     m.a4, m.b4, m.c4, m.d4);  // column 3
}

namespace {

bool isFinite(const glm::vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

}  // namespace

MeshGeometry extractGeometry(const aiMesh& mesh, const glm::mat4& model) {
    MeshGeometry geometry;
    const std::uint32_t vertexCount = mesh.mVertices != nullptr ? mesh.mNumVertices : 0;
    geometry.positions.reserve(vertexCount);
    geometry.normals.reserve(vertexCount);
    geometry.uvs.reserve(vertexCount);
    geometry.worldPositions.reserve(vertexCount);
    geometry.missingNormals = vertexCount > 0 && mesh.mNormals == nullptr;
    const aiVector3D* uvChannel = vertexCount > 0 ? mesh.mTextureCoords[0] : nullptr;

    for (std::uint32_t i = 0; i < vertexCount; ++i) {
        const aiVector3D& p = mesh.mVertices[i];
        const glm::vec3 position(p.x, p.y, p.z);
        geometry.positions.push_back(position);
        if (mesh.mNormals != nullptr) {
            const aiVector3D& n = mesh.mNormals[i];
            geometry.normals.emplace_back(n.x, n.y, n.z);
        } else {
            geometry.normals.emplace_back(0.0f, 1.0f, 0.0f);
        }
        geometry.uvs.push_back(uvChannel != nullptr ? glm::vec2(uvChannel[i].x, uvChannel[i].y)
                                                    : glm::vec2(0.0f));
        geometry.worldPositions.push_back(glm::vec3(model * glm::vec4(position, 1.0f)));
    }

    geometry.indices.reserve(static_cast<std::size_t>(mesh.mNumFaces) * 3);
    for (std::uint32_t f = 0; f < mesh.mNumFaces && mesh.mFaces != nullptr; ++f) {
        const aiFace& face = mesh.mFaces[f];
        const bool triangle = face.mNumIndices == 3 && face.mIndices != nullptr &&
                              face.mIndices[0] < vertexCount && face.mIndices[1] < vertexCount &&
                              face.mIndices[2] < vertexCount;
        if (!triangle) {
            ++geometry.skippedFaces;
            continue;
        }
        // A corner at NaN or infinity (in the file, or after the node's
        // transformation) would poison the bounds, the culling and the
        // collision shape: the triangle is left out of all of them.
        bool finite = true;
        for (int corner = 0; corner < 3 && finite; ++corner) {
            const std::uint32_t v = face.mIndices[corner];
            finite = isFinite(geometry.positions[v]) && isFinite(geometry.worldPositions[v]);
        }
        if (!finite) {
            ++geometry.nonFiniteFaces;
            continue;
        }
        geometry.indices.insert(geometry.indices.end(), face.mIndices, face.mIndices + 3);
    }
    return geometry;
}

std::vector<std::uint32_t> triangleEdges(const std::vector<std::uint32_t>& triangles) {
    std::vector<std::uint32_t> lines;
    lines.reserve(triangles.size() * 2);
    for (std::size_t t = 0; t + 2 < triangles.size(); t += 3) {
        const std::uint32_t a = triangles[t], b = triangles[t + 1], c = triangles[t + 2];
        lines.insert(lines.end(), {a, b, b, c, c, a});
    }
    return lines;
}

Mesh::Mesh(Shader* program, const glm::mat4& model, const char* nodeName)
    : SceneObject(model), shader(program), name(nodeName != nullptr ? nodeName : "") {}

Mesh::~Mesh() { release(); }

void Mesh::release() {
    const bool anyName =
        vertexArray != 0 || indexBuffer != 0 || normalBuffer != 0 || positionBuffer != 0 || uvBuffer != 0;
    if (anyName && hasCurrentGlContext()) {
        const GLuint buffers[4] = {positionBuffer, indexBuffer, normalBuffer, uvBuffer};
        for (GLuint buffer : buffers) {
            if (buffer != 0) {
                glDeleteBuffers(1, &buffer);
            }
        }
        if (vertexArray != 0) {
            glDeleteVertexArrays(1, &vertexArray);
        }
    }
    vertexArray = indexBuffer = normalBuffer = positionBuffer = uvBuffer = 0;
}

void Mesh::setFromNode(aiNode* node) {
    assert(node != nullptr && "Mesh::setFromNode needs a node of the imported scene");
    noGeometry = true;
    if (node->mParent != nullptr) {
        // Parents are built first, so the parent's transformation is already
        // global; writing the product back makes it global for our children.
        node->mTransformation = node->mParent->mTransformation * node->mTransformation;
    }
    modelMatrix = toGlm(node->mTransformation);
    name = node->mName.C_Str();
}

void Mesh::loadFromNode(aiNode* node, const aiMesh* mesh, const std::string& keyPrefix) {
    setFromNode(node);
    if (mesh == nullptr) {
        std::cout << "Mesh " << name << ": no mesh data, drawn as an empty node" << std::endl;
        return;
    }
    assert(shader != nullptr && "a Mesh needs its program's attribute locations to build its vertex array");
    noGeometry = false;

    texture = TextureCache::instance().find(keyPrefix + std::to_string(mesh->mMaterialIndex));

    MeshGeometry geometry = extractGeometry(*mesh, modelMatrix);
    if (geometry.skippedFaces > 0) {
        std::cout << "Mesh " << name << ": skipped " << geometry.skippedFaces
                  << " faces that are not valid triangles" << std::endl;
    }
    if (geometry.nonFiniteFaces > 0) {
        std::cout << "Mesh " << name << " in " << keyPrefix << ": dropped " << geometry.nonFiniteFaces
                  << " triangles with NaN or infinite positions" << std::endl;
    }
    if (geometry.missingNormals) {
        std::cout << "Mesh " << name << ": no normals, lit as facing up" << std::endl;
    }
    upload(geometry);
    vertexCount = static_cast<std::uint32_t>(geometry.positions.size());
    worldPositions = std::move(geometry.worldPositions);
    worldPositionsModel = modelMatrix;

    clusters.clear();
    glm::vec3 low(INFINITY), high(-INFINITY);
    for (std::uint32_t index : indices) {
        if (index < worldPositions.size()) {
            low = glm::min(low, worldPositions[index]);
            high = glm::max(high, worldPositions[index]);
        }
    }
    const glm::vec3 extent = high - low;
    if (std::max({extent.x, extent.y, extent.z}) >= kClusteredExtent) {
        clusters = clusterTriangles(worldPositions, indices, kClusterExtent, kClusterTriangles);
    }
}

std::vector<MeshCluster> clusterTriangles(const std::vector<glm::vec3>& positions,
                                          const std::vector<std::uint32_t>& indices, float maxExtent,
                                          std::uint32_t maxTriangles) {
    std::vector<MeshCluster> clusters;
    MeshCluster current;
    glm::vec3 low(0.0f), high(0.0f);
    const auto close = [&] {
        if (current.indexCount == 0) return;
        current.bounds = {low.x, low.y, low.z, high.x, high.y, high.z};
        clusters.push_back(current);
        current = MeshCluster{current.firstIndex + current.indexCount, 0, {}};
    };
    for (std::size_t i = 0; i + 2 < indices.size(); i += 3) {
        const std::uint32_t a = indices[i], b = indices[i + 1], c = indices[i + 2];
        if (a >= positions.size() || b >= positions.size() || c >= positions.size()) {
            // Nothing known of where it is: a run of its own, bounded by everything.
            close();
            constexpr float kEverywhere = 1e30f;
            clusters.push_back(
                {static_cast<std::uint32_t>(i),
                 3u,
                 {-kEverywhere, -kEverywhere, -kEverywhere, kEverywhere, kEverywhere, kEverywhere}});
            current = MeshCluster{static_cast<std::uint32_t>(i + 3), 0, {}};
            continue;
        }
        const glm::vec3 triangleLow = glm::min(positions[a], glm::min(positions[b], positions[c]));
        const glm::vec3 triangleHigh = glm::max(positions[a], glm::max(positions[b], positions[c]));
        if (current.indexCount > 0) {
            const glm::vec3 grown = glm::max(high, triangleHigh) - glm::min(low, triangleLow);
            if (current.indexCount / 3 >= maxTriangles || grown.x > maxExtent || grown.y > maxExtent ||
                grown.z > maxExtent) {
                close();
            }
        }
        if (current.indexCount == 0) {
            current.firstIndex = static_cast<std::uint32_t>(i);
            low = triangleLow;
            high = triangleHigh;
        } else {
            low = glm::min(low, triangleLow);
            high = glm::max(high, triangleHigh);
        }
        current.indexCount += 3;
    }
    close();
    return clusters;
}

void Mesh::upload(const MeshGeometry& geometry) {
    release();
    indices = geometry.indices;
    indexCount = static_cast<std::uint32_t>(indices.size());
    const std::vector<std::uint32_t> lines = triangleEdges(indices);
    lineIndexCount = static_cast<std::uint32_t>(lines.size());

    // The vertex array is bound first so the element buffer binding lands in
    // it and never in whatever array another component left bound.
    glGenVertexArrays(1, &vertexArray);
    glBindVertexArray(vertexArray);

    const auto makeArrayBuffer = [](GLuint& buffer, GLsizeiptr bytes, const void* data) {
        glGenBuffers(1, &buffer);
        glBindBuffer(GL_ARRAY_BUFFER, buffer);
        glBufferData(GL_ARRAY_BUFFER, bytes, data, GL_STATIC_DRAW);
        glBindBuffer(GL_ARRAY_BUFFER, 0);
    };
    const auto vertexBytes = [&](std::size_t elementSize) {
        return static_cast<GLsizeiptr>(geometry.positions.size() * elementSize);
    };
    makeArrayBuffer(positionBuffer, vertexBytes(sizeof(glm::vec3)), geometry.positions.data());
    makeArrayBuffer(normalBuffer, vertexBytes(sizeof(glm::vec3)), geometry.normals.data());
    makeArrayBuffer(uvBuffer, vertexBytes(sizeof(glm::vec2)), geometry.uvs.data());

    // Triangles first, then the wireframe's edge pairs, in one element buffer.
    const GLsizeiptr triangleBytes = static_cast<GLsizeiptr>(indices.size() * sizeof(std::uint32_t));
    const GLsizeiptr lineBytes = static_cast<GLsizeiptr>(lines.size() * sizeof(std::uint32_t));
    glGenBuffers(1, &indexBuffer);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, triangleBytes + lineBytes, nullptr, GL_STATIC_DRAW);
    if (triangleBytes > 0) {
        glBufferSubData(GL_ELEMENT_ARRAY_BUFFER, 0, triangleBytes, indices.data());
        glBufferSubData(GL_ELEMENT_ARRAY_BUFFER, triangleBytes, lineBytes, lines.data());
    }

    struct Attribute {
        const char* attributeName;
        GLuint buffer;
        GLint components;
    };
    const Attribute attributes[3] = {
        {"position", positionBuffer, 3}, {"normal", normalBuffer, 3}, {"uv", uvBuffer, 2}};
    for (const Attribute& attribute : attributes) {
        glBindBuffer(GL_ARRAY_BUFFER, attribute.buffer);
        const GLint location = shader->getAttribLocation(attribute.attributeName);
        if (location >= 0) {
            glEnableVertexAttribArray(static_cast<GLuint>(location));
            glVertexAttribPointer(static_cast<GLuint>(location), attribute.components, GL_FLOAT, GL_FALSE, 0,
                                  nullptr);
        }
    }

    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
}

const Mesh::UniformLocations& Mesh::locationsFor(const Shader& program) {
    for (const UniformLocations& entry : locations_) {
        if (entry.program != 0 && entry.program == program.program && entry.linkId == program.linkId()) {
            return entry;
        }
    }
    // A program not seen yet (or relinked): ask GL once, in the slot used longest ago.
    UniformLocations& entry = locations_[nextLocationSlot_];
    nextLocationSlot_ = (nextLocationSlot_ + 1) % (sizeof locations_ / sizeof locations_[0]);
    entry.linkId = program.linkId();
    entry.program = program.program;
    entry.mvp = glGetUniformLocation(program.program, "mvp");
    entry.model = glGetUniformLocation(program.program, "model");
    entry.tex = glGetUniformLocation(program.program, "tex");
    return entry;
}

void Mesh::draw(const glm::mat4& viewProjection, DrawMode mode) {
    drawRange(viewProjection, mode, 0, indexCount);
}

void Mesh::drawRange(const glm::mat4& viewProjection, DrawMode mode, std::uint32_t firstIndex,
                     std::uint32_t count) {
    const IndexRange range{firstIndex, count};
    drawRanges(viewProjection, mode, &range, 1);
}

void Mesh::drawRanges(const glm::mat4& viewProjection, DrawMode mode, const IndexRange* ranges,
                      std::size_t rangeCount) {
    if (noGeometry) {
        return;
    }
    // Whole triangles within the list only; the wireframe's six line indices
    // per triangle follow the triangles, in the triangles' order.
    const bool wireframe = GameSettings::instance().wireframe;
    rangeCounts_.clear();
    rangeOffsets_.clear();
    for (std::size_t i = 0; i < rangeCount; ++i) {
        const std::uint32_t first = std::min(ranges[i].first - ranges[i].first % 3, indexCount);
        const std::uint32_t count = std::min(ranges[i].count - ranges[i].count % 3, indexCount - first);
        std::uintptr_t offset = first;
        std::uint32_t drawn = count;
        if (wireframe) {
            offset = static_cast<std::uintptr_t>(indexCount) + 2u * first;
            drawn = std::min(2 * count, lineIndexCount);
        }
        // Empty runs are left out: Mesa drew nothing at all of a multi-draw
        // whose first run was empty.
        if (drawn == 0) continue;
        rangeCounts_.push_back(static_cast<GLsizei>(drawn));
        rangeOffsets_.push_back(reinterpret_cast<const void*>(offset * sizeof(std::uint32_t)));
    }
    const UniformLocations& locations = locationsFor(*shader);
    // A name the program lacks is reported at every draw, as an uncached
    // lookup would.
    const GLint mvpLocation = locations.mvp >= 0 ? locations.mvp : shader->getUniformLocation("mvp");
    const glm::mat4 mvp = viewProjection * modelMatrix;
    glUniformMatrix4fv(mvpLocation, 1, GL_FALSE, glm::value_ptr(mvp));

    switch (mode) {
        case DrawMode::Normal:
        case DrawMode::HiddenText:
            glUniformMatrix4fv(locations.model >= 0 ? locations.model : shader->getUniformLocation("model"),
                               1, GL_FALSE, glm::value_ptr(modelMatrix));
            if (texture != nullptr) {
                glBindTexture(GL_TEXTURE_2D, texture->name);
                applySampling();
                glUniform1i(locations.tex, 0);
            } else {
                // Untextured means texture 0, never a texture someone else left bound.
                glBindTexture(GL_TEXTURE_2D, 0);
            }
            break;
        case DrawMode::Glass:
            if (texture != nullptr) {
                shader->bindTexture("tex", texture);
            } else {
                glBindTexture(GL_TEXTURE_2D, 0);
            }
            break;
        case DrawMode::Highlight:
        default:
            break;
    }

    glBindVertexArray(vertexArray);
    const GLenum primitive = wireframe ? GL_LINES : GL_TRIANGLES;
    if (rangeCounts_.size() == 1) {
        glDrawElements(primitive, rangeCounts_[0], GL_UNSIGNED_INT, rangeOffsets_[0]);
    } else if (!rangeCounts_.empty()) {
        glMultiDrawElements(primitive, rangeCounts_.data(), GL_UNSIGNED_INT, rangeOffsets_.data(),
                            static_cast<GLsizei>(rangeCounts_.size()));
    }
    glBindVertexArray(0);
    glBindTexture(GL_TEXTURE_2D, 0);
}

}  // namespace vestrel
