// Speeds without a B-constant go through termios2 with BOTHER. The kernel's termbits header
// clashes with <termios.h>, so this file stays apart from the other tty code.
#include <asm/ioctls.h>
#include <asm/termbits.h>

#include <cerrno>

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept;

namespace quillmark::serial {

int setCustomSpeed(int fd, int rate) {
    termios2 tio{};
    if (ioctl(fd, TCGETS2, &tio) < 0)
        return errno;
    tio.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    tio.c_ispeed = static_cast<speed_t>(rate);
    tio.c_ospeed = static_cast<speed_t>(rate);
    if (ioctl(fd, TCSETS2, &tio) < 0)
        return errno;
    return 0;
}

} // namespace quillmark::serial
