#include "serial/serial_line_watch.h"

#include "core/posix_file.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <linux/serial.h>
#include <mutex>
#include <pthread.h>
#include <semaphore>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

using namespace std::chrono_literals;
using quillmark::posix::UniqueFd;

namespace quillmark::serial {

namespace {

// Interrupts a blocked ioctl: installed without SA_RESTART, the call returns EINTR.
[[nodiscard]] int interruptSignal() {
    static const int signal = SIGRTMIN + 4;
    static std::once_flag installed;
    std::call_once(installed, [] {
        struct sigaction action {};
        action.sa_handler = [](int) {};
        sigemptyset(&action.sa_mask);
        ::sigaction(signal, &action, nullptr);
    });
    return signal;
}

// A thread inherits its creator's mask, which may block the signal (sigwait users).
void acceptInterruptSignal() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, interruptSignal());
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

[[nodiscard]] UniqueFd duplicate(int fd) {
    return UniqueFd(fd < 0 ? -1 : ::fcntl(fd, F_DUPFD_CLOEXEC, 0));
}

int ttyModemCounts(int fd, std::array<int, 4>& counts) {
    serial_icounter_struct icount{};
    if (::ioctl(fd, TIOCGICOUNT, &icount) < 0)
        return -1;
    counts = {icount.cts, icount.dsr, icount.rng, icount.dcd};
    return 0;
}

int ttyWaitModemChange(int fd) {
    return ::ioctl(fd, TIOCMIWAIT, TIOCM_RNG | TIOCM_DSR | TIOCM_CD | TIOCM_CTS);
}

int ttyDrainOutput(int fd) {
    return ::tcdrain(fd);
}

} // namespace

LineWaits ttyLineWaits() {
    return {ttyModemCounts, ttyWaitModemChange, ttyDrainOutput};
}

// Shared with the threads, so that one left in a wait outlives the watcher safely.
struct LineWatcher::State {
    UniqueFd fd;
    UniqueFd notifyFd;
    LineWaits waits{};
    std::atomic<bool> stopping{false};
    std::atomic<bool> writePending{false};
    std::atomic<bool> drained{false};
    std::binary_semaphore modemEnded{0};
    std::binary_semaphore outputEnded{0};

    void notify() const {
        if (stopping)
            return;
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(notifyFd.get(), &one, sizeof one);
    }
    void watchModemLines();
    void watchOutput();
};

namespace {

// Interrupts the thread's wait until it reports its end, within the stop time; a wait
// that ignores signals is left to end on its own.
void end(std::thread& thread, std::binary_semaphore& endedSignal) {
    if (!thread.joinable())
        return;
    const auto giveUp = std::chrono::steady_clock::now() + LineWatcher::kStopWait;
    // A signal that lands just before the thread blocks is lost: it is sent again.
    bool ended = false;
    do {
        ::pthread_kill(thread.native_handle(), interruptSignal());
        ended = endedSignal.try_acquire_for(2ms);
    } while (!ended && std::chrono::steady_clock::now() < giveUp);
    if (ended)
        thread.join();
    else
        thread.detach();
}

} // namespace

LineWatcher::LineWatcher(int deviceFd, int notifyFd, LineWaits waits)
    : state_(std::make_shared<State>()) {
    state_->fd = duplicate(deviceFd);
    state_->notifyFd = duplicate(notifyFd);
    state_->waits = waits;
}

OsResult LineWatcher::start(LineWatch what) {
    (void)interruptSignal(); // installed before any thread could be signalled
    OsResult result;
    std::array<int, 4> counts{};
    if (what.modemLines) {
        if (state_->waits.modemCounts(state_->fd.get(), counts) == 0)
            modem_ = std::thread([s = state_] { s->watchModemLines(); });
        else
            result = OsResult{errno == 0 ? ENOTTY : errno};
    }
    if (what.outputDrained)
        output_ = std::thread([s = state_] { s->watchOutput(); });
    return result;
}

void LineWatcher::stop() {
    state_->stopping = true;
    state_->writePending = true;
    state_->writePending.notify_all();
    end(modem_, state_->modemEnded);
    end(output_, state_->outputEnded);
}

void LineWatcher::noteWrite() {
    if (!output_.joinable() || state_->writePending.exchange(true))
        return;
    state_->writePending.notify_one();
}

bool LineWatcher::takeDrained() {
    return state_->drained.exchange(false);
}

// The kernel compares with its own snapshot taken as the wait begins, so a change between two
// waits shows only in the counters: they are compared before every wait.
void LineWatcher::State::watchModemLines() {
    ::pthread_setname_np(::pthread_self(), "ModemWatch");
    acceptInterruptSignal();
    std::array<int, 4> seen{};
    bool ok = waits.modemCounts(fd.get(), seen) == 0;
    while (ok && !stopping) {
        std::array<int, 4> now{};
        ok = waits.modemCounts(fd.get(), now) == 0;
        if (ok && now != seen) {
            seen = now;
            notify();
            continue;
        }
        if (ok && waits.waitModemChange(fd.get()) < 0 && errno != EINTR)
            ok = false; // the device has gone
    }
    modemEnded.release();
}

void LineWatcher::State::watchOutput() {
    ::pthread_setname_np(::pthread_self(), "OutputWatch");
    acceptInterruptSignal();
    while (!stopping) {
        writePending.wait(false);
        if (stopping)
            break;
        writePending = false;
        int rc = 0;
        do
            rc = waits.drainOutput(fd.get());
        while (rc < 0 && errno == EINTR && !stopping);
        if (stopping || rc < 0)
            break;
        // Bytes written while it drained are waited for first.
        if (!writePending) {
            drained = true;
            notify();
        }
    }
    outputEnded.release();
}

} // namespace quillmark::serial
