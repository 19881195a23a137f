// "Guardar" and "Abrir": the file holds the whole device map, the overwrite question, failures
// shown by the guard, and the refresh after opening; folders that cannot be searched, and
// picking the port already shown.

#include "window_fixture.h"

#include "core/station_image.h"
#include "file_access.h"
#include "serial/comport.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTest>

#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillmark;
using Map = std::array<std::uint8_t, 256>;
using Kind = ScriptedDialogs::Kind;

namespace {
QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray mapBytes(const Map& map) {
    return QByteArray(reinterpret_cast<const char*>(map.data()),
                      static_cast<qsizetype>(map.size()));
}

const QString kReplace = QStringLiteral("El archivo existe. Quiere reemplazarlo?");
} // namespace

class TestStationCommands : public QObject {
    Q_OBJECT
private slots:
    void saveWritesWholeMap();
    void saveAsksBeforeReplacing_data();
    void saveAsksBeforeReplacing();
    void saveCancelledDoesNothing();
    void saveIntoMissingFolderIsReported();
    void unsearchableFolderGivesFileTexts_data();
    void unsearchableFolderGivesFileTexts();
    void pickingThePortShownChangesNothing();
    void saveThenOpenRestoresEveryByte_data();
    void saveThenOpenRestoresEveryByte();
    void openMissingFileChangesNothing();
    void openReadsWhatTheFileHolds_data();
    void openReadsWhatTheFileHolds();
    void openCancelledStillRefreshes();
};

void TestStationCommands::saveWritesWholeMap() {
    Window w;
    w.pick("FrameConf", 1);
    w.pick("Timing", 3);
    const QString path = w.config().root() + "/station.rds";
    w.dialogs().queueSaveFile(path);
    w.trigger("Guardar1");
    QCOMPARE(w.dialogs().count(Kind::Question), 0);
    const QByteArray saved = fileBytes(path);
    QCOMPARE(saved.size(), 256);
    QCOMPARE(saved, mapBytes(w.deviceMap()));
    QCOMPARE(static_cast<std::uint8_t>(saved[255]), 0x78);
}

void TestStationCommands::saveAsksBeforeReplacing_data() {
    QTest::addColumn<bool>("yes");
    QTest::newRow("No keeps the file") << false;
    QTest::newRow("Yes replaces it") << true;
}

void TestStationCommands::saveAsksBeforeReplacing() {
    QFETCH(bool, yes);
    Window w;
    const QByteArray old("previous content");
    const QString path = w.writeFile("station.rds", old);
    w.dialogs().queueSaveFile(path);
    w.dialogs().queueAnswer(yes ? Dialogs::Answer::Yes : Dialogs::Answer::No);
    w.trigger("Guardar1");
    QCOMPARE(w.dialogs().texts(Kind::Question), QStringList(kReplace));
    QCOMPARE(fileBytes(path), yes ? mapBytes(w.deviceMap()) : old);
    QVERIFY(w.dialogs().allAnswersUsed());
}

void TestStationCommands::saveCancelledDoesNothing() {
    Window w;
    w.dialogs().queueSaveFile(std::nullopt);
    w.trigger("Guardar1");
    QCOMPARE(w.dialogs().count(Kind::SaveFile), 1);
    QCOMPARE(w.dialogs().count(Kind::Question), 0);
    QCOMPARE(w.dialogs().count(Kind::StandardError), 0);
}

void TestStationCommands::saveIntoMissingFolderIsReported() {
    Window w;
    w.dialogs().queueSaveFile(w.config().root() + "/no/such/folder/station.rds");
    w.trigger("Guardar1");
    QCOMPARE(w.dialogs().texts(Kind::StandardError), QStringList("File not found."));
}

void TestStationCommands::unsearchableFolderGivesFileTexts_data() {
    QTest::addColumn<bool>("startUp");
    QTest::newRow("Guardar") << false;
    QTest::newRow("start-up reading the port setting") << true;
}

void TestStationCommands::unsearchableFolderGivesFileTexts() {
    QFETCH(bool, startUp);
    WindowOptions options;
    options.runFormCreate = !startUp;
    Window w(options);
    const QString folder = startUp ? w.config().configDir() : w.config().root() + "/locked";
    const QString path = folder + (startUp ? "/configrds.txt" : "/station.rds");
    if (!startUp) {
        QVERIFY(QDir().mkpath(folder));
        (void)w.writeFile("locked/station.rds", "old");
    }
    QCOMPARE(::chmod(qPrintable(folder), 0666), 0);
    {
        WithoutFileOverride unprivileged;
        if (startUp) {
            w.form().FormCreate();
        } else {
            w.dialogs().queueSaveFile(path);
            w.trigger("Guardar1");
        }
    }
    QCOMPARE(::chmod(qPrintable(folder), 0755), 0);
    const QString expected =
        startUp ? QStringLiteral("Cannot open file \"%1\". %2.").arg(path, std::strerror(EACCES))
                : QStringLiteral("File access denied.");
    QCOMPARE(w.dialogs().texts(Kind::StandardError), QStringList(expected));
    QCOMPARE(w.dialogs().count(Kind::Question), 0);
    if (!startUp)
        QCOMPARE(fileBytes(path), QByteArray("old"));
}

