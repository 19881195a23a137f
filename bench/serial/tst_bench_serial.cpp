// The benchmark's own instruments: if they were wrong, its figures would be too.

#include "alloc_counter.h"
#include "latency_stats.h"
#include "measurements.h"
#include "proc_stats.h"

#include <QtTest>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

using namespace bench;

namespace {
// Passes everything through but alters one received byte, as a faulty line would.
class CorruptingPeer final : public SerialPeer {
public:
    CorruptingPeer(std::unique_ptr<SerialPeer> inner, int victim)
        : inner_(std::move(inner)), victim_(victim) {
        inner_->setOnArrival([this] { arrived(); });
    }
    [[nodiscard]] std::string name() const override { return "corrupting"; }
    [[nodiscard]] std::string drivenBy() const override { return {}; }
    void open(const PtyLine& line) override { inner_->open(line); }
    void close() override { inner_->close(); }
    [[nodiscard]] int available() override { return inner_->available(); }
    [[nodiscard]] std::uint8_t readByte() override {
        const std::uint8_t b = inner_->readByte();
        return count_++ == victim_ ? static_cast<std::uint8_t>(b ^ 0x40) : b;
    }
    void write(const std::uint8_t* data, std::size_t n) override { inner_->write(data, n); }

private:
    std::unique_ptr<SerialPeer> inner_;
    int victim_;
    int count_ = 0;
};
} // namespace

class TestBenchSerial : public QObject {
    Q_OBJECT
private slots:
    void quantileNearestRank_data() {
        QTest::addColumn<QList<int>>("samples");
        QTest::addColumn<double>("q");
        QTest::addColumn<int>("expected");
        QTest::newRow("empty") << QList<int>{} << 0.5 << 0;
        QTest::newRow("one") << QList<int>{7} << 0.99 << 7;
        QTest::newRow("median of odd") << QList<int>{5, 1, 3} << 0.5 << 3;
        QTest::newRow("median of even takes lower") << QList<int>{4, 1, 3, 2} << 0.5 << 2;
        QTest::newRow("p99 of 100 is 99th") << [] {
            QList<int> v;
            for (int i = 100; i >= 1; --i)
                v << i;
            return v;
        }() << 0.99 << 99;
        QTest::newRow("p99 of 101 is 100th") << [] {
            QList<int> v;
            for (int i = 1; i <= 101; ++i)
                v << i;
            return v;
        }() << 0.99 << 100;
        QTest::newRow("q=0 is min") << QList<int>{9, 4, 6} << 0.0 << 4;
        QTest::newRow("q=1 is max") << QList<int>{9, 4, 6} << 1.0 << 9;
    }
    void quantileNearestRank() {
        QFETCH(QList<int>, samples);
        QFETCH(double, q);
        QFETCH(int, expected);
        std::vector<Nanos> v;
        for (int s : samples)
            v.emplace_back(s);
        QCOMPARE(quantile(v, q).count(), expected);
    }

    void allocationsAreCountedPerThreadAndProcess() {
        const auto thread0 = threadAllocations();
        const auto process0 = processAllocations();
        auto owned = std::make_unique<int>(1);
        // volatile: the compiler may not drop the pair.
        void* volatile raw = std::malloc(16);
        std::free(raw);
        const auto thread1 = threadAllocations() - thread0;
        QCOMPARE(thread1.operatorNew, 1u);
        QCOMPARE(thread1.heap, 2u);
        QVERIFY((processAllocations() - process0).heap >= 2u);

        // A thread that opted out allocates without touching the process count.
        std::uint64_t excludedOwn = 0;
        const auto before = processAllocations();
        std::thread([&] {
            excludeThisThreadFromCount();
            const auto t0 = threadAllocations();
            for (int i = 0; i < 100; ++i) {
                int* volatile p = new int(i); // volatile: the compiler may not drop the pair
                delete p;
            }
            excludedOwn = (threadAllocations() - t0).heap;
        }).join();
        QCOMPARE(excludedOwn, 100u);
        QVERIFY((processAllocations() - before).heap < 100u);
    }

