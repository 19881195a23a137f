// quillmark-cli as a script runs it, against the simulated encoder linked as COM1.

#include "pty_encoder.h"

#include <QtTest>

#include <filesystem>
#include <fstream>

using namespace quillmark::sim;
using Memory = std::array<quillmark::sim::Byte, 256>;
namespace fs = std::filesystem;

Q_DECLARE_METATYPE(quillmark::sim::Fault)

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Memory pattern(int seed) {
    Memory m{};
    for (int i = 0; i < 256; ++i)
        m[static_cast<std::size_t>(i)] = static_cast<Byte>(i * 13 + seed);
    return m;
}

void writeFile(const fs::path& path, const Memory& m) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(m.data()), 256);
}

QByteArray readFile(const fs::path& path) {
    QFile f(QString::fromStdString(path.string()));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray bytesOf(const Memory& m) {
    return QByteArray(reinterpret_cast<const char*>(m.data()), 256);
}

} // namespace

class TestCliEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void readWritesTheWholeMemory_data();
    void readWritesTheWholeMemory();
    void programVerifies();
    void ifDifferent_data();
    void ifDifferent();
    void faultsGiveExit3AndNoFile_data();
    void faultsGiveExit3AndNoFile();
    void diffAgainstThePort();
    void programKeepsTheLastAddressOfAShortFile();
    void showThePort();
    void exitStatusOfOtherFailures_data();
    void exitStatusOfOtherFailures();

private:
    Run cli(const QStringList& args);
    void startEncoder(const Memory& memory, const std::vector<Fault>& faults = {});
    [[nodiscard]] fs::path file(const char* name) const {
        return fs::path(dir_->path().toStdString()) / name;
    }
    [[nodiscard]] QString path(const char* name) const {
        return QString::fromStdString(file(name).string());
    }

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<PtyEncoder> encoder_;
};

void TestCliEndToEnd::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
}

void TestCliEndToEnd::cleanup() {
    encoder_.reset();
    dir_.reset();
}

void TestCliEndToEnd::startEncoder(const Memory& memory, const std::vector<Fault>& faults) {
    PtyEncoderOptions options;
    options.paced = false;
    options.memory = memory;
    options.faults = faults;
    encoder_ = std::make_unique<PtyEncoder>(options);
    encoder_->start();
    encoder_->linkAs(file("config") / "Tarvenor" / "Quillmark", "COM1");
}

Run TestCliEndToEnd::cli(const QStringList& args) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", path("config"));
    env.insert("HOME", dir_->path());
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(QUILLMARK_CLI), args);
    Run run;
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

void TestCliEndToEnd::readWritesTheWholeMemory_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("raw") << "got.rds";
    QTest::newRow("json") << "got.json";
}

void TestCliEndToEnd::readWritesTheWholeMemory() {
    QFETCH(QString, name);
    startEncoder(pattern(1));
    const Run run = cli({"read", "COM1", "-o", path(name.toUtf8())});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QString());
    QCOMPARE(run.err, QString()); // no progress bar without a terminal
    writeFile(file("want.rds"), pattern(1));
    if (name.endsWith(".json"))
        QCOMPARE(cli({"import", path("got.json"), "-o", path("got.rds")}).exitCode, 0);
    QCOMPARE(readFile(file("got.rds")), bytesOf(pattern(1)));
}

