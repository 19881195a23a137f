#include "encoder_state.h"
#include "fault_plan.h"

#include <QtTest>

using namespace quillmark::sim;
using namespace std::chrono_literals;

using Bytes = std::vector<Byte>;
using Faults = std::vector<Fault>;

Q_DECLARE_METATYPE(Bytes)
Q_DECLARE_METATYPE(Faults)

namespace {

Bytes hex(const char* text) {
    const QByteArray raw = QByteArray::fromHex(text);
    return {raw.begin(), raw.end()};
}

std::optional<Reply> feed(EncoderState& state, const Bytes& bytes) {
    std::optional<Reply> last;
    for (const Byte b : bytes) {
        if (auto r = state.receive(b))
            last = std::move(r);
    }
    return last;
}

} // namespace

class TestFaultPlan : public QObject {
    Q_OBJECT

private slots:
    void apply_data();
    void apply();
    void garbageFollowsTheSeed();
    void refusedFramesLeaveMemory_data();
    void refusedFramesLeaveMemory();
    void framesAreNumberedByCompletion();
};

void TestFaultPlan::apply_data() {
    QTest::addColumn<Faults>("faults");
    QTest::addColumn<Bytes>("answer");
    QTest::addColumn<Bytes>("sent"); // empty with garbageSize >= 0: compare size only
    QTest::addColumn<int>("garbageSize");
    QTest::addColumn<int>("delayMs");
    QTest::addColumn<bool>("keepStore");
    QTest::addColumn<bool>("hangUp");

    const Bytes reply = hex("E012");
    QTest::newRow("none") << Faults{} << reply << reply << -1 << 0 << true << false;
    QTest::newRow("other frame") << Faults{{2, FaultKind::NoAnswer}, {4, FaultKind::HangUp}}
                                 << reply << reply << -1 << 0 << true << false;
    QTest::newRow("no answer") << Faults{{3, FaultKind::NoAnswer}} << reply << Bytes{} << -1 << 0
                               << true << false;
    QTest::newRow("failure") << Faults{{3, FaultKind::FailAnswer}} << hex("AA") << hex("00") << -1
                             << 0 << false << false;
    QTest::newRow("short 1") << Faults{{3, FaultKind::ShortReply, 1}} << reply << hex("E0") << -1
                             << 0 << true << false;
    QTest::newRow("short 0") << Faults{{3, FaultKind::ShortReply, 0}} << reply << Bytes{} << -1 << 0
                             << true << false;
    QTest::newRow("short negative")
        << Faults{{3, FaultKind::ShortReply, -4}} << reply << Bytes{} << -1 << 0 << true << false;
    QTest::newRow("short longer than the reply")
        << Faults{{3, FaultKind::ShortReply, 9}} << reply << reply << -1 << 0 << true << false;
    QTest::newRow("garbage 5") << Faults{{3, FaultKind::Garbage, 5}} << reply << Bytes{} << 5 << 0
                               << true << false;
    QTest::newRow("garbage 0") << Faults{{3, FaultKind::Garbage, 0}} << reply << Bytes{} << 0 << 0
                               << true << false;
    QTest::newRow("delay") << Faults{{3, FaultKind::Delay, 0, 150ms}} << reply << reply << -1 << 150
                           << true << false;
    QTest::newRow("two delays add up")
        << Faults{{3, FaultKind::Delay, 0, 150ms}, {3, FaultKind::Delay, 0, 50ms}} << reply << reply
        << -1 << 200 << true << false;
    QTest::newRow("negative delay")
        << Faults{{3, FaultKind::Delay, 0, -5ms}} << reply << reply << -1 << 0 << true << false;
    QTest::newRow("hang-up") << Faults{{3, FaultKind::HangUp}} << reply << Bytes{} << -1 << 0
                             << true << true;
    QTest::newRow("delayed short reply")
        << Faults{{3, FaultKind::Delay, 0, 20ms}, {3, FaultKind::ShortReply, 1}} << reply
        << hex("E0") << -1 << 20 << true << false;
    QTest::newRow("failure cut to nothing")
        << Faults{{3, FaultKind::FailAnswer}, {3, FaultKind::ShortReply, 0}} << hex("AA") << Bytes{}
        << -1 << 0 << false << false;
}

