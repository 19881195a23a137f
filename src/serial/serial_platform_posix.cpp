#include "serial/serial_tty.h"

#include "core/port_setting.h"
#include "core/posix_file.h"
#include "serial/serial_deadline.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>

namespace quillmark::serial {

namespace {

[[nodiscard]] OsResult fromErrno() {
    return OsResult{errno == 0 ? EIO : errno};
}

[[nodiscard]] OsResult check(int rc) {
    return rc < 0 ? fromErrno() : OsResult{};
}

} // namespace

std::string systemErrorText(int code) {
    std::array<char, 256> buffer{};
    std::string text = ::strerror_r(code, buffer.data(), buffer.size());
    while (!text.empty() && (static_cast<unsigned char>(text.back()) < '!' || text.back() == '.'))
        text.pop_back();
    return text;
}

TtyPort::~TtyPort() {
    close();
}

OsResult TtyPort::open(const std::string& path) {
    close();
    const int fd = posix::retryOnInterrupt(
        [&] { return ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
    if (fd < 0)
        return fromErrno();
    // flock keeps out a second open by root or by ourselves, TIOCEXCL other users. The lock
    // comes first: a tty that another program holds must not be left exclusive by us.
    if (posix::retryOnInterrupt([&] { return ::flock(fd, LOCK_EX | LOCK_NB); }) < 0) {
        // Held by another open: the device is busy, not "try again".
        const OsResult failure = errno == EWOULDBLOCK ? OsResult{EBUSY} : fromErrno();
        ::close(fd);
        return failure;
    }
    if (::ioctl(fd, TIOCEXCL) < 0) {
        const OsResult failure = fromErrno();
        ::close(fd);
        return failure;
    }
    fd_ = fd;
    return {};
}

void TtyPort::close() {
    stopLineWatch();
    if (fd_ < 0)
        return;
    ::ioctl(fd_, TIOCNXCL);
    // A line watch left in a driver's wait that ignores signals keeps a copy of the
    // descriptor, and with it the lock: released here, the port can be opened again at once.
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
}

OsResult TtyPort::purge(bool input, bool output) {
    if (input && output)
        return check(::tcflush(fd_, TCIOFLUSH));
    if (input)
        return check(::tcflush(fd_, TCIFLUSH));
    if (output)
        return check(::tcflush(fd_, TCOFLUSH));
    return {};
}

IoResult TtyPort::readSome(void* buffer, std::size_t length) {
    const ssize_t n = posix::retryOnInterrupt([&] { return ::read(fd_, buffer, length); });
    if (n == 0 && length > 0 && hungUp())
        return IoResult{0, EIO};
    if (n >= 0)
        return IoResult{static_cast<std::size_t>(n), 0};
    if (errno == EAGAIN)
        return IoResult{0, 0};
    return IoResult{0, fromErrno().code};
}

IoResult TtyPort::writeSome(const void* buffer, std::size_t length) {
    const ssize_t n = posix::retryOnInterrupt([&] { return ::write(fd_, buffer, length); });
    if (n > 0 && watcher_)
        watcher_->noteWrite();
    if (n >= 0)
        return IoResult{static_cast<std::size_t>(n), 0};
    if (errno == EAGAIN)
        return IoResult{0, 0};
    return IoResult{0, fromErrno().code};
}

bool TtyPort::hungUp() const {
    // Nothing to read on a non-blocking raw tty also reads as 0 bytes: only poll tells.
    pollfd entry{fd_, POLLIN, 0};
    return ::poll(&entry, 1, 0) > 0 && (entry.revents & (POLLHUP | POLLERR)) != 0;
}

WaitOutcome TtyPort::waitReadable(Deadline deadline, int& code) {
    return waitFor(POLLIN, deadline, code);
}

WaitOutcome TtyPort::waitWritable(Deadline deadline, int& code) {
    return waitFor(POLLOUT, deadline, code);
}

WaitOutcome TtyPort::waitFor(short events, Deadline deadline, int& code) {
    return waitForEvents(fd_, events, deadline, code);
}

OsResult TtyPort::inputQueue(int& count) const {
    return check(::ioctl(fd_, FIONREAD, &count));
}

OsResult TtyPort::outputQueue(int& count) const {
    return check(::ioctl(fd_, TIOCOUTQ, &count));
}

OsResult TtyPort::modemLines(ModemLines& lines) const {
    int bits = 0;
    if (::ioctl(fd_, TIOCMGET, &bits) < 0)
        return fromErrno();
    lines.cts = (bits & TIOCM_CTS) != 0;
    lines.dsr = (bits & TIOCM_DSR) != 0;
    lines.ring = (bits & TIOCM_RNG) != 0;
    lines.rlsd = (bits & TIOCM_CD) != 0;
    return {};
}

OsResult TtyPort::lineCounters(LineCounters& counters) const {
    serial_icounter_struct icount{};
    if (::ioctl(fd_, TIOCGICOUNT, &icount) < 0)
        return fromErrno();
    counters.brk = static_cast<std::uint32_t>(icount.brk);
    counters.frame = static_cast<std::uint32_t>(icount.frame);
    counters.overrun = static_cast<std::uint32_t>(icount.overrun);
    counters.parity = static_cast<std::uint32_t>(icount.parity);
    counters.bufferOverrun = static_cast<std::uint32_t>(icount.buf_overrun);
    counters.cts = static_cast<std::uint32_t>(icount.cts);
    counters.dsr = static_cast<std::uint32_t>(icount.dsr);
    counters.ring = static_cast<std::uint32_t>(icount.rng);
    counters.rlsd = static_cast<std::uint32_t>(icount.dcd);
    return {};
}

OsResult TtyPort::startLineWatch(LineWatch what, int notifyFd) {
    stopLineWatch();
    watcher_ = std::make_unique<LineWatcher>(fd_, notifyFd);
    return watcher_->start(what);
}

void TtyPort::stopLineWatch() {
    watcher_.reset();
}

bool TtyPort::takeOutputDrained() {
    return watcher_ && watcher_->takeDrained();
}

// Time-critical is the top of the ordinary range, as on Windows outside its real-time class:
// a real-time policy wakes the thread where it last ran rather than beside its waker, and
// measured slower for every byte.
bool setCurrentThreadLevel(ThreadLevel level) {
    static constexpr std::array<int, 7> niceOf{19, 10, 5, 0, -5, -10, -20};
    const auto index = static_cast<std::size_t>(level);
    sched_param param{};
    ::pthread_setschedparam(::pthread_self(), SCHED_OTHER, &param);
    // On Linux the nice value of PRIO_PROCESS with the thread id is per thread.
    const auto tid = static_cast<id_t>(::syscall(SYS_gettid));
    return ::setpriority(PRIO_PROCESS, tid, niceOf.at(index)) == 0;
}

EventWaiter::~EventWaiter() {
    if (epollFd_ >= 0)
        ::close(epollFd_);
    if (pokeFd_ >= 0)
        ::close(pokeFd_);
    if (lineFd_ >= 0)
        ::close(lineFd_);
}

OsResult EventWaiter::create(int deviceFd) {
    epollFd_ = ::epoll_create1(EPOLL_CLOEXEC);
    if (epollFd_ < 0)
        return fromErrno();
    for (int* fd : {&pokeFd_, &lineFd_}) {
        *fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (*fd < 0)
            return fromErrno();
        epoll_event entry{};
        entry.events = EPOLLIN;
        entry.data.fd = *fd;
        if (::epoll_ctl(epollFd_, EPOLL_CTL_ADD, *fd, &entry) < 0)
            return fromErrno();
    }
    epoll_event device{};
    device.events = EPOLLIN | EPOLLET;
    device.data.fd = deviceFd;
    return check(::epoll_ctl(epollFd_, EPOLL_CTL_ADD, deviceFd, &device));
}

void EventWaiter::forgetDevice(int deviceFd) {
    if (epollFd_ >= 0 && deviceFd >= 0)
        ::epoll_ctl(epollFd_, EPOLL_CTL_DEL, deviceFd, nullptr);
}

void EventWaiter::poke() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(pokeFd_, &one, sizeof one);
}

EventWaiter::Wake EventWaiter::wait() {
    Wake wake = waitOnce(-1);
    for (const auto& [seen, fd] : {std::pair{wake.poked, pokeFd_}, std::pair{wake.line, lineFd_}}) {
        std::uint64_t count = 0;
        if (seen)
            [[maybe_unused]] const ssize_t n = ::read(fd, &count, sizeof count);
    }
    return wake;
}

EventWaiter::Wake EventWaiter::drainDeviceEdges() {
    // The poke and line descriptors are level-triggered and not read here: nothing is lost.
    return waitOnce(0);
}

EventWaiter::Wake EventWaiter::waitOnce(int timeoutMs) {
    std::array<epoll_event, 3> events{};
    const int n = posix::retryOnInterrupt([&] {
        return ::epoll_wait(epollFd_, events.data(), static_cast<int>(events.size()), timeoutMs);
    });
    Wake wake;
    if (n < 0) {
        wake.failure = fromErrno().code;
        return wake;
    }
    for (int i = 0; i < n; ++i) {
        const auto& e = events.at(static_cast<std::size_t>(i));
        if (e.data.fd == pokeFd_) {
            wake.poked = true;
        } else if (e.data.fd == lineFd_) {
            wake.line = true;
        } else {
            wake.hungUp = wake.hungUp || (e.events & (EPOLLHUP | EPOLLERR)) != 0;
            wake.data = wake.data || (e.events & EPOLLIN) != 0;
        }
    }
    return wake;
}

} // namespace quillmark::serial
