// The interaction target through the real physics world's trigger events, and
// what the interact key does with it.

#include <gtest/gtest.h>

#include <memory>

#include <glm/geometric.hpp>
#include <string>

#include "ConsoleCapture.h"
#include "app/GameSettings.h"
#include "level/GameObject.h"
#include "level/InteractionSimulationCallback.h"
#include "level/InteractiveSwitch.h"
#include "level/Item.h"
#include "level/Level.h"
#include "physics/ControllerRecord.h"
#include "physics/PhysicsWorld.h"
#include "render/Light.h"
#include "render/Mesh.h"

namespace vestrel {
namespace {

class InteractionTest : public ::testing::Test {
protected:
    std::unique_ptr<Level> level;
    Light flashlight = makeFlashlight();

    void SetUp() override {
        if (PhysicsWorld::exists()) PhysicsWorld::destroy();
        GameSettings::instance().playerWon = false;
        level = std::make_unique<Level>();
        level->player.flashlight = &flashlight;
        PhysicsWorld& world = PhysicsWorld::instance();
        level->playerControllerRecord = world.createPlayerController(&level->player.onGround);
        level->player.controller = level->playerControllerRecord.get();
        world.setSimulationEventCallback(std::make_unique<InteractionSimulationCallback>(&level->player));
    }
    void TearDown() override {
        level.reset();
        PhysicsWorld::destroy();
        GameSettings::instance().playerWon = false;
    }

    // A unit cube at (x, 0, 0) with the actors its kind asks for: a trigger
    // sphere of radius 0.5 + 2.0 for items and zones.
    GameObject* addObject(const std::string& name, float x, PhysicsShapeKind kind) {
        auto object = std::make_shared<GameObject>();
        object->mesh = std::make_unique<Mesh>(nullptr, glm::mat4(1.0f), name.c_str());
        object->bounds = std::array<float, 6>{x - 0.5f, -0.5f, -0.5f, x + 0.5f, 0.5f, 0.5f};
        object->kind = static_cast<int>(kind);
        PhysicsMeshData data;
        data.name = name;
        PhysicsWorld::instance().createActor(data, object->bounds->data(), kind, &object->collisionActor,
                                             &object->triggerActor);
        level->detachedObjects.push_back(object);
        return object.get();
    }
    Item& addItem(const std::string& name, float x) {
        auto item = std::make_shared<Item>(addObject(name, x, PhysicsShapeKind::Trigger), name);
        level->items[name] = item;
        level->itemsInWorld[name] = item;
        return *item;
    }

    // A solid box of the level (a wall, a counter) from `low` to `high`.
    void addSolid(const std::string& name, const glm::vec3& low, const glm::vec3& high) {
        auto object = std::make_shared<GameObject>();
        object->mesh = std::make_unique<Mesh>(nullptr, glm::mat4(1.0f), name.c_str());
        object->bounds = std::array<float, 6>{low.x, low.y, low.z, high.x, high.y, high.z};
        object->kind = static_cast<int>(PhysicsShapeKind::Box);
        PhysicsMeshData data;
        data.name = name;
        PhysicsWorld::instance().createActor(data, object->bounds->data(), PhysicsShapeKind::Box,
                                             &object->collisionActor, nullptr);
        level->detachedObjects.push_back(object);
    }

