#include "video_writer.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/window.h"

extern char** environ;

namespace ostravel {
namespace {

struct Format {
    const char* extension;
    VideoQuality quality;
    std::vector<std::string> codecs;  // ffmpeg output options
};

// CRF 18 is close to visually lossless for H.264; VP9's constant-quality mode needs -b:v 0, and
// cpu-used 4 with row threading keeps it within a few times the H.264 encoding time. The upload
// encoding trades encoding time for a source that survives a site's re-encoding: the slow preset
// and CRF 16 keep the thin lines and grain, and 48 kHz is the rate the sites deliver sound at, so
// the resampling happens once, here.
const Format kFormats[] = {
    {".mp4", VideoQuality::Standard,
     {"-c:v", "libx264", "-preset", "medium", "-crf", "18", "-pix_fmt", "yuv420p", "-c:a", "aac", "-b:a", "192k",
      "-movflags", "+faststart"}},
    {".mp4", VideoQuality::Upload,
     {"-c:v", "libx264", "-preset", "slow", "-crf", "16", "-pix_fmt", "yuv420p", "-c:a", "aac", "-b:a", "320k",
      "-ar", "48000", "-movflags", "+faststart"}},
    {".webm", VideoQuality::Standard,
     {"-c:v", "libvpx-vp9", "-crf", "30", "-b:v", "0", "-deadline", "good", "-cpu-used", "4", "-row-mt", "1",
      "-pix_fmt", "yuv420p", "-c:a", "libopus", "-b:a", "160k"}},
};

// The tags that go with the BT.709 limited-range conversion of a sized picture.
const std::vector<std::string> kBt709Tags = {"-colorspace", "bt709", "-color_primaries", "bt709",
                                             "-color_trc", "bt709", "-color_range", "tv"};

std::string extensionOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    return path.substr(dot);
}

const Format* formatFor(const std::string& path, VideoQuality quality) {
    const std::string extension = extensionOf(path);
    for (const Format& format : kFormats)
        if (extension == format.extension && quality == format.quality) return &format;
    return nullptr;
}

// Where the frame lands inside the output picture: fitRectangle's fit with odd sides rounded up
// to even, as 4:2:0 colour needs, centred on even offsets.
FitRectangle fitPicture(int width, int height, int outputWidth, int outputHeight) {
    FitRectangle fit = fitRectangle(width, height, outputWidth, outputHeight);
    fit.width = std::max(2, (fit.width + 1) / 2 * 2);
    fit.height = std::max(2, (fit.height + 1) / 2 * 2);
    fit.x = (outputWidth - fit.width) / 4 * 2;
    fit.y = (outputHeight - fit.height) / 4 * 2;
    return fit;
}

// The picture filters: rows turned top-down, then for a sized picture the Lanczos fit, the
// conversion to BT.709 limited range (done by this scale, since the format that follows makes it
// the one conversion) and the bars.
std::string pictureFilters(const VideoSettings& settings) {
    if (settings.outputWidth == 0) return "vflip";
    const FitRectangle fit = fitPicture(settings.width, settings.height, settings.outputWidth, settings.outputHeight);
    return "vflip,scale=" + std::to_string(fit.width) + ":" + std::to_string(fit.height) +
           ":flags=lanczos:out_color_matrix=bt709:out_range=tv,format=yuv420p,pad=" +
           std::to_string(settings.outputWidth) + ":" + std::to_string(settings.outputHeight) + ":" +
           std::to_string(fit.x) + ":" + std::to_string(fit.y) + ":black";
}

std::string seconds(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", value);
    return text;
}

// ffmpeg would find a bad sound source only once frames flow, and report it in its own words;
// libvorbisfile, the show's own decoder, tells at once and why.
bool soundDecodes(const std::string& path, std::string& error) {
    OggVorbis_File file;
    const int result = ov_fopen(path.c_str(), &file);
    if (result == 0) {
        ov_clear(&file);
        return true;
    }
    const char* why = result == OV_ENOTVORBIS    ? "it is not Ogg Vorbis (or is cut within its headers)"
                      : result == OV_EBADHEADER  ? "its Vorbis headers are damaged or cut"
                      : result == OV_EREAD       ? "it cannot be read"
                      : result == OV_FALSE       ? std::strerror(errno)
                                                 : "its Vorbis stream is of an unknown kind";
    error = "cannot decode the music file " + path + ": " + why;
    return false;
}

}  // namespace

bool parseOutputSize(const std::string& text, int& width, int& height) {
    int w = 0, h = 0, used = 0;
    if (std::sscanf(text.c_str(), "%5dx%5d%n", &w, &h, &used) != 2 || used != int(text.size())) return false;
    if (w % 2 != 0 || h % 2 != 0 || w < kMinOutputSide || h < kMinOutputSide || w > kMaxOutputWidth ||
        h > kMaxOutputHeight)
        return false;
    width = w;
    height = h;
    return true;
}

