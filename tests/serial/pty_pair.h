#pragma once

// A pseudo-terminal for the serial tests: the port opens the slave side by its path, the
// test plays the far end on the master side.

#include <QByteArray>

#include <chrono>
#include <string>

class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    [[nodiscard]] const std::string& slavePath() const { return slavePath_; }
    // A descriptor of the slave held by the test: the tty's settings are read through it.
    [[nodiscard]] int slave() const { return slave_; }
    [[nodiscard]] int master() const { return master_; }

    void send(const QByteArray& bytes);
    // Reads until `count` bytes came or the wait is over.
    [[nodiscard]] QByteArray receive(int count, std::chrono::milliseconds wait);
    // The far end hangs up.
    void closeMaster();

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};

// Process-wide resource counts, to show that nothing is left behind.
[[nodiscard]] int openDescriptorCount();
[[nodiscard]] int threadCount();
// The kernel id of this process's thread with that name, or -1.
[[nodiscard]] int threadIdNamed(const char* name);
// User plus system CPU time of one thread of this process, in clock ticks.
[[nodiscard]] long threadCpuTicks(int tid);
// The nice value of one thread of this process.
[[nodiscard]] int threadNice(int tid);
