#include "raw_pty.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <stdexcept>

RawPty::RawPty() {
    std::array<char, 256> name{};
    if (openpty(&master_, &slave_, name.data(), nullptr, nullptr) != 0)
        throw std::runtime_error("openpty failed");
    termios t{};
    tcgetattr(slave_, &t);
    cfmakeraw(&t);
    tcsetattr(slave_, TCSANOW, &t);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    slavePath_ = QString::fromLocal8Bit(name.data());
}

RawPty::~RawPty() {
    if (slave_ >= 0)
        ::close(slave_);
    if (master_ >= 0)
        ::close(master_);
}

QByteArray RawPty::readAvailable(std::chrono::milliseconds wait) {
    QByteArray out;
    pollfd p{master_, POLLIN, 0};
    while (::poll(&p, 1, static_cast<int>(wait.count())) > 0 && (p.revents & POLLIN)) {
        std::array<char, 512> buf{};
        const auto n = ::read(master_, buf.data(), buf.size());
        if (n <= 0)
            break;
        out.append(buf.data(), n);
        wait = std::chrono::milliseconds(50); // gather what follows closely
    }
    return out;
}

void RawPty::write(const QByteArray& bytes) {
    if (::write(master_, bytes.constData(), static_cast<size_t>(bytes.size())) != bytes.size())
        throw std::runtime_error("pty write failed");
}
