#include "engine.h"

#include <QtTest>

#include <random>

using namespace quillmark::sim;

using Bytes = std::vector<Byte>;
using Memory = std::array<Byte, 256>;

namespace {

// A second, deliberately plain reading of the protocol over a whole stream at once.
struct Reference {
    Memory memory;
    std::vector<Bytes> answers;

    explicit Reference(const Bytes& stream) {
        memory.fill(0xFF);
        std::size_t i = 0;
        while (i < stream.size()) {
            const std::size_t used = step(stream, i);
            if (used == 0)
                break; // an unfinished frame at the end
            i += used;
        }
    }

    std::size_t step(const Bytes& s, std::size_t i) {
        static const std::map<Byte, std::size_t> kWriteLength{
            {1, 5}, {2, 11}, {3, 19}, {4, 19}, {5, 5}};
        const std::size_t left = s.size() - i;
        if (s[i] == 0xFE) {
            if (left < 2)
                return 0;
            if (s[i + 1] != 0xFE)
                return 1;
            memory.fill(0xFF);
            answers.push_back({0xAA});
            return 2;
        }
        if (s[i] == 0x10) {
            if (left < 3)
                return 0;
            Bytes reply;
            for (int a = s[i + 1], n = 0; a < 256 && n < s[i + 2]; ++a, ++n)
                reply.push_back(memory[static_cast<std::size_t>(a)]);
            answers.push_back(reply);
            return 3;
        }
        const auto found = kWriteLength.find(s[i]);
        if (found == kWriteLength.end())
            return 1;
        const std::size_t length = found->second;
        if (left < length)
            return 0;
        Byte sum = 0;
        for (std::size_t k = 0; k + 1 < length; ++k)
            sum ^= s[i + k];
        const std::size_t address = s[i + length - 2];
        const std::size_t n = length - 3;
        const bool ok = sum == s[i + length - 1] && address + n <= 256;
        if (ok)
            std::copy_n(s.begin() + static_cast<std::ptrdiff_t>(i + 1), n,
                        memory.begin() + static_cast<std::ptrdiff_t>(address));
        answers.push_back({Byte(ok ? 0xAA : 0x00)});
        return length;
    }
};

// Noise, valid frames and damaged frames mixed, so that every path is taken often.
Bytes randomStream(std::size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    const auto next = [&rng] { return static_cast<Byte>(rng()); };
    Bytes s;
    while (s.size() < size) {
        switch (rng() % 6) {
        case 0: { // a valid write
            static const int kData[] = {2, 8, 16, 16, 2};
            const int code = static_cast<int>(rng() % 5) + 1;
            Bytes frame{static_cast<Byte>(code)};
            for (int k = 0; k <= kData[code - 1]; ++k)
                frame.push_back(next());
            Byte sum = 0;
            for (const Byte b : frame)
                sum ^= b;
            frame.push_back(rng() % 8 == 0 ? static_cast<Byte>(sum ^ 1) : sum);
            s.insert(s.end(), frame.begin(), frame.end());
            break;
        }
        case 1:
            s.insert(s.end(), {0x10, next(), next()});
            break;
        case 2:
            if (rng() % 16 == 0)
                s.insert(s.end(), {0xFE, 0xFE});
            else
                s.push_back(0xFE);
            break;
        default:
            s.push_back(next());
            break;
        }
    }
    return s;
}

void apply(const EncoderEngine::Event& e, Memory& shadow) {
    const Byte first = e.frame.front();
    if (first == 0xFE) {
        shadow.fill(0xFF);
    } else if (first >= 1 && first <= 5 && e.answer == Bytes{0xAA}) {
        const std::size_t n = e.frame.size() - 3;
        std::copy_n(e.frame.begin() + 1, n, shadow.begin() + e.frame[n + 1]);
    }
}

} // namespace

class TestEngineRandomStream : public QObject {
    Q_OBJECT

private slots:
    void megabyteMatchesReference_data();
    void megabyteMatchesReference();
};

void TestEngineRandomStream::megabyteMatchesReference_data() {
    QTest::addColumn<unsigned>("seed");
    QTest::addColumn<int>("maxSplit");
    QTest::newRow("seed 1, splits up to 1") << 1u << 1;
    QTest::newRow("seed 2, splits up to 7") << 2u << 7;
    QTest::newRow("seed 3, splits up to 4096") << 3u << 4096;
}

void TestEngineRandomStream::megabyteMatchesReference() {
    QFETCH(unsigned, seed);
    QFETCH(int, maxSplit);

    const Bytes stream = randomStream(1 << 20, seed);
    const Reference reference(stream);

    EncoderEngine engine;
    Memory shadow;
    shadow.fill(0xFF);
    std::vector<EncoderEngine::Event> events;
    std::size_t answered = 0;
    std::size_t consumed = 0;
    std::mt19937 rng(seed + 100);
    std::uniform_int_distribution<std::size_t> split(1, static_cast<std::size_t>(maxSplit));
    std::size_t at = 0;
    while (at < stream.size()) {
        const std::size_t n = std::min(split(rng), stream.size() - at);
        events.clear();
        engine.feed(std::span(stream).subspan(at, n), events);
        at += n;
        for (const auto& e : events) {
            // One answer per frame, and a frame is never longer than the longest write.
            QVERIFY(e.frame.size() >= 2 && e.frame.size() <= 19);
            QVERIFY(answered < reference.answers.size());
            QCOMPARE(e.answer, reference.answers[answered]);
            ++answered;
            consumed += e.frame.size();
            apply(e, shadow);
        }
        // Memory changes only through the frames reported as stored.
        QCOMPARE(engine.memory(), shadow);
    }
    QCOMPARE(answered, reference.answers.size());
    QCOMPARE(engine.memory(), reference.memory);
    QCOMPARE(consumed + engine.droppedBytes() + engine.pending(), stream.size());
    QVERIFY(answered > 10000); // the stream really exercised frames
}

QTEST_GUILESS_MAIN(TestEngineRandomStream)
#include "tst_engine_random_stream.moc"