    // The capsule's centre at (x, 0, 0), then one physics step.
    void standAt(float x) {
        level->player.controller->controller->setPosition({x, 0.0, 0.0});
        PhysicsWorld::instance().simulate(1.0f / 60.0f);
        PhysicsWorld::instance().fetchResults(true);
    }
    std::string pressE() {
        test::ConsoleCapture console;
        level->interact();
        return console.text();
    }
};

// Each trigger reaches 2.5 + the capsule's 1.0 = 3.5 from its centre.
TEST_F(InteractionTest, EnteringSetsTheTargetAndLeavingAnyTriggerClearsIt) {
    addItem("Banana_item", 0.0f);
    addItem("Duck_item", 5.0f);
    Player& player = level->player;

    standAt(-10.0f);
    EXPECT_EQ(player.targetKind, kTargetNone);
    standAt(-3.45f);  // just inside the banana's reach
    EXPECT_EQ(player.targetName, "Banana_item");
    EXPECT_EQ(player.targetKind, kTargetItem);
    standAt(2.5f);  // inside both: the one entered last
    EXPECT_EQ(player.targetName, "Duck_item");
    standAt(3.55f);  // just out of the banana's reach, still inside the duck's
    EXPECT_EQ(player.targetName, "");
    EXPECT_EQ(player.targetKind, kTargetNone);
    EXPECT_EQ(pressE(), "");
    EXPECT_TRUE(player.inventory.empty());
}

TEST_F(InteractionTest, PickingUpClearsTheTargetAndASecondPressDoesNothing) {
    Item& flashlightItem = addItem("Flashlight_item", 0.0f);
    Item& duck = addItem("Duck_item", 20.0f);
    Player& player = level->player;

    standAt(1.0f);
    ASSERT_EQ(player.targetName, "Flashlight_item");
    EXPECT_FALSE(flashlight.enabled);
    EXPECT_EQ(pressE(), "Picked up item: Flashlight_item\n");
    EXPECT_EQ(player.targetKind, kTargetNone);
    EXPECT_TRUE(player.targetName.empty());
    EXPECT_TRUE(player.hasFlashlight);
    EXPECT_TRUE(flashlight.enabled);
    EXPECT_FALSE(flashlightItem.object->visible);
    EXPECT_EQ(flashlightItem.object->triggerActor, nullptr);
    EXPECT_EQ(player.inventory.count("Flashlight_item"), 1u);
    EXPECT_EQ(level->itemsInWorld.count("Flashlight_item"), 0u);
    EXPECT_EQ(pressE(), "");

    // Standing on where it lay gives no new target: its trigger is gone.
    standAt(1.1f);
    EXPECT_EQ(player.targetKind, kTargetNone);
    // A stale target naming the taken item (a trigger report that came late)
    // takes nothing again: the light the player switched off stays off.
    flashlight.enabled = false;
    player.targetName = "Flashlight_item";
    player.targetKind = kTargetItem;
    EXPECT_EQ(pressE(), "");
    EXPECT_FALSE(flashlight.enabled);

    // Only the flashlight switches the light on.
    flashlight.enabled = false;
    standAt(20.0f);
    EXPECT_EQ(pressE(), "Picked up item: Duck_item\n");
    EXPECT_FALSE(flashlight.enabled);
    EXPECT_FALSE(duck.used);
}

TEST_F(InteractionTest, TagsDecideTheKindAndOnlyItemsAndZonesAnswer) {
    EXPECT_EQ(InteractionSimulationCallback::targetKindFor("Duck_item"), kTargetItem);
    EXPECT_EQ(InteractionSimulationCallback::targetKindFor("sink_interactive"), kTargetInteractive);
    EXPECT_EQ(InteractionSimulationCallback::targetKindFor("item"),
              kTargetItem);  // the whole name is the tag
    EXPECT_EQ(InteractionSimulationCallback::targetKindFor("Duck_item_2"), kTargetNone);
    EXPECT_EQ(InteractionSimulationCallback::targetKindFor("Duck_Item"), kTargetNone);

    // A trigger with another tag is a target of kind 0, and E does nothing
    // there, even where an item of that name exists.
    addItem("Lamp_glow", 0.0f);
    standAt(0.0f);
    EXPECT_EQ(level->player.targetName, "Lamp_glow");
    EXPECT_EQ(level->player.targetKind, kTargetNone);
    EXPECT_EQ(pressE(), "");
    EXPECT_TRUE(level->player.inventory.empty());
}

TEST_F(InteractionTest, ASwitchWantsItsItemOnceAndTheSinkWins) {
    Item& duck = addItem("Duck_item", 30.0f);
    GameObject* sink = addObject("sink_interactive", 0.0f, PhysicsShapeKind::BoxWithTrigger);
    auto sinkSwitch = std::make_shared<InteractiveSwitch>(sink, nullptr);
    sinkSwitch->requiredItem = &duck;
    level->switches["sink_interactive"] = sinkSwitch;
    Player& player = level->player;

    standAt(-3.0f);
    ASSERT_EQ(player.targetName, "sink_interactive");
    ASSERT_EQ(player.targetKind, kTargetInteractive);
    EXPECT_EQ(pressE(), "Can't interact with that target.\n");
    EXPECT_FALSE(GameSettings::instance().playerWon);
    // Another item in the inventory is not the one the sink wants.
    Item& banana = addItem("Banana_item", 30.0f);
    player.inventory["Banana_item"] = &banana;
    EXPECT_EQ(pressE(), "Can't interact with that target.\n");
    EXPECT_FALSE(GameSettings::instance().playerWon);
    EXPECT_FALSE(banana.used);

    player.inventory["Duck_item"] = &duck;
    EXPECT_EQ(pressE(), "Interacting with: sink_interactive\n");
    EXPECT_TRUE(GameSettings::instance().playerWon);
    EXPECT_TRUE(duck.used);
    // A zone keeps the target: the next press meets the used item.
    EXPECT_EQ(pressE(), "Item has already been used.\n");
}

// The triggers reach through walls; E only takes what the eye (1.5 above the
// capsule's centre) sees past every solid shape.
TEST_F(InteractionTest, OnlyWhatTheEyeSeesPastSolidShapesCanBeTakenOrUsed) {
    enum class Between { Nothing, Wall, Counter, WallAboveTheTop, OtherTrigger, Monster };
    struct Case {
        const char* what;
        const char* target;  // an item or the sink's zone at x = 0
        Between between;     // at x = -1.5, between it and the player at x = -3
        InteractOutcome expected;
    };
    const Case cases[] = {
        {"nothing", "Duck_item", Between::Nothing, InteractOutcome::PickedUp},
        {"a wall", "Duck_item", Between::Wall, InteractOutcome::OutOfReach},
        {"a wall, at a zone", "sink_interactive", Between::Wall, InteractOutcome::OutOfReach},
        // The zone's own solid box never hides it.
        {"nothing, at a zone", "sink_interactive", Between::Nothing, InteractOutcome::Used},
        // The line to the centre clears a counter 0.3 high; the wall 2.0
        // high hides even the top.
        {"a counter", "Duck_item", Between::Counter, InteractOutcome::PickedUp},
        {"a wall up to the eye", "Duck_item", Between::WallAboveTheTop, InteractOutcome::OutOfReach},
        {"another item's trigger", "Duck_item", Between::OtherTrigger, InteractOutcome::PickedUp},
        {"the monster", "Duck_item", Between::Monster, InteractOutcome::PickedUp},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.target) + " behind " + c.what);
        TearDown();
        SetUp();
        Item& duck = addItem("Duck_item", c.target == std::string("Duck_item") ? 0.0f : 40.0f);
        std::unique_ptr<ControllerRecord> monster;
        if (c.target == std::string("sink_interactive")) {
            GameObject* sink = addObject("sink_interactive", 0.0f, PhysicsShapeKind::BoxWithTrigger);
            auto sinkSwitch = std::make_shared<InteractiveSwitch>(sink, nullptr);
            sinkSwitch->requiredItem = &duck;
            level->switches["sink_interactive"] = sinkSwitch;
            level->player.inventory["Duck_item"] = &duck;
        }
        switch (c.between) {
            case Between::Nothing:
                break;
            case Between::Wall:
                addSolid("Wall_mesh", {-1.6f, -5.0f, -5.0f}, {-1.4f, 5.0f, 5.0f});
                break;
            case Between::Counter:
                addSolid("Counter_box", {-1.6f, -5.0f, -5.0f}, {-1.4f, 0.3f, 5.0f});
                break;
            case Between::WallAboveTheTop:
                addSolid("Counter_box", {-1.6f, -5.0f, -5.0f}, {-1.4f, 2.0f, 5.0f});
                break;
            case Between::OtherTrigger:  // added once the player stands, so the duck stays the target
                break;
            case Between::Monster:
                monster = PhysicsWorld::instance().createEnemyController({-1.5f, -3.0f, 0.0f});
                break;
        }
        standAt(-3.0f);
        ASSERT_EQ(level->player.targetName, c.target);
        if (c.between == Between::OtherTrigger) addItem("Banana_item", -1.5f);
        EXPECT_EQ(level->targetInReach(), c.expected != InteractOutcome::OutOfReach);
        test::ConsoleCapture console;
        EXPECT_EQ(level->interact(), c.expected);
        // Refused silently: nothing printed, nothing taken, nothing won.
        const bool refused = c.expected == InteractOutcome::OutOfReach;
        EXPECT_EQ(console.text().empty(), refused) << console.text();
        EXPECT_EQ(duck.object->visible, refused || c.target != std::string("Duck_item"));
        EXPECT_EQ(GameSettings::instance().playerWon, c.expected == InteractOutcome::Used);
        EXPECT_EQ(duck.used, c.expected == InteractOutcome::Used);
    }
}

