// The guard linked into every test refuses real serial devices, and only them.

#include <QTemporaryDir>
#include <QTest>

#include <array>

#include <fcntl.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

class TestRealDeviceGuard : public QObject {
    Q_OBJECT
private slots:
    void open_data();
    void open();
};

namespace {

// Opens path in a child (O_PATH: even without the guard no driver is touched); true when
// the child was aborted.
bool childAbortsOpening(const QByteArray& path) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const rlimit noCore{0, 0};
        ::setrlimit(RLIMIT_CORE, &noCore);
        ::close(2); // the guard's message is expected here
        const int fd = ::open(path.constData(), O_PATH | O_CLOEXEC);
        ::_exit(fd >= 0 ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT;
}

} // namespace

void TestRealDeviceGuard::open_data() {
    QTest::addColumn<QString>("path"); // "<link to ttyS0>", "<pty>" or a path
    QTest::addColumn<bool>("refused");
    QTest::newRow("ttyS0") << "/dev/ttyS0" << true;
    QTest::newRow("ttyS31") << "/dev/ttyS31" << true;
    QTest::newRow("ttyUSB0") << "/dev/ttyUSB0" << true;
    QTest::newRow("link to ttyS0") << "<link to ttyS0>" << true;
    QTest::newRow("pseudo-terminal") << "<pty>" << false;
    QTest::newRow("null device") << "/dev/null" << false;
}

void TestRealDeviceGuard::open() {
    QFETCH(QString, path);
    QFETCH(bool, refused);
    QTemporaryDir dir;
    int master = -1;
    int slave = -1;
    std::array<char, 64> name{};
    if (path == "<pty>") {
        QVERIFY(::openpty(&master, &slave, name.data(), nullptr, nullptr) == 0);
        path = QString::fromLatin1(name.data());
    } else if (path == "<link to ttyS0>") {
        path = dir.filePath("COM1");
        if (::access("/dev/ttyS0", F_OK) != 0)
            QSKIP("no /dev/ttyS0 on this machine to link to");
        QVERIFY(::symlink("/dev/ttyS0", path.toLocal8Bit().constData()) == 0);
    }
    QCOMPARE(childAbortsOpening(path.toLocal8Bit()), refused);
    if (master >= 0) {
        ::close(master);
        ::close(slave);
    }
}

QTEST_GUILESS_MAIN(TestRealDeviceGuard)
#include "tst_real_device_guard.moc"
