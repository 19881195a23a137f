#include "port_line.h"

#include "remote/endpoint.h"
#include "serial/comport.h"
#include "serial/encoder_line.h"

#include <sys/stat.h>

namespace quillmark::cli {

template <typename F> auto PortLine::guarded(F&& step, const char* doing) {
    try {
        return step();
    } catch (const EComError& e) {
        throw protocol::CommunicationError(std::string(doing) + ": " + e.what());
    } catch (const EAbort&) {
        throw protocol::CommunicationError(std::string(doing) + ": operation aborted");
    }
}

PortLine::PortLine(std::string name) : name_(std::move(name)), port_(std::make_unique<TComPort>()) {
    port_->SetDeviceName(name_);
    setUpEncoderLine(*port_);
    guarded([this] { port_->Open(); }, "cannot open the port");
}

PortLine::~PortLine() = default;

void PortLine::discardInput() {
    guarded([this] { port_->ResetDevice(); }, "the line failed");
}

void PortLine::write(std::span<const Byte> bytes) {
    guarded([&] { (void)port_->Write(bytes.data(), static_cast<int>(bytes.size()), false); },
            "the line failed");
}

std::optional<Byte> PortLine::readByte(std::chrono::milliseconds wait) {
    return guarded([&]() -> std::optional<Byte> {
        if (port_->Timeouts().ReadConstant() != wait)
            port_->Timeouts().SetReadConstant(wait);
        try {
            return port_->ReadByte();
        } catch (const EComTimeout&) {
            return std::nullopt;
        }
    }, "the line failed");
}

bool looksLikePort(const std::string& operand) {
    // An endpoint with a mistake is still meant as a port: its open says what is wrong.
    if (remote::comNumber(operand) || remote::hasEndpointScheme(operand))
        return true;
    struct stat st {};
    return ::stat(operand.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

} // namespace quillmark::cli
