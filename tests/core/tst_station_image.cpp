#include "core/field_encodings.h"
#include "core/station_image.h"

#include <QtTest>

#include <algorithm>
#include <stdexcept>
#include <vector>

using namespace quillmark;

namespace {

enum class Init { Startup, Defaults };

StationImage initialised(Init which, Byte background) {
    StationImage image;
    std::ranges::fill(image.bytes(), background);
    if (which == Init::Startup)
        image.initialiseStartupValues();
    else
        image.applyProgrammingDefaults();
    return image;
}

// Every block the editors and frames address, with a name for messages.
std::vector<std::pair<QString, Block>> allBlocks() {
    std::vector<std::pair<QString, Block>> blocks;
    for (int f = 0; f < 2; ++f) {
        blocks.emplace_back(QString("PI %1").arg(f), piBlock(f));
        blocks.emplace_back(QString("PTY %1").arg(f), ptyBlock(f));
        blocks.emplace_back(QString("AF %1").arg(f), afBlock(f));
        blocks.emplace_back(QString("sequence %1").arg(f), sequenceBlock(f));
        for (int s = 0; s < 8; ++s)
            blocks.emplace_back(QString("PS %1/%2").arg(f).arg(s), psScreenBlock(f, s));
    }
    blocks.emplace_back("RadioText", radioTextBlock());
    blocks.emplace_back("spare", spareBlock());
    return blocks;
}

} // namespace

class TestStationImage : public QObject {
    Q_OBJECT

private slots:
    void regionsLieAtTheirOffsets();
    void blocksTileTheDeviceMap();
    void deviceBlockIsImageOffsetPlus176();
    void deviceRejectsBlocksOutsideTheMap_data();
    void deviceRejectsBlocksOutsideTheMap();
    void copyToReplyKeepsTheZeroStretch();
    void initialValues_data();
    void initialValues();
    void startupLeavesSpareAndReplyBufferAlone();
    void initialisationsDifferInPiHighBytesAndSpareOnly();
    void defaultsDecodeToTheDefaultControls();
};

void TestStationImage::regionsLieAtTheirOffsets() {
    StationImage image;
    QCOMPARE(image.bytes().size(), std::size_t{432});
    image.DeviceMap()[0] = 1;
    image.DeviceMap()[255] = 2;
    image.ReplyBuffer()[175] = 3;
    image.RtStaging()[0] = 4;
    image.RtStaging()[63] = 5;
    image.PsStaging()[0] = 6;
    image.PsStaging()[7] = 7;
    const auto b = image.bytes();
    QCOMPARE(int(b[176]), 1);
    QCOMPARE(int(b[431]), 2);
    QCOMPARE(int(b[175]), 7); // PsStaging ends the ReplyBuffer
    QCOMPARE(int(b[104]), 4);
    QCOMPARE(int(b[167]), 5);
    QCOMPARE(int(b[168]), 6);
    QCOMPARE(std::count(b.begin(), b.end(), Byte{0}), std::ptrdiff_t{432 - 6});
}

void TestStationImage::blocksTileTheDeviceMap() {
    std::array<int, 256> owners{};
    for (const auto& [name, block] : allBlocks()) {
        QVERIFY2(block.address >= 0 && block.address + block.length <= 256, qPrintable(name));
        for (int a = block.address; a < block.address + block.length; ++a)
            ++owners[static_cast<std::size_t>(a)];
    }
    for (int a = 0; a < 256; ++a)
        QVERIFY2(owners[static_cast<std::size_t>(a)] == 1, qPrintable(QString::number(a)));
}

void TestStationImage::deviceBlockIsImageOffsetPlus176() {
    StationImage image;
    for (const auto& [name, block] : allBlocks()) {
        std::ranges::fill(image.bytes(), Byte{0});
        std::ranges::fill(image.device(block), Byte{0x5A});
        const auto b = image.bytes();
        const auto first = static_cast<std::size_t>(176 + block.address);
        const auto last = first + static_cast<std::size_t>(block.length);
        QVERIFY2(std::all_of(b.begin() + first, b.begin() + last, [](Byte x) { return x == 0x5A; }),
                 qPrintable(name));
        QCOMPARE(std::count(b.begin(), b.end(), Byte{0x5A}), std::ptrdiff_t{block.length});
        const StationImage& constImage = image;
        QCOMPARE(constImage.device(block).data(), image.device(block).data());
    }
}

void TestStationImage::deviceRejectsBlocksOutsideTheMap_data() {
    QTest::addColumn<Block>("block");
    QTest::newRow("past the end") << Block{250, 8};
    QTest::newRow("one past") << Block{255, 2};
    QTest::newRow("negative address") << Block{-1, 2};
    QTest::newRow("negative length") << Block{10, -1};
    QTest::newRow("PS screen beyond the map") << psScreenBlock(1, 18);
}

void TestStationImage::deviceRejectsBlocksOutsideTheMap() {
    QFETCH(Block, block);
    StationImage image;
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, (void)image.device(block));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, image.copyDeviceToReply(block));
}

