#include "serial/comthread.h"

#include "serial/comport_p.h"

#include <cerrno>
#include <pthread.h>
#include <thread>

using quillmark::serial::ThreadLevel;

namespace {

thread_local TComThread::Shared* currentShared = nullptr;

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
    int wakes = shared.pendingArrival.exchange(false) ? quillmark::serial::wakeData : 0;
    bool hungUp = shared.vanished.exchange(false);
    if (wakes == 0 && !hungUp) {
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
        wakes = (wake.data ? quillmark::serial::wakeData : 0) |
                (wake.line ? quillmark::serial::wakeLine : 0);
    }
    if (hungUp) {
        ReportWaitError(shared, EIO);
        return false;
    }
    if (wakes != 0)
        Deliver(shared, wakes);
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
    shared.handOver.run(fn, shared, argument);
}

void TComThread::Deliver(Shared& shared, int wakes) {
    if (!shared.synchronize) {
        const std::lock_guard lock(shared.dispatching);
        if (!shared.terminate.load())
            shared.port->deliverEvents(shared, wakes);
        return;
    }
    RunOnPortThread(shared, wakes, [](Shared& s, int w) { s.port->deliverEvents(s, w); });
}

void TComThread::ReportWaitError(Shared& shared, int code) {
    RunOnPortThread(shared, code, [](Shared& s, int c) { s.port->handleWaitError(s, c); });
}