void TestCliEndToEnd::programVerifies() {
    startEncoder(pattern(1));
    writeFile(file("site.rds"), pattern(2));
    QCOMPARE(cli({"export", path("site.rds"), "-o", path("site.json")}).exitCode, 0);
    const Run run = cli({"program", "COM1", path("site.json"), "--verify"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, "changed: true\nverified: true\n");
    QCOMPARE(encoder_->memory(), pattern(2));
    // Sixteen chunks, then the two halves read back.
    QCOMPARE(encoder_->framesReceived(), 18);
}

void TestCliEndToEnd::ifDifferent_data() {
    QTest::addColumn<int>("encoderSeed");
    QTest::addColumn<bool>("changed");
    QTest::addColumn<int>("frames");
    QTest::newRow("equal: read only") << 2 << false << 2;
    QTest::newRow("different: read, program, verify") << 1 << true << 20;
}

void TestCliEndToEnd::ifDifferent() {
    QFETCH(int, encoderSeed);
    QFETCH(bool, changed);
    QFETCH(int, frames);
    startEncoder(pattern(encoderSeed));
    writeFile(file("site.rds"), pattern(2));
    const Run run =
        cli({"program", "COM1", path("site.rds"), "--if-different", "--verify", "--json"});
    QCOMPARE(run.exitCode, 0);
    const QJsonObject result = QJsonDocument::fromJson(run.out.toUtf8()).object();
    QCOMPARE(result.value("changed").toBool(!changed), changed);
    QCOMPARE(result.value("verified").toBool(), true);
    QCOMPARE(result.value("port").toString(), "COM1");
    QCOMPARE(encoder_->memory(), pattern(2));
    QCOMPARE(encoder_->framesReceived(), frames);
}

void TestCliEndToEnd::faultsGiveExit3AndNoFile_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QString>("message");
    QTest::newRow("read: no answer") << "read" << Fault{2, FaultKind::NoAnswer}
                                     << "no answer from the encoder within 5 s";
    QTest::newRow("read: failure answer") << "read" << Fault{1, FaultKind::FailAnswer}
                                          << "the encoder's reply broke off after 1 of 128";
    QTest::newRow("read: short reply") << "read" << Fault{2, FaultKind::ShortReply, 100}
                                       << "the encoder's reply broke off after 100 of 128";
    QTest::newRow("read: hang-up") << "read" << Fault{1, FaultKind::HangUp} << "";
    QTest::newRow("program: failure answer") << "program" << Fault{5, FaultKind::FailAnswer}
                                             << "the encoder refused 1 of 16 chunks";
    QTest::newRow("program: hang-up") << "program" << Fault{3, FaultKind::HangUp} << "";
    QTest::newRow("verify: short reply") << "program" << Fault{17, FaultKind::ShortReply, 5}
                                         << "the encoder's reply broke off after 5 of 128";
}

void TestCliEndToEnd::faultsGiveExit3AndNoFile() {
    QFETCH(QString, command);
    QFETCH(Fault, fault);
    QFETCH(QString, message);
    startEncoder(pattern(1), {fault});
    writeFile(file("site.rds"), pattern(2));
    const Run run = command == "read" ? cli({"read", "COM1", "-o", path("got.rds")})
                                      : cli({"program", "COM1", path("site.rds"), "--verify"});
    QCOMPARE(run.exitCode, 3);
    QCOMPARE(run.out, QString());
    // the port named with what it reached
    QVERIFY2(run.err.startsWith("quillmark-cli: COM1 (/dev/pts/") &&
                 run.err.contains("): " + message),
             qPrintable(run.err));
    QCOMPARE(run.err.count('\n'), 1);
    QVERIFY(!fs::exists(file("got.rds")));
    for (const auto& entry : fs::directory_iterator(dir_->path().toStdString()))
        QVERIFY2(entry.path().extension() != ".tmp", entry.path().c_str());
}

void TestCliEndToEnd::diffAgainstThePort() {
    Memory encoder = pattern(2);
    encoder[1] = 0x34;
    startEncoder(encoder);
    writeFile(file("site.rds"), pattern(2));
    const Run differs = cli({"diff", path("site.rds"), "COM1"});
    QCOMPARE(differs.exitCode, 1);
    const QString piLine = QString("frames[0].pi: \"%1\" -> \"%2\"\n")
                               .arg(QString::number(pattern(2)[0] * 256 + pattern(2)[1], 16)
                                        .toUpper()
                                        .rightJustified(4, '0'))
                               .arg(QString::number(encoder[0] * 256 + 0x34, 16)
                                        .toUpper()
                                        .rightJustified(4, '0'));
    QCOMPARE(differs.out, piLine);
    encoder_->setMemory(pattern(2));
    QCOMPARE(cli({"diff", "COM1", path("site.rds")}).exitCode, 0);
}

void TestCliEndToEnd::programKeepsTheLastAddressOfAShortFile() {
    startEncoder(pattern(1));
    writeFile(file("old.rds"), pattern(2));
    fs::resize_file(file("old.rds"), 255);
    const Run run = cli({"program", "COM1", path("old.rds"), "--verify"});
    QCOMPARE(run.exitCode, 0);
    Memory want = pattern(2);
    want[255] = pattern(1)[255];
    QCOMPARE(encoder_->memory(), want);
    QCOMPARE(encoder_->framesReceived(), 2 + 16 + 2); // read first, program, verify
    // Its JSON form says so and makes a 255-byte file again
    QCOMPARE(cli({"export", path("old.rds"), "-o", path("old.json")}).exitCode, 0);
    QVERIFY(readFile(file("old.json")).contains("\"seconds\": null"));
    QCOMPARE(cli({"import", path("old.json"), "-o", path("again.rds")}).exitCode, 0);
    QCOMPARE(readFile(file("again.rds")), readFile(file("old.rds")));
}

