// The monitor's rows: a ring that drops the oldest rows beyond its capacity and keeps the
// view told, with times counted from the first row; the window that fills them.

#include "line_monitor.h"
#include "line_monitor_model.h"

#include "serial/comport.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

using namespace std::chrono_literals;
using quillmark::LineItem;

namespace {

std::vector<LineItem> items(int first, int count) {
    std::vector<LineItem> out;
    for (int i = first; i < first + count; ++i) {
        LineItem item;
        item.time = quillmark::LineClock::time_point{} + std::chrono::milliseconds(100 * i);
        item.kind = quillmark::LineItemKind::LateBytes;
        item.direction = quillmark::LineDirection::FromEncoder;
        item.bytes = {static_cast<quillmark::Byte>(i)};
        out.push_back(item);
    }
    return out;
}

QStringList column(const LineMonitorModel& m, int c) {
    QStringList out;
    for (int r = 0; r < m.rowCount(); ++r)
        out << m.cellText(r, c);
    return out;
}

void moved(TComPort& port, quillmark::LineDirection direction,
           quillmark::LineClock::time_point when, const QByteArray& hex) {
    const QByteArray bytes = QByteArray::fromHex(hex);
    port.lineObserver()->bytesMoved(
        direction, when,
        {reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())});
}

} // namespace

class TestLineMonitorModel : public QObject {
    Q_OBJECT
private slots:
    void ringDropsTheOldest_data();
    void ringDropsTheOldest();
    void clearStartsTheClockAgain();
    void tickTakesWaitingBytesFirst();
    void bytesTooltipHoldsTheWholeFrame_data();
    void bytesTooltipHoldsTheWholeFrame();
};

void TestLineMonitorModel::ringDropsTheOldest_data() {
    QTest::addColumn<QList<int>>("batches");
    QTest::addColumn<QStringList>("bytes");
    QTest::addColumn<QStringList>("times");
    QTest::newRow("below capacity")
        << QList<int>{2} << QStringList{"00", "01"} << QStringList{"0.0", "100.0"};
    QTest::newRow("exactly full") << QList<int>{2, 2} << QStringList{"00", "01", "02", "03"}
                                  << QStringList{"0.0", "100.0", "200.0", "300.0"};
    QTest::newRow("wraps") << QList<int>{3, 3} << QStringList{"02", "03", "04", "05"}
                           << QStringList{"200.0", "300.0", "400.0", "500.0"};
    QTest::newRow("wraps twice, one by one")
        << QList<int>{1, 1, 1, 1, 1, 1, 1, 1, 1} << QStringList{"05", "06", "07", "08"}
        << QStringList{"500.0", "600.0", "700.0", "800.0"};
    QTest::newRow("one batch beyond capacity")
        << QList<int>{9} << QStringList{"05", "06", "07", "08"}
        << QStringList{"500.0", "600.0", "700.0", "800.0"};
}

void TestLineMonitorModel::ringDropsTheOldest() {
    QFETCH(QList<int>, batches);
    QFETCH(QStringList, bytes);
    QFETCH(QStringList, times);
    LineMonitorModel model(4);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    int next = 0;
    for (int n : batches) {
        auto batch = items(next, n);
        model.append(batch);
        QVERIFY(batch.empty());
        next += n;
        QVERIFY(model.rowCount() <= 4);
    }
    QCOMPARE(column(model, LineMonitorModel::Bytes), bytes);
    // Times stay counted from the very first row, dropped or not.
    QCOMPARE(column(model, LineMonitorModel::Time), times);
    QCOMPARE(model.lineText(0), QString::fromUtf8("%1\tRecibido\t%2\tByte tardío\t\tByte tardío")
                                    .arg(times.front(), bytes.front()));
}

void TestLineMonitorModel::clearStartsTheClockAgain() {
    LineMonitorModel model(4);
    auto batch = items(0, 3);
    model.append(batch);
    model.clear();
    QCOMPARE(model.rowCount(), 0);
    batch = items(5, 2);
    model.append(batch);
    QCOMPARE(column(model, LineMonitorModel::Time), QStringList({"0.0", "100.0"}));
}

void TestLineMonitorModel::tickTakesWaitingBytesFirst() {
    using quillmark::LineDirection;
    TComPort port;
    LineMonitor monitor(port);
    monitor.show();
    QVERIFY(monitor.capturing());
    const auto start = quillmark::LineClock::now() - 2s;
    moved(port, LineDirection::ToEncoder, start, "100002");
    moved(port, LineDirection::FromEncoder, start + 100ms, "12");
    monitor.takeBytes();
    moved(port, LineDirection::FromEncoder, start + 110ms, "34"); // waits for the next batch
    monitor.tick();
    const LineMonitorModel& m = monitor.model();
    QCOMPARE(column(m, LineMonitorModel::Fault), QStringList({"", ""}));
    QCOMPARE(m.item(1).bytes, std::vector<quillmark::Byte>({0x12, 0x34}));
}

void TestLineMonitorModel::bytesTooltipHoldsTheWholeFrame_data() {
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("lines");
    QTest::newRow("one byte") << 1 << 1;
    QTest::newRow("one full line") << 16 << 1;
    QTest::newRow("one byte more") << 17 << 2;
    QTest::newRow("half the memory") << 128 << 8;
}

void TestLineMonitorModel::bytesTooltipHoldsTheWholeFrame() {
    QFETCH(int, length);
    QFETCH(int, lines);
    LineMonitorModel m;
    auto one = items(0, 1);
    one.front().bytes.assign(std::size_t(length), 0x5A);
    m.append(one);
    const QString tip = m.data(m.index(0, LineMonitorModel::Bytes), Qt::ToolTipRole).toString();
    QCOMPARE(tip.count('\n') + 1, lines);
    QCOMPARE(QString(tip).replace('\n', ' '), m.cellText(0, LineMonitorModel::Bytes));
}

QTEST_MAIN(TestLineMonitorModel)
#include "tst_line_monitor_model.moc"
