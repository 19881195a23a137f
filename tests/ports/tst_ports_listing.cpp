// `quillmark-cli ports` prints what entries and devices name; control characters from them
// reach the terminal escaped, never as they are.

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>

class TestPortsListing : public QObject {
    Q_OBJECT
private slots:
    void controlCharactersAreEscaped_data();
    void controlCharactersAreEscaped();
};

void TestPortsListing::controlCharactersAreEscaped_data() {
    QTest::addColumn<bool>("json");
    QTest::addColumn<QByteArray>("shown");
    QTest::newRow("terminal") << false << QByteArray(R"(/gone/\x1b[2Jred\x07)");
    QTest::newRow("JSON") << true << QByteArray(R"(/gone/\u001b[2Jred\u0007)");
}

void TestPortsListing::controlCharactersAreEscaped() {
    QFETCH(bool, json);
    QFETCH(QByteArray, shown);
    QTemporaryDir home;
    const std::filesystem::path config =
        std::filesystem::path(home.path().toStdString()) / "Tarvenor" / "Quillmark";
    std::filesystem::create_directories(config);
    std::filesystem::create_symlink("/gone/\x1b[2Jred\a", config / "COM1");
    QProcess cli;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", home.path());
    cli.setProcessEnvironment(env);
    cli.start(QStringLiteral(QUILLMARK_CLI),
              json ? QStringList{"ports", "--json"} : QStringList{"ports"});
    QVERIFY(cli.waitForFinished(10000));
    const QByteArray out = cli.readAllStandardOutput();
    QVERIFY2(out.contains(shown), out.constData());
    QVERIFY(!out.contains('\x1b') && !out.contains('\a'));
}

QTEST_GUILESS_MAIN(TestPortsListing)
#include "tst_ports_listing.moc"
