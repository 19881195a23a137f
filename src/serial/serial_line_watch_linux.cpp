#include "serial/serial_line_watch.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <linux/serial.h>
#include <mutex>
#include <pthread.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

using namespace std::chrono_literals;

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

[[nodiscard]] bool modemCounts(int fd, std::array<int, 4>& counts) {
    serial_icounter_struct icount{};
    if (::ioctl(fd, TIOCGICOUNT, &icount) < 0)
        return false;
    counts = {icount.cts, icount.dsr, icount.rng, icount.dcd};
    return true;
}

} // namespace

OsResult LineWatcher::start(LineWatch what) {
    (void)interruptSignal(); // installed before any thread could be signalled
    OsResult result;
    std::array<int, 4> counts{};
    if (what.modemLines) {
        if (modemCounts(fd_, counts))
            modem_.thread = std::thread(&LineWatcher::watchModemLines, this);
        else
            result = OsResult{errno == 0 ? ENOTTY : errno};
    }
    if (what.outputDrained)
        output_.thread = std::thread(&LineWatcher::watchOutput, this);
    return result;
}

void LineWatcher::stop() {
    stopping_ = true;
    writePending_ = true;
    writePending_.notify_all();
    end(modem_);
    end(output_);
}

void LineWatcher::end(Waiter& waiter) {
    if (!waiter.thread.joinable())
        return;
    // A signal that lands just before the thread blocks is lost: send it until it has ended.
    do
        ::pthread_kill(waiter.thread.native_handle(), interruptSignal());
    while (!waiter.ended.try_acquire_for(2ms));
    waiter.thread.join();
}

void LineWatcher::noteWrite() {
    if (!output_.thread.joinable() || writePending_.exchange(true))
        return;
    writePending_.notify_one();
}

void LineWatcher::notify() const {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(notifyFd_, &one, sizeof one);
}

// The kernel compares with its own snapshot taken as the wait begins, so a change between two
// waits shows only in the counters: they are compared before every wait.
void LineWatcher::watchModemLines() {
    ::pthread_setname_np(::pthread_self(), "ModemWatch");
    std::array<int, 4> seen{};
    bool ok = modemCounts(fd_, seen);
    while (ok && !stopping_) {
        std::array<int, 4> now{};
        ok = modemCounts(fd_, now);
        if (ok && now != seen) {
            seen = now;
            notify();
            continue;
        }
        const int lines = TIOCM_RNG | TIOCM_DSR | TIOCM_CD | TIOCM_CTS;
        if (ok && ::ioctl(fd_, TIOCMIWAIT, lines) < 0 && errno != EINTR)
            ok = false; // the device has gone
    }
    modem_.ended.release();
}

void LineWatcher::watchOutput() {
    ::pthread_setname_np(::pthread_self(), "OutputWatch");
    while (!stopping_) {
        writePending_.wait(false);
        if (stopping_)
            break;
        writePending_ = false;
        int rc = 0;
        do
            rc = ::tcdrain(fd_);
        while (rc < 0 && errno == EINTR && !stopping_);
        if (stopping_ || rc < 0)
            break;
        // Bytes written while it drained are waited for first.
        if (!writePending_) {
            drained_ = true;
            notify();
        }
    }
    output_.ended.release();
}

} // namespace quillmark::serial
