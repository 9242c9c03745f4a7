// ostravel-capture: renders the show without the dialog and without a window on screen, through
// the same Demo and per-frame driver, on a fixed time step (frame n at n / fps, music lock off).
//
//   ostravel-capture [--fps N] [--at T1,T2,...] [--until T] [--out DIR] [--show DIR] [--x11] [--digest FILE]
//   ostravel-capture --video FILE [--fps N] [--from T] [--until T] [--size WxH] [--quality upload] [--show DIR] [--x11]
//   ostravel-capture --help
//
// The show folder is --show DIR, else the working directory when it is one, else the folder
// found from this program's own file: ../../share/ostravel from libexec/ostravel/ in an installed
// tree (bin/ostravel-capture is a symlink to it, and /proc/self/exe names the real file), or the
// build's show folder from the build tree. Relative --out, --video and --digest paths are taken
// from the directory the tool was started in, before it enters the show folder.
// --at writes the frames at those show times as PNG files (frame-<T>.png, 800 x 600; into the
// starting directory unless --out). The run ends after the last requested time (or --until, or
// the end of the show). Default 30 fps.
// --video writes the show from T to the end (or --until) as a video with the soundtrack, .mp4
// (H.264, AAC) or .webm (VP9, Opus), through ffmpeg (video_writer.h). Default 60 fps; frame n of
// the file shows the show at from + n / fps, the same frame --at writes for that time. The show
// always starts at 0, since each frame depends on the ones before it. --size fits the picture in
// W x H between black bars, in BT.709; --quality upload is the encoding for video sites (.mp4,
// 1920 x 1080 unless --size).
// At the end it prints the frame-time figures: median, 99th percentile and maximum, overall and
// per 10-second block of show time. Without --x11 it uses SDL's offscreen video driver (no X
// server needed).
// --digest FILE writes one line for every rendered frame: its show time and a 64-bit FNV-1a hash
// of its 800 x 600 RGB pixels (hexadecimal), to tell whether a change moved any pixel.
// --rss prints "rss T N KB" (resident size) to standard error at every 5 seconds of show time;
// --gl-errors counts the GL errors of both contexts (KHR_debug, soak_probes.h) and prints them.
// Exit status: 0 on success, 1 on bad arguments, 2 when the show could not start, ended early or
// reported a problem, 3 when the video could not be written.
#include <signal.h>
#include <stb/stb_image_write.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/runner.h"
#include "platform/system.h"
#include "production/app_state.h"
#include "production/frame_step.h"
#include "tools/figures/figures.h"
#include "tools/capture/soak_probes.h"
#include "production/music.h"
#include "video_writer.h"

using namespace ostravel;

