#include "core/command_frames.h"
#include "core/field_encodings.h"

#include <QtTest>

#include <numeric>
#include <stdexcept>

using namespace quillmark;

namespace {

QByteArray toBytes(const CommandFrame& f) {
    const auto b = f.bytes();
    return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
}

QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}

std::array<Byte, 16> noAfData() {
    AfControls c;
    c.count = 0;
    return encodeAf(c);
}

} // namespace

class TestCommandFrames : public QObject {
    Q_OBJECT

private slots:
    void exactFrames_data();
    void exactFrames();
    void writeFrameLayout_data();
    void writeFrameLayout();
    void writeFrameRejectsWrongDataLength_data();
    void writeFrameRejectsWrongDataLength();
    void radioTextChunksCarryTheStagedText();
    void memoryChunksCarryTheWholeMap();
    void builderIndexesOutOfRange_data();
    void builderIndexesOutOfRange();
    void frameEquality();
};

void TestCommandFrames::exactFrames_data() {
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("PI frame 2, E local 12")
        << toBytes(piWriteFrame(1, encodePi({13, 0, 0x12}))) << hex("01E01204F7");
    QTest::newRow("PTY frame 1, Pop, TP, music")
        << toBytes(ptyWriteFrame(0, encodePty({true, 10, 1}))) << hex("0105480 24E");
    QTest::newRow("PTY frame 2 address 6")
        << toBytes(ptyWriteFrame(1, encodePty({false, 0, 0}))) << hex("0100000607");
    QTest::newRow("sequence frame 1, 3 screens, RT, 8 s")
        << toBytes(sequenceWriteFrame(0, encodeSequence({2, true, 2}))) << hex("058360FC1A");
    QTest::newRow("sequence frame 2 address FE")
        << toBytes(sequenceWriteFrame(1, encodeSequence({0, false, 0}))) << hex("050130FECA");
    QTest::newRow("PS frame 1 screen 1 ABC")
        << toBytes(psWriteFrame(0, 0, encodePsScreen("ABC"))) << hex("0241424320202020206 80A");
    QTest::newRow("AF frame 1 None")
        << toBytes(afWriteFrame(0, noAfData())) << hex("03E0") + QByteArray(15, '\0') + hex("08EB");
    const std::array<Byte, 256> zeros{};
    QTest::newRow("last memory chunk of zeros")
        << toBytes(memoryChunkFrame(15, zeros)) << hex("04") + QByteArray(16, '\0') + hex("F0F4");
    QTest::newRow("erase") << toBytes(eraseFrame()) << hex("FEFE");
    QTest::newRow("read PI frame 1") << toBytes(piReadFrame(0)) << hex("100002");
    QTest::newRow("read PI frame 2") << toBytes(piReadFrame(1)) << hex("100402");
    QTest::newRow("read PTY frame 1") << toBytes(ptyReadFrame(0)) << hex("100202");
    QTest::newRow("read PTY frame 2") << toBytes(ptyReadFrame(1)) << hex("100602");
    QTest::newRow("read PS frame 1 screen 1") << toBytes(psReadFrame(0, 0)) << hex("106808");
    QTest::newRow("read PS frame 2 screen 8") << toBytes(psReadFrame(1, 7)) << hex("10E008");
    QTest::newRow("read AF frame 1") << toBytes(afReadFrame(0)) << hex("100810");
    QTest::newRow("read AF frame 2") << toBytes(afReadFrame(1)) << hex("101810");
    QTest::newRow("read RadioText") << toBytes(radioTextReadFrame()) << hex("102840");
    QTest::newRow("read sequence frame 1") << toBytes(sequenceReadFrame(0)) << hex("10FC02");
    QTest::newRow("read sequence frame 2") << toBytes(sequenceReadFrame(1)) << hex("10FE02");
    QTest::newRow("read first half") << toBytes(memoryHalfReadFrame(0)) << hex("100080");
    QTest::newRow("read second half") << toBytes(memoryHalfReadFrame(1)) << hex("108080");
}

void TestCommandFrames::exactFrames() {
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, expected);
    QCOMPARE(frame.toHex(' '), expected.toHex(' '));
}

void TestCommandFrames::writeFrameLayout_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("dataLength");
    QTest::addColumn<int>("address");
    for (int address : {0, 0x55, 0xAA, 255}) {
        QTest::addRow("code 1 at %d", address) << 1 << 2 << address;
        QTest::addRow("code 2 at %d", address) << 2 << 8 << address;
        QTest::addRow("code 3 at %d", address) << 3 << 16 << address;
        QTest::addRow("code 4 at %d", address) << 4 << 16 << address;
        QTest::addRow("code 5 at %d", address) << 5 << 2 << address;
    }
}