void TestFaultPlan::apply() {
    QFETCH(Faults, faults);
    QFETCH(Bytes, answer);
    QFETCH(Bytes, sent);
    QFETCH(int, garbageSize);
    QFETCH(int, delayMs);
    QFETCH(bool, keepStore);
    QFETCH(bool, hangUp);

    FaultPlan plan;
    for (const Fault& f : faults)
        plan.add(f);
    std::mt19937 rng(1);
    const Reply reply = plan.apply(3, answer, rng);
    if (garbageSize >= 0)
        QCOMPARE(reply.bytes.size(), std::size_t(garbageSize));
    else
        QCOMPARE(reply.bytes, sent);
    QCOMPARE(reply.delay, std::chrono::milliseconds(delayMs));
    QCOMPARE(reply.keepStore, keepStore);
    QCOMPARE(reply.hangUp, hangUp);
    QCOMPARE(plan.refuses(3), !keepStore);
    plan.clear();
    QCOMPARE(plan.apply(3, answer, rng).bytes, answer);
}

void TestFaultPlan::garbageFollowsTheSeed() {
    FaultPlan plan;
    plan.add({1, FaultKind::Garbage, 64});
    std::mt19937 a(5), b(5), c(6);
    const Bytes first = plan.apply(1, {}, a).bytes;
    QCOMPARE(plan.apply(1, {}, b).bytes, first);
    QVERIFY(plan.apply(1, {}, c).bytes != first);
    QVERIFY(std::count(first.begin(), first.end(), first[0]) < 64);
}

// A refused write or erase leaves memory as it was; its log entry shows the 00 sent.
void TestFaultPlan::refusedFramesLeaveMemory_data() {
    QTest::addColumn<Bytes>("frame");
    QTest::newRow("write") << hex("01E01204F7");
    QTest::newRow("chunk") << hex("0400000000000000000000000000000000F0F4");
    QTest::newRow("erase") << hex("FEFE");
}

void TestFaultPlan::refusedFramesLeaveMemory() {
    QFETCH(Bytes, frame);

    PtyEncoderOptions options;
    std::array<Byte, 256> initial{};
    for (std::size_t i = 0; i < initial.size(); ++i)
        initial[i] = static_cast<Byte>(i);
    options.memory = initial;
    options.faults = {{1, FaultKind::FailAnswer}};
    EncoderState state(options);
    std::vector<EncoderEngine::Event> sunk;
    state.setSink([&sunk](const EncoderEngine::Event& e) { sunk.push_back(e); });

    const auto reply = feed(state, frame);
    QVERIFY(reply);
    QCOMPARE(reply->bytes, hex("00"));
    QCOMPARE(state.memory(), initial);
    QCOMPARE(state.log().at(0).answer, hex("00"));
    QCOMPARE(sunk.size(), std::size_t{1});

    // The same frame again, now without a fault, takes effect.
    QCOMPARE(feed(state, frame)->bytes, hex("AA"));
    QVERIFY(state.memory() != initial);
}

void TestFaultPlan::framesAreNumberedByCompletion() {
    PtyEncoderOptions options;
    options.faults = {{2, FaultKind::NoAnswer}};
    EncoderState state(options);
    QVERIFY(!feed(state, hex("3344FE01E012"))); // noise and a frame not yet complete
    QCOMPARE(state.framesReceived(), 0);
    QCOMPARE(feed(state, hex("04F7"))->bytes, hex("AA")); // frame 1
    QCOMPARE(feed(state, hex("100402"))->bytes, Bytes{}); // frame 2
    QCOMPARE(feed(state, hex("100402"))->bytes, hex("E012"));
    QCOMPARE(state.framesReceived(), 3);
    QCOMPARE(state.droppedBytes(), std::size_t{3});
}

QTEST_GUILESS_MAIN(TestFaultPlan)
#include "tst_fault_plan.moc"
