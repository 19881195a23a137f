#include "remote/telnet_stream.h"

#include <QTest>

using quillmark::remote::ByteVector;
using quillmark::remote::TelnetStream;
using namespace quillmark::remote::telnet;

namespace {

QByteArray bytes(const ByteVector& v) {
    return QByteArray(reinterpret_cast<const char*>(v.data()), static_cast<qsizetype>(v.size()));
}

ByteVector vec(const QByteArray& a) {
    return ByteVector(a.begin(), a.end());
}

} // namespace

class TestTelnetStream : public QObject {
    Q_OBJECT
private slots:
    void dataSurvivesEverySplit_data();
    void dataSurvivesEverySplit();
    void answersOnlyWhatChangesState_data();
    void answersOnlyWhatChangesState();
    void comPortOutcome();
    void serverAnswersAndModemState();
    void escapesOutgoingCommandValues();
};

// Wire bytes, split into two pieces at every position, give exactly these data bytes.
void TestTelnetStream::dataSurvivesEverySplit_data() {
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<QByteArray>("data");
    QTest::newRow("doubled IAC") << QByteArray::fromHex("41ffff42ffffff")
                                 << QByteArray::fromHex("41ff42ff");
    QTest::newRow("erased memory")
        << QByteArray::fromHex("ffffffffffff") << QByteArray::fromHex("ffffff");
    QTest::newRow("negotiation between data")
        << QByteArray::fromHex("01fffb0302fffd2c03") << QByteArray::fromHex("010203");
    QTest::newRow("subnegotiation holding IAC IAC and SE")
        << QByteArray::fromHex("aafffa2c6bfffff0fff0bb") << QByteArray::fromHex("aabb");
    QTest::newRow("two-byte commands")
        << QByteArray::fromHex("fff1fff900fff2ff") << QByteArray::fromHex("00");
    QTest::newRow("unterminated subnegotiation ends at next command")
        << QByteArray::fromHex("fffa2c6b10fffbff0d") << QByteArray::fromHex("0d");
    QTest::newRow("CR NUL and CR LF are data")
        << QByteArray::fromHex("0d000d0a") << QByteArray::fromHex("0d000d0a");
}

void TestTelnetStream::dataSurvivesEverySplit() {
    QFETCH(QByteArray, wire);
    QFETCH(QByteArray, data);
    const ByteVector w = vec(wire);
    for (std::size_t cut = 0; cut <= w.size(); ++cut) {
        TelnetStream stream;
        ByteVector out, replies;
        stream.receive(w.data(), cut, out, replies);
        stream.receive(w.data() + cut, w.size() - cut, out, replies);
        QCOMPARE(bytes(out).toHex(), data.toHex());
    }
}

void TestTelnetStream::answersOnlyWhatChangesState_data() {
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<QByteArray>("answers");
    // ser2net's own opening, after our greeting: everything it asks for was asked by us.
    QTest::newRow("ser2net greeting")
        << QByteArray::fromHex("fffb03fffd03fffb01fffe01fffd00fffb00fffd2c")
        << QByteArray::fromHex("fffe01");
    QTest::newRow("unknown options refused once each")
        << QByteArray::fromHex("fffd18fffb1f") << QByteArray::fromHex("fffc18fffe1f");
    QTest::newRow("repeated agreement is not answered")
        << QByteArray::fromHex("fffd00fffd00fffb00fffb00") << QByteArray();
    // A server that asks again for what was refused gets no answer, so it cannot loop.
    QTest::newRow("request repeated, refused once")
        << QByteArray::fromHex("fffd63fffd63fffd63fffb63fffb63")
        << QByteArray::fromHex("fffc63fffe63");
    QTest::newRow("refused again after the server gave up")
        << QByteArray::fromHex("fffd63fffe63fffd63") << QByteArray::fromHex("fffc63fffc63");
    QTest::newRow("switching off is confirmed")
        << QByteArray::fromHex("fffd00fffe00fffe00") << QByteArray::fromHex("fffc00");
}

void TestTelnetStream::answersOnlyWhatChangesState() {
    QFETCH(QByteArray, received);
    QFETCH(QByteArray, answers);
    TelnetStream stream;
    (void)stream.greeting();
    ByteVector out, replies;
    const ByteVector r = vec(received);
    stream.receive(r.data(), r.size(), out, replies);
    QCOMPARE(bytes(replies).toHex(), answers.toHex());
    QVERIFY(out.empty());
}

void TestTelnetStream::comPortOutcome() {
    TelnetStream agreed;
    QCOMPARE(agreed.comPortState(), TelnetStream::ComPortState::Pending);
    ByteVector out, replies;
    const ByteVector doIt{IAC, DO, COM_PORT_OPTION};
    agreed.receive(doIt.data(), doIt.size(), out, replies);
    QCOMPARE(agreed.comPortState(), TelnetStream::ComPortState::Agreed);
    // Not requested first: the server's DO is answered with WILL.
    QCOMPARE(bytes(replies).toHex(), QByteArray("fffb2c"));

    TelnetStream refused;
    (void)refused.greeting();
    const ByteVector dont{IAC, DONT, COM_PORT_OPTION};
    refused.receive(dont.data(), dont.size(), out, replies);
    QCOMPARE(refused.comPortState(), TelnetStream::ComPortState::Refused);
}

void TestTelnetStream::serverAnswersAndModemState() {
    TelnetStream stream;
    ByteVector out, replies;
    // SET-BAUDRATE answer (2400), SET-CONTROL answer, NOTIFY-MODEMSTATE with CTS and CD.
    const ByteVector wire{IAC,
                          SB,
                          COM_PORT_OPTION,
                          101,
                          0,
                          0,
                          0x09,
                          0x60,
                          IAC,
                          SE,
                          IAC,
                          SB,
                          COM_PORT_OPTION,
                          105,
                          1,
                          IAC,
                          SE,
                          IAC,
                          SB,
                          COM_PORT_OPTION,
                          107,
                          0x90,
                          IAC,
                          SE};
    stream.receive(wire.data(), wire.size(), out, replies);
    QCOMPARE(stream.takeAnswers(), (1U << 1) | (1U << 5) | (1U << 7));
    QCOMPARE(stream.takeAnswers(), 0U);
    QCOMPARE(stream.modemState().value_or(0), std::uint8_t{0x90});
    QVERIFY(out.empty());
}

void TestTelnetStream::escapesOutgoingCommandValues() {
    ByteVector out;
    TelnetStream::comPortCommand(1, {0x00, 0x00, 0xff, 0xff}, out);
    QCOMPARE(bytes(out).toHex(), QByteArray("fffa2c010000ffffffffff").append("f0"));
    out.clear();
    const ByteVector data{0x10, 0xff, 0x20};
    TelnetStream::escape(data.data(), data.size(), out);
    QCOMPARE(bytes(out).toHex(), QByteArray("10ffff20"));
}

QTEST_GUILESS_MAIN(TestTelnetStream)
#include "tst_telnet_stream.moc"
