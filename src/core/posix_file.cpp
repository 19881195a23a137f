#include "posix_file.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace quillmark::posix {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        (void)close();
        fd_ = other.release();
    }
    return *this;
}

UniqueFd::~UniqueFd() {
    (void)close();
}

int UniqueFd::release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void UniqueFd::reset(int fd) {
    (void)close();
    fd_ = fd;
}

int UniqueFd::close() {
    if (fd_ < 0)
        return 0;
    // Linux releases the descriptor even when close fails, so never retry it.
    const int result = ::close(release());
    return result == 0 ? 0 : errno;
}

UniqueFd openForReading(const std::filesystem::path& path, int& err) {
    // O_NONBLOCK keeps a FIFO without a writer from hanging the window.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    err = fd < 0 ? errno : 0;
    return UniqueFd(fd);
}

UniqueFd openExistingForWriting(const std::filesystem::path& path, int& err) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
    err = fd < 0 ? errno : 0;
    return UniqueFd(fd);
}

int writeAll(int fd, std::span<const std::byte> data) {
    while (!data.empty()) {
        const ssize_t n = retryOnInterrupt([&] { return ::write(fd, data.data(), data.size()); });
        if (n < 0)
            return errno;
        if (n == 0)
            return EIO; // no progress and no error: never report that as success
        data = data.subspan(static_cast<std::size_t>(n));
    }
    return 0;
}

int readUpTo(int fd, std::span<std::byte> buffer, std::size_t& got) {
    got = 0;
    while (got < buffer.size()) {
        const ssize_t n =
            retryOnInterrupt([&] { return ::read(fd, buffer.data() + got, buffer.size() - got); });
        if (n < 0)
            return errno;
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return 0;
}

} // namespace quillmark::posix
