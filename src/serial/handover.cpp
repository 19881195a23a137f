#include "serial/handover.h"

#include <cerrno>
#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

namespace quillmark::serial {

HandOver::~HandOver() {
    if (fd_ >= 0)
        ::close(fd_);
}

OsResult HandOver::create() {
    fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    return {fd_ < 0 ? errno : 0};
}

void HandOver::run(Call call, ThreadShared& shared, int argument) {
    call_ = call;
    shared_ = &shared;
    argument_ = argument;
    State expected = State::idle;
    if (!state_.compare_exchange_strong(expected, State::posted))
        return; // stopped: nobody would run it
    const std::uint64_t one = 1;
    ssize_t written = 0;
    do
        written = ::write(fd_, &one, sizeof one);
    while (written < 0 && errno == EINTR);
    expected = State::posted;
    if (written < 0 && state_.compare_exchange_strong(expected, State::idle))
        return; // the port's thread cannot be woken; it has not taken the call either
    done_.acquire();
}

void HandOver::serve() {
    std::uint64_t count = 0;
    static_cast<void>(::read(fd_, &count, sizeof count));
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
