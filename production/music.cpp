#include "production/music.h"

#include "platform/sound.h"
#include "platform/system.h"

namespace ostravel {

void loadMusic(SoundDevice& sound) {
    if (!sound.init(44100, 32, 2)) {
        showMessage("Problem initializing FMod. \nProgram will now exit.", "Project effect 3. Festrum !  ",
                    MessageIcon::Information);
        exitProcess(1);
    }
    if (!sound.loadSample(kMusicPath)) {
        showMessage("Problem initializing FMod. \nNo sound file.", "KVR Ostravel  ", MessageIcon::Information);
        exitProcess(0);
    }
    sound.setLoopOff();
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

void closeMusic(SoundDevice& sound) { sound.close(); }

}  // namespace ostravel
