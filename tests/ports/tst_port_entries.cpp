#include "ports/port_entries.h"

#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

using namespace quillmark::ports;
namespace fs = std::filesystem;

Q_DECLARE_METATYPE(quillmark::ports::PortEntry::Kind)

class TestPortEntries : public QObject {
    Q_OBJECT
private slots:
    void readsEachKindOfEntry();
    void writesReplacesAndRemovesEntries();
    void replacingNeverLeavesTheEntryMissing();
};

void TestPortEntries::readsEachKindOfEntry() {
    QTemporaryDir dir;
    const fs::path config = dir.path().toStdString();
    fs::create_symlink("/dev/serial/by-id/usb-x", config / "COM2");
    std::ofstream(config / "COM3") << "rfc2217://[::1]:2217\nignored\n";
    std::ofstream(config / "COM4") << "not an endpoint\n";
    fs::create_directory(config / "COM5");

    QCOMPARE(readPortEntry(config, 1).kind, PortEntry::Kind::Default);
    QCOMPARE(readPortEntry(config, 1).target, std::string("/dev/ttyS0"));
    QCOMPARE(readPortEntry(config, 2).kind, PortEntry::Kind::Link);
    QCOMPARE(readPortEntry(config, 2).target, std::string("/dev/serial/by-id/usb-x"));
    QCOMPARE(readPortEntry(config, 3).kind, PortEntry::Kind::Network);
    QCOMPARE(readPortEntry(config, 3).target, std::string("rfc2217://[::1]:2217"));
    QCOMPARE(readPortEntry(config, 4).kind, PortEntry::Kind::Other);
    QCOMPARE(readPortEntry(config, 5).kind, PortEntry::Kind::Other);

    QCOMPARE(resolvePortPath(config, "COM1"), std::string("/dev/ttyS0"));
    QCOMPARE(resolvePortPath(config, "COM2"), (config / "COM2").string());
    QCOMPARE(resolvePortPath(config, "/dev/ttyACM0"), std::string("/dev/ttyACM0"));
}

void TestPortEntries::writesReplacesAndRemovesEntries() {
    QTemporaryDir dir;
    const fs::path config = fs::path(dir.path().toStdString()) / "not yet made";
    linkPort(config, 1, "/dev/serial/by-id/usb-a");
    QCOMPARE(fs::read_symlink(config / "COM1").string(), std::string("/dev/serial/by-id/usb-a"));
    linkPort(config, 1, "/dev/ttyACM0");
    QCOMPARE(fs::read_symlink(config / "COM1").string(), std::string("/dev/ttyACM0"));

    setNetworkPort(config, 1, *parseEndpoint("tcp://[::1]:4001"));
    QVERIFY(fs::is_regular_file(fs::symlink_status(config / "COM1")));
    std::ifstream file(config / "COM1");
    std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    QCOMPARE(content, std::string("tcp://[::1]:4001\n"));
    struct stat info {};
    QCOMPARE(::stat((config / "COM1").c_str(), &info), 0);
    QCOMPARE(info.st_mode & 0777, 0644U);

    linkPort(config, 1, "/dev/ttyUSB0"); // a link replaces a file as well
    QVERIFY(fs::is_symlink(config / "COM1"));
    resetPort(config, 1);
    QVERIFY(!fs::exists(fs::symlink_status(config / "COM1")));
    resetPort(config, 1); // nothing there: nothing to do

    // A folder cannot be replaced: the error says why and leaves it there.
    fs::create_directory(config / "COM2");
    try {
        linkPort(config, 2, "/dev/ttyUSB0");
        QFAIL("replacing a folder succeeded");
    } catch (const PortEntryError& e) {
        QCOMPARE(e.code(), EISDIR);
        QVERIFY(std::string(e.what()).find(std::strerror(EISDIR)) != std::string::npos);
    }
    // Only the entries remain: no temporary left behind.
    QCOMPARE(std::distance(fs::directory_iterator(config), fs::directory_iterator()), 1);
}

// A port opened while the entry changes finds the old entry or the new one, never none.
void TestPortEntries::replacingNeverLeavesTheEntryMissing() {
    QTemporaryDir dir;
    const fs::path config = dir.path().toStdString();
    linkPort(config, 1, "/dev/ttyUSB0");
    std::atomic<bool> done{false};
    std::atomic<int> gaps{0};
    std::thread reader([&] {
        while (!done.load()) {
            struct stat info {};
            if (::lstat((config / "COM1").c_str(), &info) != 0)
                ++gaps;
        }
    });
    const auto endpoint = *parseEndpoint("tcp://host:1");
    for (int i = 0; i < 300; ++i) {
        linkPort(config, 1, i % 2 ? "/dev/ttyUSB0" : "/dev/ttyUSB1");
        setNetworkPort(config, 1, endpoint);
    }
    done = true;
    reader.join();
    QCOMPARE(gaps.load(), 0);
}

QTEST_GUILESS_MAIN(TestPortEntries)
#include "tst_port_entries.moc"