TEST(ReachPoints, CentreTopAndNearestPointEachATenthIn) {
    const std::array<float, 6> box{0.0f, 0.0f, 0.0f, 2.0f, 4.0f, 6.0f};
    struct Case {
        glm::vec3 eye;
        glm::vec3 nearest;  // before the tenth towards the centre (1, 2, 3)
    };
    const Case cases[] = {
        {{-5.0f, 2.0f, 3.0f}, {0.0f, 2.0f, 3.0f}},
        {{5.0f, 9.0f, -1.0f}, {2.0f, 4.0f, 0.0f}},
        {{1.5f, 1.0f, 2.0f}, {1.5f, 1.0f, 2.0f}},  // an eye inside sees from where it is
    };
    for (const Case& c : cases) {
        const std::array<glm::vec3, 3> points = reachPoints(box, c.eye);
        EXPECT_EQ(points[0], glm::vec3(1.0f, 2.0f, 3.0f));
        EXPECT_NEAR(glm::distance(points[1], glm::vec3(1.0f, 3.8f, 3.0f)), 0.0f, 1e-5f);
        const glm::vec3 expected = c.nearest + (glm::vec3(1.0f, 2.0f, 3.0f) - c.nearest) * 0.1f;
        EXPECT_NEAR(glm::distance(points[2], expected), 0.0f, 1e-5f) << c.eye.x;
    }
}

}  // namespace
}  // namespace vestrel
