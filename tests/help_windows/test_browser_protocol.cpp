#include "browser_protocol.h"

#include <QTest>

using browser_protocol::Command;

Q_DECLARE_METATYPE(Command::Kind)
Q_DECLARE_METATYPE(std::optional<browser_protocol::WindowReport>)

// The lines between the program and its browser helper.
class TestBrowserProtocol : public QObject {
    Q_OBJECT
private slots:
    void addressesRoundTrip_data();
    void addressesRoundTrip();
    void everyCharacterRoundTrips();
    void commandsParse_data();
    void commandsParse();
    void windowLines_data();
    void windowLines();
    void focusReports();
    void windowReports_data();
    void windowReports();
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
    QCOMPARE(command.text, address);
}

void TestBrowserProtocol::everyCharacterRoundTrips() {
    for (char32_t code = 1; code <= 0x10FFFF; code += code < 0x3000 ? 1 : 97) {
        if (code >= 0xD800 && code <= 0xDFFF)
            continue;
        const QString address = QString::fromUcs4(&code, 1);
        const QByteArray line = browser_protocol::navigateLine(address);
        QCOMPARE(line.count('\n'), 1);
        QCOMPARE(browser_protocol::parseCommand(line.chopped(1)).text, address);
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
    QTest::newRow("show") << QByteArray("show") << Command::Kind::Show;
    QTest::newRow("show with area") << QByteArray("show 1 2 3 4") << Command::Kind::Unknown;
    QTest::newRow("title") << browser_protocol::titleLine("a\nb").chopped(1)
                           << Command::Kind::Title;
    QTest::newRow("title without space") << QByteArray("title") << Command::Kind::Unknown;
    QTest::newRow("address empty")
        << browser_protocol::addressLine("").chopped(1) << Command::Kind::Address;
    QTest::newRow("window report") << QByteArray("shown") << Command::Kind::Unknown;
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

void TestBrowserProtocol::windowReports_data() {
    using Report = browser_protocol::WindowReport;
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<std::optional<Report>>("report");
    QTest::newRow("pressed") << browser_protocol::pressedLine("Button1", "a b\n%")
                             << std::optional(Report{Report::Kind::Pressed, "Button1", "a b\n%"});
    // Read trimmed, an empty address loses its separator.
    QTest::newRow("pressed, empty address")
        << browser_protocol::pressedLine("Button4", "").trimmed() + '\n'
        << std::optional(Report{Report::Kind::Pressed, "Button4", ""});
    QTest::newRow("closed") << browser_protocol::closedLine() << std::optional(Report{});
    QTest::newRow("shown") << browser_protocol::shownLine()
                           << std::optional(Report{Report::Kind::Shown, {}, {}});
    QTest::newRow("pressed nothing") << QByteArray("pressed \n") << std::optional<Report>();
    QTest::newRow("closed with more") << QByteArray("closed now\n") << std::optional<Report>();
    QTest::newRow("window line") << browser_protocol::windowLine(3) << std::optional<Report>();
}

void TestBrowserProtocol::windowReports() {
    QFETCH(QByteArray, line);
    QFETCH(std::optional<browser_protocol::WindowReport>, report);
    QVERIFY(browser_protocol::parseWindowReport(line.chopped(1)) == report);
}

QTEST_APPLESS_MAIN(TestBrowserProtocol)
#include "test_browser_protocol.moc"
