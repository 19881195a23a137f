// TComPort: opening and closing, line settings on a real tty, property rules, failures.

#include "pty_pair.h"
#include "serial/comport.h"
#include "serial/serial_platform.h"

#include "serial/process_priority.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <semaphore>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// A port set up as the main window sets up its port.
void configureLikeMainWindow(TCustomComPort& port, const std::string& device) {
    port.SetDeviceName(device);
    port.SetBaudRate(br2400);
    port.SetDataBits(db8);
    port.SetParity(paNone);
    port.SetPriorityClass(pcHigh);
    port.SetStopBits(sb1);
    port.Timeouts().SetReadConstant(1000ms);
}

termios settingsOf(const PtyPair& pty) {
    termios tio{};
    tcgetattr(pty.slave(), &tio);
    return tio;
}

int currentNice() {
    errno = 0;
    return getpriority(PRIO_PROCESS, 0);
}

// Counts the open/close events of a port.
struct EventLog {
    int beforeOpen = 0, afterOpen = 0, beforeClose = 0, afterClose = 0;
    void attach(TCustomComPort& port) {
        port.BeforeOpen = TOpenCloseEvent(this, 1, [this](TCustomComPort*) { ++beforeOpen; });
        port.AfterOpen = TOpenCloseEvent(this, 2, [this](TCustomComPort*) { ++afterOpen; });
        port.BeforeClose = TOpenCloseEvent(this, 3, [this](TCustomComPort*) { ++beforeClose; });
        port.AfterClose = TOpenCloseEvent(this, 4, [this](TCustomComPort*) { ++afterClose; });
    }
    [[nodiscard]] int total() const { return beforeOpen + afterOpen + beforeClose + afterClose; }
};

// Holds XDG_CONFIG_HOME on a temporary folder while a test runs.
class ConfigHome {
public:
    ConfigHome()
        : old_(qgetenv("XDG_CONFIG_HOME")), hadOld_(qEnvironmentVariableIsSet("XDG_CONFIG_HOME")) {
        qputenv("XDG_CONFIG_HOME", dir_.path().toLocal8Bit());
        std::filesystem::create_directories(configDir());
    }
    ~ConfigHome() {
        if (hadOld_)
            qputenv("XDG_CONFIG_HOME", old_);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }
    [[nodiscard]] std::filesystem::path configDir() const {
        return std::filesystem::path(dir_.path().toStdString()) / "Tarvenor" / "Quillmark";
    }

private:
    QTemporaryDir dir_;
    QByteArray old_;
    bool hadOld_;
};

} // namespace

class TestComPort : public QObject {
    Q_OBJECT
private slots:
    void defaults();
    void openAppliesLineSettings_data();
    void openAppliesLineSettings();
    void openKeepsDefaultMembers();
    void refusedSettingLeavesPortClosed_data();
    void refusedSettingLeavesPortClosed();
    void secondOpenFailsAndFirstStaysUsable();
    void failedOpenLeavesTheHoldersTtyShared();
    void copyLeftInAWaitDoesNotKeepThePortBusy();
    void failedOpenLeavesNothingBehind_data();
    void failedOpenLeavesNothingBehind();
    void openRaisesPriorityAndCloseRestoresIt();
    void priorityClassHoldsForEveryThread();
    void childStartsAtNormalPriority();
    void comNameResolution_data();
    void comNameResolution();
    void comNameOpensThroughConfigLink();
    void closedPortOperationsFail_data();
    void closedPortOperationsFail();
    void activeOnSameStateFiresNoEvents();
    void openAndCloseFireEventsOnce();
    void closedOnlyPropertiesWhileOpen_data();
    void closedOnlyPropertiesWhileOpen();
    void sameDeviceNameAcceptedWhileOpen();
    void baudRateChangeInForceAtOnce();
    void customBaudRate_data();
    void customBaudRate();
    void nonStandardSpeedReachesTheTty();
    void loadingDefersActive();
    void onErrorSeesAndCanAbort();
    void manyOpenCloseCyclesLeaveNothing();
    void aboutText();
};

