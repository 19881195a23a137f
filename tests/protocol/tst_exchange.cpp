#include "exchange_rows.h"

#include "core/command_frames.h"
#include "engine.h"

#include <QtTest>

#include <deque>
#include <set>

using namespace quillmark;
using namespace quillmark::protocol;
using Memory = std::array<Byte, kDeviceMapSize>;

namespace {

// The engine with the simulated encoder's own engine behind an instant line; watches expire
// only when the harness lets time pass, which it does when nothing else can happen.
class Harness : public ExchangeHost {
public:
    explicit Harness(const ExchangeRow& row) : row_(row) { encoder.memory() = pattern(7); }

    void start(Memory& source) {
        switch (row_.op) {
        case Op::PiWrite:
            exchange.writeBlock(piWriteFrame(0, std::array<Byte, 2>{0x12, 0x34}));
            break;
        case Op::PiRead:
            exchange.readBlock(kReadPi, piReadFrame(0));
            break;
        case Op::RadioText:
            exchange.writeRadioText(std::span(source).first<kRadioTextLength>());
            break;
        case Op::WholeRead:
            exchange.readMemory();
            break;
        case Op::Programming:
            exchange.programMemory(source);
            break;
        case Op::Erase:
            exchange.writeBlock(eraseFrame());
            break;
        }
    }

    // Runs until nothing more can happen; `meanwhile` runs when a late answer is held back.
    void run(const std::function<void()>& meanwhile) {
        while (exchange.waiting()) {
            if (hangUp_) {
                hangUp_ = false;
                exchange.hungUp();
            } else if (!line_.empty()) {
                const std::vector<Byte> bytes(line_.begin(), line_.end());
                line_.clear();
                exchange.received(bytes);
            } else if (!held_.empty()) {
                // Time passes: whatever watch runs now expires before the held answer comes.
                const bool late = row_.behaviour == Behaviour::Late;
                for (const Watch w : {Watch::ReplyByte, Watch::Block, Watch::Answer})
                    if (running.count(w) && (late || w != Watch::Answer))
                        expire(w);
                if (late)
                    meanwhile();
                line_.assign(held_.begin(), held_.end());
                held_.clear();
            } else if (!running.empty()) {
                expire(*running.begin());
                if (!outcomes.empty() && outcomes.back().ending == Ending::NoAnswer)
                    return; // a write stays open for a late answer that never comes
            } else {
                return;
            }
        }
    }

    sim::EncoderEngine encoder;
    Exchange exchange{*this};
    std::vector<std::vector<Byte>> frames;
    std::set<Watch> running;
    std::vector<Outcome> outcomes;
    std::vector<Byte> lastReply;

private:
    void expire(Watch w) {
        running.erase(w);
        exchange.expired(w);
    }

    void send(const CommandFrame& frame) override {
        line_.clear(); // what came before the frame is not its answer
        std::vector<sim::EncoderEngine::Event> events;
        encoder.feed(frame.bytes(), events);
        frames.push_back(events.at(0).frame);
        std::vector<Byte> answer = events.at(0).answer;
        if (static_cast<int>(frames.size()) == row_.frame)
            answer = applyBehaviour(std::move(answer));
        line_.insert(line_.end(), answer.begin(), answer.end());
    }

    std::vector<Byte> applyBehaviour(std::vector<Byte> answer) {
        switch (row_.behaviour) {
        case Behaviour::FailureByte:
            return {0x00};
        case Behaviour::Silence:
            return {};
        case Behaviour::ShortReply:
            answer.resize(answer.size() / 2);
            return answer;
        case Behaviour::Slow:
        case Behaviour::Late:
            held_.assign(answer.begin(), answer.end());
            return {};
        case Behaviour::StrayByte:
            answer.push_back(0x55);
            return answer;
        case Behaviour::HangUp:
            hangUp_ = true;
            return {};
        case Behaviour::Correct:
            break;
        }
        return answer;
    }

    void startWatch(Watch w) override { running.insert(w); }
    void stopWatch(Watch w) override { running.erase(w); }
    void answered(Byte, bool) override {}
    void finished(const Outcome& o) override {
        outcomes.push_back(o);
        lastReply.assign(o.reply.begin(), o.reply.end());
    }

    ExchangeRow row_;
    std::deque<Byte> line_;
    std::deque<Byte> held_;
    bool hangUp_ = false;
};

} // namespace

class TestExchange : public QObject {
    Q_OBJECT
private slots:
    void operations_data() {
        addExchangeRows([](const ExchangeRow&) { return true; });
    }
    void operations();
    void startEndsOutstanding();
};

void TestExchange::operations() {
    QFETCH(ExchangeRow, row);
    Harness h(row);
    Memory source = pattern(11);
    const Memory snapshot = source;
    h.start(source);
    // Whatever the caller changes while the answer is late must not reach the encoder.
    h.run([&] { source = pattern(13); });
    QVERIFY(!h.outcomes.empty());
    QCOMPARE(int(h.outcomes.back().ending), int(row.ending));
    QCOMPARE(int(h.frames.size()), row.frames);
    const bool late = row.behaviour == Behaviour::Late;
    QCOMPARE(h.outcomes.size(), std::size_t(late ? 2 : 1));
    if (late)
        QCOMPARE(int(h.outcomes.front().ending), int(Ending::NoAnswer));
    if (row.ending == Ending::Success && row.op == Op::Programming)
        QCOMPARE(h.encoder.memory(), snapshot);
    if (row.ending == Ending::Success && row.op == Op::WholeRead)
        QVERIFY(std::equal(h.lastReply.begin(), h.lastReply.end(), h.encoder.memory().begin()));
    if (row.ending == Ending::Refused && row.op != Op::PiWrite && row.op != Op::Erase)
        QCOMPARE(h.outcomes.back().refusedChunks, std::vector<int>{row.frame - 1});
    QVERIFY(h.running.empty() || row.ending == Ending::NoAnswer);
}

void TestExchange::startEndsOutstanding() {
    Harness h({"", Op::PiRead, Behaviour::Silence, 1, Ending::NoAnswer, 1});
    h.exchange.readBlock(kReadPs, psReadFrame(0, 0));
    h.exchange.writeBlock(eraseFrame());
    QCOMPARE(int(h.outcomes.at(0).ending), int(Ending::Superseded));
    QCOMPARE(int(h.outcomes.at(0).readState), int(kReadPs));
    QCOMPARE(h.exchange.ReadState(), kReadIdle);
    QCOMPARE(h.exchange.SendState(), kSendSingle);
}

QTEST_APPLESS_MAIN(TestExchange)
#include "tst_exchange.moc"
