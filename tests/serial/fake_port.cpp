#include "fake_port.h"

#include <cerrno>
#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

using namespace quillmark::serial;

namespace {

void signal(int fd) {
    const std::uint64_t one = 1;
    if (fd >= 0)
        [[maybe_unused]] const ssize_t n = ::write(fd, &one, sizeof one);
}

class FakePort final : public PlatformPort {
public:
    explicit FakePort(std::shared_ptr<FakeDevice> device) : device_(std::move(device)) {}
    ~FakePort() override { close(); }

    [[nodiscard]] bool isOpen() const override { return fd_ >= 0; }
    [[nodiscard]] int descriptor() const override { return fd_; }

    OsResult open(const std::string& path) override {
        device_->calls << QString::fromStdString("open " + path);
        if (device_->openError != 0)
            return OsResult{device_->openError};
        fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        device_->dataFd = fd_;
        return {};
    }
    void close() override {
        if (fd_ < 0)
            return;
        stopLineWatch();
        device_->calls << "close";
        ::close(fd_);
        fd_ = device_->dataFd = -1;
    }
    OsResult purge(bool input, bool output) override {
        if (input) {
            device_->calls << "purge input";
            device_->input.clear();
        }
        if (output)
            device_->calls << "purge output";
        return {};
    }
    OsResult applyLineSettings(const LineSettings&) override { return {}; }
    IoResult readSome(void* buffer, std::size_t length) override {
        const auto n = std::min<std::size_t>(length, std::size_t(device_->input.size()));
        std::copy_n(device_->input.constData(), n, static_cast<char*>(buffer));
        device_->input.remove(0, qsizetype(n));
        return IoResult{n, 0};
    }
    IoResult writeSome(const void* buffer, std::size_t length) override {
        device_->output.append(static_cast<const char*>(buffer), qsizetype(length));
        return IoResult{length, 0};
    }
    WaitOutcome waitReadable(Deadline, int&) override {
        return device_->input.isEmpty() ? WaitOutcome::TimedOut : WaitOutcome::Ready;
    }
    WaitOutcome waitWritable(Deadline, int&) override { return WaitOutcome::Ready; }
    OsResult inputQueue(int& count) const override {
        count = int(device_->input.size());
        return {};
    }
    OsResult outputQueue(int& count) const override {
        count = 0;
        return {};
    }
    OsResult modemLines(ModemLines& lines) const override {
        lines = {};
        return {};
    }
    OsResult lineCounters(LineCounters& counters) const override {
        ++device_->counterReads;
        counters = device_->counters;
        return OsResult{device_->countersError};
    }
    OsResult startLineWatch(LineWatch what, int notifyFd) override {
        if (!device_->canWatchLines)
            return OsResult{ENOTTY};
        device_->watching = what;
        ++device_->watchStarts;
        device_->notifyFd = notifyFd;
        return {};
    }
    void stopLineWatch() override {
        device_->watching = {};
        device_->notifyFd = -1;
    }
    bool takeOutputDrained() override { return std::exchange(device_->drained, false); }

private:
    std::shared_ptr<FakeDevice> device_;
    int fd_ = -1;
};

} // namespace

void FakeDevice::arrive(const QByteArray& bytes) {
    input += bytes;
    signal(dataFd);
}

void FakeDevice::lineEvent(bool outputDrained) {
    drained = drained || outputDrained;
    signal(notifyFd);
}

FakePortFactory::FakePortFactory(std::shared_ptr<FakeDevice> device)
    : scope_([device](const std::string&) { return std::make_unique<FakePort>(device); }) {}
