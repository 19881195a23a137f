#pragma once

// A device behind the platform seam for tests that a pseudo-terminal cannot serve: line
// counters, modem-line and output-drained events, and a log of what the port asked of it.

#include "serial/serial_platform.h"

#include <QByteArray>
#include <QStringList>

#include <memory>

// What the test scripts and reads; lives as long as the test needs it.
struct FakeDevice {
    QStringList calls; // "open <path>", "purge output", "close"...
    int openError = 0;
    quillmark::serial::LineCounters counters;
    int countersError = 0; // how asking for the counters fails (0: it does not)
    int counterReads = 0;
    bool canWatchLines = true;
    quillmark::serial::LineWatch watching; // what the port asked to watch
    int watchStarts = 0;
    QByteArray input;
    QByteArray output;

    // The far end: characters arrive (the event thread sees an edge).
    void arrive(const QByteArray& bytes);
    // A line event the watch reports: counters changed and/or the output queue emptied.
    void lineEvent(bool outputDrained = false);

    int dataFd = -1;   // the port's descriptor while open
    int notifyFd = -1; // the waiter's line descriptor while watching
    bool drained = false;
};

// While alive, every port opened uses a FakePort on `device`.
class FakePortFactory {
public:
    explicit FakePortFactory(std::shared_ptr<FakeDevice> device);

private:
    quillmark::serial::ScopedPlatformPortFactory scope_;
};
