#include "serial/comthread.h"

#include "serial/comport.h"

#include <QMetaObject>

#include <cerrno>
#include <pthread.h>
#include <thread>

using quillmark::serial::ThreadLevel;

namespace {

thread_local TComThread::Shared* currentShared = nullptr;

// Qt's queued hand-over is not visible to the race detector (Qt is not instrumented): the
// event thread writes a capture before posting it and the port's thread reads it after, in
// that order, yet the detector cannot see it. Captures are read through this.
template <typename T> __attribute__((noinline, no_sanitize("thread"))) T handedOver(const T* p) {
    return *p;
}

} // namespace

void TComThread::Start(const std::shared_ptr<Shared>& shared) {
    std::thread(&TComThread::Execute, shared).detach();
}

TComThread::Shared* TComThread::Current() {
    return currentShared;
}

void TComThread::Execute(std::shared_ptr<Shared> shared) {
    currentShared = shared.get();
    ::pthread_setname_np(::pthread_self(), "ComThread");
    quillmark::serial::setCurrentThreadLevel(static_cast<ThreadLevel>(shared->level.load()));
    while (!shared->terminate.load() && WaitForEvent(*shared)) {
    }
    currentShared = nullptr;
}

bool TComThread::WaitForEvent(Shared& shared) {
    bool deliver = shared.pendingArrival.exchange(false);
    bool hungUp = shared.vanished.exchange(false);
    if (!deliver && !hungUp) {
        const auto wake = shared.waiter.wait();
        if (shared.terminate.load())
            return false;
        if (wake.poked)
            quillmark::serial::setCurrentThreadLevel(static_cast<ThreadLevel>(shared.level.load()));
        if (wake.failure != 0) {
            ReportWaitError(shared, wake.failure);
            return false;
        }
        hungUp = wake.hungUp;
        deliver = wake.data;
    }
    if (hungUp) {
        ReportWaitError(shared, EIO);
        return false;
    }
    if (deliver)
        Deliver(shared);
    return true;
}

void TComThread::HandOverClose(Shared& shared) {
    RunOnPortThread(shared, 0, [](Shared& s, int) {
        // The handlers that asked for it wait for this call: the port must not wait for them.
        s.closeHandedOver = true;
        s.port->Close();
        s.closeHandedOver = false;
    });
}

void TComThread::RunOnPortThread(Shared& shared, int argument, void (*fn)(Shared&, int)) {
    struct Call {
        Shared* shared; // stays alive: the event thread holds it while it waits
        int argument;
        void (*fn)(Shared&, int);
    };
    const Call capture{&shared, argument, fn};
    // Blocks until the call has run; if the context goes away first the call is dropped and
    // the wait ends all the same.
    QMetaObject::invokeMethod(
        shared.uiContext,
        [capture] {
            const Call call = handedOver(&capture);
            if (!call.shared->terminate.load())
                call.fn(*call.shared, call.argument);
            call.shared->handedBack.fetch_add(1, std::memory_order_release);
        },
        Qt::BlockingQueuedConnection);
    // Pairs with the release above, so that what the call did is ordered before what this
    // thread does next also for the race detector.
    static_cast<void>(shared.handedBack.load(std::memory_order_acquire));
}

void TComThread::Deliver(Shared& shared) {
    if (!shared.synchronize) {
        const std::lock_guard lock(shared.dispatching);
        if (!shared.terminate.load())
            shared.port->deliverEvents(shared);
        return;
    }
    RunOnPortThread(shared, 0, [](Shared& s, int) { s.port->deliverEvents(s); });
}

void TComThread::ReportWaitError(Shared& shared, int code) {
    RunOnPortThread(shared, code, [](Shared& s, int c) { s.port->handleWaitError(s, c); });
}
