#include "station_file.h"

#include "errors.h"
#include "posix_file.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quillmark {

namespace fs = std::filesystem;

namespace {

constexpr int kFileNotFound = 2;
constexpr int kInvalidFilename = 3;
constexpr int kTooManyOpenFiles = 4;
constexpr int kAccessDenied = 5;
constexpr int kReadBeyondEnd = 100;
constexpr int kDiskFull = 101;
constexpr int kTempNameAttempts = 100;
// Station files in any form are far smaller; a larger file is not copied into memory.
constexpr off_t kLargestKeptFile = 16 << 20;
constexpr const char* kRestoredNote = " (the file keeps its earlier content)";
constexpr const char* kNotRestoredNote = " (the file could not be restored and is damaged)";

[[noreturn]] void raise(int err) {
    throw inOutErrorFromErrno(err);
}

// Removes the temporary file unless it was renamed into place.
class TempFile {
public:
    TempFile(fs::path path, posix::UniqueFd fd) : path_(std::move(path)), fd_(std::move(fd)) {}
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() {
        if (!committed_)
            ::unlink(path_.c_str());
    }
    [[nodiscard]] const fs::path& path() const { return path_; }
    [[nodiscard]] posix::UniqueFd& fd() { return fd_; }
    void committed() { committed_ = true; }

private:
    fs::path path_;
    posix::UniqueFd fd_;
    bool committed_ = false;
};

// Saving through a symbolic link replaces the file it points to, not the link.
[[nodiscard]] fs::path resolveTarget(const fs::path& path) {
    std::error_code ec;
    if (fs::is_symlink(path, ec)) {
        const fs::path resolved = fs::weakly_canonical(path, ec);
        if (!ec)
            return resolved;
    }
    return path;
}

[[nodiscard]] fs::path tempNameBeside(const fs::path& target, int attempt) {
    static std::atomic<unsigned> counter{0};
    const std::string name = "." + target.filename().string() + "." + std::to_string(::getpid()) +
                             "." + std::to_string(counter++) + "." + std::to_string(attempt) +
                             ".tmp";
    return target.parent_path() / name;
}

// Null with err set when no temporary file can be made there.
[[nodiscard]] std::unique_ptr<TempFile> createTempBeside(const fs::path& target, int& err) {
    for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
        fs::path name = tempNameBeside(target, attempt);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0)
            return std::make_unique<TempFile>(std::move(name), posix::UniqueFd(fd));
        if (errno != EEXIST) {
            err = errno;
            return nullptr;
        }
    }
    err = EEXIST;
    return nullptr;
}

[[nodiscard]] bool folderRefusesNewFiles(int err) {
    return err == EACCES || err == EPERM || err == EROFS;
}

// The file's current bytes, kept so that a rewrite in place can put them back; nullopt when
// the file cannot be read (a write-only file).
[[nodiscard]] std::optional<std::vector<std::byte>> readExisting(const fs::path& target) {
    int err = 0;
    posix::UniqueFd fd = posix::openForReading(target, err);
    struct stat st {};
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || st.st_size > kLargestKeptFile)
        return std::nullopt;
    std::vector<std::byte> bytes(static_cast<std::size_t>(st.st_size) + 1);
    std::size_t got = 0;
    if (posix::readUpTo(fd.get(), bytes, got) != 0 || got >= bytes.size())
        return std::nullopt; // grew while read: not a copy to restore
    bytes.resize(got);
    return bytes;
}

// Every byte from the start, then the length, then the flush; 0 or the errno of the failed step.
[[nodiscard]] int writeWholeFile(int fd, std::span<const std::byte> content) {
    if (::lseek(fd, 0, SEEK_SET) != 0)
        return errno;
    if (const int err = posix::writeAll(fd, content))
        return err;
    if (::ftruncate(fd, static_cast<off_t>(content.size())) != 0)
        return errno;
    return ::fsync(fd) != 0 ? errno : 0;
}

