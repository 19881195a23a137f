#include "browser_protocol.h"

#include <QTest>

using browser_protocol::Command;

Q_DECLARE_METATYPE(Command::Kind)

// The lines between the program and its browser helper.
class TestBrowserProtocol : public QObject {
    Q_OBJECT
private slots:
    void addressesRoundTrip_data();
    void addressesRoundTrip();
    void everyCharacterRoundTrips();
    void commandsParse_data();
    void commandsParse();
    void showAreaRoundTrips_data();
    void showAreaRoundTrips();
    void windowLines_data();
    void windowLines();
    void focusReports();
};

void TestBrowserProtocol::addressesRoundTrip_data() {
    QTest::addColumn<QString>("address");
    QTest::newRow("bare host") << "www.tarvenor.com";
    QTest::newRow("empty") << "";
    QTest::newRow("one space") << " ";
    QTest::newRow("spaces around") << "  a b  ";
    QTest::newRow("percent") << "100%";
    QTest::newRow("percent escape as text") << "a%20b%zz%";
    QTest::newRow("line breaks") << "a\nb\r\nc";
    QTest::newRow("tab and NUL") << QString("x\ty") + QChar(0) + "z";
    QTest::newRow("non-ASCII") << QString::fromUtf8("información en línea ñ €");
    QTest::newRow("outside the BMP") << QString::fromUtf8("\U0001F4FB radio");
    QTest::newRow("command inside") << "x\nstop\nnavigate y";
    QTest::newRow("query and fragment") << "http://h/p?q=1&r=a+b#frag";
}

void TestBrowserProtocol::addressesRoundTrip() {
    QFETCH(QString, address);
    const QByteArray line = browser_protocol::navigateLine(address);
    QVERIFY(line.endsWith('\n'));
    QCOMPARE(line.count('\n'), 1);
    const Command command = browser_protocol::parseCommand(line.chopped(1));
    QCOMPARE(command.kind, Command::Kind::Navigate);
    QCOMPARE(command.address, address);
}

void TestBrowserProtocol::everyCharacterRoundTrips() {
    for (char32_t code = 1; code <= 0x10FFFF; code += code < 0x3000 ? 1 : 97) {
        if (code >= 0xD800 && code <= 0xDFFF)
            continue;
        const QString address = QString::fromUcs4(&code, 1);
        const QByteArray line = browser_protocol::navigateLine(address);
        QCOMPARE(line.count('\n'), 1);
        QCOMPARE(browser_protocol::parseCommand(line.chopped(1)).address, address);
    }
}

void TestBrowserProtocol::commandsParse_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<Command::Kind>("kind");
    QTest::newRow("stop") << QByteArray("stop") << Command::Kind::Stop;
    QTest::newRow("hide") << QByteArray("hide") << Command::Kind::Hide;
    QTest::newRow("navigate empty") << QByteArray("navigate ") << Command::Kind::Navigate;
    QTest::newRow("navigate without space") << QByteArray("navigate") << Command::Kind::Unknown;
    QTest::newRow("stop with more") << QByteArray("stop now") << Command::Kind::Unknown;
    QTest::newRow("upper case") << QByteArray("STOP") << Command::Kind::Unknown;
    QTest::newRow("empty line") << QByteArray("") << Command::Kind::Unknown;
    QTest::newRow("show short") << QByteArray("show 1 2 3") << Command::Kind::Unknown;
    QTest::newRow("show long") << QByteArray("show 1 2 3 4 5") << Command::Kind::Unknown;
    QTest::newRow("show text") << QByteArray("show a 2 3 4") << Command::Kind::Unknown;
    QTest::newRow("show negative size") << QByteArray("show 0 0 -1 4") << Command::Kind::Unknown;
    QTest::newRow("show off screen") << QByteArray("show -5 -7 0 0") << Command::Kind::Show;
    QTest::newRow("window line") << QByteArray("window 5") << Command::Kind::Unknown;
    QTest::newRow("focus first") << browser_protocol::focusFirstLine().chopped(1)
                                 << Command::Kind::FocusFirst;
    QTest::newRow("focus last") << browser_protocol::focusLastLine().chopped(1)
                                << Command::Kind::FocusLast;
    QTest::newRow("focus report") << QByteArray("focus next") << Command::Kind::Unknown;
}

