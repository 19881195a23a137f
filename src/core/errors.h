#pragma once

#include <stdexcept>
#include <string>

namespace quillmark {

// An input-output failure of a file step; code is the run-time library's error code
// (2 file not found, 5 access denied, 101 disk full, ...).
class InOutError : public std::runtime_error {
public:
    InOutError(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
    [[nodiscard]] int code() const { return code_; }

private:
    int code_;
};

// A failed text-to-number conversion or a file step named with its path.
class ConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace quillmark
