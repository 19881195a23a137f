#include "pty_line.h"

#include <array>
#include <cerrno>
#include <poll.h>
#include <pty.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace bench {

PtyLine::PtyLine() {
    std::array<char, 128> name{};
    if (::openpty(&master_, &slave_, name.data(), nullptr, nullptr) != 0)
        throw std::system_error(errno, std::generic_category(), "openpty");
    slavePath_ = name.data();
    // Raw from the start: the far end must see exactly the bytes that were written.
    termios tio{};
    ::tcgetattr(slave_, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(slave_, TCSANOW, &tio);
}

PtyLine::~PtyLine() {
    ::close(slave_);
    ::close(master_);
}

bool writeAll(int fd, const void* data, std::size_t n) {
    const auto* p = static_cast<const unsigned char*>(data);
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

bool readExactly(int fd, void* data, std::size_t n, int timeoutMs) {
    auto* p = static_cast<unsigned char*>(data);
    while (n > 0) {
        pollfd pfd{fd, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, timeoutMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        const ssize_t r = ::read(fd, p, n);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        p += r;
        n -= static_cast<std::size_t>(r);
    }
    return true;
}

} // namespace bench