void TestComPort::defaults() {
    TComPort port;
    QCOMPARE(port.DeviceName(), std::string("COM1"));
    QVERIFY(!port.Active());
    QCOMPARE(port.BaudRate(), brDefault);
    QCOMPARE(port.CustomBaudRate(), 0);
    QCOMPARE(port.DataBits(), dbDefault);
    QCOMPARE(port.Parity(), paDefault);
    QCOMPARE(port.StopBits(), sbDefault);
    QCOMPARE(port.Options(), TOptions{0});
    QCOMPARE(port.PriorityClass(), pcDefault);
    QVERIFY(port.SynchronizeEvents());
    QCOMPARE(port.ThreadPriority(), tpTimeCritical);
    QCOMPARE(port.Characters().XOn(), char(17));
    QCOMPARE(port.Characters().XOff(), char(19));
    QCOMPARE(port.BufferSizes().Input(), 4096);
    QCOMPARE(port.BufferSizes().Output(), 2048);
    QCOMPARE(port.Timeouts().ReadConstant(), 0ms);
    QCOMPARE(port.FlowControl().DTR(), dcDefault);
    QCOMPARE(port.EventMask(), 0U);
}

void TestComPort::openAppliesLineSettings_data() {
    // A pseudo-terminal takes speeds and stop bits; it refuses other frames (see the
    // overlay tests for those).
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("stopBits");
    QTest::addColumn<unsigned>("speed");
    QTest::addColumn<bool>("twoStops");
    QTest::newRow("main window 2400 8N1") << int(br2400) << int(sb1) << unsigned(B2400) << false;
    QTest::newRow("lowest 50 8N2") << int(br50) << int(sb2) << unsigned(B50) << true;
    QTest::newRow("9600 8N1") << int(br9600) << int(sb1) << unsigned(B9600) << false;
    QTest::newRow("highest named 115200 8N2")
        << int(br115200) << int(sb2) << unsigned(B115200) << true;
}

void TestComPort::openAppliesLineSettings() {
    QFETCH(int, baud);
    QFETCH(int, stopBits);
    PtyPair pty;
    TComPort port;
    configureLikeMainWindow(port, pty.slavePath());
    port.SetBaudRate(TBaudRate(baud));
    port.SetStopBits(TStopBits(stopBits));
    port.Open();
    QVERIFY(port.Active());
    const termios tio = settingsOf(pty);
    QTEST(unsigned(cfgetospeed(&tio)), "speed");
    QTEST(unsigned(cfgetispeed(&tio)), "speed");
    QCOMPARE(tio.c_cflag & (CSIZE | PARENB), tcflag_t(CS8));
    QTEST((tio.c_cflag & CSTOPB) != 0, "twoStops");
    // Raw bytes: nothing translated, echoed, interpreted or swallowed as flow control.
    QCOMPARE(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), tcflag_t(0));
    QCOMPARE(tio.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | IXON | IXOFF | INPCK), tcflag_t(0));
    QCOMPARE(tio.c_oflag & OPOST, tcflag_t(0));
    QCOMPARE(tio.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
    QCOMPARE(tio.c_cflag & CRTSCTS, tcflag_t(0));
    QCOMPARE(tio.c_cc[VSTART], cc_t(17));
    QCOMPARE(tio.c_cc[VSTOP], cc_t(19));
    QCOMPARE(port.Timeouts().ReadConstant(), 1000ms);
}

void TestComPort::openKeepsDefaultMembers() {
    PtyPair pty;
    termios before = settingsOf(pty);
    cfsetspeed(&before, B4800);
    before.c_cflag |= CSTOPB;
    QCOMPARE(tcsetattr(pty.slave(), TCSANOW, &before), 0);
    TComPort port;
    port.SetDeviceName(pty.slavePath());
    port.Open();
    const termios after = settingsOf(pty);
    QCOMPARE(cfgetospeed(&after), speed_t(B4800));
    QVERIFY((after.c_cflag & CSTOPB) != 0);
}

void TestComPort::refusedSettingLeavesPortClosed_data() {
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<int>("stopBits");
    QTest::addColumn<int>("options");
    QTest::newRow("four data bits") << int(db4) << int(sbDefault) << 0;
    QTest::newRow("1.5 stop bits with 8 data bits") << int(db8) << int(sb1_5) << 0;
    QTest::newRow("discard NUL bytes") << int(db8) << int(sb1) << (1 << opDiscardNullBytes);
    QTest::newRow("DSR output flow") << int(db8) << int(sb1) << (1 << opOutputDSRFlow);
}

