#include "pty_client.h"

#include <QtTest>

#include <csignal>
#include <filesystem>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}

// The program under a private config folder; its first output line is the pty path.
class SimProcess {
public:
    SimProcess(const QStringList& args, const QProcessEnvironment& env) {
        process_.setProcessEnvironment(env);
        process_.start(QStringLiteral(QUILLMARK_SIM_PROGRAM), args);
    }
    ~SimProcess() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }

    [[nodiscard]] QString firstLine() {
        while (!process_.canReadLine() && process_.waitForReadyRead(5000)) {
        }
        return QString::fromUtf8(process_.readLine()).trimmed();
    }
    // Sends the signal and waits for the end; the exit code, or -1 for a crash or hang.
    [[nodiscard]] int endWith(int signal) {
        ::kill(static_cast<pid_t>(process_.processId()), signal);
        if (!process_.waitForFinished(5000) || process_.exitStatus() != QProcess::NormalExit)
            return -1;
        return process_.exitCode();
    }
    [[nodiscard]] int waitForExit() {
        if (!process_.waitForFinished(5000) || process_.exitStatus() != QProcess::NormalExit)
            return -1;
        return process_.exitCode();
    }
    QProcess& process() { return process_; }

private:
    QProcess process_;
};

QProcessEnvironment configAt(const QString& dir) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", dir);
    return env;
}

QStringList linesOf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

} // namespace

class TestEncoderSimProgram : public QObject {
    Q_OBJECT

private slots:
    void servesThroughTheComLink_data();
    void servesThroughTheComLink();
    void homeConfigWithoutXdg();
    void memoryAndFaultsFromTheCommandLine();
    void pacedByDefault();
    void groupsFollowTheMemory();
    void keepsAUserFileAtTheLink();
    void helpAndBadArguments_data();
    void helpAndBadArguments();
};

void TestEncoderSimProgram::servesThroughTheComLink_data() {
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGHUP") << SIGHUP;
}

void TestEncoderSimProgram::servesThroughTheComLink() {
    QFETCH(int, signal);
    QTemporaryDir config;
    const QString log = config.filePath("sim.log");
    SimProcess sim({"--no-pace", "--log", log, "--link", "COM1"}, configAt(config.path()));

    const QString pty = sim.firstLine();
    QVERIFY2(pty.startsWith("/dev/pts/"), qPrintable(pty));
    const fs::path link = config.path().toStdString() + "/Tarvenor/Quillmark/COM1";
    QVERIFY(fs::is_symlink(link));
    QCOMPARE(QString::fromStdString(fs::read_symlink(link).string()), pty);

    {
        PtyClient tool(link.string());
        QVERIFY(tool.isOpen());
        tool.send(hex("01E01204F7"));
        QCOMPARE(tool.receive(1, 2s), hex("AA"));
        tool.send(hex("100402"));
        QCOMPARE(tool.receive(2, 2s), hex("E012"));
    }
    // Flushed per line: readable while the program still runs.
    QCOMPARE(linesOf(log), QStringList({"rx 01 E0 12 04 F7", "tx AA", "rx 10 04 02", "tx E0 12"}));

    QCOMPARE(sim.endWith(signal), 0);
    QVERIFY(!fs::exists(fs::symlink_status(link)));
}

void TestEncoderSimProgram::homeConfigWithoutXdg() {
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("XDG_CONFIG_HOME");
    env.insert("HOME", home.path());
    SimProcess sim({"--no-pace", "--link", "COM3"}, env);
    const QString pty = sim.firstLine();
    const fs::path link = home.path().toStdString() + "/.config/Tarvenor/Quillmark/COM3";
    QCOMPARE(QString::fromStdString(fs::read_symlink(link).string()), pty);
    QCOMPARE(sim.endWith(SIGTERM), 0);
    QVERIFY(!fs::exists(fs::symlink_status(link)));
}

