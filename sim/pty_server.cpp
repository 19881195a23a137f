#include "pty_server.h"

#include <fcntl.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/timerfd.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <system_error>

namespace quillmark::sim {

namespace {

enum Tag : std::uint64_t { kMasterTag = 1, kWakeTag, kTimerTag };

[[noreturn]] void throwErrno(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

int checked(int result, const char* what) {
    if (result < 0)
        throwErrno(what);
    return result;
}

void watch(int epollFd, int fd, std::uint32_t events, Tag tag) {
    epoll_event ev{};
    ev.events = events;
    ev.data.u64 = tag;
    checked(::epoll_ctl(epollFd, EPOLL_CTL_ADD, fd, &ev), "epoll_ctl");
}

// Raw 8N1 at 2400 bit/s, so that nothing is echoed or translated before the tool sets
// the line up itself.
void makeRaw(const char* slave) {
    const posix::UniqueFd fd(checked(::open(slave, O_RDWR | O_NOCTTY | O_CLOEXEC), "open slave"));
    termios tio{};
    checked(::tcgetattr(fd.get(), &tio), "tcgetattr");
    ::cfmakeraw(&tio);
    ::cfsetspeed(&tio, B2400);
    checked(::tcsetattr(fd.get(), TCSANOW, &tio), "tcsetattr");
}

void drain(int fd) {
    std::uint64_t value = 0;
    while (::read(fd, &value, sizeof value) > 0) {
    }
}

} // namespace

PtyServer::PtyServer(EncoderState& state, bool paced) : state_(state), line_(paced) {}

PtyServer::~PtyServer() {
    stop();
}

void PtyServer::start() {
    if (thread_.joinable())
        throw std::system_error(std::make_error_code(std::errc::operation_in_progress),
                                "pty encoder already running");
    stopping_ = false;
    hungUp_ = false;
    hangUpPending_ = false;
    txBlocked_ = false;
    openPty();
    setUpPolling();
    thread_ = std::thread(&PtyServer::run, this);
}

// Nobody keeps the slave open: the tool's open is the only one, so its close and reopen
// behave as on a real port. While no one has it open the master reports a hang-up; the
// edge-triggered wait sees that once instead of waking again and again.
void PtyServer::openPty() {
    master_.reset(checked(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC), "posix_openpt"));
    checked(::grantpt(master_.get()), "grantpt");
    checked(::unlockpt(master_.get()), "unlockpt");
    std::array<char, 128> name{};
    if (const int err = ::ptsname_r(master_.get(), name.data(), name.size()); err != 0)
        throw std::system_error(err, std::generic_category(), "ptsname_r");
    slavePath_ = name.data();
    makeRaw(name.data());
    const int flags = checked(::fcntl(master_.get(), F_GETFL), "fcntl");
    checked(::fcntl(master_.get(), F_SETFL, flags | O_NONBLOCK), "fcntl");
}

void PtyServer::setUpPolling() {
    wake_.reset(checked(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK), "eventfd"));
    timer_.reset(
        checked(::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK), "timerfd_create"));
    epoll_.reset(checked(::epoll_create1(EPOLL_CLOEXEC), "epoll_create1"));
    watch(epoll_.get(), master_.get(), EPOLLIN | EPOLLOUT | EPOLLET, kMasterTag);
    watch(epoll_.get(), wake_.get(), EPOLLIN, kWakeTag);
    watch(epoll_.get(), timer_.get(), EPOLLIN, kTimerTag);
}

void PtyServer::stop() {
    if (thread_.joinable()) {
        stopping_ = true;
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(wake_.get(), &one, sizeof one);
        thread_.join();
    }
    master_.reset();
    heldNumber_.reset();
    epoll_.reset();
    timer_.reset();
    wake_.reset();
    rx_.clear();
    tx_.clear();
}

void PtyServer::inject(std::vector<Byte> bytes) {
    {
        std::lock_guard lock(injectMutex_);
        injected_.insert(injected_.end(), bytes.begin(), bytes.end());
    }
    const std::uint64_t one = 1;
    if (wake_.valid()) [[maybe_unused]]
        const auto written = ::write(wake_.get(), &one, sizeof one);
}

void PtyServer::run() {
    std::array<epoll_event, 4> events{};
    while (!stopping_) {
        const auto now = SimClock::now();
        takeInjected(now);
        receiveDue(now);
        sendDue(now);
        armTimer();
        const int n = ::epoll_wait(epoll_.get(), events.data(), events.size(), -1);
        if (n < 0 && errno != EINTR)
            return;
        for (int i = 0; i < n; ++i)
            handle(events[static_cast<std::size_t>(i)]);
    }
}

