#include "core/command_frames.h"
#include "engine.h"

#include <QtTest>

#include <random>

using namespace quillmark::sim;

using Bytes = std::vector<Byte>;
using Memory = std::array<Byte, 256>;

Q_DECLARE_METATYPE(Bytes)

namespace {

Bytes hex(const char* text) {
    const QByteArray raw = QByteArray::fromHex(text);
    return {raw.begin(), raw.end()};
}

// Every address holds a different value, so a read shows where it started.
Memory patterned() {
    Memory m{};
    for (std::size_t i = 0; i < m.size(); ++i)
        m[i] = static_cast<Byte>(i ^ 0x5A);
    return m;
}

Bytes withChecksum(Bytes frame) {
    Byte sum = 0;
    for (const Byte b : frame)
        sum ^= b;
    frame.push_back(sum);
    return frame;
}

std::vector<EncoderEngine::Event> feedAll(EncoderEngine& engine, const Bytes& in) {
    std::vector<EncoderEngine::Event> events;
    engine.feed(in, events);
    return events;
}

} // namespace

class TestEncoderEngine : public QObject {
    Q_OBJECT

private slots:
    void startsErased();
    void singleFrame_data();
    void singleFrame();
    void anyWriteCodeAndLength_data();
    void anyWriteCodeAndLength();
    void splitsGiveTheSameEvents_data();
    void splitsGiveTheSameEvents();
    void bytesOutsideFrames_data();
    void bytesOutsideFrames();
    void resetDropsAnUnfinishedFrame();
    void everyToolFrame_data();
    void everyToolFrame();
};

void TestEncoderEngine::startsErased() {
    const EncoderEngine engine;
    for (const Byte b : engine.memory())
        QCOMPARE(b, Byte{0xFF});
    QCOMPARE(engine.pending(), std::size_t{0});
}

// One frame into a patterned memory: its answer, and where memory changed (nowhere else).
void TestEncoderEngine::singleFrame_data() {
    QTest::addColumn<Bytes>("frame");
    QTest::addColumn<Bytes>("answer");
    QTest::addColumn<int>("storedAt"); // -1: memory unchanged
    QTest::addColumn<Bytes>("stored");

    const Memory m = patterned();
    const auto memoryFrom = [&m](int from, int to) {
        return Bytes(m.begin() + from, m.begin() + to);
    };

    QTest::newRow("PI frame 2") << hex("01E01204F7") << hex("AA") << 4 << hex("E012");
    QTest::newRow("PTY frame 1") << hex("010548024E") << hex("AA") << 2 << hex("0548");
    QTest::newRow("sequence frame 1") << hex("058360FC1A") << hex("AA") << 252 << hex("8360");
    QTest::newRow("PS screen ABC")
        << hex("024142432020202020680A") << hex("AA") << 104 << hex("4142432020202020");
    QTest::newRow("AF none") << hex("03E000000000000000000000000000000008EB") << hex("AA") << 8
                             << hex("E0000000000000000000000000000000");
    QTest::newRow("last memory chunk") << hex("0400000000000000000000000000000000F0F4") << hex("AA")
                                       << 240 << hex("00000000000000000000000000000000");
    QTest::newRow("bad checksum PI") << hex("01E01204F6") << hex("00") << -1 << Bytes{};
    QTest::newRow("bad checksum PS") << hex("024142432020202020680B") << hex("00") << -1 << Bytes{};
    QTest::newRow("bad checksum AF")
        << hex("03E000000000000000000000000000000008EA") << hex("00") << -1 << Bytes{};
    QTest::newRow("bad checksum chunk")
        << hex("0400000000000000000000000000000000F0F5") << hex("00") << -1 << Bytes{};
    QTest::newRow("bad checksum sequence") << hex("058360FC1B") << hex("00") << -1 << Bytes{};
    QTest::newRow("checksum right, data flipped")
        << hex("01E11204F7") << hex("00") << -1 << Bytes{};

    QTest::newRow("read PI") << hex("100402") << memoryFrom(4, 6) << -1 << Bytes{};
    QTest::newRow("read RadioText") << hex("102840") << memoryFrom(40, 104) << -1 << Bytes{};
    QTest::newRow("read first half") << hex("100080") << memoryFrom(0, 128) << -1 << Bytes{};
    QTest::newRow("read second half") << hex("108080") << memoryFrom(128, 256) << -1 << Bytes{};
    QTest::newRow("read last byte") << hex("10FF01") << memoryFrom(255, 256) << -1 << Bytes{};
    QTest::newRow("read past the end stops at 255")
        << hex("10F020") << memoryFrom(240, 256) << -1 << Bytes{};
    QTest::newRow("read 255 bytes from 255")
        << hex("10FFFF") << memoryFrom(255, 256) << -1 << Bytes{};
    QTest::newRow("read nothing") << hex("100500") << Bytes{} << -1 << Bytes{};
}

