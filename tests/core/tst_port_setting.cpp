#include "core/errors.h"
#include "core/port_setting.h"

#include <QtTest>

#include <cerrno>
#include <cstring>
#include <fstream>

using namespace quillmark;
namespace fs = std::filesystem;

namespace {

QByteArray readRaw(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string s(std::istreambuf_iterator<char>(in), {});
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

QString notInteger(const QString& quoted) {
    return "'" + quoted + "' is not a valid integer value";
}

// Restores an environment variable when the test ends.
class EnvGuard {
public:
    explicit EnvGuard(const char* name) : name_(name), set_(qEnvironmentVariableIsSet(name)) {
        value_ = qgetenv(name);
    }
    ~EnvGuard() {
        if (set_)
            qputenv(name_, value_);
        else
            qunsetenv(name_);
    }
    EnvGuard(const EnvGuard&) = delete;
    EnvGuard& operator=(const EnvGuard&) = delete;

private:
    const char* name_;
    bool set_;
    QByteArray value_;
};

} // namespace

class TestPortSetting : public QObject {
    Q_OBJECT

private slots:
    void init();
    void parseAccepts_data();
    void parseAccepts();
    void parseRejects_data();
    void parseRejects();
    void zeroBytesDoNotCutTheMessage();
    void longTextIsQuotedShortened();
    void formattedIndexesParseBack();
    void writeReplacesTheWholeFile();
    void writeFailureNamesFileAndReason();
    void readKeepsLineEnds();
    void readFailureNamesFileAndReason();
    void hugeFileIsReadBoundedWithReadableError();
    void configDirectoryFollowsEnvironment_data();
    void configDirectoryFollowsEnvironment();

private:
    std::unique_ptr<QTemporaryDir> dir_;
    fs::path folder() const { return fs::path(dir_->path().toStdString()); }
};

void TestPortSetting::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
}

void TestPortSetting::parseAccepts_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("digit") << QByteArray("3") << 3;
    QTest::newRow("leading blank") << QByteArray(" 3") << 3;
    QTest::newRow("many blanks") << QByteArray("    007") << 7;
    QTest::newRow("hex") << QByteArray("$7") << 7;
    QTest::newRow("hex lower") << QByteArray("$ff") << 255;
    QTest::newRow("hex upper") << QByteArray("$FF") << 255;
    QTest::newRow("negative") << QByteArray("-1") << -1;
    QTest::newRow("beyond the list") << QByteArray("8") << 8;
    QTest::newRow("plus sign") << QByteArray("+5") << 5;
    QTest::newRow("negative hex") << QByteArray("-$10") << -16;
    QTest::newRow("blank then sign") << QByteArray("  -0") << 0;
    QTest::newRow("largest") << QByteArray("2147483647") << 2147483647;
    QTest::newRow("smallest") << QByteArray("-2147483648") << int(-2147483648LL);
    QTest::newRow("largest hex") << QByteArray("$7FFFFFFF") << 2147483647;
}

void TestPortSetting::parseAccepts() {
    QFETCH(QByteArray, text);
    QFETCH(int, value);
    QCOMPARE(parseInteger(text.toStdString()), value);
}

void TestPortSetting::parseRejects_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("line end") << QByteArray("3\n");
    QTest::newRow("CR LF") << QByteArray("3\r\n");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("letters") << QByteArray("abc");
    QTest::newRow("dollar only") << QByteArray("$");
    QTest::newRow("bad hex digit") << QByteArray("$G");
    QTest::newRow("blanks only") << QByteArray("  ");
    QTest::newRow("sign only") << QByteArray("+");
    QTest::newRow("minus only") << QByteArray("-");
    QTest::newRow("two signs") << QByteArray("+-1");
    QTest::newRow("trailing blank") << QByteArray("3 ");
    QTest::newRow("tab is not a blank") << QByteArray("\t3");
    QTest::newRow("inner blank") << QByteArray("1 2");
    QTest::newRow("C hex prefix") << QByteArray("0x10");
    QTest::newRow("hex letter without dollar") << QByteArray("1A");
    QTest::newRow("overflow") << QByteArray("2147483648");
    QTest::newRow("negative overflow") << QByteArray("-2147483649");
    QTest::newRow("hex overflow") << QByteArray("$80000000");
    QTest::newRow("long overflow") << QByteArray("99999999999999999999999");
}

void TestPortSetting::parseRejects() {
    QFETCH(QByteArray, text);
    try {
        (void)parseInteger(std::string_view(text.constData(), std::size_t(text.size())));
        QFAIL("accepted");
    } catch (const ConvertError& e) {
        QCOMPARE(QByteArray(e.what()), "'" + text + "' is not a valid integer value");
    }
}

void TestPortSetting::zeroBytesDoNotCutTheMessage() {
    try {
        (void)parseInteger(std::string_view("3\0\0", 3));
        QFAIL("accepted");
    } catch (const ConvertError& e) {
        QCOMPARE(QString(e.what()), notInteger("3??"));
    }
}