void TestEncoderSimProgram::memoryAndFaultsFromTheCommandLine() {
    QTemporaryDir config;
    const QString memory = config.filePath("station.rds");
    {
        QFile file(memory);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(hex("A1B2C3D4E5"));
    }
    SimProcess sim({"--no-pace", "--memory", memory, "--fail", "1", "--short", "2:1", "--garbage",
                    "3:4", "--no-answer", "4", "--hangup-after", "6"},
                   configAt(config.path()));
    PtyClient tool(sim.firstLine().toStdString());
    QVERIFY(tool.isOpen());

    tool.send(hex("01E01204F7")); // 1: refused
    QCOMPARE(tool.receive(1, 2s), hex("00"));
    tool.send(hex("100303")); // 2: cut to one byte
    QCOMPARE(tool.receive(3, 500ms), hex("D4"));
    tool.send(hex("100402")); // 3: garbage
    QCOMPARE(tool.receive(5, 500ms).size(), 4);
    tool.send(hex("FEFE")); // 4: taken, not answered
    QCOMPARE(tool.receive(1, 300ms), QByteArray());
    tool.send(hex("100003")); // 5: erased by frame 4
    QCOMPARE(tool.receive(3, 2s), hex("FFFFFF"));
    tool.send(hex("100001")); // 6: the line goes down
    QVERIFY(tool.hungUp(2s));
    QCOMPARE(sim.endWith(SIGTERM), 0);
}

void TestEncoderSimProgram::groupsFollowTheMemory() {
    QTemporaryDir config;
    const QString groups = config.filePath("groups.txt");
    SimProcess sim({"--no-pace", "--groups", groups}, configAt(config.path()));
    PtyClient tool(sim.firstLine().toStdString());
    QVERIFY(tool.isOpen());
    const auto piOfEveryGroup = [&] {
        QSet<QString> pis;
        const QRegularExpression format(QStringLiteral("^([0-9A-F]{4})( [0-9A-F]{4}){3}$"));
        for (const QString& line : linesOf(groups)) {
            const QRegularExpressionMatch m = format.match(line);
            pis << (m.hasMatch() ? m.captured(1) : QStringLiteral("bad line: ") + line);
        }
        return pis;
    };
    QCOMPARE(piOfEveryGroup(), QSet<QString>{"FFFF"}); // erased

    tool.send(hex("01C20100C2")); // Frame 1 PI C201
    QCOMPARE(tool.receive(1, 2s), hex("AA"));
    QCOMPARE(piOfEveryGroup(), QSet<QString>{"C201"});
    QCOMPARE(sim.endWith(SIGTERM), 0);
}

void TestEncoderSimProgram::pacedByDefault() {
    QTemporaryDir config;
    SimProcess sim({}, configAt(config.path()));
    PtyClient tool(sim.firstLine().toStdString());
    const auto sent = std::chrono::steady_clock::now();
    tool.send(hex("108080"));
    QCOMPARE(tool.receive(128, 5s).size(), 128);
    QVERIFY(std::chrono::steady_clock::now() - sent >= 450ms);
    QCOMPARE(sim.endWith(SIGTERM), 0);
}

void TestEncoderSimProgram::keepsAUserFileAtTheLink() {
    QTemporaryDir config;
    const fs::path folder = config.path().toStdString() + "/Tarvenor/Quillmark";
    fs::create_directories(folder);
    fs::create_symlink("/dev/ttyUSB0", folder / "COM1");
    SimProcess sim({"--link", "COM1"}, configAt(config.path()));
    QCOMPARE(sim.waitForExit(), 1);
    QVERIFY(sim.process().readAllStandardError().contains("COM1"));
    QCOMPARE(fs::read_symlink(folder / "COM1").string(), std::string("/dev/ttyUSB0"));
}

void TestEncoderSimProgram::helpAndBadArguments_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output"); // expected in stdout (0) or stderr (otherwise)

    QTest::newRow("help") << QStringList{"--help"} << 0 << "--hangup-after N";
    QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << "unknown option '--bogus'";
    QTest::newRow("bad COM name") << QStringList{"--link", "COM0"} << 2 << "COM1 to COM255";
    QTest::newRow("bad fault") << QStringList{"--short", "2"} << 2 << "FRAME:VALUE";
    QTest::newRow("missing memory file")
        << QStringList{"--memory", "/nonexistent/file.rds"} << 1 << "cannot open memory file";
    QTest::newRow("log in a missing folder")
        << QStringList{"--log", "/nonexistent/sim.log"} << 1 << "cannot create log file";
    QTest::newRow("groups in a missing folder")
        << QStringList{"--groups", "/nonexistent/groups.txt"} << 1 << "cannot write groups file";
}

void TestEncoderSimProgram::helpAndBadArguments() {
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, output);

    QTemporaryDir config;
    SimProcess sim(args, configAt(config.path()));
    QCOMPARE(sim.waitForExit(), exitCode);
    const QByteArray text = exitCode == 0 ? sim.process().readAllStandardOutput()
                                          : sim.process().readAllStandardError();
    QVERIFY2(text.contains(output.toUtf8()), text.constData());
}

QTEST_GUILESS_MAIN(TestEncoderSimProgram)
#include "tst_encoder_sim_program.moc"
