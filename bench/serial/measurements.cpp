#include "measurements.h"

#include "far_end.h"
#include "proc_stats.h"

#include <QEventLoop>
#include <QMetaObject>

#include <array>
#include <atomic>
#include <exception>
#include <thread>

namespace bench {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kFarEndWait = std::chrono::milliseconds(2000);

[[nodiscard]] std::int64_t nowNs() {
    return std::chrono::duration_cast<Nanos>(Clock::now().time_since_epoch()).count();
}

[[nodiscard]] std::string mismatch(const char* what, int index, int expected, int got) {
    return std::string(what) + " " + std::to_string(index) + ": expected " +
           std::to_string(expected) + ", got " + std::to_string(got);
}

// The measured stretch: process-wide counters from release of the far end to its end.
class Stretch {
public:
    explicit Stretch(FarEnd& farEnd) : farEnd_(farEnd) {
        allocations_ = processAllocations();
        cpu_ = processCpuTime();
        farEnd_.go();
    }
    void end(PhaseResult& r) {
        r.process = processAllocations() - allocations_;
        std::string failure;
        const Nanos farCpu = farEnd_.finish(failure);
        r.cpu = processCpuTime() - cpu_ - farCpu;
        if (r.failure.empty())
            r.failure = failure;
    }

private:
    FarEnd& farEnd_;
    AllocationCount allocations_;
    Nanos cpu_{0};
};

void quitFromAnyThread(QEventLoop& loop) {
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
}

// Reads one byte in the handler, counting what the read allocates.
[[nodiscard]] std::uint8_t countedRead(SerialPeer& peer, PhaseResult& r) {
    const AllocationCount before = threadAllocations();
    const std::uint8_t b = peer.readByte();
    r.readPath = r.readPath + (threadAllocations() - before);
    ++r.bytesRead;
    return b;
}

void countedWrite(SerialPeer& peer, PhaseResult& r, const std::uint8_t* data, std::size_t n) {
    const AllocationCount before = threadAllocations();
    peer.write(data, n);
    r.writePath = r.writePath + (threadAllocations() - before);
    r.bytesWritten += n;
}

[[nodiscard]] std::chrono::microseconds gapAfter(int index) {
    // 100-300 us, spread so the writer does not fall into step with any periodic work.
    const auto spread = (static_cast<unsigned>(index) * 2654435761U) >> 24U;
    return std::chrono::microseconds(100 + spread % 201);
}

} // namespace

void PhaseResult::add(const PhaseResult& other) {
    samples.insert(samples.end(), other.samples.begin(), other.samples.end());
    cpu += other.cpu;
    process = process + other.process;
    readPath = readPath + other.readPath;
    writePath = writePath + other.writePath;
    bytesRead += other.bytesRead;
    bytesWritten += other.bytesWritten;
    emptyNotifications += other.emptyNotifications;
    if (failure.empty())
        failure = other.failure;
}

PhaseResult measureLatency(SerialPeer& peer, const PtyLine& line, int bytes) {
    PhaseResult r;
    r.samples.reserve(static_cast<std::size_t>(bytes));
    std::atomic<std::int64_t> sentAt{0};
    Acknowledgements acks;
    QEventLoop loop;
    const int master = line.master();

    FarEnd farEnd([&, master]() -> std::string {
        for (int i = 0; i < bytes; ++i) {
            if (i > 0 && !acks.waitFor(i - 1, kFarEndWait)) {
                quitFromAnyThread(loop);
                return "byte " + std::to_string(i - 1) + " never reached the handler";
            }
            std::this_thread::sleep_for(gapAfter(i));
            const auto value = static_cast<std::uint8_t>(i);
            sentAt.store(nowNs());
            if (!writeAll(master, &value, 1)) {
                quitFromAnyThread(loop);
                return "far end could not write";
            }
        }
        if (!acks.waitFor(bytes - 1, kFarEndWait)) {
            quitFromAnyThread(loop);
            return "last byte never reached the handler";
        }
        return {};
    });

    int next = 0;
    peer.setOnArrival([&] {
        const std::int64_t arrival = nowNs();
        try {
            if (peer.available() <= 0) {
                ++r.emptyNotifications;
                return;
            }
            bool first = true;
            while (next < bytes && peer.available() > 0) {
                const std::uint8_t b = countedRead(peer, r);
                if (b != static_cast<std::uint8_t>(next))
                    throw std::runtime_error(mismatch("byte", next, next & 0xFF, b));
                if (first)
                    r.samples.push_back(Nanos(arrival - sentAt.load()));
                first = false;
                acks.post(next++);
            }
        } catch (const std::exception& e) {
            r.failure = e.what();
            acks.abort();
            loop.quit();
            return;
        }
        if (next == bytes)
            loop.quit();
    });

    Stretch stretch(farEnd);
    loop.exec();
    acks.abort(); // a far end still waiting gives up at once
    stretch.end(r);
    peer.setOnArrival({});
    return r;
}

namespace {
[[nodiscard]] std::array<std::uint8_t, 5> requestFrame(int index) {
    std::array<std::uint8_t, 5> f{0x01, static_cast<std::uint8_t>(index >> 8),
                                  static_cast<std::uint8_t>(index), 0x00, 0};
    f[4] = static_cast<std::uint8_t>(f[0] ^ f[1] ^ f[2] ^ f[3]);
    return f;
}

[[nodiscard]] std::uint8_t answerTo(int index) {
    return static_cast<std::uint8_t>(0xAA + 37 * index);
}
} // namespace

PhaseResult measureRoundTrip(SerialPeer& peer, const PtyLine& line, int rounds) {
    PhaseResult r;
    r.samples.reserve(static_cast<std::size_t>(rounds));
    QEventLoop loop;
    const int master = line.master();

    FarEnd farEnd([&, master]() -> std::string {
        for (int i = 0; i < rounds; ++i) {
            std::array<std::uint8_t, 5> request{};
            if (!readExactly(master, request.data(), request.size(), kFarEndWait.count())) {
                quitFromAnyThread(loop);
                return "request " + std::to_string(i) + " never arrived whole";
            }
            if (request != requestFrame(i)) {
                quitFromAnyThread(loop);
                return "request " + std::to_string(i) + " arrived altered";
            }
            const std::uint8_t answer = answerTo(i);
            if (!writeAll(master, &answer, 1)) {
                quitFromAnyThread(loop);
                return "far end could not write";
            }
        }
        return {};
    });

    int index = 0;
    Clock::time_point sentAt;
    auto send = [&] {
        const auto frame = requestFrame(index);
        sentAt = Clock::now();
        countedWrite(peer, r, frame.data(), frame.size());
    };
    peer.setOnArrival([&] {
        try {
            if (peer.available() <= 0) {
                ++r.emptyNotifications;
                return;
            }
            const std::uint8_t b = countedRead(peer, r);
            r.samples.push_back(Clock::now() - sentAt);
            if (b != answerTo(index))
                throw std::runtime_error(mismatch("answer", index, answerTo(index), b));
            if (++index == rounds) {
                loop.quit();
                return;
            }
            send();
        } catch (const std::exception& e) {
            r.failure = e.what();
            loop.quit();
        }
    });

    Stretch stretch(farEnd);
    try {
        send();
        loop.exec();
    } catch (const std::exception& e) {
        r.failure = e.what();
    }
    stretch.end(r);
    peer.setOnArrival({});
    return r;
}

} // namespace bench