namespace {

const char kUsage[] =
    "usage: ostravel-capture [--at T1,T2,...] [--out DIR] [--fps N] [--until T] [--show DIR] [--digest FILE]\n"
    "       ostravel-capture --video FILE.mp4|FILE.webm [--fps N] [--from T] [--until T] [--size WxH]\n"
    "                        [--quality standard|upload] [--show DIR]\n"
    "       ostravel-capture --help\n";

const char kHelp[] =
    "Renders the show without its dialog and without a window on screen, on a fixed time step\n"
    "(frame n shows the show at n / fps), into PNG frames or a video with the soundtrack.\n"
    "\n"
    "  --show DIR          the show folder to run in; without it the working directory when it is\n"
    "                      one, else the folder installed beside this program (../share/ostravel)\n"
    "  --at T1,T2,...      write the frames at these show times (seconds) as frame-<T>.png\n"
    "  --out DIR           where the frames go (default: the directory it was started in)\n"
    "  --fps N             frames a second of show time (default 30; 60 with --video)\n"
    "  --until T           end at show time T (default: the last --at time or the end of the show)\n"
    "  --digest FILE       write a line for every rendered frame: its time and a hash of its pixels\n"
    "  --video FILE        write a video through the ffmpeg program: .mp4 (H.264, AAC) or .webm\n"
    "                      (VP9, Opus)\n"
    "  --from T            start the video at show time T (the show still renders from 0)\n"
    "  --size WxH          fit the 800 x 600 picture inside W x H (even numbers, up to 3840x2160),\n"
    "                      keeping 4:3 between black bars; Lanczos scaling, BT.709 limited range\n"
    "  --quality Q         standard (default) or upload: H.264 slow preset at CRF 16, AAC 320 kbit/s\n"
    "                      at 48 kHz, index at the front; .mp4 only; 1920x1080 unless --size\n"
    "  --x11               render in a hidden window on the X server instead of SDL's offscreen driver\n"
    "  --rss               print the resident size every 5 s of show time on standard error\n"
    "  --gl-errors         count the GL errors of both contexts and print the count\n"
    "  --help              print this text\n"
    "\n"
    "Relative paths given to --out, --video and --digest start from the directory it was started in.\n"
    "It prints the frame-time figures (median, 99th percentile, maximum, per 10 s of show time).\n"
    "Exit status: 0 done; 1 bad arguments or no show folder; 2 the show could not start, ended early\n"
    "or reported a problem; 3 the video could not be written.\n";

// Set by Ctrl-C or a termination request during a video capture: the run stops between frames
// and removes its unfinished file.
volatile sig_atomic_t stopRequested = 0;
void requestStop(int) { stopRequested = 1; }

// The files the show opens without a message when they are missing (the music is never opened
// here: the video takes its sound from it). A video without them would be wrong for minutes.
constexpr const char* kQuietlyOpened[] = {
    "rec1.rcc", "rec2.rcc", "cgeffects/vertex_projection_anisotropic.cpp",
    "cgeffects/fragment_projection_anisotropic.cpp", "cgeffects/fragment_Blur256.cpp", "meshes/head.3ds",
    "textures/try1.avi", kMusicPath,
};

struct Options {
    int fps = 0;  // 0: 30 for PNG files, 60 for a video
    std::vector<double> at;
    double from = 0.0;
    double until = -1.0;
    std::string video;
    int videoWidth = 0;  // --size; 0: the frame's own 800 x 600
    int videoHeight = 0;
    VideoQuality quality = VideoQuality::Standard;
    std::string out;  // empty: the starting directory
    std::string show;
    bool help = false;
    bool x11 = false;
    bool rss = false;
    bool glErrors = false;
    std::string digest;  // one line a frame: show time and a hash of its pixels
};

bool parseTimes(const std::string& list, std::vector<double>& times) {
    size_t start = 0;
    while (start <= list.size()) {
        const size_t comma = list.find(',', start);
        const std::string item = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        char* end = nullptr;
        const double t = std::strtod(item.c_str(), &end);
        if (item.empty() || *end != '\0' || !std::isfinite(t) || t < 0.0) return false;
        times.push_back(t);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    std::sort(times.begin(), times.end());
    return !times.empty();
}

bool parseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--fps" && hasValue) {
            options.fps = std::atoi(argv[++i]);
            if (options.fps < 1 || options.fps > 1000) return false;
        } else if (arg == "--at" && hasValue) {
            if (!parseTimes(argv[++i], options.at)) return false;
        } else if ((arg == "--until" || arg == "--from") && hasValue) {
            char* end = nullptr;
            const double t = std::strtod(argv[++i], &end);
            if (*end != '\0' || !std::isfinite(t) || t < 0.0) return false;
            (arg == "--until" ? options.until : options.from) = t;
        } else if (arg == "--video" && hasValue) {
            options.video = argv[++i];
        } else if (arg == "--size" && hasValue) {
            if (!parseOutputSize(argv[++i], options.videoWidth, options.videoHeight)) return false;
        } else if (arg == "--quality" && hasValue) {
            const std::string quality = argv[++i];
            if (quality != "standard" && quality != "upload") return false;
            options.quality = quality == "upload" ? VideoQuality::Upload : VideoQuality::Standard;
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--out" && hasValue) {
            options.out = argv[++i];
        } else if (arg == "--show" && hasValue) {
            options.show = argv[++i];
        } else if (arg == "--digest" && hasValue) {
            options.digest = argv[++i];
        } else if (arg == "--x11") {
            options.x11 = true;
        } else if (arg == "--rss") {
            options.rss = true;
        } else if (arg == "--gl-errors") {
            options.glErrors = true;
        } else {
            return false;
        }
    }
    const bool video = !options.video.empty();
    if (options.fps == 0) options.fps = video ? 60 : 30;
    if (!video) return options.from == 0.0 && options.videoWidth == 0 && options.quality == VideoQuality::Standard;
    if (options.quality == VideoQuality::Upload && options.videoWidth == 0) {
        options.videoWidth = 1920;
        options.videoHeight = 1080;
    }
    if (options.until < 0.0 || options.until > kShowLength) options.until = kShowLength;
    return options.at.empty() && options.from < options.until;
}