void TestComPort::refusedSettingLeavesPortClosed() {
    QFETCH(int, dataBits);
    QFETCH(int, stopBits);
    QFETCH(int, options);
    PtyPair pty;
    const int descriptors = openDescriptorCount();
    TComPort port;
    EventLog log;
    log.attach(port);
    port.SetDeviceName(pty.slavePath());
    port.SetOnRxChar(TNotifyEvent(this, 1, [](QObject*) {}));
    port.SetDataBits(TDataBits(dataBits));
    port.SetStopBits(TStopBits(stopBits));
    port.SetOptions(TOptions(options));
    try {
        port.Open();
        QFAIL("the open succeeded");
    } catch (const EComError& e) {
        QCOMPARE(e.ErrorCode, EINVAL);
        QCOMPARE(std::string(e.what()), quillmark::serial::systemErrorText(EINVAL));
    }
    QVERIFY(!port.Active());
    QCOMPARE(log.afterOpen, 0);
    QCOMPARE(openDescriptorCount(), descriptors);
    // The device is free again.
    TComPort other;
    other.SetDeviceName(pty.slavePath());
    other.Open();
    QVERIFY(other.Active());
}

void TestComPort::secondOpenFailsAndFirstStaysUsable() {
    PtyPair pty;
    TComPort first;
    first.SetDeviceName(pty.slavePath());
    first.Open();
    TComPort second;
    second.SetDeviceName(pty.slavePath());
    try {
        second.Open();
        QFAIL("the second open succeeded");
    } catch (const EComError& e) {
        QCOMPARE(e.ErrorCode, EBUSY);
        QCOMPARE(std::string(e.what()), quillmark::serial::systemErrorText(EBUSY));
    }
    QVERIFY(!second.Active());
    QVERIFY(first.Active());
    first.WriteByte(0x5A);
    QCOMPARE(pty.receive(1, 1s), QByteArray("\x5A"));
    pty.send("\x33");
    QCOMPARE(first.ReadByte(), std::uint8_t(0x33));
}

// Another program holds the tty (flock): the refused open must not make it exclusive.
void TestComPort::failedOpenLeavesTheHoldersTtyShared() {
    PtyPair pty;
    const int holder = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    QVERIFY(holder >= 0);
    QCOMPARE(::flock(holder, LOCK_EX | LOCK_NB), 0);
    TComPort port;
    port.SetDeviceName(pty.slavePath());
    QVERIFY_THROWS_EXCEPTION(EComError, port.Open());
    int exclusive = -1;
    QCOMPARE(::ioctl(holder, TIOCGEXCL, &exclusive), 0);
    QCOMPARE(exclusive, 0);
    ::close(holder);
}

// A line watch left in a driver's wait that ignores signals keeps a copy of the descriptor.
void TestComPort::copyLeftInAWaitDoesNotKeepThePortBusy() {
    PtyPair pty;
    TComPort port;
    port.SetDeviceName(pty.slavePath());
    port.Open();
    int copy = -1;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        if (std::error_code ec; std::filesystem::read_symlink(entry, ec) == pty.slavePath())
            copy = ::fcntl(std::stoi(entry.path().filename()), F_DUPFD_CLOEXEC, 0);
    QVERIFY(copy >= 0);
    port.Close();
    port.Open();
    ::close(copy);
}

void TestComPort::failedOpenLeavesNothingBehind_data() {
    QTest::addColumn<QString>("device");
    QTest::addColumn<int>("code");
    QTest::newRow("no such path") << "/dev/quillmark-no-such-device" << ENOENT;
    QTest::newRow("COM7 linked to a missing path") << "COM7" << ENOENT;
    QTest::newRow("not a tty") << "/dev/null" << ENOTTY;
    QTest::newRow("a directory") << "/tmp" << EISDIR;
}

void TestComPort::failedOpenLeavesNothingBehind() {
    QFETCH(QString, device);
    QFETCH(int, code);
    const ConfigHome home;
    std::filesystem::create_symlink(home.configDir() / "no-such-device", home.configDir() / "COM7");
    const int threads = threadCount();
    const int descriptors = openDescriptorCount();
    const int nice = currentNice();
    TComPort port;
    EventLog log;
    log.attach(port);
    port.SetDeviceName(device.toStdString());
    port.SetPriorityClass(pcHigh);
    port.SetOnRxChar(TNotifyEvent(this, 1, [](QObject*) {}));
    try {
        port.Open();
        QFAIL("the open succeeded");
    } catch (const EComError& e) {
        QCOMPARE(e.ErrorCode, code);
        QCOMPARE(std::string(e.what()), quillmark::serial::systemErrorText(code));
    }
    QVERIFY(!port.Active());
    QCOMPARE(log.beforeOpen, 1);
    QCOMPARE(log.afterOpen, 0);
    QCOMPARE(threadCount(), threads);
    QCOMPARE(openDescriptorCount(), descriptors);
    QCOMPARE(currentNice(), nice);
}

