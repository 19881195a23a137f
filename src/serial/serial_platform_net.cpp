#include "serial/serial_platform_net.h"

#include "core/posix_file.h"
#include "remote/endpoint.h"
#include "serial/serial_deadline.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <optional>
#include <utility>

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace quillmark::serial {

namespace {

// RFC 2217 SET-CONTROL values: outbound and inbound flow control, DTR, RTS.
[[nodiscard]] std::vector<std::uint8_t> controlsOf(const LineSettings& s) {
    using Rts = LineSettings::Rts;
    using Dtr = LineSettings::Dtr;
    const bool xonOut = s.xonXoff && s.xonXoff->output;
    const bool xonIn = s.xonXoff && s.xonXoff->input;
    std::vector<std::uint8_t> controls;
    controls.push_back(s.outputCtsFlow ? 3 : xonOut ? 2 : 1);
    controls.push_back(s.rts == Rts::Handshake ? 16 : xonIn ? 15 : 14);
    if (s.dtr == Dtr::Enable || s.dtr == Dtr::Disable)
        controls.push_back(s.dtr == Dtr::Enable ? 8 : 9);
    if (s.rts == Rts::Enable || s.rts == Rts::Disable)
        controls.push_back(s.rts == Rts::Enable ? 11 : 12);
    return controls;
}

[[nodiscard]] std::optional<remote::RemoteSettings> remoteSettingsOf(const LineSettings& s) {
    remote::RemoteSettings r;
    if (s.unsupportedOption || (s.baudRate && *s.baudRate <= 0) ||
        (s.dataBits && (*s.dataBits < 5 || *s.dataBits > 8)))
        return std::nullopt;
    if (s.baudRate)
        r.baudRate = static_cast<std::uint32_t>(*s.baudRate);
    if (s.dataBits)
        r.dataSize = static_cast<std::uint8_t>(*s.dataBits);
    if (s.parity)
        r.parity = static_cast<std::uint8_t>(static_cast<int>(*s.parity) + 1);
    if (s.stopBitsTimesTwo) {
        switch (*s.stopBitsTimesTwo) {
        case 2:
            r.stopSize = 1;
            break;
        case 3:
            r.stopSize = 3;
            break;
        case 4:
            r.stopSize = 2;
            break;
        default:
            return std::nullopt;
        }
    }
    r.controls = controlsOf(s);
    return r;
}

[[nodiscard]] NetworkWaiter& installedWaiter() {
    static NetworkWaiter waiter;
    return waiter;
}

// A port name that is an endpoint, or an entry file naming one.
[[nodiscard]] remote::EntryContent endpointOf(const std::string& path) {
    if (remote::hasEndpointScheme(path)) {
        auto parsed = remote::parseEndpointText(path);
        if (!parsed.endpoint)
            return {remote::EntryContent::Kind::Invalid, std::nullopt, std::move(parsed.problem)};
        return {remote::EntryContent::Kind::Endpoint, std::move(parsed.endpoint), {}};
    }
    auto entry = remote::readEntry(path);
    if (entry.kind == remote::EntryContent::Kind::Endpoint ||
        entry.kind == remote::EntryContent::Kind::Invalid)
        return entry;
    return {remote::EntryContent::Kind::Invalid, std::nullopt,
            path + ": la primera línea debe ser tcp://HOST:PUERTO o rfc2217://HOST:PUERTO"};
}

} // namespace

ScopedNetworkWaiter::ScopedNetworkWaiter(NetworkWaiter waiter)
    : previous_(std::exchange(installedWaiter(), std::move(waiter))) {}

ScopedNetworkWaiter::~ScopedNetworkWaiter() {
    installedWaiter() = std::move(previous_);
}

std::string connectFailureText(const std::string& address, int code, const std::string& reason) {
    return "No se puede conectar con " + address + ": " +
           (reason.empty() ? systemErrorText(code) : reason);
}

NetworkPort::~NetworkPort() {
    NetworkPort::close();
}

void NetworkPort::waitFor(const std::function<void()>& work) {
    link_.resetCancel();
    const NetworkWaiter& waiter = installedWaiter();
    if (!waiter) {
        work();
        return;
    }
    waiter(address_, work, [this] { link_.cancel(); });
}

OsResult NetworkPort::lost(int code) const {
    if (code == 0)
        return {};
    if (code == ECANCELED)
        return OsResult{code, connectFailureText(address_, code, {})};
    return OsResult{code, "Se perdió la conexión con " + address_ + ": " + systemErrorText(code)};
}

OsResult NetworkPort::open(const std::string& path) {
    const auto entry = endpointOf(path);
    if (entry.kind != remote::EntryContent::Kind::Endpoint)
        return OsResult{EINVAL, entry.problem};
    serverInputPurged_ = false;
    address_ = entry.endpoint->address();
    remote::LinkFailure failure;
    waitFor([&] { failure = link_.open(*entry.endpoint); });
    if (!failure.failed())
        return {};
    // A name that does not resolve has no errno of its own.
    const int code = failure.code != 0 ? failure.code : EHOSTUNREACH;
    return OsResult{code,
                    connectFailureText(entry.endpoint->address(), failure.code, failure.reason)};
}

void NetworkPort::close() {
    link_.close();
}

// The server's buffers are emptied at open. Later purges (ResetDevice before every exchange)
// empty only the local queue: a PURGE-DATA holds the next frame back for a round of the
// server's serial handling (about 20 ms with ser2net), while the bytes it would still catch
// are those the server keeps for a moment only, as the network keeps others in flight.
OsResult NetworkPort::purge(bool input, bool output) {
    const bool server = output || (input && !serverInputPurged_);
    serverInputPurged_ = serverInputPurged_ || input;
    return lost(link_.purge(input, output, server));
}

OsResult NetworkPort::applyLineSettings(const LineSettings& settings) {
    const auto remoteSettings = remoteSettingsOf(settings);
    if (!remoteSettings)
        return OsResult{EINVAL};
    int code = 0;
    if (link_.applyWaits())
        waitFor([&] { code = link_.apply(*remoteSettings); });
    else
        code = link_.apply(*remoteSettings);
    return lost(code);
}

IoResult NetworkPort::readSome(void* buffer, std::size_t length) {
    const ssize_t n =
        posix::retryOnInterrupt([&] { return ::read(link_.dataDescriptor(), buffer, length); });
    // End of file: the connection dropped, which is a hang-up.
    if (n == 0 && length > 0)
        return IoResult{0, EIO};
    if (n >= 0)
        return IoResult{static_cast<std::size_t>(n), 0};
    if (errno == EAGAIN)
        return IoResult{0, 0};
    return IoResult{0, errno};
}

IoResult NetworkPort::writeSome(const void* buffer, std::size_t length) {
    int code = 0;
    const std::size_t taken = link_.write(buffer, length, code);
    return IoResult{taken, code};
}

WaitOutcome NetworkPort::waitReadable(Deadline deadline, int& code) {
    return waitForEvents(link_.dataDescriptor(), POLLIN, deadline, code);
}

WaitOutcome NetworkPort::waitWritable(Deadline deadline, int& code) {
    if (link_.waitWritable(deadline, code))
        return WaitOutcome::Ready;
    return code != 0 ? WaitOutcome::HungUp : WaitOutcome::TimedOut;
}

OsResult NetworkPort::inputQueue(int& count) const {
    return OsResult{::ioctl(link_.dataDescriptor(), FIONREAD, &count) < 0 ? errno : 0};
}

OsResult NetworkPort::outputQueue(int& count) const {
    count = static_cast<int>(std::min<std::size_t>(link_.outputQueued(), INT_MAX));
    return {};
}

OsResult NetworkPort::modemLines(ModemLines& lines) const {
    // Lines the server never reported read as low, as on a tty without them.
    const std::uint8_t state = link_.modemState().value_or(0);
    lines.cts = (state & 0x10) != 0;
    lines.dsr = (state & 0x20) != 0;
    lines.ring = (state & 0x40) != 0;
    lines.rlsd = (state & 0x80) != 0;
    return {};
}

OsResult NetworkPort::lineCounters(LineCounters&) const {
    return OsResult{ENOTTY};
}

} // namespace quillmark::serial
