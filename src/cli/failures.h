#pragma once

// Exit status of quillmark-cli, and the failure that carries one up to main().

#include <stdexcept>
#include <string>
#include <vector>

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
    Failure(ExitStatus status, const std::string& message, std::vector<std::string> hints = {})
        : std::runtime_error(message), status_(status), hints_(std::move(hints)) {}
    [[nodiscard]] ExitStatus status() const { return status_; }
    // What the user can do about it, one line each, printed after the message.
    [[nodiscard]] const std::vector<std::string>& hints() const { return hints_; }

private:
    ExitStatus status_;
    std::vector<std::string> hints_;
};

} // namespace quillmark::cli
