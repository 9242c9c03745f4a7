// A SoundDevice for tests: records every call in order and plays on a position the test sets.
#pragma once

#include <string>
#include <vector>

#include "platform/sound.h"

namespace ostravel {

class FakeSound : public SoundDevice {
public:
    std::vector<std::string> calls;
    bool initWorks = true;
    bool loadWorks = true;
    uint32_t playPosition = 0;
    int sampleRate = 44100;
    int volume = 255;

    void setMusicTime(double seconds) { playPosition = static_cast<uint32_t>(seconds * sampleRate); }

    bool init(int mixRate, int softwareChannels, int flags) override {
        calls.push_back("init " + std::to_string(mixRate) + " " + std::to_string(softwareChannels) + " " +
                        std::to_string(flags));
        return initWorks;
    }
    bool loadSample(const char* path) override {
        calls.push_back(std::string("load ") + path);
        return loadWorks;
    }
    void setLoopOff() override { calls.push_back("loopOff"); }
    void play() override { calls.push_back("play"); }
    void setPosition(uint32_t samples) override {
        calls.push_back("setPosition " + std::to_string(samples));
        playPosition = samples;
    }
    uint32_t position() override {
        calls.push_back("position");
        return playPosition;
    }
    int frequency() override {
        calls.push_back("frequency");
        return sampleRate;
    }
    void setVolume(int v) override {
        calls.push_back("volume " + std::to_string(v));
        volume = v;
    }
    void pause(bool paused) override { calls.push_back(paused ? "pause" : "resume"); }
    void close() override { calls.push_back("close"); }
};

}  // namespace ostravel
