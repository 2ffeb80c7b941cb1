#include "render/VisibilityStage.h"

#include <glm/matrix.hpp>

#include "level/GameObject.h"
#include "render/Mesh.h"

namespace vestrel {

void VisibilityStage::beginFrame(bool enabled, const glm::mat4& viewProjection, int width, int height) {
    counts_ = VisibilityCounts{};
    active_ = enabled && width > 0 && height > 0;
    if (active_) buffer_.begin(viewProjection, width, height);
}

bool VisibilityStage::isOccluder(const GameObject& object) {
    if (!object.drawable() || !object.bounds) return false;
    const Mesh& mesh = *object.mesh;
    if (mesh.indices.empty() || mesh.worldPositions.empty()) return false;
    const std::array<float, 6>& b = *object.bounds;
    return b[3] - b[0] >= kMinOccluderExtent || b[4] - b[1] >= kMinOccluderExtent ||
           b[5] - b[2] >= kMinOccluderExtent;
}

void VisibilityStage::addOccluder(const GameObject& object) {
    if (!active_ || !isOccluder(object)) return;
    const Mesh& mesh = *object.mesh;
    // The CPU copy holds the positions the mesh was built with; a mesh moved
    // since then (a sliding door) is drawn through its new matrix.
    glm::mat4 model(1.0f);
    if (mesh.modelMatrix != mesh.worldPositionsModel) {
        model = mesh.modelMatrix * glm::inverse(mesh.worldPositionsModel);
    }
    // What is hidden already cannot hide anything nearer: only the parts of
    // the occluder that can still show are rasterised.
    if (!buffer_.boxVisible(object.bounds->data())) return;
    const int before = buffer_.trianglesRasterised();
    buffer_.setVertices(mesh.worldPositions.data(), mesh.worldPositions.size(), model);
    if (mesh.clusters.empty() || model != glm::mat4(1.0f)) {
        buffer_.addTriangles(mesh.indices.data(), mesh.indices.size());
    } else {
        for (const MeshCluster& cluster : mesh.clusters) {
            if (cluster.firstIndex + cluster.indexCount > mesh.indices.size()) continue;
            if (!buffer_.boxVisible(cluster.bounds.data())) continue;
            buffer_.addTriangles(mesh.indices.data() + cluster.firstIndex, cluster.indexCount);
        }
    }
    buffer_.finish();
    ++counts_.occluders;
    counts_.occluderTriangles += buffer_.trianglesRasterised() - before;
}

void VisibilityStage::finishOccluders() {
    if (active_) buffer_.finish();
}

bool VisibilityStage::boxVisible(const float* bounds, float grow, float marginPixels) const {
    return !active_ || buffer_.boxVisible(bounds, grow, marginPixels);
}

}  // namespace vestrel
