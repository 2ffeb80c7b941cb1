// The listener turns with the player: a 3D sound is heard on the side it is
// on from where the player looks, through the silent output's samples.

#include <gtest/gtest.h>

#include "app/GameSettings.h"
#include "audio/AudioTestSupport.h"
#include "audio/SoundSystem.h"
#include "play/Camera.h"

namespace vestrel {
namespace {

using test::framesFor;
using test::render;

class ListenerOrientationTest : public ::testing::Test {
protected:
    void SetUp() override {
        GameSettings::instance().playerCaught = false;
        ASSERT_TRUE(test::writeSound(growlFile, test::tone(3.0), 1));
        ASSERT_TRUE(sounds.audioSystem()->isSilentOutput());
        growl = sounds.createSound(growlFile, "growl1", kSound3D, true);
        sounds.sound("growl1").sound.set3DMinMaxDistance(1.0f, 10000.0f);
        // The monster stands five units east of the player.
        growl->position = glm::vec3(15.0f, 2.0f, -3.0f);
        sounds.startLoopingSounds();
    }

    // Left and right loudness with the player at `eye` looking along yaw
    // (degrees, as the camera turns) and a little down.
    test::Loudness heardLooking(float yawDegrees, float pitchDegrees = -10.0f) {
        sounds.updateListener(eye, viewDirection(pitchDegrees, yawDegrees), glm::vec3(0.0f, 1.0f, 0.0f));
        render(*sounds.audioSystem(), framesFor(0.03));  // let the pan settle
        return render(*sounds.audioSystem(), framesFor(0.1));
    }

    test::TempFolder folder;
    std::string growlFile = folder.file("growl.wav");
    SoundSystem sounds{AudioOutputType::NoSound};
    SoundSystem::SoundClass* growl = nullptr;
    const glm::vec3 eye{10.0f, 2.0f, -3.0f};
};

TEST_F(ListenerOrientationTest, TurningRoundSwapsTheGrowlBetweenLeftAndRight) {
    // Looking north (-z) the monster in the east is on the right...
    const test::Loudness north = heardLooking(270.0f);
    ASSERT_GT(north.both(), test::kAudible);
    EXPECT_GT(north.right, 2.0 * north.left);
    // ...and after a half turn, on the left.
    const test::Loudness south = heardLooking(90.0f);
    EXPECT_GT(south.left, 2.0 * south.right);
    EXPECT_NEAR(south.left, north.right, 0.05 * north.right);
    // Facing it, it is in front: both sides alike.
    const test::Loudness east = heardLooking(0.0f);
    EXPECT_NEAR(east.left, east.right, 0.05 * east.right);
}

TEST_F(ListenerOrientationTest, AnOrientationWithoutASideIsRefusedAndTheLastOneStays) {
    const test::Loudness north = heardLooking(270.0f);
    const glm::vec3 up(0.0f, 1.0f, 0.0f);
    const glm::vec3 zero(0.0f);
    AudioSystem& system = *sounds.audioSystem();
    EXPECT_EQ(system.set3DListenerAttributes(0, nullptr, nullptr, &up, &up), AudioResult::InvalidParam);
    EXPECT_EQ(system.set3DListenerAttributes(0, nullptr, nullptr, &zero, &up), AudioResult::InvalidParam);
    EXPECT_EQ(system.set3DListenerAttributes(0, nullptr, nullptr, &up, nullptr), AudioResult::InvalidParam);
    const glm::vec3 nan(std::nanf(""), 0.0f, 0.0f);
    EXPECT_EQ(system.set3DListenerAttributes(0, nullptr, nullptr, &nan, &up), AudioResult::InvalidParam);
    sounds.updateListener(eye, up, up);  // looking straight up: no left or right
    render(system, framesFor(0.03));
    const test::Loudness after = render(system, framesFor(0.1));
    EXPECT_NEAR(after.right, north.right, 0.05 * north.right);
    EXPECT_NEAR(after.left, north.left, 0.05 * north.right);
}

}  // namespace
}  // namespace vestrel
