// The mapping of line settings onto termios, without a device: every frame and flow setting,
// the members that keep the device's value, and the settings a tty cannot express.

#include "serial/serial_termios.h"

#include <QTest>

#include <cerrno>

using quillmark::serial::LineSettings;

namespace {

constexpr tcflag_t kFrameBits = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
constexpr tcflag_t kInputBits = IXON | IXOFF | INPCK;

// What a terminal that was left in cooked mode with odd settings reports.
termios cookedDevice() {
    termios tio{};
    tio.c_cflag = CS7 | PARENB | CSTOPB | CRTSCTS;
    tio.c_iflag = ICRNL | IXON | IXOFF | INPCK | ISTRIP | IGNBRK;
    tio.c_oflag = OPOST | ONLCR;
    tio.c_lflag = ICANON | ECHO | ISIG | IEXTEN;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 5;
    return tio;
}

} // namespace

class TestLineSettings : public QObject {
    Q_OBJECT
private slots:
    void frame_data();
    void frame();
    void flow_data();
    void flow();
    void refused_data();
    void refused();
    void alwaysRaw();
    void flowCharacters();
};

void TestLineSettings::frame_data() {
    QTest::addColumn<int>("dataBits");      // 0: keep
    QTest::addColumn<int>("parity");        // -1: keep
    QTest::addColumn<int>("stopsTimesTwo"); // 0: keep
    QTest::addColumn<unsigned>("cflag");
    using P = LineSettings::Parity;
    const tcflag_t kept = CS7 | PARENB | CSTOPB;
    QTest::newRow("all kept") << 0 << -1 << 0 << unsigned(kept);
    QTest::newRow("8N1") << 8 << int(P::None) << 2 << unsigned(CS8);
    QTest::newRow("7E1") << 7 << int(P::Even) << 2 << unsigned(CS7 | PARENB);
    QTest::newRow("6O2") << 6 << int(P::Odd) << 4 << unsigned(CS6 | PARENB | PARODD | CSTOPB);
    QTest::newRow("5 mark 1.5") << 5 << int(P::Mark) << 3
                                << unsigned(CS5 | PARENB | PARODD | CMSPAR | CSTOPB);
    QTest::newRow("8 space 1") << 8 << int(P::Space) << 2 << unsigned(CS8 | PARENB | CMSPAR);
    QTest::newRow("only data bits") << 8 << -1 << 0 << unsigned(CS8 | PARENB | CSTOPB);
    QTest::newRow("only parity none") << 0 << int(P::None) << 0 << unsigned(CS7 | CSTOPB);
    QTest::newRow("only one stop bit") << 0 << -1 << 2 << unsigned(CS7 | PARENB);
}

void TestLineSettings::frame() {
    QFETCH(int, dataBits);
    QFETCH(int, parity);
    QFETCH(int, stopsTimesTwo);
    LineSettings s;
    if (dataBits != 0)
        s.dataBits = dataBits;
    if (parity >= 0)
        s.parity = LineSettings::Parity(parity);
    if (stopsTimesTwo != 0)
        s.stopBitsTimesTwo = stopsTimesTwo;
    termios tio = cookedDevice();
    QCOMPARE(quillmark::serial::overlayLineSettings(tio, s), 0);
    QTEST(unsigned(tio.c_cflag & (kFrameBits & ~CRTSCTS)), "cflag");
}

void TestLineSettings::flow_data() {
    QTest::addColumn<int>("xonXoff"); // -1 keep, else bit 0 input, bit 1 output
    QTest::addColumn<int>("rts");     // -1 keep
    QTest::addColumn<bool>("checkParity");
    QTest::addColumn<bool>("ctsFlow");
    QTest::addColumn<unsigned>("iflag");
    QTest::addColumn<bool>("hardwareFlow");
    using R = LineSettings::Rts;
    QTest::newRow("nothing asked") << -1 << -1 << false << false << 0U << false;
    QTest::newRow("XON/XOFF input") << 1 << -1 << false << false << unsigned(IXOFF) << false;
    QTest::newRow("XON/XOFF output") << 2 << -1 << false << false << unsigned(IXON) << false;
    QTest::newRow("XON/XOFF both") << 3 << -1 << false << false << unsigned(IXON | IXOFF) << false;
    QTest::newRow("XON/XOFF disabled") << 0 << -1 << false << false << 0U << false;
    QTest::newRow("parity check") << -1 << -1 << true << false << unsigned(INPCK) << false;
    QTest::newRow("CTS output flow") << -1 << -1 << false << true << 0U << true;
    QTest::newRow("RTS handshake") << -1 << int(R::Handshake) << false << false << 0U << true;
    QTest::newRow("RTS enabled") << -1 << int(R::Enable) << false << false << 0U << false;
}