void TestStationCommands::pickingThePortShownChangesNothing() {
    Window w;
    QVERIFY(w.form().port().Active());
    // A setting the program would not write itself: a reopen would rewrite it.
    const QString setting = w.config().configDir() + "/configrds.txt";
    QFile file(setting);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(" 0");
    file.close();
    w.pick("Portserie", 0);
    QCOMPARE(fileBytes(setting), QByteArray(" 0"));
    QVERIFY(w.form().port().Active());
    QCOMPARE(w.dialogs().count(Kind::StandardError), 0);
}

void TestStationCommands::saveThenOpenRestoresEveryByte_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("start"); // how the file begins
    QTest::newRow("raw") << "station.rds" << QByteArray(1, char(patternMap()[0]));
    QTest::newRow("JSON, the form quillmark-cli reviews") << "station.json" << QByteArray("{");
}

void TestStationCommands::saveThenOpenRestoresEveryByte() {
    QFETCH(QString, name);
    QFETCH(QByteArray, start);
    Window w;
    w.loadMap(patternMap());
    const Map saved = w.deviceMap();
    const QString path = w.config().root() + "/" + name;
    w.dialogs().queueSaveFile(path);
    w.trigger("Guardar1");
    QVERIFY(fileBytes(path).startsWith(start));
    w.pick("FrameConf", 1);
    w.pick("Timing", 4);
    w.trigger("InicializarProgramacin1");
    QVERIFY(w.deviceMap() != saved);
    w.dialogs().queueOpenFile(path);
    w.trigger("Abrir1");
    // The Frame 2 timing byte travels too.
    QCOMPARE(w.deviceMap(), saved);
}

void TestStationCommands::openMissingFileChangesNothing() {
    Window w;
    w.pick("FramePTY", 1);
    w.pick("PTYBox", 7);
    const Map before = w.deviceMap();
    w.dialogs().queueOpenFile(w.config().root() + "/missing.rds");
    w.trigger("Abrir1");
    QCOMPARE(w.dialogs().texts(Kind::StandardError), QStringList("File not found."));
    QCOMPARE(w.deviceMap(), before);
    // No refresh ran: the page still shows Frame 2.
    QCOMPARE(w.control<QComboBox>("FramePTY")->currentIndex(), 1);
    QCOMPARE(w.control<QComboBox>("PTYBox")->currentIndex(), 7);
}

void TestStationCommands::openReadsWhatTheFileHolds_data() {
    QTest::addColumn<int>("length");
    QTest::newRow("10 bytes") << 10;
    QTest::newRow("255 bytes of an earlier version") << 255;
    QTest::newRow("256 bytes") << 256;
    QTest::newRow("300 bytes") << 300;
    QTest::newRow("empty") << 0;
}

void TestStationCommands::openReadsWhatTheFileHolds() {
    QFETCH(int, length);
    Window w;
    const Map before = w.deviceMap();
    QByteArray content;
    for (int i = 0; i < length; ++i)
        content.append(static_cast<char>(0x31 + i % 200));
    const QString path = w.writeFile("short.rds", content);
    w.pick("FramePI", 1);
    w.dialogs().queueOpenFile(path);
    w.trigger("Abrir1");
    QCOMPARE(w.dialogs().count(Kind::StandardError), 0);
    const Map after = w.deviceMap();
    for (int a = 0; a < 256; ++a) {
        const auto expected = a < length ? static_cast<std::uint8_t>(content[a]) : before[a];
        QVERIFY2(after[a] == expected, qPrintable(QString("address %1").arg(a)));
    }
    // Every page was refreshed from Frame 1.
    QCOMPARE(w.control<QComboBox>("FramePI")->currentIndex(), 0);
    const int country = length > 0 ? (static_cast<std::uint8_t>(content[0]) >> 4) - 1 : 13;
    QCOMPARE(w.control<QComboBox>("Country")->currentIndex(), country);
}

void TestStationCommands::openCancelledStillRefreshes() {
    Window w;
    w.pick("FramePI", 1);
    w.pick("FrameConf", 1);
    auto* ps = w.control<QLineEdit>("PS");
    ps->clear();
    QTest::keyClicks(ps, "UNSAVED");
    const Map before = w.deviceMap();
    w.dialogs().queueOpenFile(std::nullopt);
    w.trigger("Abrir1");
    QCOMPARE(w.deviceMap(), before);
    QCOMPARE(w.control<QComboBox>("FramePI")->currentIndex(), 0);
    QCOMPARE(w.control<QComboBox>("FrameConf")->currentIndex(), 0);
    QCOMPARE(ps->text(), QString(8, QLatin1Char(' ')));
    QCOMPARE(w.dialogs().count(Kind::StandardError), 0);
}

QTEST_MAIN(TestStationCommands)
#include "tst_station_commands.moc"
