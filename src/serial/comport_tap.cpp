#include "serial/comport_tap.h"

#include "serial/comport_p.h"
#include "serial/serial_platform.h"

#include <QMetaObject>

#include <array>
#include <thread>

namespace quillmark::serial {

void LineTap::bytesMoved(LineDirection direction, LineClock::time_point when,
                         std::span<const std::uint8_t> bytes) noexcept {
    bool announce = false;
    {
        const std::lock_guard lock(mutex_);
        if (pending_.bytes.size() + bytes.size() > kMaxPendingBytes) {
            pending_.dropped += bytes.size();
        } else {
            try {
                pending_.chunks.push_back(
                    {when, direction, static_cast<std::uint32_t>(bytes.size())});
                pending_.bytes.insert(pending_.bytes.end(), bytes.begin(), bytes.end());
            } catch (...) {
                pending_.dropped += bytes.size();
            }
        }
        announce = !announced_;
        announced_ = true;
    }
    if (announce)
        QMetaObject::invokeMethod(this, &LineTap::bytesReady, Qt::QueuedConnection);
}

void LineTap::take(LineBatch& into) {
    into.clear();
    const std::lock_guard lock(mutex_);
    std::swap(into, pending_);
    announced_ = false;
}

} // namespace quillmark::serial

quillmark::serial::LineObserver* TCustomComPort::lineObserver() const {
    return d_->lineObserver_.load();
}

void TCustomComPort::SetLineObserver(quillmark::serial::LineObserver* observer) {
    d_->lineObserver_.store(observer);
    // Paired with tapBytes: a call that counted itself before this store sees the old
    // observer and is waited for; a later one sees the new observer.
    while (d_->observerCalls_.load() != 0)
        std::this_thread::yield();
}

void TCustomComPort::tapBytes(quillmark::LineDirection direction, const std::uint8_t* bytes,
                              std::size_t count) {
    if (count == 0)
        return;
    d_->observerCalls_.fetch_add(1);
    if (auto* observer = d_->lineObserver_.load())
        observer->bytesMoved(direction, quillmark::LineClock::now(), {bytes, count});
    d_->observerCalls_.fetch_sub(1, std::memory_order_release);
}

void TCustomComPort::drainInputToObserver() {
    // The bytes a purge would discard unseen: read them out first, so the monitor shows them.
    std::array<std::uint8_t, 256> buffer{};
    for (;;) {
        const auto got = d_->platform_->readSome(buffer.data(), buffer.size());
        if (got.code != 0 || got.count == 0)
            return;
        d_->bytesPurged_ += got.count;
        tapBytes(quillmark::LineDirection::FromEncoder, buffer.data(), got.count);
        if (got.count < buffer.size())
            return;
    }
}
