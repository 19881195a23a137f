#include "program_options.h"

#include <QtTest>

#include <fstream>

using namespace quillmark::sim;

namespace {

std::vector<std::string> split(const QString& line) {
    std::vector<std::string> args;
    for (const QString& a : line.split(' ', Qt::SkipEmptyParts))
        args.push_back(a.toStdString());
    return args;
}

const char* kindName(FaultKind kind) {
    switch (kind) {
    case FaultKind::NoAnswer:
        return "none";
    case FaultKind::FailAnswer:
        return "fail";
    case FaultKind::ShortReply:
        return "short";
    case FaultKind::Garbage:
        return "garbage";
    case FaultKind::Delay:
        return "delay";
    case FaultKind::HangUp:
        return "hangup";
    }
    return "?";
}

// "paced link memory log | frame:kind:count:ms ..." for compact table rows.
QString summary(const ProgramOptions& o) {
    QString s = QStringLiteral("%1 %2 %3 %4 |")
                    .arg(o.paced ? "paced" : "unpaced")
                    .arg(QString::fromStdString(o.link.value_or("-")))
                    .arg(QString::fromStdString(o.memoryFile.value_or("-").string()))
                    .arg(QString::fromStdString(o.logFile.value_or("-").string()));
    for (const Fault& f : o.faults)
        s += QStringLiteral(" %1:%2:%3:%4")
                 .arg(f.frameNumber)
                 .arg(kindName(f.kind))
                 .arg(f.count)
                 .arg(f.delay.count());
    return s;
}

} // namespace

class TestProgramOptions : public QObject {
    Q_OBJECT

private slots:
    void accepted_data();
    void accepted();
    void refused_data();
    void refused();
    void help();
    void loadMemory_data();
    void loadMemory();
    void memoryFileTooLongOrMissing();
    void hexLine();
};

void TestProgramOptions::accepted_data() {
    QTest::addColumn<QString>("args");
    QTest::addColumn<QString>("expected");

    QTest::newRow("nothing") << ""
                             << "paced - - - |";
    QTest::newRow("no pace") << "--no-pace"
                             << "unpaced - - - |";
    QTest::newRow("link COM1") << "--link COM1"
                               << "paced COM1 - - |";
    QTest::newRow("link COM255 inline") << "--link=COM255"
                                        << "paced COM255 - - |";
    QTest::newRow("files") << "--memory m.rds --log=l.txt"
                           << "paced - m.rds l.txt |";
    QTest::newRow("no answer") << "--no-answer 3"
                               << "paced - - - | 3:none:0:0";
    QTest::newRow("fail and hang-up") << "--fail 1 --hangup-after 2"
                                      << "paced - - - | 1:fail:0:0 2:hangup:0:0";
    QTest::newRow("short, garbage, delay")
        << "--short 2:1 --garbage=4:10 --delay 1:250"
        << "paced - - - | 2:short:1:0 4:garbage:10:0 1:delay:0:250";
    QTest::newRow("short to nothing") << "--short 2:0"
                                      << "paced - - - | 2:short:0:0";
    QTest::newRow("repeated") << "--fail 1 --fail 3"
                              << "paced - - - | 1:fail:0:0 3:fail:0:0";
    QTest::newRow("longest delay") << "--delay 7:3600000"
                                   << "paced - - - | 7:delay:0:3600000";
}

void TestProgramOptions::accepted() {
    QFETCH(QString, args);
    QFETCH(QString, expected);
    QCOMPARE(summary(parseProgramOptions(split(args))), expected);
}

