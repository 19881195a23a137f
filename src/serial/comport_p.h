#pragma once

// The private state of TCustomComPort, shared by the files that implement it.

#include "serial/comport.h"
#include "serial/handover.h"
#include "serial/process_priority.h"
#include "serial/serial_platform.h"

#include <array>
#include <atomic>
#include <memory>

struct TCustomComPort::Private {
    explicit Private(TCustomComPort& port)
        : flowControl_(std::make_unique<TFlowControl>(port)),
          characters_(std::make_unique<TCharacters>(port)),
          bufferSizes_(std::make_unique<TBufferSizes>(port)),
          timeouts_(std::make_unique<TTimeouts>(port)) {}

    struct Transfer {
        std::uint8_t* buffer = nullptr;
        std::size_t length = 0;
        std::size_t done = 0;
        std::optional<std::chrono::steady_clock::time_point> deadline;
        bool outstanding = false;
    };

    std::unique_ptr<quillmark::serial::PlatformPort> platform_;
    std::shared_ptr<ThreadShared> thread_;
    // Runs the event thread's calls; lives on the port's thread, as long as thread_.
    std::unique_ptr<quillmark::serial::HandOverRelay> relay_;
    std::string deviceName_ = "COM1";
    TBaudRate baudRate_ = brDefault;
    int customBaudRate_ = 0;
    TDataBits dataBits_ = dbDefault;
    TParity parity_ = paDefault;
    TStopBits stopBits_ = sbDefault;
    TOptions options_ = 0;
    TPriorityClass priorityClass_ = pcDefault;
    bool synchronizeEvents_ = true;
    TThreadPriority threadPriority_ = tpTimeCritical;
    bool storedActive_ = false;
    bool loading_ = false;
    std::unique_ptr<TFlowControl> flowControl_;
    std::unique_ptr<TCharacters> characters_;
    std::unique_ptr<TBufferSizes> bufferSizes_;
    std::unique_ptr<TTimeouts> timeouts_;
    std::array<TNotifyEvent, nsCount> notify_;
    TLineErrorEvent onLineError_;
    quillmark::serial::ProcessPriority priority_;
    int lastWaitError_ = 0;
    quillmark::serial::LineWatch watching_; // what the platform's line watch was asked for
    bool lineCountersUnsupported_ = false;  // the open device has no counters nor TIOCMIWAIT
    Transfer read_;
    std::uint64_t bytesRead_ = 0;
    std::uint64_t bytesPurged_ = 0;
    std::atomic<quillmark::serial::LineObserver*> lineObserver_{nullptr};
    std::atomic<int> observerCalls_{0};            // calls to the observer under way, on any thread
    quillmark::serial::LineCounters lineCounters_; // as the last CheckLineErrors saw them
    quillmark::serial::LineCounters eventCounters_; // as the last delivery saw them
};

inline bool TCustomComPort::tapping() const {
    return d_->lineObserver_.load(std::memory_order_relaxed) != nullptr;
}
