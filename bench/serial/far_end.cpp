#include "far_end.h"

#include "alloc_counter.h"
#include "proc_stats.h"

namespace bench {

FarEnd::FarEnd(std::function<std::string()> body)
    : thread_([this, body = std::move(body)] {
          excludeThisThreadFromCount();
          {
              std::unique_lock lock(mutex_);
              released_.wait(lock, [this] { return go_; });
          }
          const Nanos start = threadCpuTime();
          std::string failure = body();
          const Nanos used = threadCpuTime() - start;
          std::lock_guard lock(mutex_);
          cpu_ = used;
          failure_ = std::move(failure);
      }) {}

FarEnd::~FarEnd() {
    if (thread_.joinable()) {
        go();
        thread_.join();
    }
}

void FarEnd::go() {
    {
        std::lock_guard lock(mutex_);
        go_ = true;
    }
    released_.notify_one();
}

Nanos FarEnd::finish(std::string& failure) {
    thread_.join();
    std::lock_guard lock(mutex_);
    failure = failure_;
    return cpu_;
}

void Acknowledgements::post(int index) {
    {
        std::lock_guard lock(mutex_);
        acknowledged_ = index;
    }
    changed_.notify_one();
}

void Acknowledgements::abort() {
    {
        std::lock_guard lock(mutex_);
        aborted_ = true;
    }
    changed_.notify_one();
}

bool Acknowledgements::waitFor(int index, std::chrono::milliseconds wait) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, wait, [&] { return acknowledged_ >= index || aborted_; });
    return acknowledged_ >= index;
}

} // namespace bench
