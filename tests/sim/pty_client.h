#pragma once

// The tool's end of the line for tests: opens a slave in raw mode and talks bytes.

#include <QByteArray>

#include <chrono>
#include <string>

class PtyClient {
public:
    explicit PtyClient(const std::string& path);
    ~PtyClient();
    PtyClient(const PtyClient&) = delete;
    PtyClient& operator=(const PtyClient&) = delete;

    [[nodiscard]] bool isOpen() const { return fd_ >= 0; }
    void send(const QByteArray& bytes);
    // Reads until `count` bytes have come or `wait` has passed.
    [[nodiscard]] QByteArray receive(int count, std::chrono::milliseconds wait);
    // Everything that arrives within `wait`.
    [[nodiscard]] QByteArray receiveFor(std::chrono::milliseconds wait) {
        return receive(1 << 20, wait);
    }
    // True when the line reports a hang-up within `wait`.
    [[nodiscard]] bool hungUp(std::chrono::milliseconds wait);
    void close();

private:
    int fd_ = -1;
};
