#include "remote/endpoint.h"

#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <fstream>

using quillmark::remote::Endpoint;
using quillmark::remote::EntryContent;
using quillmark::remote::parseEndpoint;
using quillmark::remote::readEntry;

class TestEndpoint : public QObject {
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void entryKinds();
};

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
        << "rfc2217://site-7.example.org:2217\r\n"
        << true << true << "site-7.example.org" << 2217 << "site-7.example.org:2217";
    QTest::newRow("IPv6 in brackets")
        << "rfc2217://[::1]:7000" << true << true << "::1" << 7000 << "[::1]:7000";
    QTest::newRow("scheme in capitals") << "TCP://localhost:1" << false << false << "" << 0 << "";
    QTest::newRow("lowest port, name")
        << "tcp://localhost:1" << true << false << "localhost" << 1 << "localhost:1";
    QTest::newRow("highest port") << "tcp://h:65535" << true << false << "h" << 65535 << "h:65535";
    QTest::newRow("port 0") << "tcp://h:0" << false << false << "" << 0 << "";
    QTest::newRow("port too big") << "tcp://h:65536" << false << false << "" << 0 << "";
    QTest::newRow("no port") << "tcp://h" << false << false << "" << 0 << "";
    QTest::newRow("empty port") << "tcp://h:" << false << false << "" << 0 << "";
    QTest::newRow("signed port") << "tcp://h:+80" << false << false << "" << 0 << "";
    QTest::newRow("no host") << "tcp://:80" << false << false << "" << 0 << "";
    QTest::newRow("IPv6 without brackets") << "tcp://::1:80" << false << false << "" << 0 << "";
    QTest::newRow("bad IPv6") << "tcp://[::g]:80" << false << false << "" << 0 << "";
    QTest::newRow("path after port") << "tcp://h:80/x" << false << false << "" << 0 << "";
    QTest::newRow("other scheme") << "telnet://h:23" << false << false << "" << 0 << "";
    QTest::newRow("device path") << "/dev/ttyUSB0" << false << false << "" << 0 << "";
    QTest::newRow("blank in host") << "tcp://a b:80" << false << false << "" << 0 << "";
}

void TestEndpoint::parse() {
    QFETCH(QString, line);
    QFETCH(bool, valid);
    const auto e = parseEndpoint(line.toStdString());
    QCOMPARE(e.has_value(), valid);
    if (!valid)
        return;
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

QTEST_GUILESS_MAIN(TestEndpoint)
#include "tst_endpoint.moc"