void TestComPort::openRaisesPriorityAndCloseRestoresIt() {
    if (geteuid() != 0)
        QSKIP("raising the priority needs CAP_SYS_NICE");
    PtyPair pty;
    const int nice = currentNice();
    TComPort port;
    configureLikeMainWindow(port, pty.slavePath());
    port.Open();
    QVERIFY(currentNice() < nice);
    port.Close();
    QCOMPARE(currentNice(), nice);
}

// Linux keeps a nice value per thread: the class must reach threads other than the opener.
void TestComPort::priorityClassHoldsForEveryThread() {
    if (geteuid() != 0)
        QSKIP("raising the priority needs CAP_SYS_NICE");
    PtyPair pty;
    struct Other {
        std::atomic<pid_t> tid{0};
        std::binary_semaphore done{0};
        std::thread thread{[this] {
            tid = static_cast<pid_t>(::syscall(SYS_gettid));
            done.acquire();
        }};
        ~Other() {
            done.release();
            thread.join();
        }
    } other;
    QTRY_VERIFY(other.tid != 0);
    const auto niceOfOther = [&] { return ::getpriority(PRIO_PROCESS, id_t(other.tid.load())); };
    const int before = niceOfOther();
    TComPort port;
    configureLikeMainWindow(port, pty.slavePath());
    port.Open();
    QCOMPARE(niceOfOther(), currentNice());
    QVERIFY(niceOfOther() < before);
    port.Close();
    QCOMPARE(niceOfOther(), before);
}

void TestComPort::childStartsAtNormalPriority() {
    if (geteuid() != 0)
        QSKIP("raising the priority needs CAP_SYS_NICE");
    PtyPair pty;
    const int normal = currentNice();
    TComPort port;
    configureLikeMainWindow(port, pty.slavePath());
    port.Open();
    QVERIFY(currentNice() < normal);
    QProcess child;
    quillmark::serial::startAtNormalPriority(child);
    child.start("nice", {}); // prints the niceness it runs at
    QVERIFY(child.waitForFinished(5000));
    QCOMPARE(child.readAllStandardOutput().trimmed().toInt(), normal);
}

void TestComPort::comNameResolution_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("linked");
    QTest::addColumn<QString>("expected"); // "<link>" stands for the config folder's entry
    QTest::newRow("COM1 unlinked") << "COM1" << false << "/dev/ttyS0";
    QTest::newRow("COM255 unlinked") << "COM255" << false << "/dev/ttyS254";
    QTest::newRow("COM7 linked") << "COM7" << true << "<link>";
    QTest::newRow("COM0 is a plain name") << "COM0" << false << "COM0";
    QTest::newRow("COM256 is a plain name") << "COM256" << false << "COM256";
    QTest::newRow("leading zero") << "COM01" << false << "COM01";
    QTest::newRow("lower case") << "com1" << false << "com1";
    QTest::newRow("trailing text") << "COM1x" << false << "COM1x";
    QTest::newRow("bare COM") << "COM" << false << "COM";
    QTest::newRow("absolute path") << "/dev/ttyUSB0" << false << "/dev/ttyUSB0";
}

void TestComPort::comNameResolution() {
    QFETCH(QString, name);
    QFETCH(bool, linked);
    QFETCH(QString, expected);
    ConfigHome home;
    const auto link = home.configDir() / name.toStdString();
    if (linked)
        std::filesystem::create_symlink("/dev/quillmark-target", link);
    const std::string wanted = expected == "<link>" ? link.string() : expected.toStdString();
    QCOMPARE(quillmark::serial::resolveDeviceName(name.toStdString()), wanted);
}

void TestComPort::comNameOpensThroughConfigLink() {
    ConfigHome home;
    PtyPair pty;
    std::filesystem::create_symlink(pty.slavePath(), home.configDir() / "COM3");
    TComPort port;
    port.SetDeviceName("COM3");
    port.Open();
    QVERIFY(port.Active());
    port.WriteByte(0xA5);
    QCOMPARE(pty.receive(1, 1s), QByteArray("\xA5"));
}

