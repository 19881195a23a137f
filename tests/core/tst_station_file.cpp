#include "core/errors.h"
#include "core/station_file.h"
#include "file_access.h"

#include <QtTest>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillmark;
namespace fs = std::filesystem;

namespace {

using Map = std::array<Byte, 256>;

void writeRaw(const fs::path& path, const QByteArray& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.constData(), bytes.size());
}

QByteArray readRaw(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string s(std::istreambuf_iterator<char>(in), {});
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

QByteArray asBytes(const Map& map) {
    return QByteArray(reinterpret_cast<const char*>(map.data()), 256);
}

// Every byte value once, in an order that is not the address.
Map patternMap() {
    Map map{};
    for (int i = 0; i < 256; ++i)
        map[static_cast<std::size_t>(i)] = Byte((i * 167 + 13) & 0xFF);
    return map;
}

Map filledMap(Byte value) {
    Map map;
    map.fill(value);
    return map;
}

QStringList entries(const fs::path& dir) {
    QStringList names;
    for (const auto& e : fs::directory_iterator(dir))
        names << QString::fromStdString(e.path().filename().string());
    names.sort();
    return names;
}

// Makes writes past a file size fail with EFBIG instead of killing the process.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
};

} // namespace

class TestStationFile : public QObject {
    Q_OBJECT

private slots:
    void init();
    void saveThenOpenRoundTrips();
    void saveReplacesExistingFileKeepingItsMode();
    void saveWritesThroughASymbolicLink();
    void openLoadsAtMost256Bytes_data();
    void openLoadsAtMost256Bytes();
    void openMissingFileChangesNothing();
    void openFailures_data();
    void openFailures();
    void openNeedsReadAccessOnly();
    void failedSaveLeavesExistingFileIntact_data();
    void failedSaveLeavesExistingFileIntact();
    void saveKeepsWriteProtection_data();
    void saveKeepsWriteProtection();
    void failedRewriteInPlaceRestores_data();
    void failedRewriteInPlaceRestores();
    void errnoMapping_data();
    void errnoMapping();
    void messages_data();
    void messages();

private:
    std::unique_ptr<QTemporaryDir> dir_;
    fs::path folder() const { return fs::path(dir_->path().toStdString()); }
};

void TestStationFile::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
}

void TestStationFile::saveThenOpenRoundTrips() {
    const fs::path file = folder() / "station.rds";
    const Map saved = patternMap();
    saveStationFile(file, saved);
    QCOMPARE(fs::file_size(file), std::uintmax_t{256});
    QCOMPARE(readRaw(file), asBytes(saved));
    Map loaded = filledMap(0);
    QCOMPARE(openStationFile(file, loaded), std::size_t{256});
    QCOMPARE(asBytes(loaded), asBytes(saved));
    QCOMPARE(entries(folder()), QStringList{"station.rds"});
}

void TestStationFile::saveReplacesExistingFileKeepingItsMode() {
    const fs::path file = folder() / "old.rds";
    writeRaw(file, QByteArray(1000, 'x'));
    QCOMPARE(::chmod(file.c_str(), 0640), 0);
    saveStationFile(file, patternMap());
    QCOMPARE(readRaw(file), asBytes(patternMap()));
    struct stat st {};
    QCOMPARE(::stat(file.c_str(), &st), 0);
    QCOMPARE(st.st_mode & 07777, mode_t{0640});
    QCOMPARE(entries(folder()), QStringList{"old.rds"});
}

void TestStationFile::saveWritesThroughASymbolicLink() {
    fs::create_directory(folder() / "real");
    const fs::path real = folder() / "real" / "target.rds";
    writeRaw(real, QByteArray(10, 'a'));
    const fs::path link = folder() / "link.rds";
    fs::create_symlink(real, link);
    saveStationFile(link, patternMap());
    QVERIFY(fs::is_symlink(link));
    QCOMPARE(readRaw(real), asBytes(patternMap()));
    QCOMPARE(entries(folder() / "real"), QStringList{"target.rds"});
}

