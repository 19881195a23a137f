#pragma once

// A scripted peer on 127.0.0.1 for the cases ser2net cannot show: a server that never
// answers, one that sends only negotiation, one that drops the connection.

#include <chrono>
#include <cstdint>
#include <vector>

class FakeServer {
public:
    FakeServer();
    ~FakeServer();
    FakeServer(const FakeServer&) = delete;
    FakeServer& operator=(const FakeServer&) = delete;

    [[nodiscard]] std::uint16_t port() const { return port_; }
    // Waits for the client's connection; false when none came in time.
    [[nodiscard]] bool accept(std::chrono::milliseconds timeout = std::chrono::seconds(5));
    void send(const std::vector<std::uint8_t>& bytes);
    // Everything received within the time.
    [[nodiscard]] std::vector<std::uint8_t> receive(std::chrono::milliseconds time);
    void drop();

private:
    int listener_ = -1;
    int peer_ = -1;
    std::uint16_t port_ = 0;
};

// Holds a listener whose accept queue is full, so that a further connection attempt gets
// no answer at all: an unreachable server that stays on this machine.
class FullListener {
public:
    FullListener();
    ~FullListener();
    FullListener(const FullListener&) = delete;
    FullListener& operator=(const FullListener&) = delete;
    [[nodiscard]] std::uint16_t port() const { return port_; }

private:
    int listener_ = -1;
    std::vector<int> fillers_;
    std::uint16_t port_ = 0;
};
