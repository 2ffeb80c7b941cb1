#include "render/VisibilityStage.h"

#include <glm/matrix.hpp>

#include "level/GameObject.h"
#include "render/Mesh.h"

namespace vestrel {

void VisibilityStage::beginFrame(bool enabled, const glm::mat4& viewProjection, int width, int height) {
    counts_ = VisibilityCounts{};
    clusterHidden_.clear();
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

VisibilityStage::OccluderMarks VisibilityStage::addOccluder(const GameObject& object) {
    OccluderMarks marks;
    if (!active_ || !isOccluder(object)) return marks;
    const Mesh& mesh = *object.mesh;
    // What is hidden already cannot hide anything nearer: only the parts of
    // the occluder that can still show are rasterised.
    if (!buffer_.boxVisible(object.bounds->data())) {
        marks.hidden = true;
        return marks;
    }
    // The CPU copy holds the positions the mesh was built with; a mesh moved
    // since then (a sliding door) is drawn through its new matrix.
    glm::mat4 model(1.0f);
    if (mesh.modelMatrix != mesh.worldPositionsModel) {
        model = mesh.modelMatrix * glm::inverse(mesh.worldPositionsModel);
    }
    const int before = buffer_.trianglesRasterised();
    buffer_.setVertices(mesh.worldPositions.data(), mesh.worldPositions.size(), model);
    if (mesh.clusters.empty() || model != glm::mat4(1.0f)) {
        buffer_.addTriangles(mesh.indices.data(), mesh.indices.size());
    } else {
        marks.firstCluster = static_cast<int>(clusterHidden_.size());
        for (const MeshCluster& cluster : mesh.clusters) {
            const bool hidden = cluster.firstIndex + cluster.indexCount > mesh.indices.size() ||
                                !buffer_.boxVisible(cluster.bounds.data());
            clusterHidden_.push_back(hidden ? 1 : 0);
            if (!hidden) buffer_.addTriangles(mesh.indices.data() + cluster.firstIndex, cluster.indexCount);
        }
    }
    buffer_.finish();
    ++counts_.occluders;
    counts_.occluderTriangles += buffer_.trianglesRasterised() - before;
    return marks;
}

bool VisibilityStage::objectVisible(const GameObject& object, const OccluderMarks& marks) const {
    if (!active_ || !object.bounds) return true;
    return !marks.hidden && buffer_.boxVisible(object.bounds->data());
}

bool VisibilityStage::clusterVisible(const GameObject& object, const OccluderMarks& marks,
                                     std::size_t cluster) const {
    if (!active_) return true;
    const std::vector<MeshCluster>& clusters = object.mesh->clusters;
    if (cluster >= clusters.size()) return true;
    if (marks.firstCluster >= 0 && clusterHidden_[static_cast<std::size_t>(marks.firstCluster) + cluster]) {
        return false;
    }
    return buffer_.boxVisible(clusters[cluster].bounds.data());
}

void VisibilityStage::finishOccluders() {
    if (active_) buffer_.finish();
}

bool VisibilityStage::boxVisible(const float* bounds, float grow, float marginPixels) const {
    return !active_ || buffer_.boxVisible(bounds, grow, marginPixels);
}

}  // namespace vestrel