void TestEncoderEngine::singleFrame() {
    QFETCH(Bytes, frame);
    QFETCH(Bytes, answer);
    QFETCH(int, storedAt);
    QFETCH(Bytes, stored);

    EncoderEngine engine;
    engine.memory() = patterned();
    const auto events = feedAll(engine, frame);

    QCOMPARE(events.size(), std::size_t{1});
    QCOMPARE(events[0].frame, frame);
    QCOMPARE(events[0].answer, answer);
    Memory expected = patterned();
    if (storedAt >= 0)
        std::copy(stored.begin(), stored.end(), expected.begin() + storedAt);
    QCOMPARE(engine.memory(), expected);
    QCOMPARE(engine.pending(), std::size_t{0});
}

// Every write code at every address: stored exactly when the block fits below 256.
void TestEncoderEngine::anyWriteCodeAndLength_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("length");
    QTest::newRow("1") << 1 << 2;
    QTest::newRow("2") << 2 << 8;
    QTest::newRow("3") << 3 << 16;
    QTest::newRow("4") << 4 << 16;
    QTest::newRow("5") << 5 << 2;
}

void TestEncoderEngine::anyWriteCodeAndLength() {
    QFETCH(int, code);
    QFETCH(int, length);

    for (int address = 0; address < 256; ++address) {
        EncoderEngine engine;
        Bytes frame{static_cast<Byte>(code)};
        for (int i = 0; i < length; ++i)
            frame.push_back(static_cast<Byte>(address + i));
        frame.push_back(static_cast<Byte>(address));
        const auto events = feedAll(engine, withChecksum(frame));

        const bool fits = address + length <= 256;
        QCOMPARE(events.size(), std::size_t{1});
        QCOMPARE(events[0].answer, fits ? hex("AA") : hex("00"));
        Memory expected;
        expected.fill(0xFF);
        if (fits)
            std::copy(frame.begin() + 1, frame.end() - 1, expected.begin() + address);
        QCOMPARE(engine.memory(), expected);
    }
}

// A session of frames fed in different splits gives the same events and the same memory.
void TestEncoderEngine::splitsGiveTheSameEvents_data() {
    QTest::addColumn<int>("split"); // 0: at once, 1: byte by byte, else random seed
    QTest::newRow("all at once") << 0;
    QTest::newRow("byte by byte") << 1;
    for (int seed = 2; seed < 12; ++seed)
        QTest::newRow(qPrintable(QStringLiteral("random %1").arg(seed))) << seed;
}

void TestEncoderEngine::splitsGiveTheSameEvents() {
    QFETCH(int, split);

    const Bytes session = hex("FEFE"                                   // erase
                              "01E01204F7"                             // PI
                              "100402"                                 // read it back
                              "024142432020202020680A"                 // PS
                              "058360FC1B"                             // bad checksum
                              "33"                                     // noise
                              "0400000000000000000000000000000000F0F4" // chunk
                              "10F010"                                 // read the chunk
                              "100000");                               // read nothing
    EncoderEngine engine;
    std::vector<EncoderEngine::Event> events;
    std::mt19937 rng(static_cast<unsigned>(split));
    std::size_t at = 0;
    while (at < session.size()) {
        std::size_t n = session.size() - at;
        if (split == 1)
            n = 1;
        else if (split > 1)
            n = std::min<std::size_t>(n, std::uniform_int_distribution<std::size_t>(0, 7)(rng));
        engine.feed(std::span(session).subspan(at, n), events);
        at += n;
    }

    const std::vector<Bytes> answers{hex("AA"),
                                     hex("AA"),
                                     hex("E012"),
                                     hex("AA"),
                                     hex("00"),
                                     hex("AA"),
                                     hex("00000000000000000000000000000000"),
                                     Bytes{}};
    QCOMPARE(events.size(), answers.size());
    for (std::size_t i = 0; i < events.size(); ++i)
        QCOMPARE(events[i].answer, answers[i]);
    QCOMPARE(engine.droppedBytes(), std::size_t{1});
}

