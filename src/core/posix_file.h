#pragma once

// Small POSIX file helpers shared by the station file and the port setting file.
// Failures are reported as errno values so each caller words them its own way.

#include <cerrno>
#include <cstddef>
#include <filesystem>
#include <span>

namespace quillmark::posix {

// Owns a file descriptor; closes it when dropped unless released by close().
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd();

    [[nodiscard]] int get() const { return fd_; }
    [[nodiscard]] bool valid() const { return fd_ >= 0; }
    int release();
    // Closes the one held, if any, and takes `fd`.
    void reset(int fd = -1);
    // Closes now; returns 0 or the errno of a failed close.
    [[nodiscard]] int close();

private:
    int fd_ = -1;
};

// Repeats a call that a signal interrupted (it failed with EINTR); returns its last result.
template <typename Call> [[nodiscard]] auto retryOnInterrupt(Call&& call) {
    for (;;) {
        auto rc = call();
        if (rc >= 0 || errno != EINTR)
            return rc;
    }
}

// Opens read-only; returns an invalid fd and sets err on failure.
[[nodiscard]] UniqueFd openForReading(const std::filesystem::path& path, int& err);

// Opens an existing file write-only, without creating or truncating it; returns an invalid
// fd and sets err on failure.
[[nodiscard]] UniqueFd openExistingForWriting(const std::filesystem::path& path, int& err);

// Writes every byte, retrying short writes; returns 0 or an errno value.
[[nodiscard]] int writeAll(int fd, std::span<const std::byte> data);

// Reads until the buffer is full or end of file; returns 0 or an errno value.
[[nodiscard]] int readUpTo(int fd, std::span<std::byte> buffer, std::size_t& got);

} // namespace quillmark::posix