void TestStationImage::copyToReplyKeepsTheZeroStretch() {
    StationImage image;
    std::ranges::fill(image.DeviceMap(), Byte{0x41});
    for (const auto& [name, block] : allBlocks()) {
        std::ranges::fill(image.ReplyBuffer(), Byte{0});
        image.copyDeviceToReply(block);
        const auto reply = image.ReplyBuffer();
        QVERIFY2(std::all_of(reply.begin(), reply.begin() + block.length,
                             [](Byte b) { return b == 0x41; }),
                 qPrintable(name));
        QCOMPARE(std::count(reply.begin(), reply.end(), Byte{0x41}), std::ptrdiff_t{block.length});
        QVERIFY(
            std::all_of(reply.begin() + 64, reply.begin() + 104, [](Byte b) { return b == 0; }));
    }
    // A whole memory half would run over the stretch that must stay zero.
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, image.copyDeviceToReply(memoryHalf(0)));
    QVERIFY(std::all_of(image.ReplyBuffer().begin() + 64, image.ReplyBuffer().begin() + 104,
                        [](Byte b) { return b == 0; }));
}

void TestStationImage::initialValues_data() {
    QTest::addColumn<int>("which");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<int>("value");
    for (const int which : {int(Init::Startup), int(Init::Defaults)}) {
        const char* tag = which == int(Init::Startup) ? "start-up" : "defaults";
        const int piHigh = which == int(Init::Startup) ? 0x00 : 0xE0;
        QTest::addRow("%s PI high 1", tag) << which << 0 << 0 << piHigh;
        QTest::addRow("%s PI low, PTY 1", tag) << which << 1 << 3 << 0;
        QTest::addRow("%s PI high 2", tag) << which << 4 << 4 << piHigh;
        QTest::addRow("%s PI low, PTY 2", tag) << which << 5 << 7 << 0;
        QTest::addRow("%s AF count 1", tag) << which << 8 << 8 << 0xE0;
        QTest::addRow("%s AF codes 1", tag) << which << 9 << 23 << 0;
        QTest::addRow("%s AF count 2", tag) << which << 24 << 24 << 0xE0;
        QTest::addRow("%s AF codes 2", tag) << which << 25 << 39 << 0;
        QTest::addRow("%s RT and PS", tag) << which << 40 << 231 << 0x20;
        QTest::addRow("%s sequence 1", tag) << which << 252 << 252 << 1;
        QTest::addRow("%s timing 1", tag) << which << 253 << 253 << 0x30;
        QTest::addRow("%s sequence 2", tag) << which << 254 << 254 << 1;
        QTest::addRow("%s timing 2", tag) << which << 255 << 255 << 0x30;
    }
    QTest::newRow("defaults spare") << int(Init::Defaults) << 232 << 251 << 0x20;
}

void TestStationImage::initialValues() {
    QFETCH(int, which);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(int, value);
    const StationImage image = initialised(Init(which), 0x77);
    const auto map = image.DeviceMap();
    for (int a = from; a <= to; ++a)
        QVERIFY2(map[static_cast<std::size_t>(a)] == value, qPrintable(QString::number(a)));
}

void TestStationImage::startupLeavesSpareAndReplyBufferAlone() {
    const StationImage image = initialised(Init::Startup, 0x77);
    const auto b = image.bytes();
    QVERIFY(std::all_of(b.begin(), b.begin() + 176, [](Byte x) { return x == 0x77; }));
    const auto spare = image.device(spareBlock());
    QVERIFY(std::all_of(spare.begin(), spare.end(), [](Byte x) { return x == 0x77; }));
    const StationImage defaults = initialised(Init::Defaults, 0x77);
    QVERIFY(std::ranges::equal(defaults.ReplyBuffer(), image.ReplyBuffer()));
}

void TestStationImage::initialisationsDifferInPiHighBytesAndSpareOnly() {
    // From a zero image, as at program start.
    const StationImage startup = initialised(Init::Startup, 0);
    const StationImage defaults = initialised(Init::Defaults, 0);
    std::vector<int> differing;
    for (int a = 0; a < 256; ++a) {
        const auto i = static_cast<std::size_t>(a);
        if (startup.DeviceMap()[i] != defaults.DeviceMap()[i])
            differing.push_back(a);
    }
    std::vector<int> expected{0, 4};
    for (int a = 232; a <= 251; ++a)
        expected.push_back(a);
    QCOMPARE(differing, expected);
}

void TestStationImage::defaultsDecodeToTheDefaultControls() {
    const StationImage image = initialised(Init::Defaults, 0x99);
    for (int f = 0; f < 2; ++f) {
        const auto pi = decodePi(image.device(piBlock(f)).first<2>());
        QCOMPARE(pi, (PiControls{13, 0, 0})); // E000
        QCOMPARE(decodePty(image.device(ptyBlock(f)).first<2>()), (PtyControls{false, 0, 0}));
        AfControls noAf;
        noAf.count = 0;
        QCOMPARE(decodeAf(image.device(afBlock(f)).first<16>()), noAf);
        QCOMPARE(decodeSequence(image.device(sequenceBlock(f)).first<2>()),
                 (SequenceControls{0, false, 0}));
        for (int s = 0; s < 8; ++s)
            QCOMPARE(decodePsScreen(image.device(psScreenBlock(f, s)).first<8>()),
                     std::string(8, ' '));
    }
    QCOMPARE(decodeRadioText(image.device(radioTextBlock())), std::string(64, ' '));
}

QTEST_APPLESS_MAIN(TestStationImage)
#include "tst_station_image.moc"