// What the lookup goes by: the camera track and the shader folder are in every show folder.
bool isShowFolder(const std::filesystem::path& folder) {
    std::error_code error;
    return std::filesystem::is_regular_file(folder / "rec1.rcc", error) &&
           std::filesystem::is_directory(folder / "cgeffects", error);
}

// The show folder to enter, or empty when there is none. Beside --show and the working directory,
// the folders that lie at known places from this program's real file (/proc/self/exe has the
// symlinks resolved): the installed tree's data (OSTRAVEL_INSTALLED_SHOW, from libexec/ostravel/) and
// the build tree's show folder (OSTRAVEL_BUILD_SHOW, from tools/capture/). Both are relative, so
// that the tree may be moved or unpacked anywhere.
std::string findShowFolder(const std::string& given, std::string& looked) {
    if (!given.empty()) return given;
    looked = "the working directory";
    if (isShowFolder(".")) return ".";
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return {};
    for (const char* relative : {OSTRAVEL_INSTALLED_SHOW, OSTRAVEL_BUILD_SHOW}) {
        const std::filesystem::path candidate = (self.parent_path() / relative).lexically_normal();
        looked += ", " + candidate.string();
        if (isShowFolder(candidate)) return candidate;
    }
    return {};
}

bool writeFrame(const std::string& path) {
    std::vector<unsigned char> pixels;
    readShowFrame(pixels);
    stbi_flip_vertically_on_write(1);  // GL rows run bottom-up
    return stbi_write_png(path.c_str(), 800, 600, 3, pixels.data(), 800 * 3) != 0;
}

// One line on standard error, rewritten in place (\r) at most four times a second.
class Progress {
public:
    Progress(long total, long renderTotal) : total_(total), renderTotal_(renderTotal) {}
    void start() { start_ = std::chrono::steady_clock::now(); }
    void update(long written, long rendered, double showTime, bool last) {
        const auto now = std::chrono::steady_clock::now();
        if (!last && now - shown_ < std::chrono::milliseconds(250)) return;
        shown_ = now;
        const double elapsed = std::chrono::duration<double>(now - start_).count();
        const double fps = elapsed > 0.0 ? rendered / elapsed : 0.0;
        const long left = fps > 0.0 ? std::lround((renderTotal_ - rendered) / fps) : 0;
        std::fprintf(stderr, "\rframe %ld/%ld  show %7.2f s  %5.1f fps  %ld:%02ld left ", written, total_, showTime,
                     fps, left / 60, left % 60);
        onLine_ = true;
        if (last) end();
        std::fflush(stderr);
    }
    // Ends the line, so that what follows starts on a line of its own.
    void end() {
        if (onLine_) std::fputc('\n', stderr);
        onLine_ = false;
    }

private:
    long total_;
    long renderTotal_;
    bool onLine_ = false;
    std::chrono::steady_clock::time_point start_{};
    std::chrono::steady_clock::time_point shown_{};
};

