#include "serial_peer.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QSocketNotifier>

#include <libserialport.h>
#include <pthread.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <stdexcept>
#include <thread>

namespace bench {
namespace {

void check(sp_return result, const char* what) {
    if (result < 0)
        throw std::runtime_error(std::string("libserialport: ") + what + " failed (" +
                                 std::to_string(result) + ")");
}

// The port itself; subclasses choose how arrivals reach the UI thread.
class LibSerialPort : public SerialPeer {
public:
    ~LibSerialPort() override { closePort(); }

    void open(const PtyLine& line) override {
        check(sp_get_port_by_name(sysfsVisibleName(line).c_str(), &port_), "sp_get_port_by_name");
        check(sp_open(port_, SP_MODE_READ_WRITE), "sp_open");
        check(sp_set_baudrate(port_, 2400), "sp_set_baudrate");
        check(sp_set_bits(port_, 8), "sp_set_bits");
        check(sp_set_parity(port_, SP_PARITY_NONE), "sp_set_parity");
        check(sp_set_stopbits(port_, 1), "sp_set_stopbits");
        check(sp_set_flowcontrol(port_, SP_FLOWCONTROL_NONE), "sp_set_flowcontrol");
        startNotifying(line);
    }
    void close() override {
        stopNotifying();
        closePort();
    }
    [[nodiscard]] int available() override { return sp_input_waiting(port_); }
    [[nodiscard]] std::uint8_t readByte() override {
        std::uint8_t b = 0;
        if (sp_blocking_read(port_, &b, 1, 1000) != 1)
            throw std::runtime_error("libserialport: read timed out");
        return b;
    }
    void write(const std::uint8_t* data, std::size_t n) override {
        if (sp_nonblocking_write(port_, data, n) != static_cast<int>(n))
            throw std::runtime_error("libserialport: short write");
    }

protected:
    virtual void startNotifying(const PtyLine& line) = 0;
    virtual void stopNotifying() = 0;
    [[nodiscard]] sp_port* port() const { return port_; }

private:
    void closePort() {
        if (port_ == nullptr) {
            removeLink();
            return;
        }
        sp_close(port_);
        sp_free_port(port_);
        port_ = nullptr;
        removeLink();
    }

    // libserialport takes only names whose /sys/class/tty/<name> is a symbolic link, which
    // pseudo-terminals do not have: a link of our own to the slave, named from /dev so that
    // both the check and the open reach it.
    std::string sysfsVisibleName(const PtyLine& line) {
        std::array<char, 32> dir{"/tmp/bench-sp-XXXXXX"};
        if (::mkdtemp(dir.data()) == nullptr)
            throw std::runtime_error("libserialport: cannot make a folder for the link");
        linkDir_ = dir.data();
        const std::string link = linkDir_ + "/pty";
        if (::symlink(line.slavePath().c_str(), link.c_str()) != 0)
            throw std::runtime_error("libserialport: cannot link the pty");
        return "/dev/../../.." + link;
    }
    void removeLink() {
        if (linkDir_.empty())
            return;
        ::unlink((linkDir_ + "/pty").c_str());
        ::rmdir(linkDir_.c_str());
        linkDir_.clear();
    }

    sp_port* port_ = nullptr;
    std::string linkDir_;
};

class LibSerialPortThread final : public LibSerialPort {
public:
    ~LibSerialPortThread() override { stopNotifying(); }
    [[nodiscard]] std::string name() const override { return "libserialport (sp_wait thread)"; }
    [[nodiscard]] std::string drivenBy() const override {
        return "thread in sp_wait(RX_READY) -> BlockingQueuedConnection handler, "
               "sp_blocking_read/sp_nonblocking_write";
    }

protected:
    void startNotifying(const PtyLine& line) override {
        check(sp_new_event_set(&events_), "sp_new_event_set");
        check(sp_add_port_events(events_, port(), SP_EVENT_RX_READY), "sp_add_port_events");
        master_ = line.master();
        stop_ = false;
        finished_ = false;
        thread_ = std::thread([this] { waitLoop(); });
    }
    void stopNotifying() override {
        if (!thread_.joinable())
            return;
        stop_ = true;
        // sp_wait has no wake-up of its own: a byte from the far end ends the wait.
        const std::uint8_t wake = 0;
        writeAll(master_, &wake, 1);
        // The thread may be blocked handing a notification to this very thread.
        while (!finished_)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        thread_.join();
        sp_free_event_set(events_);
        events_ = nullptr;
    }

private:
    void waitLoop() {
        ::pthread_setname_np(::pthread_self(), "SpWait");
        while (!stop_ && sp_wait(events_, 0) >= 0 && !stop_)
            QMetaObject::invokeMethod(
                QCoreApplication::instance(), [this] { arrived(); }, Qt::BlockingQueuedConnection);
        finished_ = true;
    }

    sp_event_set* events_ = nullptr;
    int master_ = -1;
    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

class LibSerialPortNotifier final : public LibSerialPort {
public:
    [[nodiscard]] std::string name() const override { return "libserialport (QSocketNotifier)"; }
    [[nodiscard]] std::string drivenBy() const override {
        return "QSocketNotifier(Read) on sp_get_port_handle, "
               "sp_blocking_read/sp_nonblocking_write";
    }

protected:
    void startNotifying(const PtyLine&) override {
        int fd = -1;
        check(sp_get_port_handle(port(), &fd), "sp_get_port_handle");
        notifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                         [this] { arrived(); });
    }
    void stopNotifying() override { notifier_.reset(); }

private:
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace

std::unique_ptr<SerialPeer> makeLibSerialPortThread() {
    return std::make_unique<LibSerialPortThread>();
}

std::unique_ptr<SerialPeer> makeLibSerialPortNotifier() {
    return std::make_unique<LibSerialPortNotifier>();
}

} // namespace bench
