#include "pty_client.h"
#include "pty_encoder.h"

#include <QtTest>

#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

using namespace quillmark::sim;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

Q_DECLARE_METATYPE(quillmark::sim::Fault)

namespace {

QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}

QByteArray toBytes(const std::vector<Byte>& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

PtyEncoderOptions unpaced() {
    PtyEncoderOptions o;
    o.paced = false;
    return o;
}

int threadCount() {
    int n = 0;
    if (DIR* dir = ::opendir("/proc/self/task")) {
        while (const dirent* e = ::readdir(dir))
            n += e->d_name[0] != '.';
        ::closedir(dir);
    }
    return n;
}

double processCpuSeconds() {
    timespec ts{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

double secondsSince(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

} // namespace

class TestPtyEncoder : public QObject {
    Q_OBJECT

private slots:
    void writeThenRead();
    void faults_data();
    void faults();
    void garbageIsWhatTheLogSays();
    void hangUpIsSeenByTheTool();
    void laterFramesAreNotTouched();
    void pacedReadReplyTakesLineTime();
    void pacedFrameIsTakenWhenItsLastByteArrives();
    void stopEndsTheThreadMidReply();
    void reopenAfterCloseStillServes();
    void idleWithoutToolDoesNotSpin();
    void injectedBytesReachTheTool();
    void memoryAndLogFromOutside();
    void linkFollowsTheEncoder();
    void linkGoesWithTheEncoder();
    void linkKeepsUserFiles();
};

void TestPtyEncoder::writeThenRead() {
    PtyEncoder encoder(unpaced());
    encoder.start();
    PtyClient tool(encoder.slavePath());
    QVERIFY(tool.isOpen());

    tool.send(hex("01E01204F7"));
    QCOMPARE(tool.receive(1, 2s), hex("AA"));
    tool.send(hex("100402"));
    QCOMPARE(tool.receive(2, 2s), hex("E012"));
    QCOMPARE(encoder.memory()[4], Byte{0xE0});
    QCOMPARE(encoder.framesReceived(), 2);
}

// The fault hits frame 2 (a write of E0 12 to address 4 or a read of it); frame 1 is a
// clean PI write of 12 34 to address 0.
void TestPtyEncoder::faults_data() {
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QByteArray>("frame2");
    QTest::addColumn<QByteArray>("answer2");
    QTest::addColumn<bool>("stored"); // frame 2's write is in memory afterwards

    const QByteArray write = hex("01E01204F7");
    const QByteArray read = hex("100002");
    QTest::newRow("no answer, still stored")
        << Fault{2, FaultKind::NoAnswer} << write << QByteArray() << true;
    QTest::newRow("failure answer, not stored")
        << Fault{2, FaultKind::FailAnswer} << write << hex("00") << false;
    QTest::newRow("short read reply")
        << Fault{2, FaultKind::ShortReply, 1} << read << hex("12") << false;
    QTest::newRow("delay") << Fault{2, FaultKind::Delay, 0, 200ms} << write << hex("AA") << true;
}

void TestPtyEncoder::faults() {
    QFETCH(Fault, fault);
    QFETCH(QByteArray, frame2);
    QFETCH(QByteArray, answer2);
    QFETCH(bool, stored);

    PtyEncoderOptions options = unpaced();
    options.faults = {fault};
    PtyEncoder encoder(options);
    encoder.start();
    PtyClient tool(encoder.slavePath());

    tool.send(hex("0112340027"));
    QCOMPARE(tool.receive(1, 2s), hex("AA"));
    const auto sent = Clock::now();
    tool.send(frame2);
    QCOMPARE(tool.receive(answer2.size() + 1, 600ms), answer2);
    if (fault.kind == FaultKind::Delay)
        QVERIFY(secondsSince(sent) >= 0.19);
    QCOMPARE(encoder.memory()[4] == 0xE0, stored);
    QCOMPARE(encoder.memory()[0], Byte{0x12});
    QCOMPARE(toBytes(encoder.log().at(1).answer), answer2);

    // Frame 3 is served normally.
    tool.send(hex("100002"));
    QCOMPARE(tool.receive(2, 2s), hex("1234"));
}

void TestPtyEncoder::garbageIsWhatTheLogSays() {
    PtyEncoderOptions options = unpaced();
    options.faults = {{1, FaultKind::Garbage, 40}};
    PtyEncoder encoder(options);
    encoder.start();
    PtyClient tool(encoder.slavePath());

    tool.send(hex("100402"));
    const QByteArray got = tool.receive(41, 600ms);
    QCOMPARE(got.size(), 40);
    QCOMPARE(got, toBytes(encoder.log().at(0).answer));
    QVERIFY(got.count(got.at(0)) < got.size()); // not one value repeated
}

void TestPtyEncoder::hangUpIsSeenByTheTool() {
    PtyEncoderOptions options = unpaced();
    options.faults = {{2, FaultKind::HangUp}};
    PtyEncoder encoder(options);
    const int before = threadCount();
    encoder.start();
    PtyClient tool(encoder.slavePath());

    tool.send(hex("100402"));
    QCOMPARE(tool.receive(2, 2s), hex("FFFF"));
    QVERIFY(!tool.hungUp(100ms));
    tool.send(hex("01E01204F7"));
    QVERIFY(tool.hungUp(2s));
    QVERIFY(encoder.hungUp());
    QCOMPARE(encoder.framesReceived(), 2);
    tool.close(); // the old path never leads to another line while the encoder lives
    const int next = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    QVERIFY(next >= 0 && std::string(::ptsname(next)) != encoder.slavePath());
    ::close(next);
    encoder.stop();
    QCOMPARE(threadCount(), before);
}

void TestPtyEncoder::laterFramesAreNotTouched() {
    PtyEncoder encoder(unpaced());
    encoder.start();
    PtyClient tool(encoder.slavePath());
    tool.send(hex("FEFE"));
    QCOMPARE(tool.receive(1, 2s), hex("AA"));

    // Added while running: counts on from the frames already received.
    encoder.addFault({2, FaultKind::FailAnswer});
    tool.send(hex("01E01204F7"));
    QCOMPARE(tool.receive(1, 2s), hex("00"));
    tool.send(hex("01E01204F7"));
    QCOMPARE(tool.receive(1, 2s), hex("AA"));
    encoder.clearFaults();
    encoder.addFault({3, FaultKind::NoAnswer}); // already past: no effect
    tool.send(hex("100402"));
    QCOMPARE(tool.receive(2, 2s), hex("E012"));
}

void TestPtyEncoder::pacedReadReplyTakesLineTime() {
    PtyEncoder encoder; // paced
    encoder.start();
    PtyClient tool(encoder.slavePath());

    const auto sent = Clock::now();
    tool.send(hex("100080"));
    const QByteArray reply = tool.receive(128, 5s);
    QCOMPARE(reply.size(), 128);
    QVERIFY2(secondsSince(sent) >= 0.45, "128 bytes at 240 bytes/s take 0.53 s");
}

void TestPtyEncoder::pacedFrameIsTakenWhenItsLastByteArrives() {
    PtyEncoder encoder; // paced
    encoder.start();
    PtyClient tool(encoder.slavePath());

    const auto sent = Clock::now();
    tool.send(hex("0400000000000000000000000000000000F0F4")); // 19 bytes at once
    QCOMPARE(tool.receive(1, 5s), hex("AA"));
    // 18 more byte times in, one byte time out: about 79 ms.
    QVERIFY(secondsSince(sent) >= 0.07);
}

void TestPtyEncoder::stopEndsTheThreadMidReply() {
    const int before = threadCount();
    PtyEncoder encoder; // paced
    encoder.start();
    QCOMPARE(threadCount(), before + 1);
    PtyClient tool(encoder.slavePath());

    tool.send(hex("100080"));
    // The reply is under way; a late wake-up may find more than one byte waiting.
    const auto started = tool.receive(1, 2s).size();
    QVERIFY(started >= 1);
    encoder.stop();
    QCOMPARE(threadCount(), before);
    // The rest of the 128-byte reply never comes: stop did not wait for it.
    QVERIFY(started + tool.receiveFor(700ms).size() < 128);
}

void TestPtyEncoder::reopenAfterCloseStillServes() {
    PtyEncoder encoder(unpaced());
    encoder.start();
    for (int round = 0; round < 3; ++round) {
        PtyClient tool(encoder.slavePath());
        QVERIFY(tool.isOpen());
        QVERIFY(!tool.hungUp(50ms));
        tool.send(hex("100402"));
        QCOMPARE(tool.receive(2, 2s), hex("FFFF"));
    }
}

// With nobody on the slave the master reports a hang-up all along; the server must sleep.
void TestPtyEncoder::idleWithoutToolDoesNotSpin() {
    PtyEncoder encoder;
    encoder.start();
    {
        PtyClient tool(encoder.slavePath());
        tool.send(hex("100402"));
        QCOMPARE(tool.receive(2, 2s).size(), 2);
    }
    const double cpu = processCpuSeconds();
    QTest::qSleep(500);
    QVERIFY2(processCpuSeconds() - cpu < 0.1, "the server thread is busy while idle");

    PtyClient again(encoder.slavePath());
    again.send(hex("100402"));
    QCOMPARE(again.receive(2, 2s), hex("FFFF"));
}

void TestPtyEncoder::injectedBytesReachTheTool() {
    PtyEncoder encoder(unpaced());
    encoder.start();
    PtyClient tool(encoder.slavePath());
    encoder.inject({0x55, 0xAA});
    QCOMPARE(tool.receive(2, 2s), hex("55AA"));
    QCOMPARE(encoder.framesReceived(), 0);
    QVERIFY(encoder.log().empty());
}

void TestPtyEncoder::memoryAndLogFromOutside() {
    std::array<Byte, 256> initial{};
    initial[40] = 'R';
    PtyEncoderOptions options = unpaced();
    options.memory = initial;
    PtyEncoder encoder(options);
    std::vector<EncoderEngine::Event> sunk;
    encoder.setLogSink([&sunk](const EncoderEngine::Event& e) { sunk.push_back(e); });
    encoder.start();
    PtyClient tool(encoder.slavePath());

    tool.send(hex("102801"));
    QCOMPARE(tool.receive(1, 2s), QByteArray("R"));
    initial[40] = 'S';
    encoder.setMemory(initial);
    tool.send(hex("33"
                  "102801")); // a stray byte first
    QCOMPARE(tool.receive(1, 2s), QByteArray("S"));

    const auto log = encoder.log();
    QCOMPARE(log.size(), std::size_t{2});
    QCOMPARE(toBytes(log[1].frame), hex("102801"));
    QCOMPARE(toBytes(log[1].answer), QByteArray("S"));
    QCOMPARE(encoder.droppedBytes(), std::size_t{1});
    encoder.stop(); // the sink ran on the server thread; it is done now
    QCOMPARE(sunk.size(), std::size_t{2});
    encoder.clearLog();
    QVERIFY(encoder.log().empty());
}

void TestPtyEncoder::linkFollowsTheEncoder() {
    QTemporaryDir dir;
    const std::filesystem::path folder = dir.path().toStdString() + "/Tarvenor/Quillmark";
    const auto link = folder / "COM1";
    auto first = std::make_unique<PtyEncoder>(unpaced());
    first->start();
    first->linkAs(folder, "COM1");
    QVERIFY(std::filesystem::is_symlink(link));
    QCOMPARE(std::filesystem::read_symlink(link).string(), first->slavePath());
    {
        PtyClient tool(link.string());
        tool.send(hex("FEFE"));
        QCOMPARE(tool.receive(1, 2s), hex("AA"));
    }

    PtyEncoder second(unpaced()); // a link to another pty, left by an earlier run, is replaced
    second.start();
    second.linkAs(folder, "COM1");
    QCOMPARE(std::filesystem::read_symlink(link).string(), second.slavePath());
    first.reset(); // leaves the link alone: it is not its own any more
    QCOMPARE(std::filesystem::read_symlink(link).string(), second.slavePath());
    second.stop();
    QVERIFY(std::filesystem::is_symlink(link)); // stopping keeps it; destruction removes it
}

void TestPtyEncoder::linkGoesWithTheEncoder() {
    QTemporaryDir dir;
    const std::filesystem::path link = dir.path().toStdString() + "/COM1";
    {
        PtyEncoder encoder(unpaced());
        encoder.start();
        encoder.linkAs(link.parent_path(), "COM1");
        QVERIFY(std::filesystem::is_symlink(link));
    }
    QVERIFY(!std::filesystem::exists(std::filesystem::symlink_status(link)));
}

void TestPtyEncoder::linkKeepsUserFiles() {
    QTemporaryDir dir;
    const std::filesystem::path folder = dir.path().toStdString();
    std::filesystem::create_symlink("/dev/ttyUSB0", folder / "COM2");
    PtyEncoder encoder(unpaced());
    encoder.start();
    QVERIFY_THROWS_EXCEPTION(std::filesystem::filesystem_error, encoder.linkAs(folder, "COM2"));
    QCOMPARE(std::filesystem::read_symlink(folder / "COM2").string(), std::string("/dev/ttyUSB0"));
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, encoder.linkAs(folder, "../COM1"));
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, encoder.linkAs(folder, ""));
}

QTEST_GUILESS_MAIN(TestPtyEncoder)
#include "tst_pty_encoder.moc"