std::string videoSettingsProblem(const VideoSettings& settings) {
    if (!formatFor(settings.path, VideoQuality::Standard))
        return "unknown video format for " + settings.path + ": use .mp4 (H.264, AAC) or .webm (VP9, Opus)";
    if (!formatFor(settings.path, settings.quality))
        return settings.path + ": the upload quality is made for H.264 in .mp4 (what video sites take best); "
                               "use a .mp4 file, or leave out --quality upload for a .webm";
    return {};
}

bool VideoWriter::open(const VideoSettings& settings, std::string& error) {
    abort();
    error = videoSettingsProblem(settings);
    if (!error.empty()) return false;
    const Format* format = formatFor(settings.path, settings.quality);
    if (!soundDecodes(settings.audioPath, error)) return false;
    settings_ = settings;
    const std::string extension = extensionOf(settings.path);
    partPath_ = settings.path.substr(0, settings.path.size() - extension.size()) + ".part" + extension;

    // Created here so that an unwritable place shows before any frame is rendered.
    const int probe = ::open(partPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (probe < 0) {
        error = "cannot write " + settings.path + ": " + std::strerror(errno);
        return false;
    }
    ::close(probe);

    const std::string size = std::to_string(settings.width) + "x" + std::to_string(settings.height);
    const std::string duration = seconds(double(settings.frames) / settings.fps);
    std::vector<std::string> args = {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y",
                                     "-f", "rawvideo", "-pix_fmt", "rgb24", "-video_size", size,
                                     "-framerate", std::to_string(settings.fps), "-i", "pipe:0",
                                     "-ss", seconds(settings.audioStart), "-t", duration, "-i", "file:" + settings.audioPath,
                                     "-map", "0:v:0", "-map", "1:a:0", "-vf", pictureFilters(settings)};
    args.insert(args.end(), format->codecs.begin(), format->codecs.end());
    if (settings.outputWidth != 0) args.insert(args.end(), kBt709Tags.begin(), kBt709Tags.end());
    args.insert(args.end(), {"-t", duration, "file:" + partPath_});  // file: so that no colon reads as a protocol
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        error = std::string("cannot make a pipe: ") + std::strerror(errno);
        ::unlink(partPath_.c_str());
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[0], STDIN_FILENO);
    // A process group of its own: Ctrl-C in the terminal reaches only the caller, which then
    // stops ffmpeg through abort() instead of ffmpeg finishing a file that is to be removed.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    const int spawned = posix_spawnp(&encoder_, "ffmpeg", &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ends[0]);
    if (spawned != 0) {
        encoder_ = -1;
        ::close(ends[1]);
        ::unlink(partPath_.c_str());
        error = spawned == ENOENT ? "ffmpeg not found on PATH: the video is encoded by the ffmpeg program (Debian package ffmpeg)"
                                  : std::string("cannot start ffmpeg: ") + std::strerror(spawned);
        return false;
    }
    pipe_ = ends[1];
    // An encoder that gives up closes the pipe: that must come back as EPIPE, not end this process.
    signal(SIGPIPE, SIG_IGN);
    return true;
}

bool VideoWriter::writeFrame(const unsigned char* rgb, std::string& error) {
    size_t left = size_t(settings_.width) * size_t(settings_.height) * 3;
    while (left > 0) {
        const ssize_t n = ::write(pipe_, rgb, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int cause = errno;
            waitForEncoder(error);
            if (error.empty()) error = std::string("ffmpeg stopped taking frames: ") + std::strerror(cause);
            abort();
            return false;
        }
        rgb += n;
        left -= size_t(n);
    }
    return true;
}

bool VideoWriter::waitForEncoder(std::string& error) {
    if (pipe_ >= 0) ::close(pipe_);
    pipe_ = -1;
    int status = 0;
    pid_t done;
    do done = ::waitpid(encoder_, &status, 0);
    while (done < 0 && errno == EINTR);
    encoder_ = -1;
    if (done < 0) {
        error = std::string("lost the ffmpeg process: ") + std::strerror(errno);
        return false;
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
    error = WIFEXITED(status) ? "ffmpeg failed with status " + std::to_string(WEXITSTATUS(status))
                              : "ffmpeg ended by signal " + std::to_string(WTERMSIG(status));
    return false;
}

bool VideoWriter::finish(std::string& error) {
    if (encoder_ < 0) {
        error = "no video is being written";
        return false;
    }
    if (!waitForEncoder(error)) {
        abort();
        return false;
    }
    if (std::rename(partPath_.c_str(), settings_.path.c_str()) != 0) {
        error = "cannot move " + partPath_ + " to " + settings_.path + ": " + std::strerror(errno);
        abort();
        return false;
    }
    partPath_.clear();
    return true;
}

void VideoWriter::abort() {
    if (pipe_ >= 0) ::close(pipe_);
    pipe_ = -1;
    if (encoder_ > 0) {
        ::kill(encoder_, SIGKILL);  // its output is thrown away: no need to let it finish or speak
        while (::waitpid(encoder_, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    encoder_ = -1;
    if (!partPath_.empty()) ::unlink(partPath_.c_str());
    partPath_.clear();
}

}  // namespace ostravel
