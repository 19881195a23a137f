#pragma once

// A tap on the serial line: TComPort hands every byte it writes or reads to an attached
// observer. LineTap is the observer the windows use: it collects bytes from whichever thread
// moves them and announces them to its own thread once per batch, never once per byte.

#include "core/line_direction.h"

#include <QObject>

#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

namespace quillmark::serial {

class LineObserver {
public:
    // Runs on the thread that moved the bytes, right after they moved; must return quickly.
    virtual void bytesMoved(LineDirection direction, LineClock::time_point when,
                            std::span<const std::uint8_t> bytes) noexcept = 0;

protected:
    ~LineObserver() = default;
};

struct LineChunk {
    LineClock::time_point when;
    LineDirection direction = LineDirection::ToEncoder;
    std::uint32_t length = 0; // its bytes follow the previous chunk's in LineBatch::bytes
};

struct LineBatch {
    std::vector<LineChunk> chunks;
    std::vector<std::uint8_t> bytes;
    std::uint64_t dropped = 0; // bytes lost because the taker fell too far behind

    void clear() {
        chunks.clear();
        bytes.clear();
        dropped = 0;
    }
};

class LineTap final : public QObject, public LineObserver {
    Q_OBJECT
public:
    // Beyond this many bytes waiting, further bytes are counted, not kept.
    static constexpr std::size_t kMaxPendingBytes = std::size_t{1} << 20;

    explicit LineTap(QObject* parent = nullptr) : QObject(parent) {}

    void bytesMoved(LineDirection direction, LineClock::time_point when,
                    std::span<const std::uint8_t> bytes) noexcept override;
    // Moves what arrived since the last call into `into` (cleared first), on the tap's
    // thread; the buffers are swapped, so capacity is reused from batch to batch.
    void take(LineBatch& into);

signals:
    // Bytes are waiting; at most one announcement is queued until take() runs.
    void bytesReady();

private:
    std::mutex mutex_;
    LineBatch pending_;
    bool announced_ = false;
};

} // namespace quillmark::serial