// FNV-1a, 64 bits: enough to tell two frames apart, and the same on every machine.
uint64_t pixelHash(const std::vector<unsigned char>& pixels) {
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char byte : pixels) hash = (hash ^ byte) * 1099511628211ull;
    return hash;
}

void printFigures(const char* label, const std::vector<double>& ms) {
    if (ms.empty()) return;
    const FigureSummary f = summarise(ms);
    std::printf("%-12s frames %5zu  median %7.2f ms  p99 %7.2f ms  max %7.2f ms\n", label, ms.size(), f.median, f.p99,
                f.max);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fprintf(stderr, "%s(--help lists the options)\n", kUsage);
        return 1;
    }
    if (options.help) {
        std::printf("%s\n%s", kUsage, kHelp);
        return 0;
    }
    const bool video = !options.video.empty();
    VideoSettings videoSettings{.path = options.video, .outputWidth = options.videoWidth,
                                .outputHeight = options.videoHeight, .quality = options.quality,
                                .fps = options.fps, .audioPath = kMusicPath, .audioStart = options.from};
    if (video) {
        if (const std::string problem = videoSettingsProblem(videoSettings); !problem.empty()) {
            std::fprintf(stderr, "%s\n", problem.c_str());
            return 1;
        }
    }
    // What the user names is named from where the tool was started, not from inside the show
    // folder (which need not be writable once installed).
    const std::filesystem::path startedIn = std::filesystem::current_path();
    if (video) videoSettings.path = startedIn / options.video;
    if (!options.digest.empty()) options.digest = startedIn / options.digest;
    options.out = options.out.empty() ? startedIn : startedIn / options.out;
    std::string looked;
    const std::string showFolder = findShowFolder(options.show, looked);
    if (showFolder.empty()) {
        std::fprintf(stderr, "no show folder (looked in %s): run it in one, or give --show DIR\n",
                     looked.c_str());
        return 1;
    }
    if (chdir(showFolder.c_str()) != 0) {
        std::fprintf(stderr, "cannot enter the show folder %s\n", showFolder.c_str());
        return 1;
    }
    const double lastTime = options.until >= 0.0 ? options.until : (options.at.empty() ? kShowLength : options.at.back());

    // The video's frame n shows the show at from + n / fps; its sound is the music over the same range.
    const long videoFrames = video ? std::lround((options.until - options.from) * options.fps) : 0;
    VideoWriter writer;
    if (video) {
        std::string missing;
        for (const char* path : kQuietlyOpened)
            if (access(path, R_OK) != 0) missing += std::string(missing.empty() ? "" : ", ") + path;
        if (!missing.empty()) {
            std::fprintf(stderr, "the show folder is incomplete: no %s\n", missing.c_str());
            return 2;
        }
        std::string error;
        videoSettings.frames = videoFrames;
        if (!writer.open(videoSettings, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 3;
        }
    }

    GlErrorProbe glProbe(sdlWindowSystem());
    std::vector<double> frameMs;
    std::map<int, std::vector<double>> blockMs;
    size_t nextCapture = 0;
    int rssStep = -1;
    long written = 0;
    long rendered = 0;
    int status = 0;
    Progress progress(videoFrames, std::lround(options.until * options.fps));
    std::vector<unsigned char> pixels;
    std::string videoError;
    std::chrono::steady_clock::time_point firstFrame{};  // when the video's first frame was read
    FILE* digest = nullptr;
    if (!options.digest.empty() && !(digest = std::fopen(options.digest.c_str(), "w"))) {
        std::fprintf(stderr, "cannot write %s\n", options.digest.c_str());
        return 1;
    }
    const AppState& app = appState();
    const auto videoDone = [&] { return written >= videoFrames; };

    const auto started = [&](int messages) {
        if (video && messages > 0) {
            videoError = "the show reported a problem at start-up (see the messages above): no video written";
            return false;
        }
        progress.start();
        if (video) {
            signal(SIGINT, requestStop);
            signal(SIGTERM, requestStop);
        }
        return true;
    };
    // After each frame; false ends the run.
    const auto frame = [&](const RunFrame& f) {
        const double ms = 1e3 * f.wholeSeconds();
        frameMs.push_back(ms);
        blockMs[static_cast<int>(app.demoTime / 10.0)].push_back(ms);
        if (options.rss && static_cast<int>(app.demoTime / 5.0) != rssStep) {
            rssStep = static_cast<int>(app.demoTime / 5.0);
            std::fprintf(stderr, "rss %d %ld KB, malloc in use %ld KB\n", rssStep * 5, residentKilobytes(),
                         mallocInUseKilobytes());
        }
        ++rendered;
        if (digest) {
            readShowFrame(pixels);
            std::fprintf(digest, "%.6f %016llx\n", app.demoTime, (unsigned long long)pixelHash(pixels));
        }
        while (nextCapture < options.at.size() && app.demoTime >= options.at[nextCapture] - 1e-9) {
            char name[64];
            std::snprintf(name, sizeof name, "/frame-%07.2f.png", options.at[nextCapture]);
            if (!writeFrame(options.out + name)) {
                std::fprintf(stderr, "cannot write %s%s\n", options.out.c_str(), name);
                status = 2;
            }
            ++written;
            ++nextCapture;
        }
        // The show's first frame already lies one step in: at the very start it stands for time 0 too.
        if (video && !videoDone() && app.demoTime >= options.from + double(written) / options.fps - 1e-9) {
            if (written == 0) firstFrame = std::chrono::steady_clock::now();
            readShowFrame(pixels);
            while (!videoDone() && app.demoTime >= options.from + double(written) / options.fps - 1e-9) {
                if (!writer.writeFrame(pixels.data(), videoError)) return false;
                ++written;
            }
        }
        if (video) progress.update(written, rendered, app.demoTime, videoDone());
        if (stopRequested) {
            videoError = "interrupted: no video written";
            return false;
        }
        return video ? !videoDone() : app.demoTime < lastTime - 1e-9;
    };

    const RunEnd run = runShow(RunSettings{.fps = options.fps, .hiddenX11Window = options.x11,
                                           .windows = options.glErrors ? &glProbe : nullptr},
                               started, RunHooks{.frame = frame});
    progress.end();
    if (video && videoError.empty() && run.end.outcome == Outcome::Running && !writer.finish(videoError)) status = 3;
    if (!videoError.empty()) {
        std::fprintf(stderr, "%s\n", videoError.c_str());
        status = run.started && run.startUpMessages == 0 ? 3 : 2;
        writer.abort();
    } else if (run.end.outcome != Outcome::Running) {
        // The show ends itself at its last second; anything else before the last frame is a failure.
        const bool showOver = run.end.outcome == Outcome::ShowOver;
        if (!showOver || nextCapture < options.at.size() || written < videoFrames) {
            std::fprintf(stderr, "the show ended early (status %d) at %.3f s\n", outcomeMessage(run.end).status,
                         app.demoTime);
            status = 2;
        }
        writer.abort();
    }

    if (digest && std::fclose(digest) != 0) {
        std::fprintf(stderr, "cannot write %s\n", options.digest.c_str());
        status = 2;
    }
    if (video && status == 0) {
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - firstFrame).count();
        std::printf("wrote %s: %ld frames at %d fps, show time %.3f to %.3f s, encoded at %.1f frames a second\n",
                    videoSettings.path.c_str(), written, options.fps, options.from,
                    options.from + double(written) / options.fps, written / seconds);
    } else
        std::printf("captured %ld frame(s) at %d fps up to %.3f s\n", written, options.fps, app.demoTime);
    if (options.glErrors) std::printf("GL errors: %ld in %d context(s)\n", glProbe.errors(), glProbe.contexts());
    printFigures("all", frameMs);
    for (const auto& [block, ms] : blockMs) {
        char label[32];
        std::snprintf(label, sizeof label, "%3d-%3d s", block * 10, block * 10 + 10);
        printFigures(label, ms);
    }
    std::fflush(stdout);
    shutDownPlatform();
    return status;
}