void TestBrowserProtocol::commandsParse() {
    QFETCH(QByteArray, line);
    QFETCH(Command::Kind, kind);
    QCOMPARE(browser_protocol::parseCommand(line).kind, kind);
}

void TestBrowserProtocol::showAreaRoundTrips_data() {
    QTest::addColumn<QRect>("area");
    QTest::newRow("browser area") << QRect(0, 96, 750, 538);
    QTest::newRow("left of the screen") << QRect(-1920, -3, 1, 1);
    QTest::newRow("empty") << QRect(10, 20, 0, 0);
    QTest::newRow("large") << QRect(2147483000, 0, 600, 32767);
}

void TestBrowserProtocol::showAreaRoundTrips() {
    QFETCH(QRect, area);
    const QByteArray line = browser_protocol::showLine(area);
    QVERIFY(line.endsWith('\n'));
    const Command command = browser_protocol::parseCommand(line.chopped(1));
    QCOMPARE(command.kind, Command::Kind::Show);
    QCOMPARE(command.area, area);
    QCOMPARE(browser_protocol::parseCommand(browser_protocol::hideLine().chopped(1)).kind,
             Command::Kind::Hide);
    QCOMPARE(browser_protocol::parseCommand(browser_protocol::stopLine().chopped(1)).kind,
             Command::Kind::Stop);
}

void TestBrowserProtocol::windowLines_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<quint64>("id");
    QTest::newRow("small") << QByteArray("window 1") << true << quint64(1);
    QTest::newRow("X id") << QByteArray("window 8388614") << true << quint64(8388614);
    QTest::newRow("largest") << QByteArray("window 18446744073709551615") << true
                             << quint64(18446744073709551615ULL);
    QTest::newRow("zero is no window") << QByteArray("window 0") << false << quint64(0);
    QTest::newRow("too large") << QByteArray("window 18446744073709551616") << false << quint64(0);
    QTest::newRow("negative") << QByteArray("window -1") << false << quint64(0);
    QTest::newRow("trailing text") << QByteArray("window 12x") << false << quint64(0);
    QTest::newRow("no id") << QByteArray("window") << false << quint64(0);
    QTest::newRow("no id after space") << QByteArray("window ") << false << quint64(0);
    QTest::newRow("other word") << QByteArray("windows 5") << false << quint64(0);
    QTest::newRow("other output") << QByteArray("Loading...") << false << quint64(0);
}

void TestBrowserProtocol::windowLines() {
    QFETCH(QByteArray, line);
    QFETCH(bool, valid);
    QFETCH(quint64, id);
    const auto parsed = browser_protocol::parseWindowLine(line);
    QCOMPARE(parsed.has_value(), valid);
    if (valid) {
        QCOMPARE(*parsed, id);
        QCOMPARE(browser_protocol::windowLine(id), line + '\n');
    }
}

void TestBrowserProtocol::focusReports() {
    using browser_protocol::FocusReport;
    for (const FocusReport report : {FocusReport::Taken, FocusReport::Next, FocusReport::Previous})
        QCOMPARE(browser_protocol::parseFocusReport(
                     browser_protocol::focusReportLine(report).chopped(1)),
                 std::optional<FocusReport>(report));
    // The program's own commands and the window report are no focus reports.
    for (const QByteArray& other :
         {browser_protocol::focusFirstLine(), browser_protocol::focusLastLine(),
          browser_protocol::windowLine(7), QByteArray("focus\n")})
        QVERIFY(!browser_protocol::parseFocusReport(other.chopped(1)).has_value());
}

QTEST_APPLESS_MAIN(TestBrowserProtocol)
#include "test_browser_protocol.moc"
