// Pseudo-terminals have no modem lines, and libserialport refuses to open a port whose
// TIOCMGET fails. On pty slaves only, the modem-line ioctls answer "all lines low" instead
// of failing. Only opening and configuring use them: the measured read, write and wait
// paths of every implementation are untouched. Linked as an object into the executables.

#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>

namespace {
// Unix98 pty slaves use majors 136 to 143.
[[nodiscard]] bool isPtySlave(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    const unsigned m = major(st.st_rdev);
    return m >= 136 && m <= 143;
}

[[nodiscard]] bool isModemLineRequest(unsigned long request) {
    return request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS || request == TIOCMBIC;
}
} // namespace

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept {
    va_list args;
    va_start(args, request);
    void* arg = va_arg(args, void*);
    va_end(args);
    const long result = ::syscall(SYS_ioctl, fd, request, arg);
    if (result >= 0 || !isModemLineRequest(request) || (errno != ENOTTY && errno != EINVAL) ||
        !isPtySlave(fd))
        return static_cast<int>(result);
    if (request == TIOCMGET && arg != nullptr)
        *static_cast<int*>(arg) = 0;
    return 0;
}