// Bytes that start no frame are dropped one by one; parsing picks up at the next byte.
void TestEncoderEngine::bytesOutsideFrames_data() {
    QTest::addColumn<Bytes>("input");
    QTest::addColumn<Bytes>("answers"); // all answers concatenated
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("dropped");
    QTest::addColumn<int>("pending");

    QTest::newRow("zero before a write") << hex("0001E01204F7") << hex("AA") << 1 << 1 << 0;
    QTest::newRow("answer bytes echoed") << hex("AA00AA01E01204F7") << hex("AA") << 1 << 3 << 0;
    QTest::newRow("codes 6 to 0F, 11 to FD, FF") << hex("06070F1120FDFF") << Bytes{} << 0 << 7 << 0;
    QTest::newRow("lone FE before a write") << hex("FE01E01204F7") << hex("AA") << 1 << 1 << 0;
    QTest::newRow("lone FE before a read") << hex("FE100402") << hex("FFFF") << 1 << 1 << 0;
    QTest::newRow("FE then noise") << hex("FE33FEFE") << hex("AA") << 1 << 2 << 0;
    QTest::newRow("four FE are two erases") << hex("FEFEFEFE") << hex("AAAA") << 2 << 0 << 0;
    QTest::newRow("three FE: erase and one waiting") << hex("FEFEFE") << hex("AA") << 1 << 0 << 1;
    QTest::newRow("FE inside a write is data")
        << withChecksum(hex("01FEFE00")) << hex("AA") << 1 << 0 << 0;
    QTest::newRow("unfinished write waits") << hex("03E0") << Bytes{} << 0 << 0 << 2;
    QTest::newRow("unfinished read waits") << hex("1000") << Bytes{} << 0 << 0 << 2;
}

void TestEncoderEngine::bytesOutsideFrames() {
    QFETCH(Bytes, input);
    QFETCH(Bytes, answers);
    QFETCH(int, frames);
    QFETCH(int, dropped);
    QFETCH(int, pending);

    EncoderEngine engine;
    const auto events = feedAll(engine, input);
    Bytes all;
    for (const auto& e : events)
        all.insert(all.end(), e.answer.begin(), e.answer.end());
    QCOMPARE(all, answers);
    QCOMPARE(events.size(), std::size_t(frames));
    QCOMPARE(engine.droppedBytes(), std::size_t(dropped));
    QCOMPARE(engine.pending(), std::size_t(pending));
}

void TestEncoderEngine::resetDropsAnUnfinishedFrame() {
    EncoderEngine engine;
    (void)feedAll(engine, hex("01E012"));
    QCOMPARE(engine.pending(), std::size_t{3});
    engine.reset();
    QCOMPARE(engine.pending(), std::size_t{0});
    // Without the reset, 10 04 02 would complete the write as 01 E0 12 10 04 (bad checksum).
    const auto events = feedAll(engine, hex("100402"));
    QCOMPARE(events.size(), std::size_t{1});
    QCOMPARE(events[0].frame, hex("100402"));
}

