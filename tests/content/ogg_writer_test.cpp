// The Ogg writer against libvorbisfile, the decoder the show itself uses.
#include "tools/oggwriter/ogg_writer.h"

#include <gtest/gtest.h>
#include <vorbis/vorbisfile.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

std::vector<float> tone(int frames, int channels, int rate, double hz) {
    std::vector<float> out(static_cast<size_t>(frames) * channels);
    for (int i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            out[static_cast<size_t>(i) * channels + c] =
                static_cast<float>(0.5 * std::sin(2 * M_PI * hz * (c + 1) * i / rate));
        }
    }
    return out;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string tempPath(const char* name) {
    return (std::filesystem::temp_directory_path() / name).string();
}

TEST(OggWriter, DecodesToTheSameLengthRateAndChannels) {
    const std::string path = tempPath("ostravel_ogg_writer_stereo.ogg");
    const int rate = 44100, frames = rate * 3 / 2;
    ASSERT_TRUE(ostravel::writeOggVorbis(path, tone(frames, 2, rate, 440), 2, rate, 0.4f));

    OggVorbis_File vf;
    ASSERT_EQ(ov_fopen(path.c_str(), &vf), 0);
    const vorbis_info* info = ov_info(&vf, -1);
    EXPECT_EQ(info->channels, 2);
    EXPECT_EQ(info->rate, rate);
    EXPECT_EQ(ov_pcm_total(&vf, -1), frames);

    // The decoded signal keeps its level: a 0.5 sine has an RMS of about 0.354.
    double sum = 0;
    long count = 0;
    for (;;) {
        float** pcm;
        int section;
        const long n = ov_read_float(&vf, &pcm, 1024, &section);
        if (n <= 0) break;
        for (long i = 0; i < n; ++i) sum += double(pcm[0][i]) * pcm[0][i];
        count += n;
    }
    ov_clear(&vf);
    EXPECT_EQ(count, frames);
    EXPECT_NEAR(std::sqrt(sum / count), 0.5 / std::sqrt(2.0), 0.02);
    std::filesystem::remove(path);
}

TEST(OggWriter, SameInputGivesTheSameBytes) {
    const std::string a = tempPath("ostravel_ogg_writer_a.ogg"), b = tempPath("ostravel_ogg_writer_b.ogg");
    const auto samples = tone(20000, 1, 22050, 300);
    ASSERT_TRUE(ostravel::writeOggVorbis(a, samples, 1, 22050, 0.2f));
    ASSERT_TRUE(ostravel::writeOggVorbis(b, samples, 1, 22050, 0.2f));
    const std::string bytesA = readAll(a);
    EXPECT_GT(bytesA.size(), 1000u);
    EXPECT_EQ(bytesA, readAll(b));
    std::filesystem::remove(a);
    std::filesystem::remove(b);
}

TEST(OggWriter, RefusesBadArgumentsAndUnwritablePaths) {
    const auto samples = tone(1000, 2, 44100, 440);
    const std::string path = tempPath("ostravel_ogg_writer_bad.ogg");
    EXPECT_FALSE(ostravel::writeOggVorbis(path, samples, 3, 44100, 0.4f));
    EXPECT_FALSE(ostravel::writeOggVorbis(path, samples, 2, 1000, 0.4f));
    EXPECT_FALSE(ostravel::writeOggVorbis(path, samples, 2, 44100, 1.5f));
    std::vector<float> odd(samples.begin(), samples.end() - 1);
    EXPECT_FALSE(ostravel::writeOggVorbis(path, odd, 2, 44100, 0.4f));
    EXPECT_FALSE(ostravel::writeOggVorbis("/nonexistent-dir/x.ogg", samples, 2, 44100, 0.4f));
}

TEST(OggWriter, EmptyInputStillMakesAValidStream) {
    const std::string path = tempPath("ostravel_ogg_writer_empty.ogg");
    ASSERT_TRUE(ostravel::writeOggVorbis(path, {}, 2, 44100, 0.4f));
    OggVorbis_File vf;
    ASSERT_EQ(ov_fopen(path.c_str(), &vf), 0);
    EXPECT_EQ(ov_pcm_total(&vf, -1), 0);
    ov_clear(&vf);
    std::filesystem::remove(path);
}

}  // namespace
