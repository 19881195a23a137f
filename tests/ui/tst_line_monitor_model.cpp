// The monitor's rows: a ring that drops the oldest rows beyond its capacity and keeps the
// view told, with times counted from the first row.

#include "line_monitor_model.h"

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

} // namespace

class TestLineMonitorModel : public QObject {
    Q_OBJECT
private slots:
    void ringDropsTheOldest_data();
    void ringDropsTheOldest();
    void clearStartsTheClockAgain();
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

QTEST_MAIN(TestLineMonitorModel)
#include "tst_line_monitor_model.moc"
