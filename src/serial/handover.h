#pragma once

// Hands one call at a time from the event thread to the port's thread and waits for it,
// without touching the heap: an eventfd wakes the port's thread through a socket notifier,
// a semaphore wakes the event thread once the call has run.

#include "core/posix_file.h"
#include "serial/serial_platform.h"

#include <QObject>
#include <QSocketNotifier>

#include <atomic>
#include <semaphore>

namespace quillmark::serial {

struct ThreadShared;

class HandOver {
public:
    using Call = void (*)(ThreadShared&, int);

    HandOver() = default;
    ~HandOver() = default;
    HandOver(const HandOver&) = delete;
    HandOver& operator=(const HandOver&) = delete;

    [[nodiscard]] OsResult create();
    [[nodiscard]] int descriptor() const { return fd_.get(); }
    // Event thread: runs call on the port's thread and waits for it. Returns at once, without
    // the call, once the port has stopped the hand-over.
    void run(Call call, ThreadShared& shared, int argument);
    // Port's thread, when the descriptor is readable: runs the call handed over, if any.
    void serve();
    // Port's thread: no call runs from now on and a waiting event thread is released. True
    // when called from inside a call, which then releases it when it returns.
    [[nodiscard]] bool stop();

private:
    enum class State { idle, posted, running, stopped };
    void finish();

    std::atomic<State> state_{State::idle};
    // Written by the event thread before it posts, read by the port's thread after.
    Call call_ = nullptr;
    ThreadShared* shared_ = nullptr;
    int argument_ = 0;
    std::binary_semaphore done_{0};
    posix::UniqueFd fd_;
};

// Watches a hand-over's descriptor on the port's thread, where it is created.
class HandOverRelay final : public QObject {
public:
    explicit HandOverRelay(HandOver& handOver);
    // The hand-over may be gone after this: the relay no longer looks at it.
    void detach();

private:
    QSocketNotifier notifier_;
};

} // namespace quillmark::serial
