// Writes a short stereo test tune (a decaying 220 Hz pulse each half second) as Ogg Vorbis.
//   make_test_music OUT.ogg SECONDS
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "tools/oggwriter/ogg_writer.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_test_music OUT.ogg SECONDS\n");
        return 1;
    }
    const int rate = 44100;
    const double seconds = std::atof(argv[2]);
    const size_t frames = static_cast<size_t>(seconds * rate);
    std::vector<float> samples(frames * 2);
    for (size_t i = 0; i < frames; ++i) {
        const double t = double(i) / rate;
        const double beat = std::fmod(t, 0.5);
        const float v = float(0.4 * std::exp(-beat * 8.0) * std::sin(2.0 * 3.141592653589793 * 220.0 * t));
        samples[2 * i] = samples[2 * i + 1] = v;
    }
    return ostravel::writeOggVorbis(argv[1], samples, 2, rate, 0.3f) ? 0 : 1;
}
