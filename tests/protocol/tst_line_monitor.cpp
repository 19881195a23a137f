// "Monitor de línea" against the simulated encoder: the rows the window shows for the
// operations of the main window, and its saved lines beside the encoder's own log.

#include "encoder_session.h"
#include "line_monitor.h"

#include "core/hex_bytes.h"
#include "program_options.h"
#include "serial/comport.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <mutex>

using namespace std::chrono_literals;
using quillmark::sim::FaultKind;
using Kind = ScriptedDialogs::Kind;

namespace {

// Menu commands run once the choosing call has returned.
LineMonitor* openMonitor(EncoderSession& s) {
    s.trigger("MonitordeLnea1");
    LineMonitor* monitor = nullptr;
    (void)s.waitFor([&] {
        monitor = s.form().findChild<LineMonitor*>();
        return monitor && monitor->isVisible();
    });
    return monitor;
}

// "direction|meaning|fault" per row.
QStringList rowsOf(const LineMonitorModel& m) {
    QStringList rows;
    for (int r = 0; r < m.rowCount(); ++r)
        rows << m.cellText(r, LineMonitorModel::Direction) + '|' +
                    m.cellText(r, LineMonitorModel::Meaning) + '|' +
                    m.cellText(r, LineMonitorModel::Fault);
    return rows;
}

const QString ok = QStringLiteral("Recibido|Respuesta: AA correcto|");

void sendPi(EncoderSession& s) {
    s.dialogs().queueAnswer(Dialogs::Answer::Yes);
    s.click("EnviaPI");
}

} // namespace

class TestLineMonitor : public QObject {
    Q_OBJECT
private slots:
    void rowsOfOperations_data();
    void rowsOfOperations();
    void savedLinesMatchTheEncoderLog();
    void pauseHoldsRowsAndCloseStopsTheTap();
    void copiesTheSelectedRows();
};

void TestLineMonitor::rowsOfOperations_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("PI write") << "PI" << QStringList{"Enviado|Escritura PI, Frame 1|", ok};
    QStringList chain;
    for (int k = 1; k <= 4; ++k)
        chain << QString("Enviado|Escritura Radiotexto, bloque %1 de 4|").arg(k) << ok;
    QTest::newRow("RadioText chain") << "RT" << chain;
    QTest::newRow("Leer Equipo") << "whole read"
                                 << QStringList{"Enviado|Lectura memoria, mitad 1 de 2|",
                                                "Recibido|Respuesta: 128 bytes desde 0|",
                                                "Enviado|Lectura memoria, mitad 2 de 2|",
                                                "Recibido|Respuesta: 128 bytes desde 128|"};
    QTest::newRow("failure answer")
        << "failing PI"
        << QStringList{"Enviado|Escritura PI, Frame 1|",
                       "Recibido|Respuesta: 00 fallo|Respuesta de fallo"};
    QTest::newRow("short reply") << "short read"
                                 << QStringList{
                                        "Enviado|Lectura PI, Frame 1|",
                                        "Recibido|Respuesta corta: 1 de 2 bytes|Respuesta corta"};
}

void TestLineMonitor::rowsOfOperations() {
    QFETCH(QString, operation);
    QFETCH(QStringList, rows);
    EncoderSession s(SessionOptions().withTimer1(1500ms));
    LineMonitor* monitor = openMonitor(s);
    QVERIFY(monitor && monitor->isVisible() && monitor->capturing());
    if (operation == "PI") {
        sendPi(s);
    } else if (operation == "failing PI") {
        s.encoder().addFault({1, FaultKind::FailAnswer, 0, {}});
        sendPi(s);
    } else if (operation == "RT") {
        s.dialogs().queueAnswer(Dialogs::Answer::Yes);
        s.click("EnviaRT1");
    } else if (operation == "whole read") {
        s.trigger("LeerEquipo1");
        QVERIFY(s.waitFor([&s] { return s.shown(Kind::Plain) == 1; }));
    } else {
        s.encoder().addFault({1, FaultKind::ShortReply, 1, {}});
        s.click("ReadPI");
        QVERIFY(s.waitFor([&s] { return s.shown(Kind::StandardError) == 1; }));
    }
    QVERIFY(s.waitIdle());
    const LineMonitorModel& m = monitor->model();
    QVERIFY(s.waitFor([&] { return m.rowCount() >= rows.size(); }));
    s.settle(100ms);
    QCOMPARE(rowsOf(m), rows);
    // The bytes shown are the bytes the encoder got; answers carry their delay.
    const auto frames = s.frames();
    for (int r = 0, f = 0; r < m.rowCount(); ++r) {
        const bool sent = m.item(r).direction == quillmark::LineDirection::ToEncoder;
        QCOMPARE(m.cellText(r, LineMonitorModel::Delay).isEmpty(), sent);
        if (sent)
            QCOMPARE(m.cellText(r, LineMonitorModel::Bytes),
                     QString::fromStdString(quillmark::hexBytes(frames.at(f++))));
        const bool marked = m.data(m.index(r, 0), Qt::BackgroundRole).isValid();
        QCOMPARE(marked, !m.cellText(r, LineMonitorModel::Fault).isEmpty());
    }
}

