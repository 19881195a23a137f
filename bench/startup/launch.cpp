#include "launch.h"

#include <array>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace bench {
namespace {

using Clock = std::chrono::steady_clock;

[[nodiscard]] long long nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

// The value after `key=` up to the next blank (or the line end for the last field).
[[nodiscard]] std::string field(const std::string& line, const std::string& key, bool last) {
    const auto at = line.find(" " + key + "=");
    if (at == std::string::npos)
        return {};
    const auto start = at + key.size() + 2;
    const auto end = last ? line.find('\n', start) : line.find(' ', start);
    return line.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// Reads the child's output until it closes it or the time is up.
[[nodiscard]] std::string readUntilClosed(int fd, Clock::time_point deadline, bool& timedOut) {
    std::string text;
    std::array<char, 512> chunk{};
    while (true) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd pfd{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&pfd, 1, static_cast<int>(left.count())) <= 0) {
            timedOut = true;
            return text;
        }
        const ssize_t n = ::read(fd, chunk.data(), chunk.size());
        if (n <= 0)
            return text;
        text.append(chunk.data(), static_cast<std::size_t>(n));
        // Children may hold the pipe open after the program ended: the last line suffices.
        const auto last = text.find("probe children=");
        if (last != std::string::npos && text.find('\n', last) != std::string::npos)
            return text;
    }
}

// The last lines the program wrote to its error output, for a failure message.
[[nodiscard]] std::string tailOf(const std::string& path) {
    std::ifstream log(path);
    const std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    if (text.empty())
        return {};
    return "; its error output ends: " + text.substr(text.size() > 300 ? text.size() - 300 : 0);
}

} // namespace

bool parseProbeReport(const std::string& text, long long spawnNs, StartupSample& s) {
    const auto first = text.find("probe created=");
    const auto second = text.find("probe children=");
    if (first == std::string::npos || second == std::string::npos)
        return false;
    // Each key follows a blank: "probe created=... exposed=...".
    const std::string line = text.substr(first);
    try {
        s.toApplication =
            std::chrono::nanoseconds(std::stoll(field(line, "created", false)) - spawnNs);
        s.toExposed = std::chrono::nanoseconds(std::stoll(field(line, "exposed", false)) - spawnNs);
        s.toIdle = std::chrono::nanoseconds(std::stoll(field(line, "idle", false)) - spawnNs);
        s.residentKb = std::stol(field(line, "rss_kb", false));
    } catch (const std::exception&) {
        return false;
    }
    s.title = field(line, "title", true);
    s.children = field(text.substr(second), "children", true);
    return true;
}

StartupSample launchProbed(const std::string& program, const std::string& errorLog,
                           std::chrono::seconds limit) {
    StartupSample s;
    std::array<int, 2> out{};
    if (::pipe(out.data()) != 0) {
        s.failure = "pipe failed";
        return s;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorLog.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, out[1]);
    const char* argv[] = {program.c_str(), nullptr};
    pid_t pid = -1;
    const long long spawnNs = nowNs();
    const int rc =
        ::posix_spawn(&pid, program.c_str(), &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (rc != 0) {
        ::close(out[0]);
        s.failure = "cannot start " + program;
        return s;
    }
    bool timedOut = false;
    const std::string text = readUntilClosed(out[0], Clock::now() + limit, timedOut);
    ::close(out[0]);
    if (timedOut)
        ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    if (!parseProbeReport(text, spawnNs, s))
        s.failure = std::string(timedOut ? "no report in time (a window never showed?)"
                                         : "incomplete report") +
                    tailOf(errorLog);
    return s;
}

} // namespace bench
