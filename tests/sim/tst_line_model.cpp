#include "line_model.h"

#include <QtTest>

using namespace quillmark::sim;
using namespace std::chrono_literals;

using Offsets = QList<qint64>; // nanoseconds from an arbitrary start
constexpr qint64 T = LineModel::kByteTime.count();

class TestLineModel : public QObject {
    Q_OBJECT

private slots:
    void byteTimeIsTheLineRate();
    void receive_data();
    void receive();
    void transmit_data();
    void transmit();
};

void TestLineModel::byteTimeIsTheLineRate() {
    // Never faster than 240 bytes a second, and not measurably slower.
    QVERIFY(LineModel::kByteTime * 240 >= 1s);
    QVERIFY(LineModel::kByteTime * 240 < 1s + 1us);
}

void TestLineModel::receive_data() {
    QTest::addColumn<bool>("paced");
    QTest::addColumn<Offsets>("readAt");
    QTest::addColumn<Offsets>("arrival");

    QTest::newRow("paced, read together")
        << true << Offsets{0, 0, 0, 0} << Offsets{T, 2 * T, 3 * T, 4 * T};
    QTest::newRow("paced, read apart")
        << true << Offsets{0, 10 * T, 30 * T} << Offsets{T, 11 * T, 31 * T};
    QTest::newRow("paced, a burst after a gap")
        << true << Offsets{0, 5 * T, 5 * T, 5 * T + 1} << Offsets{T, 6 * T, 7 * T, 8 * T};
    QTest::newRow("paced, just under a byte time")
        << true << Offsets{0, T - 1} << Offsets{T, 2 * T};
    QTest::newRow("paced, read while the one before is on the line")
        << true << Offsets{0, T / 2, 3 * T} << Offsets{T, 2 * T, 4 * T};
    QTest::newRow("unpaced") << false << Offsets{0, 0, 7} << Offsets{0, 0, 7};
}

void TestLineModel::receive() {
    QFETCH(bool, paced);
    QFETCH(Offsets, readAt);
    QFETCH(Offsets, arrival);

    LineModel line(paced);
    const SimClock::time_point start = SimClock::now();
    for (qsizetype i = 0; i < readAt.size(); ++i) {
        const auto got = line.receive(start + std::chrono::nanoseconds(readAt[i]));
        QCOMPARE((got - start).count(), arrival[i]);
    }
}

void TestLineModel::transmit_data() {
    QTest::addColumn<bool>("paced");
    QTest::addColumn<Offsets>("readyAt");
    QTest::addColumn<Offsets>("arrival");

    QTest::newRow("paced, a reply") << true << Offsets{0, 0, 0} << Offsets{T, 2 * T, 3 * T};
    QTest::newRow("paced, replies apart") << true << Offsets{0, 10 * T} << Offsets{T, 11 * T};
    QTest::newRow("paced, next reply queues behind")
        << true << Offsets{0, 0, T} << Offsets{T, 2 * T, 3 * T};
    QTest::newRow("unpaced, at once") << false << Offsets{0, 0, 5} << Offsets{0, 0, 5};
    QTest::newRow("unpaced, never overtakes a delayed reply")
        << false << Offsets{100, 0} << Offsets{100, 100};
}

void TestLineModel::transmit() {
    QFETCH(bool, paced);
    QFETCH(Offsets, readyAt);
    QFETCH(Offsets, arrival);

    LineModel line(paced);
    const SimClock::time_point start = SimClock::now();
    for (qsizetype i = 0; i < readyAt.size(); ++i) {
        const auto got = line.transmit(start + std::chrono::nanoseconds(readyAt[i]));
        QCOMPARE((got - start).count(), arrival[i]);
    }
}

QTEST_GUILESS_MAIN(TestLineModel)
#include "tst_line_model.moc"