void TestProgramOptions::refused_data() {
    QTest::addColumn<QString>("args");
    QTest::addColumn<QString>("message");

    QTest::newRow("unknown") << "--bogus"
                             << "unknown option '--bogus'";
    QTest::newRow("bare word") << "COM1"
                               << "unknown option 'COM1'";
    QTest::newRow("link without value") << "--link"
                                        << "--link needs a value";
    QTest::newRow("COM0") << "--link COM0"
                          << "COM1 to COM255";
    QTest::newRow("COM256") << "--link COM256"
                            << "COM1 to COM255";
    QTest::newRow("COM01") << "--link COM01"
                           << "COM1 to COM255";
    QTest::newRow("COM alone") << "--link COM"
                               << "COM1 to COM255";
    QTest::newRow("COM1x") << "--link COM1x"
                           << "COM1 to COM255";
    QTest::newRow("LPT1") << "--link LPT1"
                          << "COM1 to COM255";
    QTest::newRow("frame 0") << "--no-answer 0"
                             << "not a number from 1";
    QTest::newRow("negative frame") << "--fail -1"
                                    << "not a number from 1";
    QTest::newRow("frame with sign") << "--fail +1"
                                     << "not a number from 1";
    QTest::newRow("frame not a number") << "--hangup-after x"
                                        << "not a number from 1";
    QTest::newRow("frame with fraction") << "--fail 1.5"
                                         << "not a number from 1";
    QTest::newRow("frame too big") << "--fail 99999999999"
                                   << "not a number from 1";
    QTest::newRow("empty inline value") << "--fail="
                                        << "not a number from 1";
    QTest::newRow("short without count") << "--short 3"
                                         << "expected FRAME:VALUE";
    QTest::newRow("short count not a number") << "--short 3:x"
                                              << "not a number from 0";
    QTest::newRow("short without frame") << "--short :2"
                                         << "not a number from 1";
    QTest::newRow("negative garbage") << "--garbage 1:-3"
                                      << "not a number from 0";
    QTest::newRow("garbage too long") << "--garbage 1:4097"
                                      << "to 4096";
    QTest::newRow("delay too long") << "--delay 1:3600001"
                                    << "to 3600000";
    QTest::newRow("switch with value") << "--no-pace=1"
                                       << "--no-pace takes no value";
    QTest::newRow("fault without value") << "--delay"
                                         << "--delay needs a value";
}

void TestProgramOptions::refused() {
    QFETCH(QString, args);
    QFETCH(QString, message);
    try {
        (void)parseProgramOptions(split(args));
        QFAIL("accepted");
    } catch (const std::invalid_argument& e) {
        QVERIFY2(QString::fromUtf8(e.what()).contains(message), e.what());
    }
}

void TestProgramOptions::help() {
    QVERIFY(parseProgramOptions({"--help"}).help);
    QVERIFY(parseProgramOptions({"--no-pace", "-h"}).help);
    const QString text = QString::fromStdString(helpText());
    for (const char* option : {"--link", "--no-pace", "--memory", "--log", "--no-answer", "--fail",
                               "--short", "--garbage", "--delay", "--hangup-after", "--help"})
        QVERIFY2(text.contains(option), option);
}

void TestProgramOptions::loadMemory_data() {
    QTest::addColumn<int>("size");
    QTest::newRow("empty") << 0;
    QTest::newRow("three bytes") << 3;
    QTest::newRow("older station file") << 255;
    QTest::newRow("whole memory") << 256;
}

void TestProgramOptions::loadMemory() {
    QFETCH(int, size);
    QTemporaryDir dir;
    const std::string path = dir.filePath("memory.rds").toStdString();
    {
        std::ofstream out(path, std::ios::binary);
        for (int i = 0; i < size; ++i)
            out.put(static_cast<char>(i ^ 0x33));
    }
    const auto memory = quillmark::sim::loadMemory(path);
    for (int i = 0; i < 256; ++i)
        QCOMPARE(memory[static_cast<std::size_t>(i)], Byte(i < size ? i ^ 0x33 : 0xFF));
}

void TestProgramOptions::memoryFileTooLongOrMissing() {
    QTemporaryDir dir;
    const std::string path = dir.filePath("big.rds").toStdString();
    std::ofstream(path, std::ios::binary) << std::string(257, 'x');
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, (void)quillmark::sim::loadMemory(path));
    QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                             (void)quillmark::sim::loadMemory(dir.filePath("none").toStdString()));
}

void TestProgramOptions::hexLine() {
    QCOMPARE(quillmark::sim::hexLine("tx", {}), std::string("tx"));
    QCOMPARE(quillmark::sim::hexLine("rx", {0x01, 0xE0, 0x12, 0x04, 0xF7, 0x00, 0xFF}),
             std::string("rx 01 E0 12 04 F7 00 FF"));
}

QTEST_GUILESS_MAIN(TestProgramOptions)
#include "tst_program_options.moc"
