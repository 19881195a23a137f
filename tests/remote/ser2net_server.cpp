#include "ser2net_server.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quillmark::testing {

namespace {

constexpr const char* kProgram = "/usr/sbin/ser2net";

// True when /proc/net/<table> lists a listening socket on the port.
bool listensIn(const char* table, std::uint16_t port) {
    std::ifstream in(std::string("/proc/net/") + table);
    std::string line;
    std::getline(in, line);
    char wanted[8];
    std::snprintf(wanted, sizeof wanted, ":%04X", port);
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state;
        fields >> slot >> local >> remote >> state;
        if (state == "0A" && local.size() > 5 && local.compare(local.size() - 5, 5, wanted) == 0)
            return true;
    }
    return false;
}

} // namespace

std::uint16_t freeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) < 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size) < 0)
        throw std::runtime_error("no free port on 127.0.0.1");
    ::close(fd);
    return ntohs(a.sin_port);
}

Ser2NetServer::Ser2NetServer(std::string device, Mode mode, std::string lineSettings)
    : device_(std::move(device)), mode_(mode), lineSettings_(std::move(lineSettings)) {
    std::string pattern = (std::filesystem::temp_directory_path() / "ser2net-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot make a folder for ser2net");
    workDir_ = pattern;
}

Ser2NetServer::~Ser2NetServer() {
    stop();
    std::error_code ec;
    std::filesystem::remove_all(workDir_, ec);
}

bool Ser2NetServer::installed() {
    return ::access(kProgram, X_OK) == 0;
}

void Ser2NetServer::setOption(const std::string& name, const std::string& value) {
    options_ += "    " + name + ": " + value + "\n";
}

std::string Ser2NetServer::entry() const {
    return std::string(mode_ == Mode::Rfc2217 ? "rfc2217" : "tcp") +
           "://127.0.0.1:" + std::to_string(port_);
}

void Ser2NetServer::writeEntry(const std::filesystem::path& dir, const std::string& name) const {
    std::filesystem::create_directories(dir);
    std::filesystem::remove(dir / name);
    std::ofstream(dir / name) << entry() << '\n';
}

bool Ser2NetServer::listening() const {
    return listensIn("tcp", port_) || listensIn("tcp6", port_);
}

void Ser2NetServer::start() {
    stop();
    // Another program may take the free port first: then try another one.
    for (int attempt = 0; attempt < 3; ++attempt) {
        port_ = freeLoopbackPort();
        const auto config = workDir_ / "ser2net.yaml";
        std::ofstream(config) << "%YAML 1.1\n---\n"
                              << "connection: &quillmark\n"
                              << "  accepter: "
                              << (mode_ == Mode::Rfc2217 ? "telnet(rfc2217),tcp," : "tcp,")
                              << "127.0.0.1," << port_ << "\n"
                              << "  connector: serialdev," << device_ << "," << lineSettings_
                              << ",local\n"
                              << "  options:\n    kickolduser: true\n"
                              << options_;
        const std::string log = (workDir_ / "ser2net.log").string();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                         0600);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        const std::string configText = config.string();
        std::array<char*, 6> argv{const_cast<char*>(kProgram),
                                  const_cast<char*>("-n"),
                                  const_cast<char*>("-c"),
                                  const_cast<char*>(configText.c_str()),
                                  nullptr,
                                  nullptr};
        const int rc = ::posix_spawn(&pid_, kProgram, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) {
            pid_ = -1;
            throw std::runtime_error("cannot start ser2net");
        }
        for (int i = 0; i < 500; ++i) {
            if (listening())
                return;
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        stop();
    }
    throw std::runtime_error("ser2net does not listen");
}

void Ser2NetServer::kill() {
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
}

void Ser2NetServer::stop() {
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    for (int i = 0; i < 300; ++i) {
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
}

} // namespace quillmark::testing