void TestPortSetting::longTextIsQuotedShortened() {
    const std::string exact(40, '7');
    try {
        (void)parseInteger(exact + "x");
        QFAIL("accepted");
    } catch (const ConvertError& e) {
        QCOMPARE(QString(e.what()), notInteger(QString::fromStdString(exact) + "..."));
    }
    try {
        (void)parseInteger(std::string(39, ' ') + "q");
        QFAIL("accepted");
    } catch (const ConvertError& e) {
        QCOMPARE(QString(e.what()), notInteger(QString(39, ' ') + "q"));
    }
}

void TestPortSetting::formattedIndexesParseBack() {
    QCOMPARE(formatPortIndex(0), std::string("0"));
    QCOMPARE(formatPortIndex(7), std::string("7"));
    for (int k = -300; k <= 300; ++k)
        QCOMPARE(parseInteger(formatPortIndex(k)), k);
}

void TestPortSetting::writeReplacesTheWholeFile() {
    const fs::path file = folder() / "configrds.txt";
    writeTextFile(file, "12345\n");
    writeTextFile(file, formatPortIndex(2));
    QCOMPARE(readRaw(file), QByteArray("2"));
    QCOMPARE(readTextFile(file), std::string("2"));
}

void TestPortSetting::writeFailureNamesFileAndReason() {
    const fs::path file = folder() / "missing" / "configrds.txt";
    try {
        writeTextFile(file, "0");
        QFAIL("no error raised");
    } catch (const ConvertError& e) {
        QCOMPARE(QString(e.what()),
                 QString("Cannot create file \"%1\". %2")
                     .arg(QString::fromStdString(file.string()), QString(std::strerror(ENOENT))));
    }
    QVERIFY(!fs::exists(file.parent_path()));
}

void TestPortSetting::readKeepsLineEnds() {
    const fs::path file = folder() / "configrds.txt";
    writeTextFile(file, "3\n");
    const std::string text = readTextFile(file);
    QCOMPARE(text, std::string("3\n"));
    QVERIFY_THROWS_EXCEPTION(ConvertError, (void)parseInteger(text));
}

void TestPortSetting::readFailureNamesFileAndReason() {
    const fs::path file = folder() / "absent.txt";
    try {
        (void)readTextFile(file);
        QFAIL("no error raised");
    } catch (const ConvertError& e) {
        QCOMPARE(QString(e.what()),
                 QString("Cannot open file \"%1\". %2")
                     .arg(QString::fromStdString(file.string()), QString(std::strerror(ENOENT))));
    }
}

void TestPortSetting::hugeFileIsReadBoundedWithReadableError() {
    const fs::path file = folder() / "configrds.txt";
    {
        std::ofstream out(file, std::ios::binary);
        const std::string line = "3 this is not a port index, just a very long file\n";
        for (std::size_t written = 0; written < 10u * 1024 * 1024; written += line.size())
            out << line;
    }
    const std::string text = readTextFile(file);
    QVERIFY(!text.empty());
    QVERIFY(text.size() <= 64u * 1024);
    QVERIFY(text.starts_with("3 this is"));
    try {
        (void)parseInteger(text);
        QFAIL("accepted");
    } catch (const ConvertError& e) {
        QCOMPARE(QString(e.what()), notInteger(QString::fromStdString(text.substr(0, 40)) + "..."));
    }
}

void TestPortSetting::configDirectoryFollowsEnvironment_data() {
    QTest::addColumn<QByteArray>("xdg");
    QTest::addColumn<bool>("xdgSet");
    QTest::addColumn<QString>("expected");
    QTest::newRow("XDG set") << QByteArray("/x/conf") << true << "/x/conf/Tarvenor/Quillmark";
    QTest::newRow("XDG unset") << QByteArray() << false << "/home/op/.config/Tarvenor/Quillmark";
    QTest::newRow("XDG empty") << QByteArray() << true << "/home/op/.config/Tarvenor/Quillmark";
}

void TestPortSetting::configDirectoryFollowsEnvironment() {
    QFETCH(QByteArray, xdg);
    QFETCH(bool, xdgSet);
    QFETCH(QString, expected);
    const EnvGuard keepXdg("XDG_CONFIG_HOME");
    const EnvGuard keepHome("HOME");
    qputenv("HOME", "/home/op");
    if (xdgSet)
        qputenv("XDG_CONFIG_HOME", xdg);
    else
        qunsetenv("XDG_CONFIG_HOME");
    QCOMPARE(QString::fromStdString(configDirectory().string()), expected);
    QCOMPARE(QString::fromStdString(configFilePath().string()), expected + "/configrds.txt");
}

QTEST_APPLESS_MAIN(TestPortSetting)
#include "tst_port_setting.moc"