void TestStationFile::openLoadsAtMost256Bytes_data() {
    QTest::addColumn<int>("fileSize");
    QTest::newRow("empty") << 0;
    QTest::newRow("10 bytes") << 10;
    QTest::newRow("255 bytes, earlier versions") << 255;
    QTest::newRow("256 bytes") << 256;
    QTest::newRow("257 bytes") << 257;
    QTest::newRow("longer") << 5000;
}

void TestStationFile::openLoadsAtMost256Bytes() {
    QFETCH(int, fileSize);
    QByteArray content(fileSize, '\0');
    for (int i = 0; i < fileSize; ++i)
        content[i] = char(i % 200); // never the background value 0xC3
    const fs::path file = folder() / "in.rds";
    writeRaw(file, content);
    Map map = filledMap(0xC3);
    const std::size_t loaded = openStationFile(file, map);
    const int expected = std::min(fileSize, 256);
    QCOMPARE(loaded, std::size_t(expected));
    QCOMPARE(asBytes(map).left(expected), content.left(expected));
    QCOMPARE(asBytes(map).mid(expected), QByteArray(256 - expected, char(0xC3)));
}

void TestStationFile::openMissingFileChangesNothing() {
    Map map = patternMap();
    try {
        (void)openStationFile(folder() / "missing.rds", map);
        QFAIL("no error raised");
    } catch (const InOutError& e) {
        QCOMPARE(e.code(), 2);
        QCOMPARE(QString(e.what()), QString("File not found"));
    }
    QCOMPARE(asBytes(map), asBytes(patternMap()));
}

void TestStationFile::openFailures_data() {
    QTest::addColumn<QString>("relative");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("a folder") << "folder" << 5 << "File access denied";
    QTest::newRow("below a plain file") << "plain.rds/inner.rds" << 3 << "Invalid filename";
    QTest::newRow("name too long") << QString(300, 'n') << 3 << "Invalid filename";
    QTest::newRow("missing folder") << "nowhere/in.rds" << 2 << "File not found";
}

void TestStationFile::openFailures() {
    QFETCH(QString, relative);
    QFETCH(int, code);
    QFETCH(QString, message);
    fs::create_directory(folder() / "folder");
    writeRaw(folder() / "plain.rds", QByteArray(256, 'p'));
    Map map = patternMap();
    try {
        (void)openStationFile(folder() / relative.toStdString(), map);
        QFAIL("no error raised");
    } catch (const InOutError& e) {
        QCOMPARE(e.code(), code);
        QCOMPARE(QString(e.what()), message);
    }
    QCOMPARE(asBytes(map), asBytes(patternMap()));
}

void TestStationFile::openNeedsReadAccessOnly() {
    const fs::path file = folder() / "protected.rds";
    writeRaw(file, asBytes(patternMap()));
    QCOMPARE(::chmod(file.c_str(), 0444), 0);
    Map map = filledMap(0);
    {
        WithoutFileOverride unprivileged;
        QCOMPARE(openStationFile(file, map), std::size_t{256});
    }
    QCOMPARE(asBytes(map), asBytes(patternMap()));

    // Permission bits do not stop root; a sysctl file refuses writing even to root.
    const fs::path noWrite = "/proc/sys/kernel/ostype";
    const int probe = ::open(noWrite.c_str(), O_RDWR);
    if (probe >= 0 || errno == ENOENT) {
        if (probe >= 0)
            ::close(probe);
        QSKIP("no file here that refuses writing to this user");
    }
    std::ifstream in(noWrite, std::ios::binary);
    const std::string expected(std::istreambuf_iterator<char>(in), {});
    map = filledMap(0);
    QCOMPARE(openStationFile(noWrite, map), expected.size());
    QCOMPARE(asBytes(map).left(static_cast<qsizetype>(expected.size())),
             QByteArray(expected.data(), static_cast<qsizetype>(expected.size())));
}

