// The driver's reading of the probe's report: a misread would give wrong start-up figures.

#include "launch.h"

#include <QtTest>

using namespace bench;

class TestBenchStartup : public QObject {
    Q_OBJECT
private slots:
    void reportIsRead_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("complete");
        QTest::addColumn<qint64>("idleNs");
        QTest::addColumn<long>("rssKb");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("children");
        const QString full = "probe created=1100 exposed=1500 idle=1700 rss_kb=34000 "
                             "title=Tarvenor Quillmark 2.4\nprobe children=-\n";
        QTest::newRow("complete") << full << true << qint64(700) << 34000L
                                  << "Tarvenor Quillmark 2.4"
                                  << "-";
        QTest::newRow("children listed")
            << QString(full).replace("children=-", "children=QtWebEngineProc,sh") << true
            << qint64(700) << 34000L << "Tarvenor Quillmark 2.4"
            << "QtWebEngineProc,sh";
        QTest::newRow("noise before the report")
            << "qt.qpa: something\n" + full << true << qint64(700) << 34000L
            << "Tarvenor Quillmark 2.4"
            << "-";
        QTest::newRow("program ended before the children line")
            << full.left(full.indexOf("probe children")) << false << qint64(0) << -1L << ""
            << "";
        QTest::newRow("no report") << "" << false << qint64(0) << -1L << ""
                                   << "";
        QTest::newRow("garbled number")
            << QString(full).replace("idle=1700", "idle=x") << false << qint64(0) << -1L << ""
            << "";
    }
    void reportIsRead() {
        QFETCH(QString, text);
        QFETCH(bool, complete);
        QFETCH(qint64, idleNs);
        QFETCH(long, rssKb);
        QFETCH(QString, title);
        QFETCH(QString, children);
        StartupSample s;
        QCOMPARE(parseProbeReport(text.toStdString(), 1000, s), complete);
        if (!complete)
            return;
        QCOMPARE(s.toApplication.count(), 100);
        QCOMPARE(s.toExposed.count(), 500);
        QCOMPARE(s.toIdle.count(), idleNs);
        QCOMPARE(s.residentKb, rssKb);
        QCOMPARE(QString::fromStdString(s.title), title);
        QCOMPARE(QString::fromStdString(s.children), children);
    }
};

QTEST_GUILESS_MAIN(TestBenchStartup)
#include "tst_bench_startup.moc"
