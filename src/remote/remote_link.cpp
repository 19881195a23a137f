#include "remote/remote_link.h"

#include "remote/connect.h"

#include <array>
#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <linux/sockios.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quillmark::remote {

namespace {

using Clock = std::chrono::steady_clock;

// Decoded bytes held back while the pipe is full, and encoded bytes not yet sent: beyond
// these the socket is left unread or the writer waits.
constexpr std::size_t kInputLimit = 4096;
constexpr std::size_t kOutputLimit = 16384;
// Negotiation answers a server never reads: past this the connection is a protocol error.
constexpr std::size_t kNegotiationLimit = 65536;

[[nodiscard]] bool addWatch(int epoll, int fd, std::uint32_t events) {
    epoll_event e{};
    e.events = events;
    e.data.fd = fd;
    return ::epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &e) == 0;
}

} // namespace

RemoteLink::~RemoteLink() {
    close();
}

LinkFailure RemoteLink::open(const Endpoint& endpoint, LinkTiming timing) {
    close();
    timing_ = timing;
    telnet_ = endpoint.mode == Endpoint::Mode::Rfc2217;
    const ConnectResult connected = connectTo(endpoint, timing.connect, &cancellation_);
    if (connected.fd < 0)
        return {connected.code, connected.reason};
    socket_.reset(connected.fd);
    std::array<int, 2> pipeEnds{-1, -1};
    if (::pipe2(pipeEnds.data(), O_NONBLOCK | O_CLOEXEC) < 0) {
        const int code = errno;
        close();
        return {code, {}};
    }
    dataRead_.reset(pipeEnds[0]);
    dataWrite_.reset(pipeEnds[1]);
    epoll_.reset(::epoll_create1(EPOLL_CLOEXEC));
    stop_.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!epoll_.valid() || !stop_.valid() || !addWatch(epoll_.get(), stop_.get(), EPOLLIN) ||
        !addWatch(epoll_.get(), socket_.get(), EPOLLIN | EPOLLOUT | EPOLLRDHUP | EPOLLET) ||
        !addWatch(epoll_.get(), dataWrite_.get(), EPOLLOUT | EPOLLET)) {
        const int code = errno;
        close();
        return {code, {}};
    }
    inPending_.reserve(kInputLimit + 1024);
    outPending_.reserve(kOutputLimit * 2 + 64);
    if (telnet_) {
        stream_ = TelnetStream{};
        const ByteVector greeting = stream_.greeting();
        outPending_.insert(outPending_.end(), greeting.begin(), greeting.end());
    }
    relay_ = std::thread(&RemoteLink::run, this);
    if (telnet_) {
        // Settings go out only once the server has taken the option (or the time is up).
        const bool alive = waitState(Clock::now() + timing.negotiation, 0);
        if (!alive) {
            close();
            return {cancellation_.cancelled() ? ECANCELED : ECONNRESET, {}};
        }
    }
    return {};
}

void RemoteLink::close() {
    if (relay_.joinable()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(stop_.get(), &one, sizeof one);
        relay_.join();
    }
    for (posix::UniqueFd* fd : {&dataWrite_, &dataRead_, &socket_, &epoll_, &stop_})
        fd->reset();
    inPending_.clear();
    outPending_.clear();
    outStart_ = 0;
    broken_ = false;
    answersAwaited_ = false;
    comPort_ = TelnetStream::ComPortState::Pending;
    answered_ = 0;
    modem_.reset();
    dropped_ = false;
}

void RemoteLink::cancel() {
    cancellation_.cancel();
    const std::lock_guard lock(stateMutex_);
    stateChanged_.notify_all();
}

void RemoteLink::resetCancel() {
    cancellation_.reset();
}

void RemoteLink::run() {
    std::array<epoll_event, 4> events{};
    for (;;) {
        const int n = posix::retryOnInterrupt(
            [&] { return ::epoll_wait(epoll_.get(), events.data(), events.size(), -1); });
        if (n < 0)
            break;
        for (int i = 0; i < n; ++i)
            if (events.at(static_cast<std::size_t>(i)).data.fd == stop_.get())
                return;
        flushOutput();
        if (!pumpInput())
            break;
    }
    dropped();
}