void TestStationFile::failedSaveLeavesExistingFileIntact_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("short write past the size limit") << "limit" << EFBIG << "I/O error 27";
    QTest::newRow("target is a folder") << "folder" << 5 << "File access denied";
    QTest::newRow("folder missing") << "missing" << 2 << "File not found";
    QTest::newRow("folder is a file") << "notdir" << 3 << "Invalid filename";
}

void TestStationFile::failedSaveLeavesExistingFileIntact() {
    QFETCH(QString, how);
    QFETCH(int, code);
    QFETCH(QString, message);
    const fs::path work = folder() / "work";
    fs::create_directory(work);
    const QByteArray old = QByteArray(255, 'o') + 'Z'; // differs from what is saved
    fs::path target = work / "station.rds";
    writeRaw(target, old);
    std::unique_ptr<FileSizeLimit> limit;
    if (how == "limit") {
        limit = std::make_unique<FileSizeLimit>(100);
    } else if (how == "folder") {
        target = work / "sub";
        fs::create_directory(target);
        writeRaw(target / "keep", "k");
    } else if (how == "missing") {
        target = work / "missing" / "station.rds";
    } else if (how == "notdir") {
        target = work / "station.rds" / "station.rds";
    }
    const QStringList before = entries(work);
    try {
        saveStationFile(target, patternMap());
        limit.reset();
        QFAIL("no error raised");
    } catch (const InOutError& e) {
        limit.reset();
        QCOMPARE(e.code(), code);
        QCOMPARE(QString(e.what()), message);
    }
    QCOMPARE(entries(work), before); // no temporary file left behind
    QCOMPARE(readRaw(work / "station.rds"), old);
    if (how == "folder")
        QCOMPARE(readRaw(target / "keep"), QByteArray("k"));
}

void TestStationFile::saveKeepsWriteProtection_data() {
    QTest::addColumn<int>("fileMode"); // -1: no file yet
    QTest::addColumn<int>("folderMode");
    QTest::addColumn<QString>("message"); // empty: saved
    QTest::newRow("read-only file") << 0444 << 0755 << "File access denied";
    QTest::newRow("read-only file, read-only folder") << 0444 << 0555 << "File access denied";
    QTest::newRow("writable file, read-only folder") << 0644 << 0555 << "";
    QTest::newRow("write-only file, read-only folder") << 0200 << 0555 << "";
    QTest::newRow("new file, read-only folder") << -1 << 0555 << "File access denied";
    QTest::newRow("folder that cannot be searched") << 0644 << 0666 << "File access denied";
}

void TestStationFile::saveKeepsWriteProtection() {
    QFETCH(int, fileMode);
    QFETCH(int, folderMode);
    QFETCH(QString, message);
    const fs::path work = folder() / "work";
    fs::create_directory(work);
    const fs::path file = work / "station.rds";
    const QByteArray old(300, 'o'); // longer than what is saved
    if (fileMode >= 0) {
        writeRaw(file, old);
        QCOMPARE(::chmod(file.c_str(), mode_t(fileMode)), 0);
    }
    QCOMPARE(::chmod(work.c_str(), mode_t(folderMode)), 0);
    QString raised;
    {
        WithoutFileOverride unprivileged;
        try {
            saveStationFile(file, patternMap());
        } catch (const InOutError& e) {
            raised = e.what();
        }
    }
    QCOMPARE(::chmod(work.c_str(), 0755), 0);
    QCOMPARE(raised, message);
    QCOMPARE(entries(work), fileMode < 0 ? QStringList() : QStringList{"station.rds"});
    if (fileMode >= 0) {
        QCOMPARE(::chmod(file.c_str(), 0644), 0);
        QCOMPARE(readRaw(file), message.isEmpty() ? asBytes(patternMap()) : old);
    }
}

