#pragma once

#include "errors.h"
#include "station_image.h"

#include <cstddef>
#include <filesystem>
#include <span>
#include <string>

namespace quillmark {

inline constexpr std::size_t kStationFileSize = 256;

// The run-time library's message for an input-output error code.
[[nodiscard]] std::string inOutErrorMessage(int code);
// errno -> run-time library code (ENOENT 2, EACCES 5, ENOSPC 101, ...).
[[nodiscard]] int inOutCodeFromErrno(int err);
// The error a failed file step raises for errno err. Its message is inOutErrorMessage(code)
// for the mapped errors and "I/O error <errno>" for the others, so that EIO (5) is not
// shown as "File access denied".
[[nodiscard]] InOutError inOutErrorFromErrno(int err);

// Writes all 256 bytes through a temporary file in the same folder, flushed and renamed
// over the target; a failure raises InOutError and leaves an existing file intact. An
// existing file must be writable itself; in a folder that takes no new files it is
// rewritten in place, and its old bytes are written back if that fails (the message says
// whether they were).
void saveStationFile(const std::filesystem::path& path, std::span<const Byte, 256> deviceMap);

// The same for any content (station files in other forms).
void saveFileAtomically(const std::filesystem::path& path, std::span<const std::byte> content);

// Whether a file is there; false also when the folder cannot be searched (the file step
// that follows then reports why).
[[nodiscard]] bool stationFileExists(const std::filesystem::path& path);

// Reads at most 256 bytes into deviceMap from address 0; addresses past a short file's end
// keep their values. Needs read access only. Returns the number of bytes read.
std::size_t openStationFile(const std::filesystem::path& path, std::span<Byte, 256> deviceMap);

} // namespace quillmark
