#pragma once

// Small rigged Collada files for the skinned-model and animator tests: one
// mesh of separate triangles skinned to a row of joints, and optional
// translation tracks on the joints.

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace vestrel::test {

// A track moving one joint along x: (seconds, x) keys, linear in between.
struct JointTrack {
    int joint = 0;
    std::vector<std::pair<double, double>> keys;
};

struct RiggedModel {
    int joints = 2;
    int triangles = 2;
    // Joint j stands at (0, j * jointSpacing, 0) in the bind pose.
    double jointSpacing = 0.0;
    // Inverse bind matrices of identity instead: bone j then moves its
    // vertices up by j * jointSpacing even in the file's own pose.
    bool bindAtOrigin = false;
    // Every vertex of the first triangle is moved by this many joints at
    // once (0, 1, ... influencesOnFirst - 1), equally weighted; the other
    // triangles follow joint (triangle index mod joints) alone.
    int influencesOnFirst = 1;
    std::vector<JointTrack> tracks;
};

inline std::string matrixText(double tx, double ty, double tz) {
    std::ostringstream m;
    m << "1 0 0 " << tx << " 0 1 0 " << ty << " 0 0 1 " << tz << " 0 0 0 1";
    return m.str();
}

inline std::string floats(const std::string& id, const std::vector<double>& values, int stride,
                          const std::vector<std::string>& params, const char* type = "float") {
    std::ostringstream s;
    s << "<source id=\"" << id << "\"><float_array id=\"" << id << "-array\" count=\"" << values.size()
      << "\">";
    for (double v : values) s << v << " ";
    s << "</float_array><technique_common><accessor source=\"#" << id << "-array\" count=\""
      << values.size() / static_cast<std::size_t>(stride) << "\" stride=\"" << stride << "\">";
    for (const std::string& p : params) s << "<param name=\"" << p << "\" type=\"" << type << "\"/>";
    s << "</accessor></technique_common></source>\n";
    return s.str();
}

inline std::string names(const std::string& id, const std::vector<std::string>& values, const char* param) {
    std::ostringstream s;
    s << "<source id=\"" << id << "\"><Name_array id=\"" << id << "-array\" count=\"" << values.size()
      << "\">";
    for (const std::string& v : values) s << v << " ";
    s << "</Name_array><technique_common><accessor source=\"#" << id << "-array\" count=\"" << values.size()
      << "\" stride=\"1\"><param name=\"" << param
      << "\" type=\"name\"/></accessor></technique_common></source>\n";
    return s.str();
}

inline std::string jointName(int j) { return "J" + std::to_string(j); }

// The Collada text for `model` (Y-up, so the importer adds no turn).
inline std::string riggedCollada(const RiggedModel& model) {
    std::vector<double> positions, normals;
    std::vector<int> indices;
    for (int t = 0; t < model.triangles; ++t) {
        const double x = 3.0 * t;
        const double corners[3][3] = {{x, 0, 0}, {x + 1, 0, 0}, {x, 1, 0}};
        for (const auto& c : corners) {
            positions.insert(positions.end(), {c[0], c[1], c[2]});
            normals.insert(normals.end(), {0.0, 0.0, 1.0});
            indices.push_back(static_cast<int>(indices.size()));
        }
    }
    std::vector<std::string> jointNames;
    std::vector<double> bindPoses;
    for (int j = 0; j < model.joints; ++j) {
        jointNames.push_back(jointName(j));
        // Inverse bind matrices undo each joint's own bind placement.
        std::istringstream m(matrixText(0, model.bindAtOrigin ? 0.0 : -model.jointSpacing * j, 0));
        for (double v; m >> v;) bindPoses.push_back(v);
    }
    std::vector<double> weights;
    std::ostringstream vcount, v;
    for (int t = 0; t < model.triangles; ++t) {
        for (int corner = 0; corner < 3; ++corner) {
            if (t == 0 && model.influencesOnFirst > 1) {
                vcount << model.influencesOnFirst << " ";
                for (int i = 0; i < model.influencesOnFirst; ++i) {
                    v << i << " " << weights.size() << " ";
                    weights.push_back(1.0 / model.influencesOnFirst);
                }
            } else {
                vcount << "1 ";
                v << (t % model.joints) << " " << weights.size() << " ";
                weights.push_back(1.0);
            }
        }
    }

    std::ostringstream dae;
    dae << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        << "<COLLADA xmlns=\"http://www.collada.org/2005/11/COLLADASchema\" version=\"1.4.1\">\n"
        << "<asset><unit name=\"meter\" meter=\"1\"/><up_axis>Y_UP</up_axis></asset>\n"
        << "<library_geometries><geometry id=\"body-mesh\" name=\"body\"><mesh>\n"
        << floats("body-positions", positions, 3, {"X", "Y", "Z"})
        << floats("body-normals", normals, 3, {"X", "Y", "Z"})
        << "<vertices id=\"body-vertices\"><input semantic=\"POSITION\" "
           "source=\"#body-positions\"/></vertices>\n"
        << "<triangles count=\"" << model.triangles
        << "\"><input semantic=\"VERTEX\" source=\"#body-vertices\" "
        << "offset=\"0\"/><input semantic=\"NORMAL\" source=\"#body-normals\" offset=\"1\"/><p>";
    for (int i : indices) dae << i << " " << i << " ";
    dae << "</p></triangles>\n</mesh></geometry></library_geometries>\n"
        << "<library_controllers><controller id=\"skin\" name=\"skin\"><skin source=\"#body-mesh\">\n"
        << "<bind_shape_matrix>" << matrixText(0, 0, 0) << "</bind_shape_matrix>\n"
        << names("skin-joints", jointNames, "JOINT")
        << floats("skin-bind", bindPoses, 16, {"TRANSFORM"}, "float4x4")
        << floats("skin-weights", weights, 1, {"WEIGHT"})
        << "<joints><input semantic=\"JOINT\" source=\"#skin-joints\"/><input semantic=\"INV_BIND_MATRIX\" "
        << "source=\"#skin-bind\"/></joints>\n"
        << "<vertex_weights count=\"" << positions.size() / 3 << "\"><input semantic=\"JOINT\" "
        << "source=\"#skin-joints\" offset=\"0\"/><input semantic=\"WEIGHT\" source=\"#skin-weights\" "
        << "offset=\"1\"/><vcount>" << vcount.str() << "</vcount><v>" << v.str() << "</v></vertex_weights>\n"
        << "</skin></controller></library_controllers>\n";

    if (!model.tracks.empty()) {
        dae << "<library_animations>\n";
        for (const JointTrack& track : model.tracks) {
            const std::string id = jointName(track.joint) + "-move";
            std::vector<double> times, matrices;
            std::vector<std::string> interpolation;
            for (const auto& key : track.keys) {
                times.push_back(key.first);
                std::istringstream m(matrixText(key.second, model.jointSpacing * track.joint, 0));
                for (double value; m >> value;) matrices.push_back(value);
                interpolation.push_back("LINEAR");
            }
            dae << "<animation id=\"" << id << "\">\n"
                << floats(id + "-input", times, 1, {"TIME"})
                << floats(id + "-output", matrices, 16, {"TRANSFORM"}, "float4x4")
                << names(id + "-interpolation", interpolation, "INTERPOLATION") << "<sampler id=\"" << id
                << "-sampler\"><input semantic=\"INPUT\" source=\"#" << id << "-input\"/><input "
                << "semantic=\"OUTPUT\" source=\"#" << id << "-output\"/><input semantic=\"INTERPOLATION\" "
                << "source=\"#" << id << "-interpolation\"/></sampler>\n"
                << "<channel source=\"#" << id << "-sampler\" target=\"" << jointName(track.joint)
                << "/transform\"/>\n</animation>\n";
        }
        dae << "</library_animations>\n";
    }

    dae << "<library_visual_scenes><visual_scene id=\"Scene\" name=\"Scene\">\n"
        << "<node id=\"Armature\" name=\"Armature\" type=\"NODE\"><matrix sid=\"transform\">"
        << matrixText(0, 0, 0) << "</matrix>\n";
    for (int j = 0; j < model.joints; ++j) {
        dae << "<node id=\"" << jointName(j) << "\" name=\"" << jointName(j) << "\" sid=\"" << jointName(j)
            << "\" type=\"JOINT\"><matrix sid=\"transform\">" << matrixText(0, model.jointSpacing * j, 0)
            << "</matrix></node>\n";
    }
    dae << "</node>\n<node id=\"Body\" name=\"Body\" type=\"NODE\"><matrix sid=\"transform\">"
        << matrixText(0, 0, 0)
        << "</matrix><instance_controller "
           "url=\"#skin\"><skeleton>#J0</skeleton></instance_controller></node>\n"
        << "</visual_scene></library_visual_scenes>\n"
        << "<scene><instance_visual_scene url=\"#Scene\"/></scene>\n</COLLADA>\n";
    return dae.str();
}

// Writes `model` to a file of its own that is removed with the object.
class RiggedFile {
public:
    explicit RiggedFile(const RiggedModel& model, const std::string& tag = "model") {
        path_ = "/tmp/vestrel_rigged_" + std::to_string(getpid()) + "_" + tag + "_" +
                std::to_string(counter()++) + ".dae";
        std::ofstream(path_) << riggedCollada(model);
    }
    ~RiggedFile() { std::remove(path_.c_str()); }
    RiggedFile(const RiggedFile&) = delete;
    RiggedFile& operator=(const RiggedFile&) = delete;
    const std::string& path() const { return path_; }

private:
    static int& counter() {
        static int n = 0;
        return n;
    }
    std::string path_;
};

}  // namespace vestrel::test