void TestComPort::closedPortOperationsFail_data() {
    QTest::addColumn<int>("operation");
    QTest::newRow("ReadByte") << 0;
    QTest::newRow("WriteByte") << 1;
    QTest::newRow("ResetDevice") << 2;
    QTest::newRow("ModemStatus") << 3;
    QTest::newRow("Read") << 4;
    QTest::newRow("Write of nothing") << 5;
    QTest::newRow("InputCount") << 6;
}

void TestComPort::closedPortOperationsFail() {
    QFETCH(int, operation);
    TComPort port;
    int beforeEvents = 0;
    port.BeforeRead =
        TReadWriteEvent(this, 1, [&](QObject*, const void*, int, bool) { ++beforeEvents; });
    port.BeforeWrite = port.BeforeRead;
    std::uint8_t buffer[4] = {};
    try {
        switch (operation) {
        case 0:
            static_cast<void>(port.ReadByte());
            break;
        case 1:
            port.WriteByte(1);
            break;
        case 2:
            port.ResetDevice();
            break;
        case 3:
            static_cast<void>(port.ModemStatus());
            break;
        case 4:
            port.Read(buffer, 4, true);
            break;
        case 5:
            port.Write(buffer, 0, false);
            break;
        default:
            static_cast<void>(port.InputCount());
        }
        QFAIL("no error on a closed port");
    } catch (const EComError& e) {
        QCOMPARE(e.ErrorCode, 0);
        QCOMPARE(std::string(e.what()),
                 std::string("Can't perform this operation on a closed port"));
    }
    QCOMPARE(beforeEvents, 0);
}

void TestComPort::activeOnSameStateFiresNoEvents() {
    PtyPair pty;
    TComPort port;
    EventLog log;
    log.attach(port);
    port.SetDeviceName(pty.slavePath());
    port.SetActive(false);
    QCOMPARE(log.total(), 0);
    port.SetActive(true);
    QCOMPARE(log.total(), 2);
    port.SetActive(true);
    port.Open();
    QCOMPARE(log.total(), 2);
    port.SetActive(false);
    QCOMPARE(log.total(), 4);
    port.SetActive(false);
    port.Close();
    QCOMPARE(log.total(), 4);
}

void TestComPort::openAndCloseFireEventsOnce() {
    PtyPair pty;
    TComPort port;
    EventLog log;
    port.SetDeviceName(pty.slavePath());
    bool activeInAfterOpen = false;
    bool activeInBeforeClose = false;
    log.attach(port);
    port.AfterOpen = TOpenCloseEvent(this, 9, [&](TCustomComPort* p) {
        activeInAfterOpen = p->Active();
        ++log.afterOpen;
    });
    port.BeforeClose = TOpenCloseEvent(this, 10, [&](TCustomComPort* p) {
        activeInBeforeClose = p->Active();
        ++log.beforeClose;
    });
    port.Open();
    port.Close();
    QVERIFY(activeInAfterOpen);
    QVERIFY(activeInBeforeClose);
    QCOMPARE(log.beforeOpen, 1);
    QCOMPARE(log.afterOpen, 1);
    QCOMPARE(log.beforeClose, 1);
    QCOMPARE(log.afterClose, 1);
}

void TestComPort::closedOnlyPropertiesWhileOpen_data() {
    QTest::addColumn<int>("property");
    QTest::newRow("DeviceName") << 0;
    QTest::newRow("PriorityClass") << 1;
    QTest::newRow("SynchronizeEvents") << 2;
}

void TestComPort::closedOnlyPropertiesWhileOpen() {
    QFETCH(int, property);
    PtyPair pty;
    TComPort port;
    port.SetDeviceName(pty.slavePath());
    port.Open();
    try {
        if (property == 0)
            port.SetDeviceName("COM2");
        else if (property == 1)
            port.SetPriorityClass(pcIdle);
        else
            port.SetSynchronizeEvents(false);
        QFAIL("changed while open");
    } catch (const EComError& e) {
        QCOMPARE(e.ErrorCode, 0);
        QCOMPARE(std::string(e.what()),
                 std::string("Can't perform this operation on an open port"));
    }
    QCOMPARE(port.DeviceName(), pty.slavePath());
    QCOMPARE(port.PriorityClass(), pcDefault);
    QVERIFY(port.SynchronizeEvents());
    port.Close();
    port.SetDeviceName("COM2");
    QCOMPARE(port.DeviceName(), std::string("COM2"));
}

