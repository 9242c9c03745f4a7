#pragma once
// Ogg Vorbis file writer for the content generators and tests.
//
// Purpose: turn a block of float samples into an Ogg Vorbis file with libvorbisenc.
// Limits: 1 or 2 channels, 8000..192000 Hz, samples in [-1, 1] (not clipped here).
// Conventions: `interleaved` holds frames of `channels` samples (L R L R ...); `quality` is
// libvorbisenc's VBR quality, -0.1 (smallest) to 1.0 (best), 0.4 is about 128 kbit/s stereo.
// The output is byte-identical for identical input: the stream serial number is fixed and
// no time stamp or vendor comment other than the library's own is written.
// Returns false (and leaves no promise about the file) when the arguments are out of range,
// the encoder refuses the setup or the file cannot be written.

#include <string>
#include <vector>

namespace ostravel {

bool writeOggVorbis(const std::string& path, const std::vector<float>& interleaved, int channels,
                    int sampleRate, float quality);

}  // namespace ostravel
