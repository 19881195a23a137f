#pragma once

// The protocol's line over the program's own serial component, set up as the window sets
// up Comm1: COMn resolved the same way, 2400 bit/s 8N1.

#include "protocol/session.h"

#include <memory>
#include <string>

class TComPort;

namespace quillmark::cli {

class PortLine final : public protocol::Line {
public:
    // Opens the port; failures here and later are CommunicationError.
    explicit PortLine(std::string name);
    ~PortLine() override;
    PortLine(const PortLine&) = delete;
    PortLine& operator=(const PortLine&) = delete;

    void discardInput() override;
    void write(std::span<const Byte> bytes) override;
    [[nodiscard]] std::optional<Byte> readByte(std::chrono::milliseconds wait) override;

private:
    template <typename F> auto guarded(F&& step, const char* doing);

    std::string name_;
    std::unique_ptr<TComPort> port_;
};

// "COMn" (n = 1..255) or a character device: the operand names a port, not a file.
[[nodiscard]] bool looksLikePort(const std::string& operand);

} // namespace quillmark::cli
