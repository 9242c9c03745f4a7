// OpenAL Soft + libvorbisfile implementation of the music player.
#include <AL/al.h>
#include <AL/alc.h>
#include <vorbis/vorbisfile.h>

#include <vector>

#include "platform/sound.h"

namespace ostravel {

namespace {

// A whole Ogg Vorbis file decoded to 16-bit little-endian PCM. An Ogg of over 2^31 samples
// would not fit an AL buffer; the decoder stops at a fixed ceiling well past any music file.
constexpr size_t kMaxDecodedBytes = size_t(1) << 30;

bool decodeOgg(const char* path, std::vector<char>& pcm, int& channels, long& rate) {
    OggVorbis_File file;
    if (ov_fopen(path, &file) != 0) return false;
    const vorbis_info* info = ov_info(&file, -1);
    if (!info || info->channels < 1 || info->channels > 2) {
        ov_clear(&file);
        return false;
    }
    channels = info->channels;
    rate = info->rate;
    char chunk[16384];
    int section = 0;
    for (;;) {
        const long got = ov_read(&file, chunk, sizeof chunk, 0, 2, 1, &section);
        if (got == 0) break;
        if (got < 0) {
            if (got == OV_HOLE) continue;  // a gap in the stream: keep what follows
            break;
        }
        if (pcm.size() + size_t(got) > kMaxDecodedBytes) break;
        pcm.insert(pcm.end(), chunk, chunk + got);
    }
    ov_clear(&file);
    return !pcm.empty() && rate > 0;
}

class OpenAlSound : public SoundDevice {
public:
    bool init(int /*mixRate*/, int /*softwareChannels*/, int /*flags*/) override {
        device_ = alcOpenDevice(nullptr);
        if (!device_) return false;
        context_ = alcCreateContext(device_, nullptr);
        if (!context_ || !alcMakeContextCurrent(context_)) {
            if (context_) alcDestroyContext(context_);
            alcCloseDevice(device_);
            device_ = nullptr;
            context_ = nullptr;
            return false;
        }
        alGenSources(1, &source_);
        return alGetError() == AL_NO_ERROR;
    }

    bool loadSample(const char* path) override {
        if (!device_) return false;
        std::vector<char> pcm;
        int channels = 0;
        long rate = 0;
        if (!decodeOgg(path, pcm, channels, rate)) return false;
        alGenBuffers(1, &buffer_);
        alBufferData(buffer_, channels == 2 ? AL_FORMAT_STEREO16 : AL_FORMAT_MONO16, pcm.data(),
                     static_cast<ALsizei>(pcm.size()), static_cast<ALsizei>(rate));
        if (alGetError() != AL_NO_ERROR) return false;
        alSourcei(source_, AL_BUFFER, static_cast<ALint>(buffer_));
        return true;
    }

    void setLoopOff() override {
        if (device_) alSourcei(source_, AL_LOOPING, AL_FALSE);
    }

    void play() override {
        if (device_) alSourcePlay(source_);
    }

    void pause(bool paused) override {
        if (!device_) return;
        ALint state = AL_STOPPED;
        alGetSourcei(source_, AL_SOURCE_STATE, &state);
        if (paused && state == AL_PLAYING) alSourcePause(source_);
        if (!paused && state == AL_PAUSED) alSourcePlay(source_);
    }

    void setPosition(uint32_t samples) override {
        if (device_) alSourcei(source_, AL_SAMPLE_OFFSET, static_cast<ALint>(samples));
    }

    uint32_t position() override {
        if (!device_) return 0;
        ALint state = AL_STOPPED;
        alGetSourcei(source_, AL_SOURCE_STATE, &state);
        // Position 0 once playback has stopped (sound.h), whatever offset the source kept.
        if (state != AL_PLAYING && state != AL_PAUSED) return 0;
        ALint offset = 0;
        alGetSourcei(source_, AL_SAMPLE_OFFSET, &offset);
        return static_cast<uint32_t>(offset);
    }

    int frequency() override {
        if (!device_ || buffer_ == 0) return 0;
        ALint rate = 0;
        alGetBufferi(buffer_, AL_FREQUENCY, &rate);
        return rate;
    }

    void setVolume(int volume) override {
        if (device_) alListenerf(AL_GAIN, static_cast<float>(volume) / 255.0f);
    }

    void close() override {
        if (!device_) return;
        alSourceStop(source_);
        alDeleteSources(1, &source_);
        if (buffer_) alDeleteBuffers(1, &buffer_);
        alcMakeContextCurrent(nullptr);
        alcDestroyContext(context_);
        alcCloseDevice(device_);
        device_ = nullptr;
        context_ = nullptr;
        source_ = buffer_ = 0;
    }

private:
    ALCdevice* device_ = nullptr;
    ALCcontext* context_ = nullptr;
    ALuint source_ = 0;
    ALuint buffer_ = 0;
};

}  // namespace

SoundDevice& openAlSoundDevice() {
    static OpenAlSound sound;
    return sound;
}

}  // namespace ostravel
