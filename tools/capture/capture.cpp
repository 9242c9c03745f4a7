// ostravel-capture: renders the show without the dialog and without a window on screen, through
// the same Demo and per-frame driver, on a fixed time step (frame n at n / fps, music lock off).
//
//   ostravel-capture [--fps N] [--at T1,T2,...] [--until T] [--out DIR] [--show DIR] [--x11]
//
// --at writes the frames at those show times as PNG files (frame-<T>.png, 800 x 600). The run
// ends after the last requested time (or --until, or the end of the show). At the end it prints
// the frame-time figures: median, 99th percentile and maximum, overall and per 10-second block
// of show time. Without --x11 it uses SDL's offscreen video driver (no X server needed).
// Exit status: 0 on success, 1 on bad arguments, 2 when the show could not start or ended early.
#include <SDL.h>
#include <stb/stb_image_write.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "app/shell.h"
#include "platform/gl.h"
#include "platform/system.h"
#include "production/app_state.h"
#include "production/frame_step.h"

using namespace ostravel;

namespace {

struct EndOfRun {
    int status;
};

// Real message boxes would block an unattended capture: messages go to standard error, and the
// clock is a counter that only moves when the next frame is due.
class CaptureSystem : public SystemServices {
public:
    explicit CaptureSystem(int fps) : fps_(fps) {}
    void nextFrame() { counter_ += 1000; }
    int messages = 0;

    MessageAnswer showMessage(std::string_view text, std::string_view caption, MessageIcon, MessageButtons buttons) override {
        ++messages;
        std::fprintf(stderr, "message \"%.*s\": %.*s\n", int(caption.size()), caption.data(), int(text.size()), text.data());
        return buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
    }
    bool copyToClipboard(const std::string&) override { return true; }
    int64_t performanceCounter() override { return counter_; }
    int64_t performanceFrequency() override { return int64_t(fps_) * 1000; }
    void cursorPosition(double& x, double& y) override { x = y = 0.0; }
    [[noreturn]] void exitProcess(int status) override { throw EndOfRun{status}; }

private:
    int fps_;
    int64_t counter_ = 0;
};

struct Options {
    int fps = 30;
    std::vector<double> at;
    double until = -1.0;
    std::string out = ".";
    std::string show;
    bool x11 = false;
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
        } else if (arg == "--until" && hasValue) {
            options.until = std::strtod(argv[++i], nullptr);
        } else if (arg == "--out" && hasValue) {
            options.out = argv[++i];
        } else if (arg == "--show" && hasValue) {
            options.show = argv[++i];
        } else if (arg == "--x11") {
            options.x11 = true;
        } else {
            return false;
        }
    }
    return true;
}

bool writeFrame(const std::string& path) {
    std::vector<unsigned char> pixels(800 * 600 * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, 800, 600, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    stbi_flip_vertically_on_write(1);  // GL rows run bottom-up
    return stbi_write_png(path.c_str(), 800, 600, 3, pixels.data(), 800 * 3) != 0;
}

double percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, static_cast<size_t>(std::ceil(p * double(values.size())) - 1));
    return values[index];
}

void printFigures(const char* label, const std::vector<double>& ms) {
    if (ms.empty()) return;
    std::printf("%-12s frames %5zu  median %7.2f ms  p99 %7.2f ms  max %7.2f ms\n", label, ms.size(),
                percentile(ms, 0.5), percentile(ms, 0.99), *std::max_element(ms.begin(), ms.end()));
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: ostravel-capture [--fps N] [--at T1,T2,...] [--until T] [--out DIR] [--show DIR] [--x11]\n");
        return 1;
    }
    if (!options.x11) setenv("SDL_VIDEODRIVER", "offscreen", 1);
    if (!options.show.empty() && chdir(options.show.c_str()) != 0) {
        std::fprintf(stderr, "cannot enter the show folder %s\n", options.show.c_str());
        return 1;
    }
    const double lastTime = options.until >= 0.0 ? options.until : (options.at.empty() ? kShowLength : options.at.back());

    CaptureSystem system(options.fps);
    installSystemServices(&system);
    installShellPlatform(nullptr, nullptr, ShellOptions{.hiddenWindow = true});
    AppState& app = appState();
    app.musicEnabled = false;
    app.killWindow = KillGLWindow;

    std::vector<double> frameMs;
    std::map<int, std::vector<double>> blockMs;
    size_t nextCapture = 0;
    int written = 0;
    int status = 0;
    bool started = false;
    try {
        if (!CreateGLWindow(kWindowTitle, 800, 600, 32, false)) throw EndOfRun{-1};
        started = true;
        while (app.demoTime < lastTime - 1e-9) {
            system.nextFrame();
            const auto t0 = std::chrono::steady_clock::now();
            FrameStep();
            glFinish();
            const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
            frameMs.push_back(ms);
            blockMs[static_cast<int>(app.demoTime / 10.0)].push_back(ms);
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
            app.windows->swapBuffers();
        }
    } catch (const EndOfRun& end) {
        // The show ends itself at its last second; anything else before the last frame is a failure.
        const bool showOver = started && app.demoTime > kShowLength;
        if (!showOver || nextCapture < options.at.size()) {
            std::fprintf(stderr, "the show ended early (status %d) at %.3f s\n", end.status, app.demoTime);
            status = 2;
        }
    }

    std::printf("captured %d frame(s) at %d fps up to %.3f s\n", written, options.fps, app.demoTime);
    printFigures("all", frameMs);
    for (const auto& [block, ms] : blockMs) {
        char label[32];
        std::snprintf(label, sizeof label, "%3d-%3d s", block * 10, block * 10 + 10);
        printFigures(label, ms);
    }
    std::fflush(stdout);
    SDL_Quit();
    return status;
}
