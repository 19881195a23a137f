#pragma once

// Exit status of quillmark-cli, and the failure that carries one up to main().

#include <stdexcept>
#include <string>

namespace quillmark::cli {

enum ExitStatus : int {
    kExitOk = 0,
    kExitDiffers = 1,
    kExitUsage = 2,
    kExitDevice = 3,
    kExitFile = 4,
};

class Failure : public std::runtime_error {
public:
    Failure(ExitStatus status, const std::string& message)
        : std::runtime_error(message), status_(status) {}
    [[nodiscard]] ExitStatus status() const { return status_; }

private:
    ExitStatus status_;
};

} // namespace quillmark::cli
