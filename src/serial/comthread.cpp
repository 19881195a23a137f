#include "serial/comthread.h"

#include "serial/comport.h"

#include <QMetaObject>

#include <pthread.h>
#include <thread>

using quillmark::serial::ThreadLevel;

namespace {
thread_local TComThread::Shared* currentShared = nullptr;
}

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

template <typename F> void TComThread::RunOnPortThread(Shared& shared, F fn) {
    // Blocks until fn has run; if the context goes away first the call is dropped and the
    // wait ends all the same.
    QMetaObject::invokeMethod(shared.uiContext, fn, Qt::BlockingQueuedConnection);
}

void TComThread::Deliver(Shared& shared) {
    if (!shared.synchronize) {
        if (!shared.terminate.load())
            shared.port->deliverEvents(shared);
        return;
    }
    Shared* s = &shared; // stays alive: this thread holds it while it waits
    RunOnPortThread(shared, [s] {
        if (!s->terminate.load())
            s->port->deliverEvents(*s);
    });
}

void TComThread::ReportWaitError(Shared& shared, int code) {
    Shared* s = &shared;
    RunOnPortThread(shared, [s, code] {
        if (!s->terminate.load())
            s->port->handleWaitError(*s, code);
    });
}
