#include "remote/connect.h"

#include "core/posix_file.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <thread>

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
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

[[nodiscard]] int remainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Waits until `fd` has `events`, the deadline passed (ETIMEDOUT) or the attempt was
// cancelled (ECANCELED); 0 when ready.
[[nodiscard]] int waitFor(int fd, short events, Clock::time_point deadline,
                          const Cancellation* cancellation) {
    std::array<pollfd, 2> entries{{{fd, events, 0}, {-1, POLLIN, 0}}};
    if (cancellation != nullptr)
        entries[1].fd = cancellation->descriptor();
    const int rc = posix::retryOnInterrupt(
        [&] { return ::poll(entries.data(), entries.size(), remainingMs(deadline)); });
    if (rc < 0)
        return errno;
    if (cancellation != nullptr && cancellation->cancelled())
        return ECANCELED;
    return rc == 0 ? ETIMEDOUT : 0;
}

// getaddrinfo may wait on a DNS server for long: it runs on a thread of its own that is
// left to finish alone when the time runs out or the attempt is cancelled.
struct Resolution {
    posix::UniqueFd done{::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)};
    std::atomic<bool> finished{false}; // orders `result` for the waiting thread
    AddressList result;
};

[[nodiscard]] std::shared_ptr<Resolution> resolve(const Endpoint& e, Clock::time_point deadline,
                                                  const Cancellation* cancellation, int& code) {
    auto r = std::make_shared<Resolution>();
    if (!r->done.valid()) {
        code = errno;
        return nullptr;
    }
    std::thread([r, host = e.host, port = std::to_string(e.port), numeric = e.numeric()] {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        // An address is read as written, never in the resolver's legacy forms.
        hints.ai_flags = numeric ? AI_NUMERICHOST : 0;
        addrinfo* list = nullptr;
        r->result.status = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &list);
        r->result.savedErrno = errno;
        r->result.list = list;
        r->finished.store(true, std::memory_order_release);
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(r->done.get(), &one, sizeof one);
    }).detach();
    code = waitFor(r->done.get(), POLLIN, deadline, cancellation);
    if (code == 0 && !r->finished.load(std::memory_order_acquire))
        code = EIO;
    return code == 0 ? r : nullptr;
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

// 0 when connected, else errno.
[[nodiscard]] int connectOne(int fd, const addrinfo& a, Clock::time_point deadline,
                             const Cancellation* cancellation) {
    if (::connect(fd, a.ai_addr, a.ai_addrlen) == 0)
        return 0;
    if (errno != EINPROGRESS && errno != EINTR)
        return errno;
    if (const int code = waitFor(fd, POLLOUT, deadline, cancellation); code != 0)
        return code;
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) < 0)
        return errno;
    return error;
}

} // namespace

Cancellation::Cancellation() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

void Cancellation::cancel() {
    cancelled_ = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(fd_.get(), &one, sizeof one);
}

void Cancellation::reset() {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(fd_.get(), &count, sizeof count);
    cancelled_ = false;
}

ConnectResult connectTo(const Endpoint& endpoint, std::chrono::milliseconds timeout,
                        const Cancellation* cancellation) {
    const auto deadline = Clock::now() + timeout;
    int waitCode = 0;
    const auto resolution = resolve(endpoint, deadline, cancellation, waitCode);
    if (!resolution)
        return {-1, waitCode, {}};
    const AddressList& addresses = resolution->result;
    if (addresses.status == EAI_SYSTEM)
        return {-1, addresses.savedErrno != 0 ? addresses.savedErrno : EIO, {}};
    if (addresses.status != 0)
        return {-1, 0, ::gai_strerror(addresses.status)};
    int lastError = EHOSTUNREACH;
    for (const addrinfo* a = addresses.list; a != nullptr; a = a->ai_next) {
        posix::UniqueFd fd(
            ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol));
        if (!fd.valid()) {
            lastError = errno;
            continue;
        }
        tuneSocket(fd.get());
        lastError = connectOne(fd.get(), *a, deadline, cancellation);
        if (lastError == 0)
            return {fd.release(), 0, {}};
        if (lastError == ETIMEDOUT || lastError == ECANCELED)
            break;
    }
    return {-1, lastError, {}};
}

} // namespace quillmark::remote
