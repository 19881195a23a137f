// The relay against real ser2net on a pseudo-terminal, and against a server that takes the
// option but never answers a setting.

#include "fake_server.h"
#include "ser2net_server.h"

#include "remote/remote_link.h"

#include <QTest>

#include <cerrno>
#include <chrono>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

using namespace std::chrono_literals;
using quillmark::remote::Endpoint;
using quillmark::remote::LinkTiming;
using quillmark::remote::RemoteLink;
using quillmark::remote::RemoteSettings;
using quillmark::testing::Ser2NetServer;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

Q_DECLARE_METATYPE(Ser2NetServer::Mode)

namespace {

struct Pty {
    int master = -1;
    int slave = -1;
    std::string path;
    Pty() {
        std::array<char, 128> name{};
        if (::openpty(&master, &slave, name.data(), nullptr, nullptr) < 0)
            throw std::runtime_error("openpty");
        path = name.data();
        termios t{};
        ::tcgetattr(slave, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(slave, TCSANOW, &t);
        ::fcntl(master, F_SETFL, O_NONBLOCK);
    }
    ~Pty() {
        ::close(master);
        ::close(slave);
    }
};

Endpoint endpointOf(const Ser2NetServer& server) {
    return *quillmark::remote::parseEndpoint(server.entry());
}

// Reads `count` bytes from a non-blocking descriptor within a few seconds.
Bytes readAll(int fd, std::size_t count) {
    Bytes out;
    const auto end = Clock::now() + 5s;
    while (out.size() < count && Clock::now() < end) {
        pollfd entry{fd, POLLIN, 0};
        if (::poll(&entry, 1, 50) != 1)
            continue;
        std::array<std::uint8_t, 512> buffer{};
        const ssize_t n = ::read(fd, buffer.data(), std::min(buffer.size(), count - out.size()));
        if (n <= 0)
            break;
        out.insert(out.end(), buffer.begin(), buffer.begin() + n);
    }
    return out;
}

void writeAll(RemoteLink& link, const Bytes& bytes) {
    int code = 0;
    QCOMPARE(link.write(bytes.data(), bytes.size(), code), bytes.size());
    QCOMPARE(code, 0);
}

Bytes everyByteAndErased() {
    Bytes b;
    for (int i = 0; i < 256; ++i)
        b.push_back(static_cast<std::uint8_t>(i));
    b.insert(b.end(), 256, 0xFF);
    return b;
}

} // namespace

class TestRemoteLink : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void bytesArriveExactlyBothWays_data();
    void bytesArriveExactlyBothWays();
    void remoteLineTakesTheSettings();
    void serverThatNeverAnswersDoesNotStall();
    void negotiationFloodIsBounded();
};

void TestRemoteLink::initTestCase() {
    if (!Ser2NetServer::installed())
        QFAIL("ser2net is not installed (tools/install-deps.sh)");
}

void TestRemoteLink::bytesArriveExactlyBothWays_data() {
    QTest::addColumn<Ser2NetServer::Mode>("mode");
    QTest::newRow("raw tcp") << Ser2NetServer::Mode::RawTcp;
    QTest::newRow("telnet rfc2217") << Ser2NetServer::Mode::Rfc2217;
}

void TestRemoteLink::bytesArriveExactlyBothWays() {
    QFETCH(Ser2NetServer::Mode, mode);
    Pty pty;
    Ser2NetServer server(pty.path, mode);
    server.start();
    RemoteLink link;
    const auto failure = link.open(endpointOf(server));
    QVERIFY(!failure.failed());
    const Bytes payload = everyByteAndErased();

    writeAll(link, payload);
    QCOMPARE(readAll(pty.master, payload.size()), payload);

    QCOMPARE(::write(pty.master, payload.data(), payload.size()), ssize_t(payload.size()));
    QCOMPARE(readAll(link.dataDescriptor(), payload.size()), payload);
}

