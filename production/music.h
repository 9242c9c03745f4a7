// The show's music: one Ogg Vorbis file played once from the start on channel 0, whose play
// position is the master time of the production. Nothing here runs when music is switched off.
#pragma once

namespace ostravel {

class SoundDevice;

inline constexpr const char* kMusicPath = "music//[Bexil] Sorvain.ogg";

enum class MusicError {
    None,
    DeviceFailed,  // the sound device cannot start
    NoSoundFile,   // the file cannot be loaded (missing, or not Ogg Vorbis)
};

// Opens the device (44100 Hz, 32 channels, flags 2), loads the whole file, loop off; stops at the
// first failure and returns it.
[[nodiscard]] MusicError loadMusic(SoundDevice& sound);
// Starts playback on channel 0 at position 0.
void playMusic(SoundDevice& sound);
// Play position / playback frequency, in seconds (0 when the frequency is unknown).
double musicTime(SoundDevice& sound);
void setMusicVolume(SoundDevice& sound, int volume);
// The preview's controls: hold the music or play on; play from a time (seconds), also after the
// music had ended.
void pauseMusic(SoundDevice& sound, bool paused);
void seekMusic(SoundDevice& sound, double seconds);
void closeMusic(SoundDevice& sound);

}  // namespace ostravel
