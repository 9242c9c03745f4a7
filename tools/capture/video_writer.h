// VideoWriter: a video file with sound, encoded by the ffmpeg program fed raw frames on a pipe.
//
// The container follows the file's extension: .mp4 holds H.264 (yuv420p, CRF 18) and AAC, .webm
// holds VP9 and Opus. The upload quality (.mp4 only) spends more: H.264 slow preset at CRF 16 and
// AAC at 320 kbit/s, 48 kHz, the index at the front (+faststart), because video sites re-encode
// what they get and a better source survives that better.
//
// With an output size the frame is fitted inside it keeping its own aspect (Lanczos), centred
// between black bars, and converted to BT.709 limited range with the colour tags set: sites and
// players assume HD colour for HD sizes, and untagged BT.601 would shift the hues. Without one the
// file keeps the frame's size and ffmpeg's default conversion. The sound is cut from an audio file (the show's Ogg) to the same range as
// the picture: from audioStart for frames / fps seconds, so that frame n and the sound at
// audioStart + n / fps meet in the file. The sound's source must decode as Ogg Vorbis: open()
// checks that first.
//
// Frames are width x height x 3 bytes (R, G, B), rows bottom-up as glReadPixels returns them.
// Until finish() succeeds the file lives under a temporary name beside the final one
// (out.part.mp4: ffmpeg picks the format by the extension); finish() renames it, and a writer
// destroyed before that kills ffmpeg and removes the temporary file. ffmpeg is found on PATH;
// its own error lines go to standard error.
#pragma once

#include <string>
#include <sys/types.h>

namespace ostravel {

enum class VideoQuality { Standard, Upload };

struct VideoSettings {
    std::string path;         // .mp4 or .webm
    int width = 800;          // of the frames handed to writeFrame
    int height = 600;
    int outputWidth = 0;      // the file's picture; 0 x 0: the frames' own size, no colour tags
    int outputHeight = 0;
    VideoQuality quality = VideoQuality::Standard;
    int fps = 60;
    std::string audioPath;    // the sound's source file
    double audioStart = 0.0;  // seconds into audioPath
    long frames = 0;          // the planned count: the sound lasts frames / fps
};

// The largest output sizes the writer takes (UHD); sides are even, as 4:2:0 colour needs.
constexpr int kMaxOutputWidth = 3840;
constexpr int kMaxOutputHeight = 2160;
constexpr int kMinOutputSide = 16;

// "WxH" with both sides even and within kMinOutputSide..kMaxOutput*; false otherwise.
bool parseOutputSize(const std::string& text, int& width, int& height);

// Why these settings cannot be written (the upload quality in a WebM file, an unknown
// container), or empty when they can. open() checks it too.
std::string videoSettingsProblem(const VideoSettings& settings);

class VideoWriter {
public:
    VideoWriter() = default;
    VideoWriter(const VideoWriter&) = delete;
    VideoWriter& operator=(const VideoWriter&) = delete;
    ~VideoWriter() { abort(); }

    // Starts ffmpeg. False, with the reason in `error`, when the extension is unknown, the sound's
    // source does not decode, the temporary file cannot be created or ffmpeg cannot be started.
    bool open(const VideoSettings& settings, std::string& error);
    // One frame of settings.width x settings.height RGB bytes.
    bool writeFrame(const unsigned char* rgb, std::string& error);
    // Ends the stream, waits for ffmpeg and moves the file to its final name.
    bool finish(std::string& error);
    // Stops ffmpeg and removes the temporary file (nothing when not open).
    void abort();

private:
    bool waitForEncoder(std::string& error);

    VideoSettings settings_;
    std::string partPath_;
    pid_t encoder_ = -1;
    int pipe_ = -1;
};

}  // namespace ostravel
