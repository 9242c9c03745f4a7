#include "platform/x11_clipboard.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>

extern char** environ;

namespace ostravel {

namespace {

// What x11_clipboard_keeper.c expects: its channel on descriptor 3, and the byte it writes back
// once it owns the clipboard.
constexpr int kChannel = 3;
constexpr char kOwned = 'k';
constexpr int kReportMs = 1000;

// The keeper sits beside this program's binary, wherever the program was started from.
std::string keeperPath() {
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return {};
    const std::string path(self, static_cast<size_t>(length));
    return path.substr(0, path.rfind('/') + 1) + "ostravel-clipboard";
}

pid_t startKeeper(const std::string& path, int channel) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // The channel first, in case it is one of 0..2 (this program may have been started without them).
    posix_spawn_file_actions_adddup2(&actions, channel, kChannel);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    // Libraries open files and sockets without close-on-exec (the video, the X and sound
    // connections): nothing of them may cross into the keeper.
    posix_spawn_file_actions_addclosefrom_np(&actions, kChannel + 1);

    // A session of its own, so that a terminal's hang-up or Ctrl-C meant for this program does not
    // take the text with it; signals as a fresh program has them.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (const int signal : {SIGTERM, SIGHUP, SIGINT, SIGPIPE}) sigaddset(&defaults, signal);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    char name[] = "ostravel-clipboard";
    char* argv[] = {name, nullptr};
    pid_t keeper = -1;
    const int failed = posix_spawn(&keeper, path.c_str(), &actions, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return failed ? -1 : keeper;
}

bool sendAll(int to, const std::string& text) {
    size_t sent = 0;
    while (sent < text.size()) {
        const ssize_t n = send(to, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return shutdown(to, SHUT_WR) == 0;
}

int64_t nowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// The keeper's byte, or false on the end of the stream or after kReportMs.
bool ownershipReported(int from) {
    const int64_t deadline = nowMs() + kReportMs;
    for (int64_t left = kReportMs; left > 0; left = deadline - nowMs()) {
        pollfd wait{from, POLLIN, 0};
        const int ready = poll(&wait, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        char byte = 0;
        const ssize_t got = read(from, &byte, 1);
        if (got < 0 && errno == EINTR) continue;
        return got == 1 && byte == kOwned;
    }
    return false;
}

}  // namespace

bool keepClipboardTextOnX11(const std::string& text) {
    const std::string path = keeperPath();
    if (path.empty()) return false;
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return false;
    const pid_t keeper = startKeeper(path, ends[1]);
    close(ends[1]);
    const bool owned = keeper > 0 && sendAll(ends[0], text) && ownershipReported(ends[0]);
    close(ends[0]);
    if (keeper > 0 && !owned) {
        // Silent or failed: a keeper that never reports must not linger either.
        kill(keeper, SIGKILL);
        while (waitpid(keeper, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    return owned;
}

}  // namespace ostravel