    void wakeupsOfABlockedThreadAreSeen() {
        std::mutex m;
        std::condition_variable cv;
        int stage = 0; // 1: wake once and block again, 2: end
        std::thread sleeper([&] {
            ::pthread_setname_np(::pthread_self(), "BenchSleeper");
            std::unique_lock lock(m);
            cv.wait(lock, [&] { return stage >= 1; });
            cv.wait(lock, [&] { return stage >= 2; });
        });
        auto setStage = [&](int n) {
            {
                std::lock_guard lock(m);
                stage = n;
            }
            cv.notify_one();
        };
        int tid = 0;
        for (int i = 0; i < 100 && tid == 0; ++i) {
            const auto ids = threadIdsNamed("BenchSleeper");
            if (!ids.empty())
                tid = ids.front();
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        QVERIFY(tid > 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const long before = voluntaryContextSwitches(tid);
        QVERIFY(before >= 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        QCOMPARE(voluntaryContextSwitches(tid), before); // blocked: no wake-up
        setStage(1);
        // Woken once, then blocked again; a busy machine may take a while to run it.
        QTRY_VERIFY_WITH_TIMEOUT(voluntaryContextSwitches(tid) > before, 5000);
        setStage(2);
        sleeper.join();
        QCOMPARE(voluntaryContextSwitches(tid), -1L); // gone
    }

    void modemLinesOfPtySlavesReadLow() {
        PtyLine line;
        const int slave = ::open(line.slavePath().c_str(), O_RDWR | O_NOCTTY);
        QVERIFY(slave >= 0);
        int lines = -1;
        QCOMPARE(::ioctl(slave, TIOCMGET, &lines), 0);
        QCOMPARE(lines, 0);
        ::close(slave);
        // Anything else still fails as the kernel says.
        int pipeFds[2];
        QCOMPARE(::pipe(pipeFds), 0);
        QCOMPARE(::ioctl(pipeFds[0], TIOCMGET, &lines), -1);
        QCOMPARE(errno, ENOTTY);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
    }

    void everyPeerCarriesEveryByte_data() {
        QTest::addColumn<int>("which");
        QTest::newRow("libserialport, sp_wait thread") << 0;
        QTest::newRow("libserialport, QSocketNotifier") << 1;
        QTest::newRow("QSerialPort") << 2;
        QTest::newRow("TComPort, one Write per request") << 3;
        QTest::newRow("TComPort") << 4;
    }
    void everyPeerCarriesEveryByte() {
        QFETCH(int, which);
        PtyLine line;
        std::unique_ptr<SerialPeer> peer;
        switch (which) {
        case 0:
            peer = makeLibSerialPortThread();
            break;
        case 1:
            peer = makeLibSerialPortNotifier();
            break;
        case 2:
            peer = makeQSerialPort();
            break;
        case 3:
            peer = makeOurPort(false, true);
            break;
        default:
            peer = makeOurPort(false);
        }
        peer->open(line);
        // 300 bytes run through all 256 values, including XON, XOFF, CR and NUL.
        const PhaseResult latency = measureLatency(*peer, line, 300);
        QVERIFY2(latency.failure.empty(), latency.failure.c_str());
        QCOMPARE(latency.samples.size(), 300u);
        QCOMPARE(latency.bytesRead, 300u);
        QVERIFY(summarise(latency.samples).median > Nanos(0));
        const PhaseResult trip = measureRoundTrip(*peer, line, 50);
        QVERIFY2(trip.failure.empty(), trip.failure.c_str());
        QCOMPARE(trip.samples.size(), 50u);
        QCOMPARE(trip.bytesWritten, 250u);
        peer->close();
    }

    void alteredBytesAreReported() {
        PtyLine line;
        CorruptingPeer peer(makeQSerialPort(), 17);
        peer.open(line);
        const PhaseResult latency = measureLatency(peer, line, 40);
        QCOMPARE(QString::fromStdString(latency.failure),
                 QStringLiteral("byte 17: expected 17, got 81"));
        QCOMPARE(latency.samples.size(), 17u);
    }
};

QTEST_GUILESS_MAIN(TestBenchSerial)
#include "tst_bench_serial.moc"
