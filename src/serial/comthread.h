#pragma once

// The event thread: waits for "characters arrived" on the device and hands each
// notification to the port's thread. It shares only ThreadShared with the port.

#include "serial/handover.h"
#include "serial/serial_platform.h"

#include <atomic>
#include <memory>
#include <mutex>

class TCustomComPort;

namespace quillmark::serial {

// What woke the event thread, handed to the delivery.
enum Wakes : int { wakeData = 1, wakeLine = 2 };

struct ThreadShared {
    // Set by the port (on its own thread) when it stops the thread; from then on the thread
    // never touches the port again.
    std::atomic<bool> terminate{false};
    // Found by a delivery: characters arrived while the handlers ran, or the device went.
    std::atomic<bool> pendingArrival{false};
    std::atomic<bool> vanished{false};
    std::atomic<int> level{0}; // ThreadLevel to apply at the next poke
    EventWaiter waiter;
    HandOver handOver;              // runs calls on the port's thread
    TCustomComPort* port = nullptr; // dereferenced only on the port's thread, unless terminate
    bool synchronize = true;
    // Held while handlers run on the event thread (no synchronisation): the port is not
    // destroyed under them.
    std::mutex dispatching;
    // Set on the port's thread while it runs a Close handed over by those handlers.
    bool closeHandedOver = false;
};

} // namespace quillmark::serial

class TComThread {
public:
    using Shared = quillmark::serial::ThreadShared;

    // Creates the detached thread; it frees its share of the state when its loop ends.
    static void Start(const std::shared_ptr<Shared>& shared);
    // The shared state of the event thread running the caller, or null.
    [[nodiscard]] static Shared* Current();
    // Runs the port's Close on the port's thread and waits for it.
    static void HandOverClose(Shared& shared);

private:
    static void Execute(std::shared_ptr<Shared> shared);
    // One cycle; false when the loop must end.
    [[nodiscard]] static bool WaitForEvent(Shared& shared);
    static void Deliver(Shared& shared, int wakes);
    static void ReportWaitError(Shared& shared, int code);
    // Runs fn on the port's thread, unless the port stopped this thread, and waits for it.
    static void RunOnPortThread(Shared& shared, int argument, void (*fn)(Shared&, int));
};
