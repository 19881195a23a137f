#include "serial/serial_termios.h"
#include "serial/serial_tty.h"

#include <array>
#include <cerrno>
#include <sys/ioctl.h>
#include <termios.h>

namespace quillmark::serial {

int setCustomSpeed(int fd, int rate); // serial_custom_speed_linux.cpp

namespace {

struct SpeedEntry {
    int rate;
    speed_t code;
};

constexpr std::array<SpeedEntry, 22> kSpeeds{{
    {50, B50},           {75, B75},           {110, B110},       {150, B150},
    {300, B300},         {600, B600},         {1200, B1200},     {1800, B1800},
    {2400, B2400},       {4800, B4800},       {9600, B9600},     {19200, B19200},
    {38400, B38400},     {57600, B57600},     {115200, B115200}, {230400, B230400},
    {460800, B460800},   {500000, B500000},   {576000, B576000}, {921600, B921600},
    {1000000, B1000000}, {1152000, B1152000},
}};

[[nodiscard]] const SpeedEntry* standardSpeed(int rate) {
    for (const auto& entry : kSpeeds)
        if (entry.rate == rate)
            return &entry;
    return nullptr;
}

// Raw bytes both ways: no echo, no line editing, no translation, no signals, and no
// software flow control swallowing 0x11/0x13 unless asked for; reads never block in the
// kernel (the component waits with poll).
void makeRaw(termios& tio) {
    tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                          ICRNL | IXON | IXOFF | IXANY | IMAXBEL);
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
}

[[nodiscard]] int applyFrame(termios& tio, const LineSettings& s) {
    if (s.dataBits) {
        static constexpr std::array<tcflag_t, 4> sizes{CS5, CS6, CS7, CS8};
        if (*s.dataBits < 5 || *s.dataBits > 8)
            return EINVAL;
        tio.c_cflag = (tio.c_cflag & ~static_cast<tcflag_t>(CSIZE)) |
                      sizes.at(static_cast<std::size_t>(*s.dataBits - 5));
    }
    if (s.parity) {
        using P = LineSettings::Parity;
        tio.c_cflag &= ~static_cast<tcflag_t>(PARENB | PARODD | CMSPAR);
        if (*s.parity != P::None)
            tio.c_cflag |= PARENB;
        if (*s.parity == P::Odd || *s.parity == P::Mark)
            tio.c_cflag |= PARODD;
        if (*s.parity == P::Mark || *s.parity == P::Space)
            tio.c_cflag |= CMSPAR;
    }
    if (s.stopBitsTimesTwo) {
        const bool fiveBits = (tio.c_cflag & CSIZE) == CS5;
        // One and a half stop bits exist only with five data bits.
        if (*s.stopBitsTimesTwo == 3 && !fiveBits)
            return EINVAL;
        if (*s.stopBitsTimesTwo == 2)
            tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB);
        else
            tio.c_cflag |= CSTOPB;
    }
    return 0;
}

[[nodiscard]] int applyFlow(termios& tio, const LineSettings& s) {
    using Rts = LineSettings::Rts;
    if (s.unsupportedOption || (s.dtr && *s.dtr == LineSettings::Dtr::Handshake) ||
        (s.rts && *s.rts == Rts::Toggle))
        return EINVAL;
    if (s.xonXoff) {
        tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF);
        if (s.xonXoff->input)
            tio.c_iflag |= IXOFF;
        if (s.xonXoff->output)
            tio.c_iflag |= IXON;
    }
    tio.c_cc[VSTART] = static_cast<cc_t>(s.xonChar);
    tio.c_cc[VSTOP] = static_cast<cc_t>(s.xoffChar);
    const bool rtsHandshake = s.rts && *s.rts == Rts::Handshake;
    // Linux has one flag for both directions of RTS/CTS flow control.
    tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
    if (rtsHandshake || s.outputCtsFlow)
        tio.c_cflag |= CRTSCTS;
    if (s.checkParity)
        tio.c_iflag |= INPCK;
    else
        tio.c_iflag &= ~static_cast<tcflag_t>(INPCK);
    return 0;
}

[[nodiscard]] int applyModemLine(int fd, int line, bool on) {
    return ::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line) < 0 ? errno : 0;
}

[[nodiscard]] int applyModemLines(int fd, const LineSettings& s) {
    using Dtr = LineSettings::Dtr;
    using Rts = LineSettings::Rts;
    if (s.dtr && *s.dtr != Dtr::Handshake)
        if (const int rc = applyModemLine(fd, TIOCM_DTR, *s.dtr == Dtr::Enable); rc != 0)
            return rc;
    if (s.rts && (*s.rts == Rts::Disable || *s.rts == Rts::Enable))
        return applyModemLine(fd, TIOCM_RTS, *s.rts == Rts::Enable);
    return 0;
}

} // namespace

int overlayLineSettings(termios& tio, const LineSettings& s) {
    makeRaw(tio);
    if (const int rc = applyFrame(tio, s); rc != 0)
        return rc;
    return applyFlow(tio, s);
}

OsResult TtyPort::applyLineSettings(const LineSettings& s) {
    termios tio{};
    if (::tcgetattr(fd_, &tio) < 0)
        return OsResult{errno};
    const SpeedEntry* speed = s.baudRate ? standardSpeed(*s.baudRate) : nullptr;
    if (s.baudRate && *s.baudRate <= 0)
        return OsResult{EINVAL};
    if (speed != nullptr && ::cfsetspeed(&tio, speed->code) < 0)
        return OsResult{errno};
    if (const int rc = overlayLineSettings(tio, s); rc != 0)
        return OsResult{rc};
    if (::tcsetattr(fd_, TCSANOW, &tio) < 0)
        return OsResult{errno};
    if (s.baudRate && speed == nullptr)
        if (const int rc = setCustomSpeed(fd_, *s.baudRate); rc != 0)
            return OsResult{rc};
    return OsResult{applyModemLines(fd_, s)};
}

} // namespace quillmark::serial
