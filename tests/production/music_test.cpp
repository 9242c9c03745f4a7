#include <gtest/gtest.h>

#include "platform/fake_sound.h"
#include "platform/fake_system.h"
#include "production/music.h"

using namespace ostravel;

TEST(MusicPlayback, CallsInOrder) {
    ScopedFakeSystem system;
    FakeSound sound;
    EXPECT_EQ(loadMusic(sound), MusicError::None);
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

TEST(MusicPlayback, FailuresStopLoadingAndSayWhich) {
    FakeSound noDevice;
    noDevice.initWorks = false;
    EXPECT_EQ(loadMusic(noDevice), MusicError::DeviceFailed);
    EXPECT_EQ(noDevice.calls, (std::vector<std::string>{"init 44100 32 2"}));
    FakeSound noFile;
    noFile.loadWorks = false;
    EXPECT_EQ(loadMusic(noFile), MusicError::NoSoundFile);
    EXPECT_EQ(noFile.calls.size(), 2u) << "no loop setting after a failed load";
}
