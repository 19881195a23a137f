#pragma once

// A pseudo-terminal standing in for the serial line: the implementation under test opens
// the slave by its path, the benchmark plays the far end on the master.

#include <string>

namespace bench {

class PtyLine {
public:
    PtyLine(); // throws std::system_error
    ~PtyLine();
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    [[nodiscard]] const std::string& slavePath() const { return slavePath_; }
    [[nodiscard]] int master() const { return master_; }

private:
    int master_ = -1;
    int slave_ = -1; // held so the master never sees a hang-up between two opens
    std::string slavePath_;
};

// Writes all of it, retrying on EINTR; false when the line failed.
bool writeAll(int fd, const void* data, std::size_t n);
// Reads exactly n bytes, waiting at most `timeoutMs` for each; false on time-out or failure.
bool readExactly(int fd, void* data, std::size_t n, int timeoutMs);

} // namespace bench
