#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <glm/vec3.hpp>

#include "audio/SoundSystem.h"
#include "render/SkinnedModel.h"

namespace vestrel {

class Camera;
class Shader;
struct ControllerRecord;
struct Light;

// One point of the monster's path, named Waypoint_NN.
struct Waypoint {
    glm::vec3 position{0.0f};
    std::string name;
};

// The number of a waypoint: the two characters after "Waypoint_" read as a
// decimal number (leading digits only, none gives 0), so "Waypoint_07" is 7,
// "Waypoint_5" is 5 and "Waypoint_xx" and a bare "Waypoint" are 0.
int waypointNumber(const std::string& name);

// The monster: walks its waypoint path back and forth at a constant speed as
// a capsule controller carrying the animated model and a looping 3D growl;
// it catches the player by touch (the controller hit report) or by coming
// within kCatchDistance horizontally (the level's update). The renderer's
// monster pass draws `model`.
//
// A path of fewer than two waypoints cannot be walked: load reports it once
// and the monster stands where its controller was created.
class Enemy {
public:
    static constexpr const char* kModelPath = "Assets\\enemy_rigged.dae";
    // The rigged model `load` reads; another model can be put in place of
    // the game's own before the level loads.
    std::string modelPath = kModelPath;
    static constexpr const char* kGrowlPath = "Assets\\Audio\\monster_growl1.mp3";
    static constexpr const char* kGrowlName = "growl1";
    static constexpr float kGrowlMinDistance = 1.0f;
    static constexpr float kGrowlMaxDistance = 10000.0f;
    static constexpr float kSpeed = 7.0f;             // units per second along `direction`
    static constexpr float kModelBelowCentre = 3.0f;  // model origin under the capsule centre
    static constexpr float kArrivalDistance = 0.5f;   // horizontal
    static constexpr float kCatchDistance = 3.0f;     // horizontal, to the camera

    ControllerRecord* controller = nullptr;  // owned by the level; set when play starts
    SkinnedModel model;
    SoundSystem::SoundClass* growl = nullptr;  // owned by the sound system
    std::vector<Waypoint> waypoints;           // ascending by number after load
    std::int32_t currentIndex = 0;
    std::int32_t targetIndex = 0;
    bool forward = false;
    glm::vec3 direction{0.0f};  // unit vector of travel

    Enemy();
    virtual ~Enemy();
    Enemy(const Enemy&) = delete;
    Enemy& operator=(const Enemy&) = delete;

    // Appends a waypoint (the level loader calls it in file order).
    void addWaypoint(const std::string& name, const glm::vec3& position);

    // Loads the model (its result is reported by the model and otherwise
    // ignored: the patrol runs without a model), turns it half round, orders
    // the path by waypoint number (equal numbers end up in the reverse of
    // the order they were added), aims at waypoint 1 and creates the growl.
    // `lights` is accepted for the loader's sake and not used.
    void load(const std::vector<std::shared_ptr<Light>>& lights, Camera* camera, Shader* shader);

    // Orders the path and aims at waypoint 1 (the path part of load, without
    // model or sound).
    void preparePath();

    // One fixed step: move, place the model and the growl, silence the growl
    // once the player is caught, and on arrival pick the next waypoint and
    // turn the model towards it.
    void update(float dt);

    // True while the path can be walked (two waypoints or more).
    bool canPatrol() const { return waypoints.size() >= 2; }

private:
    void arrive(const glm::vec3& centre, float dx, float dz);

    bool reportedShortPath_ = false;
};

}  // namespace vestrel
