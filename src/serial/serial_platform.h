#pragma once

// The operating-system side of the serial component: one small interface with a backend per
// kind of device, every failure returned as a value (an errno number, 0 for success).

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace quillmark::serial {

struct OsResult {
    OsResult() = default;
    // Not an aggregate: OsResult{code} leaves the message empty without a warning.
    OsResult(int errorCode, std::string text = {}) : code(errorCode), message(std::move(text)) {}
    int code = 0;        // errno, 0 when the call succeeded
    std::string message; // the error's text when the errno text would not say enough
    [[nodiscard]] bool ok() const { return code == 0; }
};

// The system's text for an errno value, without trailing blanks, line ends and dots.
[[nodiscard]] std::string systemErrorText(int code);

// "COMn" (n = 1..255) through <config dir>/COMn when that file exists, else /dev/ttyS<n-1>;
// any other name unchanged.
[[nodiscard]] std::string resolveDeviceName(const std::string& name);

// What the component asks of the line; std::nullopt members keep the device's setting.
struct LineSettings {
    enum class Parity { None, Odd, Even, Mark, Space };
    enum class Dtr { Disable, Enable, Handshake };
    enum class Rts { Disable, Enable, Handshake, Toggle };
    struct XonXoff {
        bool input = false;
        bool output = false;
    };
    std::optional<int> baudRate;
    std::optional<int> dataBits;
    std::optional<Parity> parity;
    std::optional<int> stopBitsTimesTwo; // 2, 3 or 4
    std::optional<Dtr> dtr;
    std::optional<Rts> rts;
    std::optional<XonXoff> xonXoff;
    std::uint8_t xonChar = 17;
    std::uint8_t xoffChar = 19;
    bool checkParity = false;
    bool outputCtsFlow = false;
    // Options the tty layer cannot express; asking for one is refused with EINVAL.
    bool unsupportedOption = false;
};

using Deadline = std::optional<std::chrono::steady_clock::time_point>;

struct IoResult {
    std::size_t count = 0; // bytes moved
    int code = 0;          // errno when the transfer failed
};

enum class WaitOutcome { Ready, TimedOut, HungUp, Failed };

struct ModemLines {
    bool cts = false, dsr = false, ring = false, rlsd = false;
};

// Counters of received line conditions and of modem-line changes; they only ever grow.
struct LineCounters {
    std::uint32_t brk = 0, frame = 0, overrun = 0, parity = 0, bufferOverrun = 0;
    std::uint32_t cts = 0, dsr = 0, ring = 0, rlsd = 0;
};

// Line events that only a blocking wait reports.
struct LineWatch {
    bool modemLines = false;    // CTS, DSR, RING or RLSD changed (see lineCounters)
    bool outputDrained = false; // the output queue emptied after a write
    bool operator==(const LineWatch&) const = default;
};

// One open device: a tty, or a connection to a serial device server. Not thread-safe; the
// owner serialises calls. descriptor() is what the event thread waits on for arriving data.
class PlatformPort {
public:
    PlatformPort() = default;
    virtual ~PlatformPort() = default;
    PlatformPort(const PlatformPort&) = delete;
    PlatformPort& operator=(const PlatformPort&) = delete;

    [[nodiscard]] virtual bool isOpen() const = 0;
    [[nodiscard]] virtual int descriptor() const = 0;

    // Exclusive, non-blocking open; a second open of the same device fails.
    [[nodiscard]] virtual OsResult open(const std::string& path) = 0;
    virtual void close() = 0;

    [[nodiscard]] virtual OsResult purge(bool input, bool output) = 0;
    [[nodiscard]] virtual OsResult applyLineSettings(const LineSettings& settings) = 0;

    [[nodiscard]] virtual IoResult readSome(void* buffer, std::size_t length) = 0;
    [[nodiscard]] virtual IoResult writeSome(const void* buffer, std::size_t length) = 0;
    [[nodiscard]] virtual WaitOutcome waitReadable(Deadline deadline, int& code) = 0;
    [[nodiscard]] virtual WaitOutcome waitWritable(Deadline deadline, int& code) = 0;

    [[nodiscard]] virtual OsResult inputQueue(int& count) const = 0;
    [[nodiscard]] virtual OsResult outputQueue(int& count) const = 0;
    [[nodiscard]] virtual OsResult modemLines(ModemLines& lines) const = 0;
    // Fails (ENOTTY/EINVAL) on devices without line counters, such as pseudo-terminals.
    [[nodiscard]] virtual OsResult lineCounters(LineCounters& counters) const = 0;

    // Optional. Watches for the given events and makes notifyFd (an eventfd) readable each
    // time one is seen, until stopLineWatch(), which returns once nothing writes to notifyFd
    // any more. Fails (ENOTTY) when the device cannot report them; then nothing is watched.
    [[nodiscard]] virtual OsResult startLineWatch(LineWatch what, int notifyFd);
    virtual void stopLineWatch() {}
    // True once for each time the output queue was seen empty after a write.
    [[nodiscard]] virtual bool takeOutputDrained() { return false; }
};

// A new, closed port for a device name; the backend is chosen here.
[[nodiscard]] std::unique_ptr<PlatformPort> createPlatformPort(const std::string& deviceName);

using PlatformPortFactory =
    std::function<std::unique_ptr<PlatformPort>(const std::string& deviceName)>;

// While alive, createPlatformPort() uses the given factory (tests put fakes behind the port).
class ScopedPlatformPortFactory {
public:
    explicit ScopedPlatformPortFactory(PlatformPortFactory factory);
    ~ScopedPlatformPortFactory();
    ScopedPlatformPortFactory(const ScopedPlatformPortFactory&) = delete;
    ScopedPlatformPortFactory& operator=(const ScopedPlatformPortFactory&) = delete;

private:
    PlatformPortFactory previous_;
};

// Process and thread scheduling, best effort: failures are reported only as false.
enum class ThreadLevel { Idle, Lowest, Lower, Normal, Higher, Highest, TimeCritical };
// Applies to the calling thread.
bool setCurrentThreadLevel(ThreadLevel level);

// Waits on a device for "characters arrived" edges and on a stop/poke descriptor.
class EventWaiter {
public:
    // What one wait saw; several may hold at once.
    struct Wake {
        bool data = false;   // characters arrived
        bool poked = false;  // poke() was called
        bool line = false;   // the port's line watch saw an event
        bool hungUp = false; // the device has gone
        int failure = 0;     // errno of a failed wait
    };

    EventWaiter() = default;
    ~EventWaiter();
    EventWaiter(const EventWaiter&) = delete;
    EventWaiter& operator=(const EventWaiter&) = delete;

    // Creates the epoll set and the eventfds and registers the device edge-triggered.
    [[nodiscard]] OsResult create(int deviceFd);
    // For PlatformPort::startLineWatch: readable when the port saw a line event.
    [[nodiscard]] int lineDescriptor() const { return lineFd_; }
    // Takes the device out of the set; later waits see only pokes.
    void forgetDevice(int deviceFd);
    // Wakes a blocked wait(); safe from any thread.
    void poke();
    // Blocks until something happens.
    [[nodiscard]] Wake wait();
    // Consumes device edges that are already pending; reports data and hang-up among them.
    [[nodiscard]] Wake drainDeviceEdges();

private:
    [[nodiscard]] Wake waitOnce(int timeoutMs);

    int epollFd_ = -1;
    int pokeFd_ = -1;
    int lineFd_ = -1;
};

} // namespace quillmark::serial