void TestStationFile::failedRewriteInPlaceRestores_data() {
    QTest::addColumn<int>("oldSize"); // the size limit is 100 bytes
    QTest::addColumn<bool>("restored");
    QTest::newRow("old bytes fit: written back") << 50 << true;
    QTest::newRow("old bytes past the limit: said so") << 300 << false;
}

void TestStationFile::failedRewriteInPlaceRestores() {
    QFETCH(int, oldSize);
    QFETCH(bool, restored);
    const fs::path work = folder() / "work";
    fs::create_directory(work);
    const fs::path file = work / "station.rds";
    const QByteArray old(oldSize, 'o');
    writeRaw(file, old);
    QCOMPARE(::chmod(work.c_str(), 0555), 0); // no temporary file: rewritten in place
    QString raised;
    {
        WithoutFileOverride unprivileged;
        FileSizeLimit limit(100);
        try {
            saveStationFile(file, patternMap());
        } catch (const InOutError& e) {
            raised = e.what();
        }
    }
    QCOMPARE(::chmod(work.c_str(), 0755), 0);
    QVERIFY2(raised.startsWith("I/O error 27 (") &&
                 raised.contains("earlier content") == restored,
             qPrintable(raised));
    if (restored)
        QCOMPARE(readRaw(file), old);
}

void TestStationFile::errnoMapping_data() {
    QTest::addColumn<int>("err");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("ENOENT") << ENOENT << 2 << "File not found";
    QTest::newRow("ENAMETOOLONG") << ENAMETOOLONG << 3 << "Invalid filename";
    QTest::newRow("ENOTDIR") << ENOTDIR << 3 << "Invalid filename";
    QTest::newRow("EINVAL") << EINVAL << 3 << "Invalid filename";
    QTest::newRow("EMFILE") << EMFILE << 4 << "Too many open files";
    QTest::newRow("ENFILE") << ENFILE << 4 << "Too many open files";
    QTest::newRow("EACCES") << EACCES << 5 << "File access denied";
    QTest::newRow("EPERM") << EPERM << 5 << "File access denied";
    QTest::newRow("EROFS") << EROFS << 5 << "File access denied";
    QTest::newRow("EISDIR") << EISDIR << 5 << "File access denied";
    QTest::newRow("ENOSPC") << ENOSPC << 101 << "Disk full";
    QTest::newRow("EDQUOT") << EDQUOT << 101 << "Disk full";
    QTest::newRow("EFBIG") << EFBIG << EFBIG << "I/O error 27";
    // EIO is 5 like the library's "access denied" code but must not read like it.
    QTest::newRow("EIO") << EIO << EIO << "I/O error 5";
    QTest::newRow("ENETUNREACH is 101") << ENETUNREACH << ENETUNREACH << "I/O error 101";
}

void TestStationFile::errnoMapping() {
    QFETCH(int, err);
    QFETCH(int, code);
    QFETCH(QString, message);
    QCOMPARE(inOutCodeFromErrno(err), code);
    const InOutError e = inOutErrorFromErrno(err);
    QCOMPARE(e.code(), code);
    QCOMPARE(QString(e.what()), message);
}

void TestStationFile::messages_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("2") << 2 << "File not found";
    QTest::newRow("3") << 3 << "Invalid filename";
    QTest::newRow("4") << 4 << "Too many open files";
    QTest::newRow("5") << 5 << "File access denied";
    QTest::newRow("100") << 100 << "Read beyond end of file";
    QTest::newRow("101") << 101 << "Disk full";
    QTest::newRow("1") << 1 << "I/O error 1";
    QTest::newRow("102") << 102 << "I/O error 102";
    QTest::newRow("0") << 0 << "I/O error 0";
}

void TestStationFile::messages() {
    QFETCH(int, code);
    QFETCH(QString, message);
    QCOMPARE(QString::fromStdString(inOutErrorMessage(code)), message);
}

QTEST_APPLESS_MAIN(TestStationFile)
#include "tst_station_file.moc"
