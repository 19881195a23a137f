#include "pty_client.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace {

using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

} // namespace

PtyClient::PtyClient(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0)
        return;
    termios tio{};
    ::tcgetattr(fd_, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(fd_, TCSANOW, &tio);
}

PtyClient::~PtyClient() {
    close();
}

void PtyClient::close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

void PtyClient::send(const QByteArray& bytes) {
    qsizetype at = 0;
    while (fd_ >= 0 && at < bytes.size()) {
        const ssize_t n =
            ::write(fd_, bytes.constData() + at, static_cast<size_t>(bytes.size() - at));
        if (n > 0)
            at += n;
        else if (n < 0 && errno != EINTR && errno != EAGAIN)
            return;
    }
}

QByteArray PtyClient::receive(int count, std::chrono::milliseconds wait) {
    QByteArray got;
    const auto deadline = Clock::now() + wait;
    while (fd_ >= 0 && got.size() < count) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, remainingMs(deadline)) <= 0)
            break;
        char buffer[512];
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n <= 0)
            break;
        got.append(buffer, n);
    }
    return got;
}

bool PtyClient::hungUp(std::chrono::milliseconds wait) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(wait.count())) <= 0)
        return false;
    if (p.revents & POLLHUP)
        return true;
    char c;
    const ssize_t n = ::read(fd_, &c, 1);
    return n == 0 || (n < 0 && errno == EIO);
}
