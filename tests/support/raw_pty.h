#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>

// A bare pseudo-terminal for tests that only need a port that opens and a way to see
// the bytes written to it (no encoder behind it).
class RawPty {
public:
    RawPty();
    ~RawPty();
    RawPty(const RawPty&) = delete;
    RawPty& operator=(const RawPty&) = delete;

    [[nodiscard]] QString slavePath() const { return slavePath_; }
    // Everything that arrives within the wait, read from the master side.
    [[nodiscard]] QByteArray readAvailable(std::chrono::milliseconds wait);
    void write(const QByteArray& bytes);

private:
    int master_ = -1;
    int slave_ = -1; // held open so the master never sees a hang-up between opens
    QString slavePath_;
};
