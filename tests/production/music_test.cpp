#include <gtest/gtest.h>

#include "platform/fake_sound.h"
#include "platform/fake_system.h"
#include "production/music.h"

using namespace ostravel;

TEST(MusicPlayback, CallsInOrder) {
    ScopedFakeSystem system;
    FakeSound sound;
    loadMusic(sound);
    playMusic(sound);
    const std::vector<std::string> expected = {"init 44100 32 2", "load music//[Bexil] Sorvain.ogg", "loopOff", "play",
                                               "setPosition 0"};
    EXPECT_EQ(sound.calls, expected);
    EXPECT_TRUE(system.fake.messages.empty());
    sound.playPosition = 0xF0000000u;  // past 2^31 samples: still a positive time
    EXPECT_NEAR(musicTime(sound), double(0xF0000000u) / 44100.0, 1e-6);
    sound.sampleRate = 0;
    EXPECT_EQ(musicTime(sound), 0.0) << "no division by an unknown frequency";
}

TEST(MusicPlayback, FailuresEndTheProgramWithTheirMessages) {
    {
        ScopedFakeSystem system;
        FakeSound sound;
        sound.initWorks = false;
        try {
            loadMusic(sound);
            ADD_FAILURE() << "went on without a sound device";
        } catch (const ProcessExit& exit) {
            EXPECT_EQ(exit.status, 1);
        }
        ASSERT_EQ(system.fake.messages.size(), 1u);
        EXPECT_EQ(system.fake.messages[0].text, "Problem initializing FMod. \nProgram will now exit.");
        EXPECT_EQ(system.fake.messages[0].caption, "Project effect 3. Festrum !  ");
        EXPECT_EQ(system.fake.messages[0].icon, MessageIcon::Information);
    }
    {
        ScopedFakeSystem system;
        FakeSound sound;
        sound.loadWorks = false;
        try {
            loadMusic(sound);
            ADD_FAILURE() << "went on without music";
        } catch (const ProcessExit& exit) {
            EXPECT_EQ(exit.status, 0);
        }
        ASSERT_EQ(system.fake.messages.size(), 1u);
        EXPECT_EQ(system.fake.messages[0].text, "Problem initializing FMod. \nNo sound file.");
        EXPECT_EQ(system.fake.messages[0].caption, "KVR Ostravel  ");
    }
}