// Without a temporary file beside it, the file itself is rewritten. A write that fails part
// way would leave old and new bytes mixed, so the old ones are written back and the error
// says whether that worked.
void rewriteInPlace(const fs::path& target, posix::UniqueFd& fd,
                    std::span<const std::byte> content) {
    const auto old = readExisting(target);
    if (const int err = writeWholeFile(fd.get(), content)) {
        const bool restored = old && writeWholeFile(fd.get(), *old) == 0;
        const InOutError failure = inOutErrorFromErrno(err);
        throw InOutError(failure.code(), std::string(failure.what()) +
                                             (restored ? kRestoredNote : kNotRestoredNote));
    }
    if (const int err = fd.close())
        raise(err);
}

// A replaced file keeps its permissions, as it did when it was rewritten in place.
void keepExistingMode(const fs::path& target, int fd) {
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        (void)::fchmod(fd, st.st_mode & 07777);
}

void syncDirectory(const fs::path& dir) {
    const int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        (void)::fsync(fd); // best effort: the data itself is already on disk
        ::close(fd);
    }
}

void replaceThroughTemp(TempFile& temp, const fs::path& target,
                        std::span<const std::byte> content) {
    posix::UniqueFd& fd = temp.fd();
    if (const int err = posix::writeAll(fd.get(), content))
        raise(err);
    keepExistingMode(target, fd.get());
    if (::fsync(fd.get()) != 0)
        raise(errno);
    if (const int err = fd.close())
        raise(err);
    if (::rename(temp.path().c_str(), target.c_str()) != 0)
        raise(errno);
    temp.committed();
    syncDirectory(target.parent_path());
}

} // namespace

std::string inOutErrorMessage(int code) {
    switch (code) {
    case kFileNotFound:
        return "File not found";
    case kInvalidFilename:
        return "Invalid filename";
    case kTooManyOpenFiles:
        return "Too many open files";
    case kAccessDenied:
        return "File access denied";
    case kReadBeyondEnd:
        return "Read beyond end of file";
    case kDiskFull:
        return "Disk full";
    default:
        return "I/O error " + std::to_string(code);
    }
}

int inOutCodeFromErrno(int err) {
    switch (err) {
    case ENOENT:
        return kFileNotFound;
    case ENAMETOOLONG:
    case EINVAL:
    case ENOTDIR:
    case ELOOP:
        return kInvalidFilename;
    case EMFILE:
    case ENFILE:
        return kTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
        return kAccessDenied;
    case ENOSPC:
    case EDQUOT:
        return kDiskFull;
    default:
        return err;
    }
}

InOutError inOutErrorFromErrno(int err) {
    const int code = inOutCodeFromErrno(err);
    // An unmapped errno such as EIO (5) must not borrow the text of library code 5.
    const bool mapped = code != err || err == ENOENT;
    return {code, mapped ? inOutErrorMessage(code) : "I/O error " + std::to_string(err)};
}

void saveStationFile(const fs::path& path, std::span<const Byte, 256> deviceMap) {
    saveFileAtomically(path, std::as_bytes(deviceMap));
}

void saveFileAtomically(const fs::path& path, std::span<const std::byte> content) {
    const fs::path target = resolveTarget(path);
    if (target.filename().empty())
        throw InOutError(kInvalidFilename, inOutErrorMessage(kInvalidFilename));
    // Renaming over a file would override its write protection: it must be writable itself.
    int err = 0;
    posix::UniqueFd existing = posix::openExistingForWriting(target, err);
    if (!existing.valid() && err != ENOENT)
        raise(err);
    const auto temp = createTempBeside(target, err);
    if (!temp) {
        if (existing.valid() && folderRefusesNewFiles(err)) {
            rewriteInPlace(target, existing, content);
            return;
        }
        raise(err);
    }
    (void)existing.close();
    replaceThroughTemp(*temp, target, content);
}

bool stationFileExists(const fs::path& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

std::size_t openStationFile(const fs::path& path, std::span<Byte, 256> deviceMap) {
    int err = 0;
    posix::UniqueFd fd = posix::openForReading(path, err);
    if (!fd.valid())
        raise(err);
    // Read into a copy first so a failed read leaves the map as it was.
    std::array<Byte, kStationFileSize> buffer{};
    std::size_t got = 0;
    if (const int readErr =
            posix::readUpTo(fd.get(), std::as_writable_bytes(std::span(buffer)), got))
        raise(readErr);
    if (const int closeErr = fd.close())
        raise(closeErr);
    std::copy_n(buffer.begin(), got, deviceMap.begin());
    return got;
}

} // namespace quillmark
