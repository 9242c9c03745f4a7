#include "tools/oggwriter/ogg_writer.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace ostravel {
namespace {

// Any fixed number will do; a fixed one keeps the files reproducible.
constexpr int kStreamSerial = 0x4f535456;  // "OSTV"
// Frames handed to the analysis per call: small enough for little memory, large enough
// that the call overhead does not matter.
constexpr long kBlockFrames = 4096;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

bool writePage(std::FILE* f, const ogg_page& page) {
    return std::fwrite(page.header, 1, page.header_len, f) == static_cast<size_t>(page.header_len) &&
           std::fwrite(page.body, 1, page.body_len, f) == static_cast<size_t>(page.body_len);
}

// Owns the libvorbis and libogg states so every exit path clears them.
struct Encoder {
    vorbis_info info{};
    vorbis_comment comment{};
    vorbis_dsp_state dsp{};
    vorbis_block block{};
    ogg_stream_state stream{};
    bool dspReady = false;
    bool streamReady = false;

    Encoder() {
        vorbis_info_init(&info);
        vorbis_comment_init(&comment);
    }
    ~Encoder() {
        if (streamReady) ogg_stream_clear(&stream);
        if (dspReady) {
            vorbis_block_clear(&block);
            vorbis_dsp_clear(&dsp);
        }
        vorbis_comment_clear(&comment);
        vorbis_info_clear(&info);
    }
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;
};

// Drains finished packets into pages; `flush` forces out a partly filled page.
bool drainPackets(Encoder& enc, std::FILE* f) {
    while (vorbis_analysis_blockout(&enc.dsp, &enc.block) == 1) {
        vorbis_analysis(&enc.block, nullptr);
        vorbis_bitrate_addblock(&enc.block);
        ogg_packet packet;
        while (vorbis_bitrate_flushpacket(&enc.dsp, &packet) == 1) {
            ogg_stream_packetin(&enc.stream, &packet);
            ogg_page page;
            while (ogg_stream_pageout(&enc.stream, &page) != 0) {
                if (!writePage(f, page)) return false;
            }
        }
    }
    return true;
}

}  // namespace

bool writeOggVorbis(const std::string& path, const std::vector<float>& interleaved, int channels,
                    int sampleRate, float quality) {
    if (channels < 1 || channels > 2 || sampleRate < 8000 || sampleRate > 192000) return false;
    if (quality < -0.1f || quality > 1.0f) return false;
    if (interleaved.size() % static_cast<size_t>(channels) != 0) return false;

    Encoder enc;
    if (vorbis_encode_init_vbr(&enc.info, channels, sampleRate, quality) != 0) return false;
    vorbis_comment_add_tag(&enc.comment, "ENCODER", "ostravel content generator");
    if (vorbis_analysis_init(&enc.dsp, &enc.info) != 0) return false;
    vorbis_block_init(&enc.dsp, &enc.block);
    enc.dspReady = true;
    if (ogg_stream_init(&enc.stream, kStreamSerial) != 0) return false;
    enc.streamReady = true;

    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) return false;

    // The three header packets go on pages of their own, as Vorbis I section 4.2.1 asks.
    ogg_packet header, commentHeader, codeHeader;
    vorbis_analysis_headerout(&enc.dsp, &enc.comment, &header, &commentHeader, &codeHeader);
    ogg_stream_packetin(&enc.stream, &header);
    ogg_stream_packetin(&enc.stream, &commentHeader);
    ogg_stream_packetin(&enc.stream, &codeHeader);
    ogg_page page;
    while (ogg_stream_flush(&enc.stream, &page) != 0) {
        if (!writePage(file.get(), page)) return false;
    }

    const long frames = static_cast<long>(interleaved.size() / static_cast<size_t>(channels));
    for (long start = 0; start < frames; start += kBlockFrames) {
        const long count = std::min(kBlockFrames, frames - start);
        float** buffer = vorbis_analysis_buffer(&enc.dsp, static_cast<int>(count));
        const float* src = interleaved.data() + start * channels;
        for (long i = 0; i < count; ++i) {
            for (int c = 0; c < channels; ++c) buffer[c][i] = src[i * channels + c];
        }
        vorbis_analysis_wrote(&enc.dsp, static_cast<int>(count));
        if (!drainPackets(enc, file.get())) return false;
    }
    vorbis_analysis_wrote(&enc.dsp, 0);  // end of stream
    if (!drainPackets(enc, file.get())) return false;
    while (ogg_stream_flush(&enc.stream, &page) != 0) {
        if (!writePage(file.get(), page)) return false;
    }
    return std::fflush(file.get()) == 0;
}

}  // namespace ostravel