void TestCliEndToEnd::showThePort() {
    startEncoder(pattern(1));
    writeFile(file("site.rds"), pattern(1));
    for (const char* json : {"", "--json"}) {
        const QStringList extra = QString(json).isEmpty() ? QStringList() : QStringList(json);
        const Run port = cli(QStringList{"show", "COM1"} + extra);
        QCOMPARE(port.exitCode, 0);
        QCOMPARE(port.out, cli(QStringList{"show", path("site.rds")} + extra).out);
    }
}

void TestCliEndToEnd::exitStatusOfOtherFailures_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::newRow("no subcommand") << QStringList{} << 2 << "";
    QTest::newRow("program without a file") << QStringList{"program", "COM1"} << 2 << "";
    QTest::newRow("unknown option") << QStringList{"show", "x.rds", "--colour"} << 2 << "";
    QTest::newRow("missing file") << QStringList{"show", "@/none.rds"} << 4 << "@/none.rds: File not found";
    QTest::newRow("bad JSON") << QStringList{"import", "@/bad.json", "-o", "@/out.rds"} << 4
                              << "@/bad.json: frames: expected a list of 2 frames";
    QTest::newRow("port that is not there") << QStringList{"read", "COM9", "-o", "@/out.rds"} << 3
                                            << "COM9 (@/absent-device): ";
    QTest::newRow("unknown subcommand") << QStringList{"frob"} << 2 << "unknown subcommand 'frob'";
    QTest::newRow("raw file too short") << QStringList{"show", "@/short.rds"} << 4
                                        << "@/short.rds: not a station file: it holds 100 bytes";
    QTest::newRow("raw file too long") << QStringList{"diff", "@/long.rds", "@/ok.rds"} << 4
                                       << "@/long.rds: not a station file: it holds 300 bytes";
    QTest::newRow("program a short file") << QStringList{"program", "COM1", "@/short.rds"} << 4
                                          << "@/short.rds: not a station file";
    QTest::newRow("export JSON to a raw name") << QStringList{"export", "@/ok.rds", "-o", "@/out.rds"}
                                               << 2 << "@/out.rds: JSON is written only";
    QTest::newRow("import raw to a JSON name") << QStringList{"import", "@/ok.json", "-o", "@/out.json"}
                                               << 2 << "@/out.json: a .json name is for JSON";
    QTest::newRow("read into a missing folder") << QStringList{"read", "COM1", "-o", "@/no/out.rds"}
                                                << 4 << "@/no/out.rds: File not found";
    QTest::newRow("program a missing file") << QStringList{"program", "COM1", "@/none.json"} << 4
                                            << "@/none.json: File not found";
}

void TestCliEndToEnd::exitStatusOfOtherFailures() {
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, message);
    startEncoder(pattern(1));
    fs::create_directories(file("config") / "Tarvenor" / "Quillmark");
    fs::create_symlink(file("absent-device"), file("config") / "Tarvenor" / "Quillmark" / "COM9");
    std::ofstream(file("bad.json")) << R"({"format": "quillmark-station", "version": 1, "frames": []})";
    std::ofstream(file("short.rds")) << std::string(100, 'x');
    std::ofstream(file("long.rds")) << std::string(300, 'x');
    writeFile(file("ok.rds"), pattern(1));
    QCOMPARE(cli({"export", path("ok.rds"), "-o", path("ok.json")}).exitCode, 0);
    for (QString& a : args)
        a.replace("@", dir_->path());
    message.replace("@", dir_->path());
    const Run run = cli(args);
    QCOMPARE(run.exitCode, status);
    QCOMPARE(run.out, QString());
    QVERIFY2(run.err.startsWith("quillmark-cli: " + message), qPrintable(run.err));
    // One line, then the window's advice for a device that is not there
    QStringList lines = run.err.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size() > 1, args.contains("COM9"));
    for (const QString& hint : lines.mid(1))
        QVERIFY2(hint.startsWith("hint: "), qPrintable(hint));
    QVERIFY(!fs::exists(file("out.rds")) && !fs::exists(file("out.json")));
    QCOMPARE(encoder_->framesReceived(), 0);
}

QTEST_GUILESS_MAIN(TestCliEndToEnd)
#include "tst_cli_end_to_end.moc"