// Reads the socket until it is empty or the pipe is full; false once the connection ended.
bool RemoteLink::pumpInput() {
    const std::lock_guard lock(inMutex_);
    moveInputToPipe();
    std::array<std::uint8_t, 4096> buffer{};
    while (inPending_.size() < kInputLimit) {
        const ssize_t n = posix::retryOnInterrupt(
            [&] { return ::recv(socket_.get(), buffer.data(), buffer.size(), MSG_DONTWAIT); });
        if (n < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK;
        if (n == 0)
            return false;
        const auto count = static_cast<std::size_t>(n);
        if (!telnet_) {
            inPending_.insert(inPending_.end(), buffer.begin(), buffer.begin() + n);
        } else {
            replies_.clear();
            stream_.receive(buffer.data(), count, inPending_, replies_);
            if (!replies_.empty() && !sendCommands(replies_))
                return false;
            const std::lock_guard state(stateMutex_);
            comPort_ = stream_.comPortState();
            answered_ |= stream_.takeAnswers();
            modem_ = stream_.modemState();
            stateChanged_.notify_all();
        }
        moveInputToPipe();
    }
    return true;
}

void RemoteLink::moveInputToPipe() {
    if (inPending_.empty())
        return;
    const ssize_t n = ::write(dataWrite_.get(), inPending_.data(), inPending_.size());
    if (n > 0)
        inPending_.erase(inPending_.begin(), inPending_.begin() + n);
}

void RemoteLink::flushOutput() {
    const std::lock_guard lock(outMutex_);
    while (pendingLocked() > 0 && !broken_) {
        const ssize_t n = posix::retryOnInterrupt([&] {
            return ::send(socket_.get(), outPending_.data() + outStart_, pendingLocked(),
                          MSG_DONTWAIT | MSG_NOSIGNAL);
        });
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        if (n < 0) {
            broken_ = true;
            break;
        }
        outStart_ += static_cast<std::size_t>(n);
    }
    // Sent bytes leave the front once they are many or all: not on every partial send.
    if (broken_ || outStart_ == outPending_.size()) {
        outPending_.clear();
        outStart_ = 0;
    } else if (outStart_ >= kOutputLimit) {
        outPending_.erase(outPending_.begin(),
                          outPending_.begin() + static_cast<std::ptrdiff_t>(outStart_));
        outStart_ = 0;
    }
    outRoom_.notify_all();
}

bool RemoteLink::sendCommands(const ByteVector& bytes) {
    {
        const std::lock_guard lock(outMutex_);
        if (broken_)
            return false;
        if (pendingLocked() + bytes.size() > kNegotiationLimit) {
            broken_ = true;
            outPending_.clear();
            outStart_ = 0;
            // The relay sees the hang-up and ends the connection.
            ::shutdown(socket_.get(), SHUT_RDWR);
            outRoom_.notify_all();
            return false;
        }
        outPending_.insert(outPending_.end(), bytes.begin(), bytes.end());
    }
    flushOutput();
    return true;
}

void RemoteLink::dropped() {
    {
        const std::lock_guard lock(inMutex_);
        moveInputToPipe();
        // The reader sees end of file after the last data byte: the device has gone.
        dataWrite_.reset();
    }
    {
        const std::lock_guard lock(outMutex_);
        broken_ = true;
        outRoom_.notify_all();
    }
    const std::lock_guard lock(stateMutex_);
    dropped_ = true;
    stateChanged_.notify_all();
}

std::size_t RemoteLink::write(const void* data, std::size_t length, int& code) {
    code = 0;
    {
        const std::lock_guard lock(outMutex_);
        if (broken_) {
            code = EIO;
            return 0;
        }
        if (pendingLocked() >= kOutputLimit)
            return 0;
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        if (telnet_)
            TelnetStream::escape(bytes, length, outPending_);
        else
            outPending_.insert(outPending_.end(), bytes, bytes + length);
    }
    flushOutput();
    return length;
}

bool RemoteLink::waitWritable(std::optional<Clock::time_point> deadline, int& code) {
    code = 0;
    std::unique_lock lock(outMutex_);
    const auto ready = [this] { return broken_ || pendingLocked() < kOutputLimit; };
    if (deadline)
        outRoom_.wait_until(lock, *deadline, ready);
    else
        outRoom_.wait(lock, ready);
    if (broken_)
        code = EIO;
    return !broken_ && pendingLocked() < kOutputLimit;
}

int RemoteLink::purge(bool input, bool output, bool server) {
    if (input) {
        const std::lock_guard lock(inMutex_);
        inPending_.clear();
        std::array<std::uint8_t, 1024> sink{};
        while (::read(dataRead_.get(), sink.data(), sink.size()) > 0) {
        }
    }
    if (!server || !(input || output) || !comPortAgreed())
        return 0;
    // 1: the server's buffer of bytes from the device, 2: of bytes to it, 3: both.
    const std::uint8_t which = static_cast<std::uint8_t>((input ? 1 : 0) | (output ? 2 : 0));
    ByteVector command;
    TelnetStream::comPortCommand(comport::PURGE_DATA, {which}, command);
    return sendCommands(command) ? 0 : EIO;
}

int RemoteLink::apply(const RemoteSettings& s) {
    if (!telnet_ || !comPortAgreed())
        return 0;
    ByteVector commands;
    std::uint32_t wanted = 0;
    const auto add = [&](std::uint8_t command, const ByteVector& value) {
        TelnetStream::comPortCommand(command, value, commands);
        wanted |= 1U << command;
    };
    if (s.baudRate) {
        const std::uint32_t b = *s.baudRate;
        add(comport::SET_BAUDRATE,
            {static_cast<std::uint8_t>(b >> 24), static_cast<std::uint8_t>(b >> 16),
             static_cast<std::uint8_t>(b >> 8), static_cast<std::uint8_t>(b)});
    }
    if (s.dataSize)
        add(comport::SET_DATASIZE, {*s.dataSize});
    if (s.parity)
        add(comport::SET_PARITY, {*s.parity});
    if (s.stopSize)
        add(comport::SET_STOPSIZE, {*s.stopSize});
    for (const std::uint8_t control : s.controls)
        add(comport::SET_CONTROL, {control});
    if (wanted == 0)
        return 0;
    bool wait = false;
    {
        const std::lock_guard lock(stateMutex_);
        answered_ &= ~wanted;
        wait = !std::exchange(answersAwaited_, true);
    }
    if (!sendCommands(commands))
        return EIO;
    // A server that acknowledged, or did not, the first time does the same later.
    if (wait && !waitState(Clock::now() + timing_.answers, wanted))
        return cancellation_.cancelled() ? ECANCELED : EIO;
    return 0;
}

bool RemoteLink::applyWaits() const {
    const std::lock_guard lock(stateMutex_);
    return telnet_ && !answersAwaited_ && comPort_ == TelnetStream::ComPortState::Agreed;
}

// Waits for the option's outcome (answersWanted 0) or for every wanted answer; false only
// when the connection dropped.
bool RemoteLink::waitState(Clock::time_point deadline, std::uint32_t answersWanted) {
    std::unique_lock lock(stateMutex_);
    stateChanged_.wait_until(lock, deadline, [&] {
        if (dropped_ || cancellation_.cancelled())
            return true;
        if (answersWanted == 0)
            return comPort_ != TelnetStream::ComPortState::Pending;
        return (answered_ & answersWanted) == answersWanted;
    });
    return !dropped_ && !cancellation_.cancelled();
}

std::optional<std::uint8_t> RemoteLink::modemState() const {
    const std::lock_guard lock(stateMutex_);
    return modem_;
}

bool RemoteLink::comPortAgreed() const {
    const std::lock_guard lock(stateMutex_);
    return comPort_ == TelnetStream::ComPortState::Agreed;
}

std::size_t RemoteLink::outputQueued() const {
    int queued = 0;
    if (!socket_.valid() || ::ioctl(socket_.get(), SIOCOUTQ, &queued) < 0 || queued < 0)
        queued = 0;
    const std::lock_guard lock(outMutex_);
    return static_cast<std::size_t>(queued) + pendingLocked();
}

} // namespace quillmark::remote