void TestLineMonitor::savedLinesMatchTheEncoderLog() {
    EncoderSession s;
    std::mutex mutex;
    QStringList logged;
    s.encoder().setLogSink([&](const quillmark::sim::EncoderEngine::Event& e) {
        const std::lock_guard lock(mutex);
        logged << QString::fromStdString(quillmark::sim::hexLine("rx", e.frame));
        logged << QString::fromStdString(quillmark::sim::hexLine("tx", e.answer));
    });
    LineMonitor* monitor = openMonitor(s);
    sendPi(s);
    QVERIFY(s.waitIdle());
    QVERIFY(s.waitFor([&] { return monitor->model().rowCount() == 2; }));
    QTemporaryDir dir;
    const QString path = dir.filePath("linea.txt");
    monitor->setSaveFileChooser([&](QWidget*) { return std::optional<QString>(path); });
    QSignalSpy saved(monitor, &LineMonitor::saveFinished);
    monitor->saveClicked();
    QVERIFY(saved.wait());
    QCOMPARE(saved.first().at(1).toString(), QString());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    // The header says where and when: the port, and the clock time the times count from.
    QCOMPARE(lines.size(), 5);
    const QString port = QString::fromStdString(s.form().port().DeviceName());
    QVERIFY2(lines[0].startsWith('#') && lines[0].endsWith(' ' + port), qPrintable(lines[0]));
    const QDateTime first = QDateTime::fromString(lines[1].section(": ", 1).section(' ', 0, 1),
                                                  "yyyy-MM-dd HH:mm:ss.zzz");
    QVERIFY2(qAbs(first.secsTo(QDateTime::currentDateTime())) < 60, qPrintable(lines[1]));
    lines = lines.mid(3);
    const std::lock_guard lock(mutex);
    QCOMPARE(logged.size(), 2);
    for (int i = 0; i < 2; ++i) {
        const QStringList cells = lines[i].split('\t');
        QCOMPARE(cells.size(), int(LineMonitorModel::ColumnCount));
        QCOMPARE(cells, monitor->model().lineText(i).split('\t'));
        // The encoder's log line is its direction and the same hex notation.
        QCOMPARE(logged[i].mid(3), cells[LineMonitorModel::Bytes]);
    }
}

void TestLineMonitor::pauseHoldsRowsAndCloseStopsTheTap() {
    EncoderSession s;
    LineMonitor* monitor = openMonitor(s);
    monitor->setPaused(true);
    sendPi(s);
    QVERIFY(s.waitIdle());
    s.settle(100ms);
    QCOMPARE(monitor->model().rowCount(), 0);
    monitor->setPaused(false);
    QCOMPARE(monitor->model().rowCount(), 2);
    monitor->close();
    QVERIFY(!monitor->capturing());
    QCOMPARE(s.form().port().lineObserver(), nullptr);
    sendPi(s);
    QVERIFY(s.waitIdle());
    s.settle(100ms);
    QCOMPARE(monitor->model().rowCount(), 2);
    // Opening it again goes on from where it stopped.
    QCOMPARE(openMonitor(s), monitor);
    QVERIFY(monitor->capturing());
    sendPi(s);
    QVERIFY(s.waitIdle());
    QVERIFY(s.waitFor([&] { return monitor->model().rowCount() == 4; }));
}

void TestLineMonitor::copiesTheSelectedRows() {
    EncoderSession s;
    LineMonitor* monitor = openMonitor(s);
    sendPi(s);
    QVERIFY(s.waitIdle());
    sendPi(s);
    QVERIFY(s.waitIdle());
    const LineMonitorModel& m = monitor->model();
    QVERIFY(s.waitFor([&] { return m.rowCount() == 4; }));
    auto* view = monitor->findChild<QTableView*>("rows");
    view->selectionModel()->select(m.index(3, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    view->selectionModel()->select(m.index(1, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    monitor->copySelectedRows();
    QCOMPARE(QGuiApplication::clipboard()->text(), m.lineText(1) + '\n' + m.lineText(3) + '\n');
    monitor->clearRows();
    QCOMPARE(m.rowCount(), 0);
}

QTEST_MAIN(TestLineMonitor)
#include "tst_line_monitor.moc"
