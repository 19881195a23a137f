#include "remote/connect.h"

#include <cerrno>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quillmark::remote {

namespace {

using Clock = std::chrono::steady_clock;

struct AddressList {
    addrinfo* list = nullptr;
    int status = EAI_AGAIN;
    int savedErrno = 0;
    ~AddressList() {
        if (list)
            ::freeaddrinfo(list);
    }
};

// getaddrinfo may wait on a DNS server for long: it runs on a thread of its own that is
// left to finish alone when the time runs out.
struct Resolution {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    AddressList result;
};

[[nodiscard]] std::shared_ptr<Resolution> resolve(const Endpoint& e, Clock::time_point deadline) {
    auto r = std::make_shared<Resolution>();
    std::thread([r, host = e.host, port = std::to_string(e.port)] {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* list = nullptr;
        const int status = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &list);
        const int savedErrno = errno;
        const std::lock_guard lock(r->mutex);
        r->result.list = list;
        r->result.status = status;
        r->result.savedErrno = savedErrno;
        r->finished = true;
        r->done.notify_all();
    }).detach();
    std::unique_lock lock(r->mutex);
    if (!r->done.wait_until(lock, deadline, [&] { return r->finished; }))
        return nullptr;
    return r;
}

void tuneSocket(int fd) {
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    // A dead link shows within about half a minute, idle or with bytes unacknowledged.
    const int idle = 10, interval = 5, probes = 3;
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
    const unsigned userTimeoutMs = 30'000;
    ::setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &userTimeoutMs, sizeof userTimeoutMs);
}

[[nodiscard]] int remainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// 0 when connected, else errno.
[[nodiscard]] int connectOne(int fd, const addrinfo& a, Clock::time_point deadline) {
    if (::connect(fd, a.ai_addr, a.ai_addrlen) == 0)
        return 0;
    if (errno != EINPROGRESS && errno != EINTR)
        return errno;
    pollfd entry{fd, POLLOUT, 0};
    for (;;) {
        const int rc = ::poll(&entry, 1, remainingMs(deadline));
        if (rc < 0 && errno == EINTR)
            continue;
        if (rc < 0)
            return errno;
        if (rc == 0)
            return ETIMEDOUT;
        int error = 0;
        socklen_t size = sizeof error;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) < 0)
            return errno;
        return error;
    }
}

} // namespace

ConnectResult connectTo(const Endpoint& endpoint, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    const auto resolution = resolve(endpoint, deadline);
    if (!resolution)
        return {-1, ETIMEDOUT, {}};
    const AddressList& addresses = resolution->result;
    if (addresses.status == EAI_SYSTEM)
        return {-1, addresses.savedErrno != 0 ? addresses.savedErrno : EIO, {}};
    if (addresses.status != 0)
        return {-1, 0, ::gai_strerror(addresses.status)};
    int lastError = EHOSTUNREACH;
    for (const addrinfo* a = addresses.list; a != nullptr; a = a->ai_next) {
        const int fd =
            ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) {
            lastError = errno;
            continue;
        }
        tuneSocket(fd);
        lastError = connectOne(fd, *a, deadline);
        if (lastError == 0)
            return {fd, 0, {}};
        ::close(fd);
        if (lastError == ETIMEDOUT)
            break;
    }
    return {-1, lastError, {}};
}

} // namespace quillmark::remote
