#include "serial/handover.h"

#include <cerrno>
#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

namespace quillmark::serial {

OsResult HandOver::create() {
    fd_.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    return {fd_.valid() ? 0 : errno};
}

void HandOver::run(Call call, ThreadShared& shared, int argument) {
    call_ = call;
    shared_ = &shared;
    argument_ = argument;
    State expected = State::idle;
    if (!state_.compare_exchange_strong(expected, State::posted))
        return; // stopped: nobody would run it
    const std::uint64_t one = 1;
    const ssize_t written =
        posix::retryOnInterrupt([&] { return ::write(fd_.get(), &one, sizeof one); });
    expected = State::posted;
    if (written < 0 && state_.compare_exchange_strong(expected, State::idle))
        return; // the port's thread cannot be woken; it has not taken the call either
    done_.acquire();
}

void HandOver::serve() {
    std::uint64_t count = 0;
    static_cast<void>(::read(fd_.get(), &count, sizeof count));
    State expected = State::posted;
    if (!state_.compare_exchange_strong(expected, State::running))
        return;
    call_(*shared_, argument_);
    finish();
}

void HandOver::finish() {
    State expected = State::running;
    // Stopped during the call: stays stopped, and the waiter is released here all the same.
    static_cast<void>(state_.compare_exchange_strong(expected, State::idle));
    done_.release();
}

bool HandOver::stop() {
    const State was = state_.exchange(State::stopped);
    if (was == State::posted)
        done_.release();
    return was == State::running;
}

HandOverRelay::HandOverRelay(HandOver& handOver)
    : notifier_(handOver.descriptor(), QSocketNotifier::Read) {
    connect(&notifier_, &QSocketNotifier::activated, this, [&handOver] { handOver.serve(); });
}

void HandOverRelay::detach() {
    notifier_.setEnabled(false);
    notifier_.disconnect(this);
}

} // namespace quillmark::serial
