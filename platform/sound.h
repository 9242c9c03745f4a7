// The music player: the few operations the show makes on its sound library.
//
// What each operation does: init (mix rate, software channels, flags) opens the sound device;
// loadSample decodes a whole Ogg Vorbis file into one buffer; the sample plays once (loop off) on
// channel 0, the first source; position is the play position in samples (0 once playback has
// stopped); frequency is the sample's rate; volume 0..255 applies to all channels at once.
#pragma once

#include <cstdint>

namespace ostravel {

class SoundDevice {
public:
    virtual ~SoundDevice() = default;
    virtual bool init(int mixRate, int softwareChannels, int flags) = 0;
    virtual bool loadSample(const char* path) = 0;
    virtual void setLoopOff() = 0;
    virtual void play() = 0;
    virtual void setPosition(uint32_t samples) = 0;
    virtual uint32_t position() = 0;
    virtual int frequency() = 0;
    virtual void setVolume(int volume) = 0;
    // Holds channel 0 where it is (position unchanged), or plays on from there.
    virtual void pause(bool paused) = 0;
    virtual void close() = 0;
};

// OpenAL Soft + libvorbisfile. Without a sound card set ALSOFT_DRIVERS=null.
SoundDevice& openAlSoundDevice();

}  // namespace ostravel
