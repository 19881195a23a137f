#pragma once

// ser2net started for one test: bridges a device path (a pseudo-terminal) to a TCP port
// on 127.0.0.1, raw or Telnet with RFC 2217, from a configuration the harness writes.

#include <cstdint>
#include <filesystem>
#include <string>
#include <sys/types.h>

namespace quillmark::testing {

class Ser2NetServer {
public:
    enum class Mode { RawTcp, Rfc2217 };

    // `lineSettings` is the device's setting at each connection, in ser2net's form.
    Ser2NetServer(std::string device, Mode mode, std::string lineSettings = "9600n81");
    ~Ser2NetServer();
    Ser2NetServer(const Ser2NetServer&) = delete;
    Ser2NetServer& operator=(const Ser2NetServer&) = delete;

    [[nodiscard]] static bool installed();
    // A connection option for the next start, e.g. ("chardelay", "false").
    void setOption(const std::string& name, const std::string& value);
    // Starts on a free port and waits until it listens; throws std::runtime_error.
    void start();
    // SIGTERM, then waits for the process.
    void stop();
    // SIGKILL: the connections end at once.
    void kill();

    [[nodiscard]] std::uint16_t port() const { return port_; }
    // The port entry's first line, e.g. "rfc2217://127.0.0.1:40123".
    [[nodiscard]] std::string entry() const;
    // Writes entry() as <dir>/<name>, replacing whatever is there.
    void writeEntry(const std::filesystem::path& dir, const std::string& name) const;

private:
    [[nodiscard]] bool listening() const;

    std::string device_;
    Mode mode_;
    std::string lineSettings_;
    std::string options_;
    std::filesystem::path workDir_;
    std::uint16_t port_ = 0;
    pid_t pid_ = -1;
};

// A port number on 127.0.0.1 that nothing listens on at the moment of the call.
[[nodiscard]] std::uint16_t freeLoopbackPort();

} // namespace quillmark::testing
