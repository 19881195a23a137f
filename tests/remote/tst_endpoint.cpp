#include "remote/endpoint.h"

#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using quillmark::remote::comNumber;
using quillmark::remote::Endpoint;
using quillmark::remote::EntryContent;
using quillmark::remote::hasEndpointScheme;
using quillmark::remote::parseEndpoint;
using quillmark::remote::parseEndpointText;
using quillmark::remote::readEntry;

class TestEndpoint : public QObject {
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void portNames();
    void entryKinds();
    void entrySwappedForFifo();
};

// Every form the backend, the port dialog and the tool read, in one table.
void TestEndpoint::parse_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<bool>("rfc2217");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("address");
    QTest::newRow("raw IPv4") << "tcp://192.168.1.20:4001" << true << false << "192.168.1.20"
                              << 4001 << "192.168.1.20:4001";
    QTest::newRow("rfc2217 name, line end")
        << " rfc2217://site-7.example.org:2217\r\n"
        << true << true << "site-7.example.org" << 2217 << "site-7.example.org:2217";
    QTest::newRow("IPv6 in brackets")
        << "rfc2217://[::1]:7000" << true << true << "::1" << 7000 << "[::1]:7000";
    QTest::newRow("scheme in capitals") << "TCP://localhost:1" << false << false << "" << 0 << "";
    QTest::newRow("lowest port, name")
        << "tcp://localhost:1" << true << false << "localhost" << 1 << "localhost:1";
    QTest::newRow("highest port") << "tcp://h:65535" << true << false << "h" << 65535 << "h:65535";
    QTest::newRow("digits and a letter")
        << "tcp://1a.example:80" << true << false << "1a.example" << 80 << "1a.example:80";
    QTest::newRow("label of 63") << "tcp://" + QString(63, 'a') + ":1" << true << false
                                 << QString(63, 'a') << 1 << QString(63, 'a') + ":1";
    QTest::newRow("label of 64") << "tcp://" + QString(64, 'a') + ":1" << false << false << "" << 0
                                 << "";
    QTest::newRow("port 0") << "tcp://h:0" << false << false << "" << 0 << "";
    QTest::newRow("port too big") << "tcp://h:65536" << false << false << "" << 0 << "";
    QTest::newRow("port, leading zero") << "tcp://h:080" << false << false << "" << 0 << "";
    QTest::newRow("no port") << "tcp://h" << false << false << "" << 0 << "";
    QTest::newRow("empty port") << "tcp://h:" << false << false << "" << 0 << "";
    QTest::newRow("signed port") << "tcp://h:+80" << false << false << "" << 0 << "";
    QTest::newRow("no host") << "tcp://:80" << false << false << "" << 0 << "";
    QTest::newRow("IPv6 without brackets") << "tcp://::1:80" << false << false << "" << 0 << "";
    QTest::newRow("bad IPv6") << "tcp://[::g]:80" << false << false << "" << 0 << "";
    QTest::newRow("IPv6 zone") << "tcp://[fe80::1%eth0]:80" << false << false << "" << 0 << "";
    QTest::newRow("markup as zone")
        << "tcp://[::1%<img src=\"/dev/zero\">]:80" << false << false << "" << 0 << "";
    QTest::newRow("path after port") << "tcp://h:80/x" << false << false << "" << 0 << "";
    QTest::newRow("two schemes") << "tcp://rfc2217://h:1" << false << false << "" << 0 << "";
    QTest::newRow("other scheme") << "telnet://h:23" << false << false << "" << 0 << "";
    QTest::newRow("device path") << "/dev/ttyUSB0" << false << false << "" << 0 << "";
    QTest::newRow("blank in host") << "tcp://a b:80" << false << false << "" << 0 << "";
    QTest::newRow("underscore") << "tcp://a_b:80" << false << false << "" << 0 << "";
    QTest::newRow("empty label") << "tcp://a..b:80" << false << false << "" << 0 << "";
    QTest::newRow("label ends with hyphen")
        << "tcp://bad-.example:80" << false << false << "" << 0 << "";
    QTest::newRow("IPv4 out of range") << "tcp://300.1.1.1:80" << false << false << "" << 0 << "";
    QTest::newRow("five numbers") << "tcp://1.2.3.4.5:80" << false << false << "" << 0 << "";
    // The resolver's legacy forms would reach another host than the one written.
    QTest::newRow("octal") << "tcp://010.0.0.1:7000" << false << false << "" << 0 << "";
    QTest::newRow("one number") << "tcp://2130706433:7000" << false << false << "" << 0 << "";
    QTest::newRow("short form") << "tcp://127.1:7000" << false << false << "" << 0 << "";
    QTest::newRow("hexadecimal") << "tcp://0x7f.1:7000" << false << false << "" << 0 << "";
}