void TestCommandFrames::writeFrameLayout() {
    QFETCH(int, code);
    QFETCH(int, dataLength);
    QFETCH(int, address);
    QCOMPARE(writeDataLength(Byte(code)), dataLength);
    std::vector<Byte> data(static_cast<std::size_t>(dataLength));
    std::iota(data.begin(), data.end(), Byte(code * 37));
    const CommandFrame frame = writeFrame(WriteCode(code), data, Byte(address));
    QCOMPARE(frame.size(), std::size_t(dataLength + 3));
    QCOMPARE(int(frame[0]), code);
    QVERIFY(std::ranges::equal(frame.bytes().subspan(1, data.size()), data));
    QCOMPARE(int(frame[std::size_t(dataLength) + 1]), address); // address after the data
    // The checksum makes the XOR of the whole frame zero.
    QCOMPARE(int(xorChecksum(frame.bytes())), 0);
    QCOMPARE(int(xorChecksum(frame.bytes().first(frame.size() - 1))), int(frame[frame.size() - 1]));
}

void TestCommandFrames::writeFrameRejectsWrongDataLength_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("dataLength");
    QTest::newRow("PI with 3 bytes") << 1 << 3;
    QTest::newRow("PS with 7 bytes") << 2 << 7;
    QTest::newRow("chunk with 17 bytes") << 4 << 17;
    QTest::newRow("chunk with nothing") << 4 << 0;
    QTest::newRow("unknown code 0") << 0 << 0;
    QTest::newRow("unknown code 6") << 6 << 2;
}

void TestCommandFrames::writeFrameRejectsWrongDataLength() {
    QFETCH(int, code);
    QFETCH(int, dataLength);
    const std::vector<Byte> data(static_cast<std::size_t>(dataLength), 0x11);
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, (void)writeFrame(WriteCode(code), data, 0));
}

void TestCommandFrames::radioTextChunksCarryTheStagedText() {
    const auto staging = encodeRadioText("0123456789");
    QByteArray carried;
    for (int k = 0; k < 4; ++k) {
        const CommandFrame frame = radioTextChunkFrame(k, staging);
        QCOMPARE(frame.size(), std::size_t{19});
        QCOMPARE(int(frame[0]), 4);
        QCOMPARE(int(frame[17]), 40 + 16 * k);
        QCOMPARE(int(xorChecksum(frame.bytes())), 0);
        carried += toBytes(frame).mid(1, 16);
    }
    QCOMPARE(carried, QByteArray("0123456789") + QByteArray(54, ' '));
}

void TestCommandFrames::memoryChunksCarryTheWholeMap() {
    std::array<Byte, 256> map{};
    std::iota(map.begin(), map.end(), Byte{0});
    std::reverse(map.begin() + 100, map.end()); // not a plain function of the address
    QByteArray carried;
    for (int c = 0; c < 16; ++c) {
        const CommandFrame frame = memoryChunkFrame(c, map);
        QCOMPARE(frame.size(), std::size_t{19});
        QCOMPARE(int(frame[0]), 4);
        QCOMPARE(int(frame[17]), 16 * c);
        QCOMPARE(int(xorChecksum(frame.bytes())), 0);
        carried += toBytes(frame).mid(1, 16);
    }
    QCOMPARE(carried, QByteArray(reinterpret_cast<const char*>(map.data()), 256));
}

void TestCommandFrames::builderIndexesOutOfRange_data() {
    QTest::addColumn<int>("which");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("second");
    QTest::newRow("PI frame 2") << 0 << 2 << 0;
    QTest::newRow("PI frame -1") << 0 << -1 << 0;
    QTest::newRow("PS screen 8") << 1 << 0 << 8;
    QTest::newRow("PS screen -1") << 1 << 0 << -1;
    QTest::newRow("RadioText chunk 4") << 2 << 4 << 0;
    QTest::newRow("RadioText chunk -1") << 2 << -1 << 0;
    QTest::newRow("memory chunk 16") << 3 << 16 << 0;
    QTest::newRow("memory half 2") << 4 << 2 << 0;
    QTest::newRow("sequence read frame 2") << 5 << 2 << 0;
}

void TestCommandFrames::builderIndexesOutOfRange() {
    QFETCH(int, which);
    QFETCH(int, index);
    QFETCH(int, second);
    const std::array<Byte, 256> map{};
    const auto build = [&] {
        switch (which) {
        case 0:
            return piWriteFrame(index, std::span(map).first<2>());
        case 1:
            return psWriteFrame(index, second, std::span(map).first<8>());
        case 2:
            return radioTextChunkFrame(index, std::span(map).first<64>());
        case 3:
            return memoryChunkFrame(index, map);
        case 4:
            return memoryHalfReadFrame(index);
        default:
            return sequenceReadFrame(index);
        }
    };
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, (void)build());
}

void TestCommandFrames::frameEquality() {
    QVERIFY(readFrame(0x28, 0x40) == radioTextReadFrame());
    QVERIFY(!(readFrame(0x28, 0x41) == radioTextReadFrame()));
    QVERIFY(!(readFrame(0x28, 0x40) == eraseFrame()));
    QVERIFY(CommandFrame() == CommandFrame());
}

QTEST_APPLESS_MAIN(TestCommandFrames)
#include "tst_command_frames.moc"
