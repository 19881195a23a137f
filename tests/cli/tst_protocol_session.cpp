#include "protocol/session.h"

#include "engine.h"

#include <QtTest>

#include <deque>
#include <map>

using namespace quillmark;
using namespace quillmark::protocol;
using Memory = std::array<Byte, 256>;
using namespace std::chrono_literals;

namespace {

// The encoder's engine behind a line that answers at once; faults by frame number (from 1).
class EngineLine : public Line {
public:
    enum class Fault { None, NoAnswer, Fail, Short };

    std::map<int, Fault> faults;
    std::vector<std::vector<Byte>> frames;
    std::vector<std::chrono::milliseconds> waits;
    int discards = 0;

    sim::EncoderEngine engine;

    void discardInput() override {
        ++discards;
        pending_.clear();
    }
    void write(std::span<const Byte> bytes) override {
        std::vector<sim::EncoderEngine::Event> events;
        engine.feed(bytes, events);
        for (auto& e : events) {
            frames.push_back(e.frame);
            const auto it = faults.find(static_cast<int>(frames.size()));
            const Fault fault = it == faults.end() ? Fault::None : it->second;
            if (fault == Fault::NoAnswer)
                continue;
            if (fault == Fault::Fail)
                e.answer.assign(1, 0x00);
            if (fault == Fault::Short)
                e.answer.resize(e.answer.size() / 2);
            pending_.insert(pending_.end(), e.answer.begin(), e.answer.end());
        }
    }
    std::optional<Byte> readByte(std::chrono::milliseconds wait) override {
        waits.push_back(wait);
        if (pending_.empty())
            return std::nullopt;
        const Byte b = pending_.front();
        pending_.pop_front();
        return b;
    }

private:
    std::deque<Byte> pending_;
};

Memory pattern() {
    Memory m{};
    for (int i = 0; i < 256; ++i)
        m[static_cast<std::size_t>(i)] = static_cast<Byte>(i * 7 + 3);
    return m;
}

QString messageOf(const std::function<void()>& step) {
    try {
        step();
    } catch (const CommunicationError& e) {
        return QString::fromStdString(e.what());
    }
    return {};
}

} // namespace

class TestProtocolSession : public QObject {
    Q_OBJECT
private slots:
    void readsBothHalvesWithTheAnswerTimeouts();
    void programsSixteenChunksInAddressOrder();
    void chunkedWriteCountsEveryFailure();
    void failuresAreReported_data();
    void failuresAreReported();
};

void TestProtocolSession::readsBothHalvesWithTheAnswerTimeouts() {
    EngineLine line;
    line.engine.memory() = pattern();
    int moved = 0;
    Session session(line, [&](int n) { moved += n; });
    QCOMPARE(session.readWholeDevice(), pattern());
    QCOMPARE(line.frames, (std::vector<std::vector<Byte>>{{0x10, 0x00, 0x80}, {0x10, 0x80, 0x80}}));
    // Before each frame: what came before it is not its reply.
    QCOMPARE(line.discards, 2);
    QCOMPARE(moved, kWholeReadWireBytes);
    // First byte of each reply: the answer time-out; every later byte: the byte time-out.
    QCOMPARE(line.waits.size(), std::size_t{256});
    QCOMPARE(line.waits[0], kAnswerTimeout);
    QCOMPARE(line.waits[1], kReplyByteTimeout);
    QCOMPARE(line.waits[127], kReplyByteTimeout);
    QCOMPARE(line.waits[128], kAnswerTimeout);
    QCOMPARE(kAnswerTimeout, 5000ms);
    QCOMPARE(kReplyByteTimeout, 1000ms);
}

void TestProtocolSession::programsSixteenChunksInAddressOrder() {
    EngineLine line;
    line.engine.memory().fill(0xFF);
    int moved = 0;
    Session session(line, [&](int n) { moved += n; });
    session.programWholeDevice(pattern());
    QCOMPARE(line.engine.memory(), pattern());
    QCOMPARE(line.frames.size(), std::size_t{16});
    for (std::size_t c = 0; c < 16; ++c) {
        QCOMPARE(line.frames[c].size(), std::size_t{19});
        QCOMPARE(line.frames[c][0], Byte{4});
        QCOMPARE(line.frames[c][17], static_cast<Byte>(16 * c));
    }
    QCOMPARE(moved, kProgramWireBytes);
    QVERIFY(std::all_of(line.waits.begin(), line.waits.end(),
                        [](auto w) { return w == kAnswerTimeout; }));
}

void TestProtocolSession::chunkedWriteCountsEveryFailure() {
    ChunkedWrite chain(ChunkedWrite::Kind::RadioText);
    std::array<Byte, 64> text{};
    QCOMPARE(chain.chunkCount(), 4);
    for (int k = 0; k < 4; ++k) {
        QCOMPARE(chain.nextIsLast(), k == 3);
        QCOMPARE(chain.takeNext(text)[17], static_cast<Byte>(40 + 16 * k));
        chain.noteAnswer(k == 1 ? 0x55 : kAnswerOk);
    }
    QVERIFY(chain.allSent());
    // The last answer was a success; the chain still failed.
    QVERIFY(chain.failed());
    QVERIFY_THROWS_EXCEPTION(std::logic_error, (void)chain.takeNext(text));
}

void TestProtocolSession::failuresAreReported_data() {
    QTest::addColumn<bool>("program");
    QTest::addColumn<int>("frame");
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("message");
    using F = EngineLine::Fault;
    QTest::newRow("read: no answer to the second half")
        << false << 2 << int(F::NoAnswer)
        << "no answer from the encoder within 5 s (read at address 0x80)";
    QTest::newRow("read: reply breaks off")
        << false << 1 << int(F::Short)
        << "the encoder's reply broke off after 64 of 128 bytes (read at address 0x00)";
    QTest::newRow("program: no answer to chunk 6")
        << true << 6 << int(F::NoAnswer)
        << "no answer from the encoder within 5 s (chunk at address 0x50)";
    QTest::newRow("program: chunk 5 refused")
        << true << 5 << int(F::Fail) << "the encoder refused 1 of 16 chunks (addresses 0x40)";
}

void TestProtocolSession::failuresAreReported() {
    QFETCH(bool, program);
    QFETCH(int, frame);
    QFETCH(int, fault);
    QFETCH(QString, message);
    EngineLine line;
    line.faults[frame] = static_cast<EngineLine::Fault>(fault);
    Session session(line);
    const QString got = messageOf([&] {
        if (program)
            session.programWholeDevice(pattern());
        else
            (void)session.readWholeDevice();
    });
    QCOMPARE(got, message);
    // A refused chunk does not stop the others; nothing is sent after a missing answer.
    const bool refused = static_cast<EngineLine::Fault>(fault) == EngineLine::Fault::Fail;
    QCOMPARE(line.frames.size(), std::size_t(refused ? 16 : frame));
}

QTEST_APPLESS_MAIN(TestProtocolSession)
#include "tst_protocol_session.moc"