void TestRemoteLink::remoteLineTakesTheSettings() {
    Pty pty;
    Ser2NetServer server(pty.path, Ser2NetServer::Mode::Rfc2217, "19200e72");
    server.start();
    RemoteLink link;
    QVERIFY(!link.open(endpointOf(server)).failed());
    QVERIFY(link.comPortAgreed());
    RemoteSettings s;
    s.baudRate = 2400;
    s.dataSize = 8;
    s.parity = 1;
    s.stopSize = 1;
    s.controls = {1, 14};
    QCOMPARE(link.apply(s), 0);

    termios t{};
    QCOMPARE(::tcgetattr(pty.slave, &t), 0);
    QCOMPARE(::cfgetospeed(&t), speed_t(B2400));
    QCOMPARE(t.c_cflag & CSIZE, tcflag_t(CS8));
    QCOMPARE(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), tcflag_t(0));
    QCOMPARE(t.c_iflag & (IXON | IXOFF), tcflag_t(0));
}

void TestRemoteLink::serverThatNeverAnswersDoesNotStall() {
    FakeServer silent;
    LinkTiming timing;
    timing.negotiation = 300ms;
    timing.answers = 300ms;
    RemoteLink link;
    std::thread peer([&] {
        if (silent.accept()) {
            std::this_thread::sleep_for(100ms);
            // Takes the option, then ignores every setting.
            silent.send({0xFF, 0xFD, 44});
        }
    });
    auto start = Clock::now();
    const auto failure = link.open({Endpoint::Mode::Rfc2217, "127.0.0.1", silent.port()}, timing);
    peer.join();
    QVERIFY(!failure.failed());
    QVERIFY(Clock::now() - start < 1s);
    QVERIFY(link.comPortAgreed());
    RemoteSettings s;
    s.baudRate = 2400;
    s.controls = {8};
    start = Clock::now();
    QCOMPARE(link.apply(s), 0);
    const auto took = Clock::now() - start;
    QVERIFY(took >= 300ms && took < 1s);
    // Once per connection: a server that did not answer is not waited for again.
    start = Clock::now();
    QCOMPARE(link.apply(s), 0);
    QVERIFY(Clock::now() - start < 100ms);
    writeAll(link, {0x01, 0xFF});
    const Bytes wire = silent.receive(300ms);
    // Greeting, the two settings, then the data with its IAC doubled.
    QVERIFY(wire.size() >= 3);
    QCOMPARE(Bytes(wire.end() - 3, wire.end()), (Bytes{0x01, 0xFF, 0xFF}));
}

// A server that never reads while it makes the client answer: the answers waiting for it
// stay bounded, and past the bound the connection ends as a hang-up.
void TestRemoteLink::negotiationFloodIsBounded() {
    FakeServer server;
    RemoteLink link;
    std::thread peer([&] {
        if (server.accept())
            server.send({0xFF, 0xFD, 44});
    });
    QVERIFY(!link.open({Endpoint::Mode::Rfc2217, "127.0.0.1", server.port()}).failed());
    peer.join();
    (void)server.receive(100ms);
    Bytes refusals;
    for (int i = 0; i < 10000; ++i)
        refusals.insert(refusals.end(), {0xFF, 0xFD, 99});
    server.send(refusals);
    QCOMPARE(server.receive(300ms), (Bytes{0xFF, 0xFC, 99})); // refused once
    // Each DONT/DO of an option the client wants takes an answer: 24 MB of them unread.
    Bytes toggles;
    for (int i = 0; i < 1 << 20; ++i)
        toggles.insert(toggles.end(), {0xFF, 0xFE, 0, 0xFF, 0xFD, 0});
    for (int i = 0; i < 4 && link.isOpen(); ++i) {
        try {
            server.send(toggles);
        } catch (const std::exception&) {
            break; // the client has gone
        }
    }
    QVERIFY(link.outputQueued() < 65536 + (8U << 20));
    std::array<std::uint8_t, 64> sink{};
    QVERIFY(
        QTest::qWaitFor([&] { return ::read(link.dataDescriptor(), sink.data(), 64) == 0; }, 5000));
}

QTEST_GUILESS_MAIN(TestRemoteLink)
#include "tst_remote_link.moc"
