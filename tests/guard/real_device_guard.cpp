// Linked into every test executable: a test that opens a real serial device (its open raises
// DTR and may reprogram the machine's console) aborts the run before the device is touched.

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr unsigned kTtySMajor = 4;     // ttyS* from minor 64 on (below are virtual consoles)
constexpr unsigned kTtyUsbMajor = 188; // ttyUSB*

[[nodiscard]] bool namedRealDevice(const char* path) {
    return std::strncmp(path, "/dev/ttyS", 9) == 0 || std::strncmp(path, "/dev/ttyUSB", 11) == 0;
}

// Also catches a link such as <config dir>/COM1 -> /dev/ttyS0.
[[nodiscard]] bool isRealSerialDevice(int dirfd, const char* path) {
    if (namedRealDevice(path))
        return true;
    struct stat st {};
    if (::fstatat(dirfd, path, &st, 0) != 0 || !S_ISCHR(st.st_mode))
        return false;
    const unsigned maj = major(st.st_rdev);
    return (maj == kTtySMajor && minor(st.st_rdev) >= 64) || maj == kTtyUsbMajor;
}

void refuse(const char* path) {
    static const char prefix[] = "\nFATAL: a test opened the real serial device ";
    static const char suffix[] = "; tests use pseudo-terminals, links to missing paths or "
                                 "fake ports only.\n";
    [[maybe_unused]] ssize_t n = ::write(2, prefix, sizeof prefix - 1);
    n = ::write(2, path, std::strlen(path));
    n = ::write(2, suffix, sizeof suffix - 1);
    std::abort();
}

void check(int dirfd, const char* path) {
    if (isRealSerialDevice(dirfd, path))
        refuse(path);
}

template <typename F> F next(const char* name) {
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

[[nodiscard]] mode_t modeArgument(int flags, va_list args) {
    return (flags & (O_CREAT | O_TMPFILE)) != 0 ? static_cast<mode_t>(va_arg(args, int)) : 0;
}

} // namespace

extern "C" {

int open(const char* path, int flags, ...) {
    check(AT_FDCWD, path);
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeArgument(flags, args);
    va_end(args);
    static const auto real = next<int (*)(const char*, int, ...)>("open");
    return real(path, flags, mode);
}

int open64(const char* path, int flags, ...) {
    check(AT_FDCWD, path);
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeArgument(flags, args);
    va_end(args);
    static const auto real = next<int (*)(const char*, int, ...)>("open64");
    return real(path, flags, mode);
}

int openat(int dirfd, const char* path, int flags, ...) {
    check(dirfd, path);
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeArgument(flags, args);
    va_end(args);
    static const auto real = next<int (*)(int, const char*, int, ...)>("openat");
    return real(dirfd, path, flags, mode);
}

int openat64(int dirfd, const char* path, int flags, ...) {
    check(dirfd, path);
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeArgument(flags, args);
    va_end(args);
    static const auto real = next<int (*)(int, const char*, int, ...)>("openat64");
    return real(dirfd, path, flags, mode);
}

int __open_2(const char* path, int flags) {
    check(AT_FDCWD, path);
    static const auto real = next<int (*)(const char*, int)>("__open_2");
    return real(path, flags);
}

int __open64_2(const char* path, int flags) {
    check(AT_FDCWD, path);
    static const auto real = next<int (*)(const char*, int)>("__open64_2");
    return real(path, flags);
}

FILE* fopen(const char* path, const char* mode) {
    check(AT_FDCWD, path);
    static const auto real = next<FILE* (*)(const char*, const char*)>("fopen");
    return real(path, mode);
}

FILE* fopen64(const char* path, const char* mode) {
    check(AT_FDCWD, path);
    static const auto real = next<FILE* (*)(const char*, const char*)>("fopen64");
    return real(path, mode);
}

} // extern "C"
