#pragma once

// The simulated encoder on a pseudo-terminal: serves EncoderEngine on the master side from a
// thread of its own, optionally paced at the line rate, with injectable faults. Used by the
// quillmark-encoder-sim program and by the end-to-end tests.

#include "engine.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace quillmark::sim {

enum class FaultKind {
    NoAnswer,   // the frame is taken (and stored) but not answered
    FailAnswer, // answered 0x00 instead (a write is not stored)
    ShortReply, // a read reply breaks off after `count` bytes
    Garbage,    // `count` random bytes instead of the answer
    Delay,      // the answer is sent after `delay`
    HangUp,     // the pty closes after this frame (no answer)
    Trailing,   // the answer is followed by `count` stray bytes (0x55)
};

struct Fault {
    int frameNumber = 1; // 1-based number of the frame it applies to
    FaultKind kind = FaultKind::NoAnswer;
    int count = 0;
    std::chrono::milliseconds delay{0};
};

struct PtyEncoderOptions {
    bool paced = true; // 240 bytes/s each way
    std::vector<Fault> faults;
    std::optional<std::array<Byte, 256>> memory; // initial memory (default: all 0xFF)
    std::uint32_t garbageSeed = 1;               // Garbage bytes repeat from run to run
};

class PtyEncoder {
public:
    explicit PtyEncoder(PtyEncoderOptions options = {});
    ~PtyEncoder(); // stops the thread, closes the pty, removes a link it made

    PtyEncoder(const PtyEncoder&) = delete;
    PtyEncoder& operator=(const PtyEncoder&) = delete;

    // Opens the pty and starts serving. Throws std::system_error on failure.
    void start();
    void stop();

    [[nodiscard]] std::string slavePath() const;
    // Once started: makes <dir>/<name> a symbolic link to the slave (e.g. config dir/COM1).
    // Creates dir; replaces a link to another pty, never anything else. Removed on destruction.
    void linkAs(const std::filesystem::path& dir, const std::string& name);

    // Thread-safe snapshots and controls.
    [[nodiscard]] std::array<Byte, 256> memory() const;
    void setMemory(const std::array<Byte, 256>& m);
    void addFault(const Fault& f);
    void clearFaults();
    [[nodiscard]] int framesReceived() const;
    // Every frame and answer so far, in order (for exact-bytes checks).
    [[nodiscard]] std::vector<EncoderEngine::Event> log() const;
    void clearLog();
    // Called on the server thread for every frame and answer (the --log option uses it).
    void setLogSink(std::function<void(const EncoderEngine::Event&)> sink);
    // Sends raw bytes to the tool (a byte arriving with nothing waiting, for instance).
    void inject(std::vector<Byte> bytes);
    // Bytes received that were not part of any frame (dropped).
    [[nodiscard]] std::size_t droppedBytes() const;
    // True once a HangUp fault has closed the pty.
    [[nodiscard]] bool hungUp() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace quillmark::sim