void PtyServer::handle(const epoll_event& ev) {
    if (ev.data.u64 == kWakeTag) {
        drain(wake_.get());
    } else if (ev.data.u64 == kTimerTag) {
        drain(timer_.get());
    } else if (master_.valid()) {
        if (ev.events & EPOLLOUT)
            txBlocked_ = false;
        if (ev.events & (EPOLLIN | EPOLLHUP | EPOLLERR))
            readMaster();
    }
}

void PtyServer::readMaster() {
    std::array<Byte, 512> buffer{};
    while (master_.valid()) {
        const ssize_t n = ::read(master_.get(), buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        // EAGAIN: drained. EIO or end of file: nobody has the slave open, which is no
        // error; the next open and write wakes the edge-triggered wait again.
        if (n <= 0)
            return;
        const auto now = SimClock::now();
        for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) {
            if (!hangUpPending_)
                rx_.push_back({line_.receive(now), buffer[i]});
        }
    }
}

void PtyServer::takeInjected(SimClock::time_point now) {
    std::vector<Byte> bytes;
    {
        std::lock_guard lock(injectMutex_);
        bytes.swap(injected_);
    }
    for (const Byte b : bytes)
        tx_.push_back({line_.transmit(now), b, false});
}

// A frame counts as received when its last byte has crossed the line.
void PtyServer::receiveDue(SimClock::time_point now) {
    while (!hangUpPending_ && !rx_.empty() && rx_.front().at <= now) {
        const Incoming in = rx_.front();
        rx_.pop_front();
        if (const auto reply = state_.receive(in.byte))
            schedule(*reply, in.at);
    }
}

void PtyServer::schedule(const Reply& reply, SimClock::time_point frameEnd) {
    const auto ready = frameEnd + reply.delay;
    for (const Byte b : reply.bytes)
        tx_.push_back({line_.transmit(ready), b, false});
    if (reply.hangUp) {
        const auto at = tx_.empty() ? ready : std::max(ready, tx_.back().at);
        tx_.push_back({at, 0, true});
        hangUpPending_ = true;
        rx_.clear();
    }
}

void PtyServer::sendDue(SimClock::time_point now) {
    std::array<Byte, 256> batch{};
    while (!txBlocked_ && !tx_.empty() && tx_.front().at <= now) {
        if (tx_.front().hangUp) {
            hangUp();
            return;
        }
        std::size_t count = 0;
        while (count < batch.size() && count < tx_.size() && !tx_[count].hangUp &&
               tx_[count].at <= now) {
            batch[count] = tx_[count].byte;
            ++count;
        }
        const ssize_t n = ::write(master_.get(), batch.data(), count);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            txBlocked_ = true;
            return;
        }
        // Written, or lost because nobody has the line open (EIO), as on a real line.
        const auto done = n > 0 ? static_cast<std::size_t>(n) : count;
        tx_.erase(tx_.begin(), tx_.begin() + static_cast<std::ptrdiff_t>(done));
    }
}

void PtyServer::hangUp() {
    hungUp_ = true; // before the tool can see it
    // A client retrying the old path (ser2net after the hang-up) must not reach the next
    // pseudo-terminal given this number: a tool's exclusive open does not stop root.
    heldNumber_.reset(::ioctl(master_.get(), TIOCGPTPEER, O_RDWR | O_NOCTTY | O_CLOEXEC));
    ::epoll_ctl(epoll_.get(), EPOLL_CTL_DEL, master_.get(), nullptr);
    master_.reset();
    rx_.clear();
    tx_.clear();
}

void PtyServer::armTimer() {
    std::optional<SimClock::time_point> next;
    if (!rx_.empty() && !hangUpPending_)
        next = rx_.front().at;
    if (!tx_.empty() && !txBlocked_ && (!next || tx_.front().at < *next))
        next = tx_.front().at;
    itimerspec deadline{};
    if (next) {
        const auto ns =
            std::chrono::duration_cast<std::chrono::nanoseconds>(next->time_since_epoch()).count();
        deadline.it_value.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
        deadline.it_value.tv_nsec = static_cast<long>(ns % 1'000'000'000);
        if (deadline.it_value.tv_sec == 0 && deadline.it_value.tv_nsec == 0)
            deadline.it_value.tv_nsec = 1; // zero would disarm
    }
    ::timerfd_settime(timer_.get(), TFD_TIMER_ABSTIME, &deadline, nullptr);
}

} // namespace quillmark::sim