void TestLineSettings::flow() {
    QFETCH(int, xonXoff);
    QFETCH(int, rts);
    QFETCH(bool, checkParity);
    QFETCH(bool, ctsFlow);
    LineSettings s;
    if (xonXoff >= 0)
        s.xonXoff = LineSettings::XonXoff{(xonXoff & 1) != 0, (xonXoff & 2) != 0};
    if (rts >= 0)
        s.rts = LineSettings::Rts(rts);
    s.checkParity = checkParity;
    s.outputCtsFlow = ctsFlow;
    termios tio = cookedDevice();
    QCOMPARE(quillmark::serial::overlayLineSettings(tio, s), 0);
    QTEST(unsigned(tio.c_iflag & kInputBits), "iflag");
    QTEST((tio.c_cflag & CRTSCTS) != 0, "hardwareFlow");
}

void TestLineSettings::refused_data() {
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<int>("stopsTimesTwo");
    QTest::addColumn<int>("dtr"); // -1 keep
    QTest::addColumn<int>("rts"); // -1 keep
    QTest::addColumn<bool>("unsupportedOption");
    QTest::addColumn<int>("result");
    using D = LineSettings::Dtr;
    using R = LineSettings::Rts;
    QTest::newRow("4 data bits") << 4 << 0 << -1 << -1 << false << EINVAL;
    QTest::newRow("9 data bits") << 9 << 0 << -1 << -1 << false << EINVAL;
    QTest::newRow("5 data bits") << 5 << 0 << -1 << -1 << false << 0;
    QTest::newRow("1.5 stop bits with 5 data bits") << 5 << 3 << -1 << -1 << false << 0;
    QTest::newRow("1.5 stop bits with 6 data bits") << 6 << 3 << -1 << -1 << false << EINVAL;
    QTest::newRow("DTR handshake") << 8 << 2 << int(D::Handshake) << -1 << false << EINVAL;
    QTest::newRow("DTR enabled") << 8 << 2 << int(D::Enable) << -1 << false << 0;
    QTest::newRow("RTS toggle") << 8 << 2 << -1 << int(R::Toggle) << false << EINVAL;
    QTest::newRow("option without tty flag") << 8 << 2 << -1 << -1 << true << EINVAL;
}

void TestLineSettings::refused() {
    QFETCH(int, dataBits);
    QFETCH(int, stopsTimesTwo);
    QFETCH(int, dtr);
    QFETCH(int, rts);
    QFETCH(bool, unsupportedOption);
    LineSettings s;
    s.dataBits = dataBits;
    if (stopsTimesTwo != 0)
        s.stopBitsTimesTwo = stopsTimesTwo;
    if (dtr >= 0)
        s.dtr = LineSettings::Dtr(dtr);
    if (rts >= 0)
        s.rts = LineSettings::Rts(rts);
    s.unsupportedOption = unsupportedOption;
    termios tio = cookedDevice();
    QTEST(quillmark::serial::overlayLineSettings(tio, s), "result");
}

void TestLineSettings::alwaysRaw() {
    termios tio = cookedDevice();
    QCOMPARE(quillmark::serial::overlayLineSettings(tio, LineSettings{}), 0);
    QCOMPARE(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), tcflag_t(0));
    QCOMPARE(tio.c_iflag & (ICRNL | ISTRIP | IGNBRK | IXON | IXOFF), tcflag_t(0));
    QCOMPARE(tio.c_oflag & OPOST, tcflag_t(0));
    QCOMPARE(tio.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
    // Reads never wait in the kernel: the port waits with poll and its own time-outs.
    QCOMPARE(tio.c_cc[VMIN], cc_t(0));
    QCOMPARE(tio.c_cc[VTIME], cc_t(0));
}

void TestLineSettings::flowCharacters() {
    LineSettings s;
    s.xonChar = 0x01;
    s.xoffChar = 0xFE;
    termios tio = cookedDevice();
    QCOMPARE(quillmark::serial::overlayLineSettings(tio, s), 0);
    QCOMPARE(tio.c_cc[VSTART], cc_t(0x01));
    QCOMPARE(tio.c_cc[VSTOP], cc_t(0xFE));
}

QTEST_APPLESS_MAIN(TestLineSettings)
#include "tst_line_settings.moc"