// Every frame the tool builds, with random data: writes are stored at the block's address
// and answered AA; reads answer the block's bytes.
void TestEncoderEngine::everyToolFrame_data() {
    QTest::addColumn<Bytes>("frame");
    QTest::addColumn<int>("address");
    QTest::addColumn<Bytes>("data"); // empty for a read

    std::mt19937 rng(7);
    const auto randomBytes = [&rng]<std::size_t N>() {
        std::array<Byte, N> a{};
        for (Byte& b : a)
            b = static_cast<Byte>(rng());
        return a;
    };
    const auto toBytes = [](const quillmark::CommandFrame& f) {
        return Bytes(f.bytes().begin(), f.bytes().end());
    };
    const auto write = [&](const char* name, const quillmark::CommandFrame& f, int address,
                           std::span<const Byte> data) {
        QTest::newRow(name) << toBytes(f) << address << Bytes(data.begin(), data.end());
    };
    const auto read = [&](const char* name, const quillmark::CommandFrame& f, int address) {
        QTest::newRow(name) << toBytes(f) << address << Bytes{};
    };

    for (int f = 0; f < 2; ++f) {
        const auto two = randomBytes.operator()<2>();
        write(qPrintable(QStringLiteral("PI f%1").arg(f)), quillmark::piWriteFrame(f, two), 4 * f,
              two);
        write(qPrintable(QStringLiteral("PTY f%1").arg(f)), quillmark::ptyWriteFrame(f, two),
              4 * f + 2, two);
        write(qPrintable(QStringLiteral("sequence f%1").arg(f)),
              quillmark::sequenceWriteFrame(f, two), 252 + 2 * f, two);
        const auto af = randomBytes.operator()<16>();
        write(qPrintable(QStringLiteral("AF f%1").arg(f)), quillmark::afWriteFrame(f, af),
              8 + 16 * f, af);
        for (int screen = 0; screen < 8; ++screen) {
            const auto ps = randomBytes.operator()<8>();
            write(qPrintable(QStringLiteral("PS f%1 s%2").arg(f).arg(screen)),
                  quillmark::psWriteFrame(f, screen, ps), 104 + 64 * f + 8 * screen, ps);
            read(qPrintable(QStringLiteral("read PS f%1 s%2").arg(f).arg(screen)),
                 quillmark::psReadFrame(f, screen), 104 + 64 * f + 8 * screen);
        }
        read(qPrintable(QStringLiteral("read PI f%1").arg(f)), quillmark::piReadFrame(f), 4 * f);
        read(qPrintable(QStringLiteral("read PTY f%1").arg(f)), quillmark::ptyReadFrame(f),
             4 * f + 2);
        read(qPrintable(QStringLiteral("read AF f%1").arg(f)), quillmark::afReadFrame(f),
             8 + 16 * f);
        read(qPrintable(QStringLiteral("read sequence f%1").arg(f)),
             quillmark::sequenceReadFrame(f), 252 + 2 * f);
        read(qPrintable(QStringLiteral("read half %1").arg(f)), quillmark::memoryHalfReadFrame(f),
             128 * f);
    }
    const auto text = randomBytes.operator()<64>();
    for (int k = 0; k < 4; ++k)
        write(qPrintable(QStringLiteral("RadioText chunk %1").arg(k)),
              quillmark::radioTextChunkFrame(k, text), 40 + 16 * k,
              std::span(text).subspan(16 * static_cast<std::size_t>(k), 16));
    read("read RadioText", quillmark::radioTextReadFrame(), 40);
    const auto map = randomBytes.operator()<256>();
    for (int c = 0; c < 16; ++c)
        write(qPrintable(QStringLiteral("memory chunk %1").arg(c)),
              quillmark::memoryChunkFrame(c, map), 16 * c,
              std::span(map).subspan(16 * static_cast<std::size_t>(c), 16));
}

void TestEncoderEngine::everyToolFrame() {
    QFETCH(Bytes, frame);
    QFETCH(int, address);
    QFETCH(Bytes, data);

    EncoderEngine engine;
    engine.memory() = patterned();
    const auto events = feedAll(engine, frame);
    QCOMPARE(events.size(), std::size_t{1});

    Memory expected = patterned();
    if (data.empty()) {
        const Bytes block(expected.begin() + address, expected.begin() + address + frame.back());
        QCOMPARE(events[0].answer, block);
    } else {
        QCOMPARE(events[0].answer, hex("AA"));
        std::copy(data.begin(), data.end(), expected.begin() + address);
    }
    QCOMPARE(engine.memory(), expected);
}

QTEST_GUILESS_MAIN(TestEncoderEngine)
#include "tst_encoder_engine.moc"
