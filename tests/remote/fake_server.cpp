#include "fake_server.h"

#include <array>
#include <stdexcept>
#include <thread>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int loopbackListener(int backlog, std::uint16_t& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) < 0 ||
        ::listen(fd, backlog) < 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size) < 0)
        throw std::runtime_error("cannot listen on 127.0.0.1");
    port = ntohs(a.sin_port);
    return fd;
}

} // namespace

FakeServer::FakeServer() {
    listener_ = loopbackListener(4, port_);
}

FakeServer::~FakeServer() {
    drop();
    ::close(listener_);
}

bool FakeServer::accept(std::chrono::milliseconds timeout) {
    pollfd entry{listener_, POLLIN, 0};
    if (::poll(&entry, 1, static_cast<int>(timeout.count())) != 1)
        return false;
    peer_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    // A client that stopped reading makes a send fail instead of holding the test.
    const timeval limit{1, 0};
    ::setsockopt(peer_, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    return peer_ >= 0;
}

void FakeServer::send(const std::vector<std::uint8_t>& bytes) {
    if (::send(peer_, bytes.data(), bytes.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(bytes.size()))
        throw std::runtime_error("fake server: short send");
}

std::vector<std::uint8_t> FakeServer::receive(std::chrono::milliseconds time) {
    std::vector<std::uint8_t> out;
    const auto end = std::chrono::steady_clock::now() + time;
    while (std::chrono::steady_clock::now() < end) {
        pollfd entry{peer_, POLLIN, 0};
        if (::poll(&entry, 1, 10) != 1)
            continue;
        std::array<std::uint8_t, 4096> buffer{};
        const ssize_t n = ::recv(peer_, buffer.data(), buffer.size(), 0);
        if (n <= 0)
            break;
        out.insert(out.end(), buffer.begin(), buffer.begin() + n);
    }
    return out;
}

void FakeServer::drop() {
    if (peer_ >= 0)
        ::close(peer_);
    peer_ = -1;
}

FullListener::FullListener() {
    listener_ = loopbackListener(0, port_);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port_);
    // With a backlog of 0 the queue holds one connection; the next ones are not answered.
    for (int i = 0; i < 3; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        [[maybe_unused]] const int rc = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        fillers_.push_back(fd);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

FullListener::~FullListener() {
    for (int fd : fillers_)
        ::close(fd);
    ::close(listener_);
}
