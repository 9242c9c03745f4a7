// ostravel-preview: the show in a resizable window for its authors: start anywhere, pause,
// jump, loop, change the speed, save frames, edit the shaders live, and see the timetable and the
// frame time (preview.h; the keys in preview_controls.h; the man page ostravel-preview.1).
//
//   ostravel-preview [--from T] [--loop A,B] [--show DIR] [--shaders DIR] [--music on|off]
//
// The show folder is the working directory or --show DIR. The shaders watched are --shaders DIR,
// else, for a binary in its build tree, data/cgeffects of the source tree (the build copies them
// into the show folder), else the show folder's cgeffects. Exit status: 0 when quit, 1 on bad
// arguments, 2 when the show could not start or ended on a failure (messages as the capture
// tool's).
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/runner.h"
#include "platform/system.h"
#include "production/app_state.h"
#include "production/frame_step.h"
#include "tools/preview/preview.h"

using namespace ostravel;

namespace {

struct Options {
    double from = 0.0;
    bool loop = false;
    double loopA = 0.0, loopB = 0.0;
    std::string show;
    std::string shaders;
    bool music = true;
};

bool parseTime(const char* text, double& t) {
    char* end = nullptr;
    t = std::strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(t) && t >= 0.0 && t <= kShowLength;
}

bool parseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--from" && hasValue) {
            if (!parseTime(argv[++i], o.from)) return false;
        } else if (arg == "--loop" && hasValue) {
            const std::string pair = argv[++i];
            const size_t comma = pair.find(',');
            if (comma == std::string::npos || !parseTime(pair.substr(0, comma).c_str(), o.loopA) ||
                !parseTime(pair.substr(comma + 1).c_str(), o.loopB) || o.loopB <= o.loopA)
                return false;
            o.loop = true;
        } else if (arg == "--show" && hasValue) {
            o.show = argv[++i];
        } else if (arg == "--shaders" && hasValue) {
            o.shaders = argv[++i];
        } else if (arg == "--music" && hasValue) {
            const std::string value = argv[++i];
            if (value != "on" && value != "off") return false;
            o.music = value == "on";
        } else {
            return false;
        }
    }
    return true;
}

// The source tree's shaders when this binary runs from its build tree; empty otherwise.
std::string sourceShaders() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::canonical("/proc/self/exe", error);
    const std::filesystem::path build = std::filesystem::weakly_canonical(OSTRAVEL_BUILD_DIR, error);
    if (error || self.string().rfind(build.string() + "/", 0) != 0) return {};
    const std::string shaders = OSTRAVEL_SOURCE_SHADERS;
    return std::filesystem::is_directory(shaders, error) ? shaders : std::string();
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: ostravel-preview [--from T] [--loop A,B] [--show DIR] [--shaders DIR] [--music on|off]\n"
                             "       (times in seconds, 0 to %g)\n", kShowLength);
        return 1;
    }
    const std::string startFolder = std::filesystem::current_path().string();
    std::string shaders = options.shaders.empty() ? sourceShaders() : options.shaders;
    if (!shaders.empty() && shaders[0] != '/') shaders = startFolder + "/" + shaders;
    if (!options.show.empty() && chdir(options.show.c_str()) != 0) {
        std::fprintf(stderr, "cannot enter the show folder %s\n", options.show.c_str());
        return 1;
    }
    if (shaders.empty()) shaders = std::filesystem::current_path() / "cgeffects";

    Preview preview(PreviewSettings{.from = options.from, .loop = options.loop, .loopA = options.loopA,
                                    .loopB = options.loopB, .shaders = shaders, .frames = startFolder});
    const auto started = [&](int) {
        preview.start();
        return true;
    };
    const RunEnd run = runShow(RunSettings{.window = WindowPolicy::ShownTarget, .clock = ClockPolicy::RealTime,
                                           .music = options.music, .loop = {.events = true, .pastTheEnd = true}},
                               started, preview.hooks());
    int status = 0;
    if (run.end.outcome != Outcome::Running && run.end.outcome != Outcome::WindowClosed) {
        std::fprintf(stderr, "the show ended early (status %d) at %.3f s\n", outcomeMessage(run.end).status,
                     appState().demoTime);
        status = 2;
    }
    std::fflush(stdout);
    shutDownPlatform();
    return status;
}