void TestComPort::sameDeviceNameAcceptedWhileOpen() {
    PtyPair pty;
    TComPort port;
    port.SetDeviceName(pty.slavePath());
    port.Open();
    port.SetDeviceName(pty.slavePath());
    port.SetPriorityClass(pcDefault);
    port.SetSynchronizeEvents(true);
    QVERIFY(port.Active());
}

void TestComPort::baudRateChangeInForceAtOnce() {
    PtyPair pty;
    TComPort port;
    configureLikeMainWindow(port, pty.slavePath());
    port.SetBaudRate(br9600); // closed: only stored
    port.Open();
    termios tio = settingsOf(pty);
    QCOMPARE(cfgetospeed(&tio), speed_t(B9600));
    port.SetBaudRate(br2400);
    tio = settingsOf(pty);
    QCOMPARE(cfgetospeed(&tio), speed_t(B2400));
    port.SetStopBits(sb2);
    tio = settingsOf(pty);
    QVERIFY((tio.c_cflag & CSTOPB) != 0);
}

void TestComPort::customBaudRate_data() {
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("setCustom"); // -1: not set
    QTest::addColumn<int>("expectedBaud");
    QTest::addColumn<int>("expectedReading");
    QTest::newRow("default reads 0") << int(brDefault) << -1 << int(brDefault) << 0;
    QTest::newRow("2400 reads its rate") << int(br2400) << -1 << int(br2400) << 2400;
    QTest::newRow("256000 reads its rate") << int(br256000) << -1 << int(br256000) << 256000;
    QTest::newRow("setting a rate selects custom")
        << int(br2400) << 31250 << int(brCustom) << 31250;
    QTest::newRow("same as stored custom changes nothing")
        << int(br2400) << 0 << int(br2400) << 2400;
}

void TestComPort::customBaudRate() {
    QFETCH(int, baud);
    QFETCH(int, setCustom);
    TComPort port;
    port.SetBaudRate(TBaudRate(baud));
    if (setCustom >= 0)
        port.SetCustomBaudRate(setCustom);
    QTEST(int(port.BaudRate()), "expectedBaud");
    QTEST(port.CustomBaudRate(), "expectedReading");
}

void TestComPort::nonStandardSpeedReachesTheTty() {
    PtyPair pty;
    TComPort port;
    port.SetDeviceName(pty.slavePath());
    port.SetBaudRate(br14400);
    port.Open();
    const termios tio = settingsOf(pty);
    // A speed without a B-constant shows as the kernel's BOTHER code.
    constexpr speed_t kOther = 0010000;
    QCOMPARE(cfgetospeed(&tio) & CBAUD, kOther);
}

void TestComPort::loadingDefersActive() {
    PtyPair pty;
    TComPort port;
    port.BeginLoading();
    port.SetActive(true);
    QVERIFY(!port.Active());
    port.SetDeviceName(pty.slavePath());
    port.FinishLoading();
    QVERIFY(port.Active());
}

void TestComPort::onErrorSeesAndCanAbort() {
    TComPort port;
    port.SetDeviceName("/dev/quillmark-no-such-device");
    int seenCode = -1;
    std::string seenText;
    TComAction chosen = caAbort;
    port.OnError = TComErrorEvent(this, 1, [&](TCustomComPort*, EComError& e, TComAction& a) {
        seenCode = e.ErrorCode;
        seenText = e.what();
        a = chosen;
    });
    QVERIFY_THROWS_EXCEPTION(EAbort, port.Open());
    QCOMPARE(seenCode, ENOENT);
    QCOMPARE(seenText, quillmark::serial::systemErrorText(ENOENT));
    chosen = caFail;
    QVERIFY_THROWS_EXCEPTION(EComError, port.Open());
}

void TestComPort::manyOpenCloseCyclesLeaveNothing() {
    PtyPair pty;
    const int descriptors = openDescriptorCount();
    const int threads = threadCount();
    TComPort port;
    port.SetDeviceName(pty.slavePath());
    port.SetOnRxChar(TNotifyEvent(this, 1, [](QObject*) {}));
    for (int i = 0; i < 1000; ++i) {
        port.Open();
        port.Close();
    }
    // Each event thread ends on its own, releasing its wait descriptors as it goes.
    QTRY_COMPARE_WITH_TIMEOUT(threadCount(), threads, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(openDescriptorCount(), descriptors, 5000);
}

void TestComPort::aboutText() {
    TComPort port;
    QVERIFY(port.About().rfind("Version 3.1", 0) == 0);
}

QTEST_GUILESS_MAIN(TestComPort)
#include "tst_comport.moc"
