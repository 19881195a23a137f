#pragma once

// The far end of the line on a thread of its own. It starts only when released, so that
// creating the thread is not counted, and leaves itself out of the allocation count.

#include "latency_stats.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace bench {

class FarEnd {
public:
    // `body` returns an empty string on success, else what went wrong.
    explicit FarEnd(std::function<std::string()> body);
    ~FarEnd();
    FarEnd(const FarEnd&) = delete;
    FarEnd& operator=(const FarEnd&) = delete;

    void go();
    // Waits for the body to end; its CPU time and its failure text.
    Nanos finish(std::string& failure);

private:
    std::mutex mutex_;
    std::condition_variable released_;
    bool go_ = false;
    Nanos cpu_{0};
    std::string failure_;
    std::thread thread_;
};

// The handler's acknowledgement of each byte, for the far end to pace itself by.
class Acknowledgements {
public:
    void post(int index);
    void abort();
    // False when `index` was not acknowledged within the wait (or before an abort).
    [[nodiscard]] bool waitFor(int index, std::chrono::milliseconds wait);

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int acknowledged_ = -1;
    bool aborted_ = false;
};

} // namespace bench
