#include "production/music.h"

#include <algorithm>

#include "platform/sound.h"

namespace ostravel {

MusicError loadMusic(SoundDevice& sound) {
    if (!sound.init(44100, 32, 2)) return MusicError::DeviceFailed;
    if (!sound.loadSample(kMusicPath)) return MusicError::NoSoundFile;
    sound.setLoopOff();
    return MusicError::None;
}

void playMusic(SoundDevice& sound) {
    sound.play();
    sound.setPosition(0);
}

double musicTime(SoundDevice& sound) {
    const double position = sound.position();  // unsigned: a position past 2^31 stays positive
    const int frequency = sound.frequency();
    return frequency > 0 ? position / frequency : 0.0;
}

void setMusicVolume(SoundDevice& sound, int volume) { sound.setVolume(volume); }

void pauseMusic(SoundDevice& sound, bool paused) { sound.pause(paused); }

void seekMusic(SoundDevice& sound, double seconds) {
    // Playing first: a source that has stopped at its end takes a new offset only while it plays.
    sound.play();
    sound.setPosition(static_cast<uint32_t>(std::max(0.0, seconds) * sound.frequency()));
}

void closeMusic(SoundDevice& sound) { sound.close(); }

}  // namespace ostravel