void TestEndpoint::parse() {
    QFETCH(QString, line);
    QFETCH(bool, valid);
    const auto parsed = parseEndpointText(line.toStdString());
    QCOMPARE(parsed.endpoint.has_value(), valid);
    QCOMPARE(parsed.problem.empty(), valid);
    QCOMPARE(hasEndpointScheme(line.toStdString()),
             line.trimmed().startsWith("tcp://") || line.trimmed().startsWith("rfc2217://"));
    if (!valid) {
        // Legacy numbers are told the form to write instead.
        if (QString(QTest::currentDataTag()) == "octal")
            QVERIFY(parsed.problem.find("10.0.0.1") != std::string::npos);
        return;
    }
    const auto& e = parsed.endpoint;
    QFETCH(bool, rfc2217);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(QString, address);
    QCOMPARE(e->mode == Endpoint::Mode::Rfc2217, rfc2217);
    QCOMPARE(QString::fromStdString(e->host), host);
    QCOMPARE(int(e->port), port);
    QCOMPARE(QString::fromStdString(e->address()), address);
    QCOMPARE(parseEndpoint(e->text()), e);
}

void TestEndpoint::portNames() {
    QCOMPARE(comNumber("COM1"), std::optional<int>(1));
    QCOMPARE(comNumber("COM255"), std::optional<int>(255));
    for (const char* name : {"COM0", "COM256", "COM01", "COM", "com1", "COM1x", "COM+1", "COM 1"})
        QVERIFY2(!comNumber(name), name);
}

void TestEndpoint::entryKinds() {
    QTemporaryDir dir;
    const std::filesystem::path root = dir.path().toStdString();
    std::ofstream(root / "COM1") << "rfc2217://127.0.0.1:2217\nignored second line\n";
    std::ofstream(root / "COM2") << "/dev/ttyUSB0\n";
    std::ofstream(root / "target") << "tcp://127.0.0.1:4001\n";
    std::filesystem::create_symlink(root / "target", root / "COM3");
    std::filesystem::create_symlink("/nonexistent/device", root / "COM4");

    const auto com1 = readEntry(root / "COM1");
    QCOMPARE(com1.kind, EntryContent::Kind::Endpoint);
    QCOMPARE(com1.endpoint->port, std::uint16_t{2217});
    QCOMPARE(readEntry(root / "COM2").kind, EntryContent::Kind::Invalid);
    // A link is a device path even when it leads to a file holding an address.
    QCOMPARE(readEntry(root / "COM3").kind, EntryContent::Kind::Device);
    QCOMPARE(readEntry(root / "COM4").kind, EntryContent::Kind::Device);
    QCOMPARE(readEntry(root / "COM5").kind, EntryContent::Kind::Missing);
}

// An entry swapped for a FIFO between the check and the open never holds the reader.
void TestEndpoint::entrySwappedForFifo() {
    QTemporaryDir dir;
    const std::filesystem::path root = dir.path().toStdString();
    std::ofstream(root / "file") << "tcp://127.0.0.1:4001\n";
    QCOMPARE(::mkfifo((root / "fifo").c_str(), 0600), 0);
    std::atomic<bool> done{false};
    std::thread swapper([&] {
        for (int i = 0; !done; ++i) {
            std::filesystem::copy_file(root / "file", root / "next",
                                       std::filesystem::copy_options::overwrite_existing);
            std::filesystem::rename(root / "next", root / "COM1");
            ::mkfifo((root / "fifo").c_str(), 0600);
            std::filesystem::rename(root / "fifo", root / "COM1");
        }
    });
    constexpr int kReads = 100000;
    std::atomic<int> reads{0};
    std::thread reader([&] {
        for (; reads < kReads; ++reads)
            (void)readEntry(root / "COM1");
    });
    const bool finished = QTest::qWaitFor([&] { return reads == kReads; }, 10000);
    done = true;
    swapper.join();
    // A reader held by the FIFO is let go by a writer.
    while (reads < kReads) {
        const int fd = ::open((root / "COM1").c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
        QTest::qWait(10);
    }
    reader.join();
    QVERIFY(finished);
}

QTEST_GUILESS_MAIN(TestEndpoint)
#include "tst_endpoint.moc"
