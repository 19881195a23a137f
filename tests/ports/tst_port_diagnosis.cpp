#include "fake_udev.h"

#include "ports/diagnosis.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <grp.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

using namespace quillmark::ports;
namespace fs = std::filesystem;

Q_DECLARE_METATYPE(quillmark::ports::PortState)

namespace {

// A /proc tree of made-up processes and a stand-in device node.
class FakeSystem {
public:
    FakeSystem() {
        node_ = (root() / "ttyUSB0").string();
        std::ofstream(node_).put('x');
        fs::create_directories(root() / "proc" / "self"); // not a pid: ignored
    }

    [[nodiscard]] fs::path root() const { return dir_.path().toStdString(); }
    [[nodiscard]] const std::string& node() const { return node_; }

    void addProcess(int pid, const std::string& program, bool holdsNode) {
        const fs::path base = root() / "proc" / std::to_string(pid);
        fs::create_directories(base / "fd");
        std::ofstream(base / "comm") << program << '\n';
        fs::create_symlink("/dev/null", base / "fd" / "0");
        if (holdsNode)
            fs::create_symlink(node_, base / "fd" / "5");
    }

    // <root>/COM1 -> target
    [[nodiscard]] std::string portLinkedTo(const std::string& target) const {
        const fs::path link = root() / "COM1";
        fs::create_symlink(target, link);
        return link.string();
    }

    [[nodiscard]] DiagnosisContext context() const {
        DiagnosisContext c{ProcTable(root() / "proc"), {}, true, 1};
        c.devices.push_back(toSerialDevice(usbRecord(node_, "/dev/serial/by-id/usb-FTDI_A5")));
        return c;
    }

private:
    QTemporaryDir dir_;
    std::string node_;
};

struct Pty {
    Pty() {
        char name[256] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty");
        path = name;
    }
    ~Pty() {
        ::close(master);
        ::close(slave);
    }
    int master = -1;
    int slave = -1;
    std::string path;
};

} // namespace

class TestPortDiagnosis : public QObject {
    Q_OBJECT
private slots:
    void modemManagerRuleNeedsMatchKeys();
    void explainsAFailedOpen_data();
    void explainsAFailedOpen();
    void probeSeesHoldersWithoutOpening();
    void busyPtyNamesTheChildHoldingIt();
    void unreadablePtyTellsAnUnprivilegedUserHowToJoinTheGroup();
};

void TestPortDiagnosis::explainsAFailedOpen_data() {
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<int>("error");
    QTest::addColumn<PortState>("state");
    QTest::addColumn<QString>("shortState");
    QTest::addColumn<QStringList>("advice");

    QTest::newRow("ModemManager holds it")
        << "ModemManager" << EBUSY << PortState::Busy << "en uso por ModemManager (pid 812)"
        << QStringList{"sudo systemctl stop ModemManager", "sudo systemctl mask ModemManager",
                       R"(ATTRS{idVendor}=="0403", ATTRS{idProduct}=="6001", )"
                       R"(ENV{ID_MM_DEVICE_IGNORE}="1")"};
    QTest::newRow("brltty holds it")
        << "brltty" << EBUSY << PortState::Busy << "en uso por brltty (pid 812)"
        << QStringList{"sudo apt remove brltty"};
    QTest::newRow("another program holds it")
        << "minicom" << EBUSY << PortState::Busy << "en uso por minicom (pid 812)"
        << QStringList{"minicom (pid 812)", "Cierre ese programa"};
    QTest::newRow("holder unseen, ModemManager running")
        << "ModemManager unseen" << EBUSY << PortState::Busy << "en uso"
        << QStringList{"Está en marcha ModemManager (pid 812)", "ID_MM_DEVICE_IGNORE"};
    QTest::newRow("holder unseen, nothing known running")
        << "nobody" << EBUSY << PortState::Busy << "en uso"
        << QStringList{"Cierre el programa que lo usa"};
    QTest::newRow("unplugged, kernel name")
        << "unplugged ttyUSB" << ENOENT << PortState::Missing << "no conectado"
        << QStringList{"no está conectado", "enlace COM1", "\n    /dev/serial/by-id/usb-FTDI_A5"};
    QTest::newRow("unplugged, stable name")
        << "unplugged by-id" << ENOENT << PortState::Missing << "no conectado"
        << QStringList{"/dev/serial/by-id/usb-gone no está conectado", "Conecte el adaptador"};
    QTest::newRow("no permission, dialout")
        << "dialout" << EACCES << PortState::NoPermission << "sin permiso"
        << QStringList{"grupo «dialout»", "\n    sudo usermod -aG dialout \"$USER\"\n",
                       "cierre la sesión y vuelva a entrar"};
    QTest::newRow("no permission, root only")
        << "root" << EACCES << PortState::NoPermission << "sin permiso" << QStringList{"solo root"};
    QTest::newRow("other failure")
        << "minicom" << EINVAL << PortState::Failed << "error" << QStringList{};
}

