#include "display.h"

#include <array>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace bench {
namespace {

// Xvfb writes its display number to -displayfd once it accepts clients.
pid_t startXvfb(std::string& display) {
    std::array<int, 2> ready{};
    if (::pipe(ready.data()) != 0)
        return -1;
    const std::string fd = std::to_string(ready[1]);
    const char* argv[] = {"Xvfb",         "-displayfd", fd.c_str(), "-screen", "0",
                          "1280x1024x24", "-nolisten",  "tcp",      nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, ready[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int rc =
        ::posix_spawnp(&pid, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ready[1]);
    if (rc != 0) {
        ::close(ready[0]);
        return -1;
    }
    // The number ends with a line feed; it may come in pieces.
    std::string number;
    pollfd pfd{ready[0], POLLIN, 0};
    char c = 0;
    while (number.size() < 8 && ::poll(&pfd, 1, 10000) == 1 && ::read(ready[0], &c, 1) == 1 &&
           c != '\n')
        number += c;
    ::close(ready[0]);
    if (!number.empty() && c == '\n')
        display = ":" + number;
    if (display.empty()) {
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
        return -1;
    }
    return pid;
}

} // namespace

Display::Display() {
    if (const char* d = std::getenv("DISPLAY"); d != nullptr && *d != '\0') {
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        description_ = std::string("X display ") + d + " (xcb)";
        return;
    }
    std::string display;
    xvfb_ = startXvfb(display);
    if (xvfb_ > 0) {
        ::setenv("DISPLAY", display.c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        description_ = "Xvfb " + display + " started for this run (xcb, 1280x1024x24)";
        return;
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    description_ = "QT_QPA_PLATFORM=offscreen (no DISPLAY and no Xvfb)";
}

Display::~Display() {
    if (xvfb_ > 0) {
        ::kill(xvfb_, SIGTERM);
        ::waitpid(xvfb_, nullptr, 0);
    }
}

} // namespace bench