void TestPortDiagnosis::explainsAFailedOpen() {
    QFETCH(QString, scenario);
    QFETCH(int, error);
    FakeSystem system;
    std::string path = system.node();
    if (scenario == "ModemManager" || scenario == "brltty" || scenario == "minicom")
        system.addProcess(812, scenario.toStdString(), true);
    if (scenario == "ModemManager unseen")
        system.addProcess(812, "ModemManager", false);
    if (scenario == "unplugged ttyUSB")
        path = system.portLinkedTo((system.root() / "ttyUSB9").string());
    if (scenario == "unplugged by-id")
        path = system.portLinkedTo("/dev/serial/by-id/usb-gone");
    if (scenario == "dialout" || scenario == "root") {
        const group* dialout = ::getgrnam("dialout");
        if (dialout == nullptr)
            QSKIP("no dialout group on this machine");
        const gid_t gid = scenario == "root" ? 0 : dialout->gr_gid;
        if (::chown(path.c_str(), static_cast<uid_t>(-1), gid) != 0)
            QSKIP("cannot give the stand-in device another group");
        ::chmod(path.c_str(), 0660);
    }
    system.addProcess(900, "bash", false);

    QFETCH(PortState, state);
    QFETCH(QString, shortState);
    const Diagnosis d = diagnoseOpenFailure(path, error, system.context());
    QCOMPARE(d.state, state);
    QCOMPARE(QString::fromStdString(stateText(d)), shortState);
    const QString text = QString::fromStdString(explain(d, "COM1"));
    QFETCH(QStringList, advice);
    QCOMPARE(text.isEmpty(), advice.isEmpty());
    for (const QString& expected : advice)
        QVERIFY2(text.contains(expected), qPrintable(text));
}

void TestPortDiagnosis::probeSeesHoldersWithoutOpening() {
    FakeSystem system;
    QCOMPARE(probePort(system.node(), system.context()).state, PortState::Free);
    system.addProcess(1, "quillmark", true); // the context's own pid
    Diagnosis d = probePort(system.node(), system.context());
    QCOMPARE(d.state, PortState::Busy);
    QCOMPARE(QString::fromStdString(stateText(d)), QStringLiteral("en uso por este programa"));
    QVERIFY(d.device && d.device->serialNumber == "A50285BI");
    // The context lists every device: an on-board slot it does not know has no UART.
    d = probePort("/dev/ttyS31", system.context());
    QCOMPARE(d.state, PortState::Missing);
}

void TestPortDiagnosis::busyPtyNamesTheChildHoldingIt() {
    Pty pty;
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        ::execlp("sleep", "sleep", "30", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // The child inherited the slave descriptor; wait until it runs sleep.
    QVERIFY(QTest::qWaitFor([&] {
        std::ifstream comm("/proc/" + std::to_string(child) + "/comm");
        std::string name;
        std::getline(comm, name);
        return name == "sleep";
    }));
    DiagnosisContext context;
    const Diagnosis d = diagnoseOpenFailure(pty.path, EBUSY, context);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    QCOMPARE(d.state, PortState::Busy);
    QVERIFY(std::find(d.holders.begin(), d.holders.end(), ProcessInfo{child, "sleep"}) !=
            d.holders.end());
    QVERIFY(d.heldHere); // this test holds the slave too
    const QString text = QString::fromStdString(explain(d, "COM1"));
    QVERIFY2(text.contains(QStringLiteral("sleep (pid %1)").arg(child)), qPrintable(text));
}

void TestPortDiagnosis::unreadablePtyTellsAnUnprivilegedUserHowToJoinTheGroup() {
    if (::geteuid() != 0)
        QSKIP("needs root to hand the pty to another group and run as nobody");
    const group* dialout = ::getgrnam("dialout");
    if (dialout == nullptr)
        QSKIP("no dialout group on this machine");
    Pty pty;
    QCOMPARE(::chown(pty.path.c_str(), 0, dialout->gr_gid), 0);
    QCOMPARE(::chmod(pty.path.c_str(), 0660), 0);
    QProcess run;
    run.start(QStringLiteral("setpriv"),
              {"--reuid=nobody", "--regid=nogroup", "--clear-groups", "--",
               QCoreApplication::applicationDirPath() + "/diagnose_as_user",
               QString::fromStdString(pty.path)});
    QVERIFY(run.waitForFinished(10000));
    const QString out = QString::fromUtf8(run.readAllStandardOutput());
    QVERIFY2(run.exitCode() == 0, qPrintable(out + run.readAllStandardError()));
    const int noPermission = static_cast<int>(PortState::NoPermission);
    QVERIFY2(out.contains(QStringLiteral("error %1\n").arg(EACCES)), qPrintable(out));
    QVERIFY2(out.contains(QStringLiteral("probed %1\n").arg(noPermission)), qPrintable(out));
    QVERIFY2(out.contains(QStringLiteral("failed %1\n").arg(noPermission)), qPrintable(out));
    QVERIFY2(out.contains(QStringLiteral("sudo usermod -aG dialout \"$USER\"")), qPrintable(out));
}

// A udev rule without match keys would apply to every device of the machine.
void TestPortDiagnosis::modemManagerRuleNeedsMatchKeys() {
    FakeSystem system;
    system.addProcess(812, "ModemManager", true);
    DiagnosisContext context = system.context();
    context.devices.clear();
    const std::string text = explain(diagnoseOpenFailure(system.node(), EBUSY, context), "COM1");
    QVERIFY(text.find("systemctl mask ModemManager") != std::string::npos);
    QVERIFY(text.find("ID_MM_DEVICE_IGNORE") == std::string::npos);
}

QTEST_GUILESS_MAIN(TestPortDiagnosis)
#include "tst_port_diagnosis.moc"
