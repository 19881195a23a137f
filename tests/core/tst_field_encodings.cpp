#include "core/field_encodings.h"

#include <QtTest>

#include <array>
#include <set>
#include <string>

using namespace quillmark;

Q_DECLARE_METATYPE(std::string)

namespace {

using Pair = std::array<Byte, 2>;

QByteArray toBytes(std::span<const Byte> b) {
    return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
}

std::string toText(std::span<const Byte> b) {
    return {b.begin(), b.end()};
}

} // namespace

class TestFieldEncodings : public QObject {
    Q_OBJECT

private slots:
    void piEncode_data();
    void piEncode();
    void piRoundTripOverEveryControlState();
    void piEveryBytePairDecodesAndEncodesBack();

    void ptyEncode_data();
    void ptyEncode();
    void ptyDecodeFallbacks_data();
    void ptyDecodeFallbacks();
    void ptyRoundTripOverEveryControlState();
    void ptyEveryBytePairKeepsItsMeaningfulBits();

    void afEncode_data();
    void afEncode();
    void afRoundTripOverEveryControlState();
    void afEveryCountByte();
    void afEveryCodeByte();

    void sequenceEncode_data();
    void sequenceEncode();
    void sequenceDecodeScreens_data();
    void sequenceDecodeScreens();
    void sequenceDecodeTiming_data();
    void sequenceDecodeTiming();
    void sequenceRoundTripOverEveryControlState();
    void sequenceEncodedBytesDecodeBack();

    void psEncode_data();
    void psEncode();
    void psEveryByteValueRoundTrips();
    void psDisplayDropsZeroBytesAndKeepsFF();
    void psSelectorTurnsOnlyFFIntoSpace();

    void radioTextEncode_data();
    void radioTextEncode();
    void radioTextDecode_data();
    void radioTextDecode();
    void radioTextEveryByteValueRoundTrips();

    void afItemTexts_data();
    void afItemTexts();
    void afItemTextsAreTheFrequencies();
    void referenceItemTexts_data();
    void referenceItemTexts();
};

void TestFieldEncodings::piEncode_data() {
    QTest::addColumn<int>("country");
    QTest::addColumn<int>("coverage");
    QTest::addColumn<int>("reference");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("E local 00") << 13 << 0 << 0 << QByteArray::fromHex("E000");
    QTest::newRow("E local 12") << 13 << 0 << 0x12 << QByteArray::fromHex("E012");
    QTest::newRow("first items") << 0 << 0 << 0 << QByteArray::fromHex("1000");
    QTest::newRow("last items") << 14 << 15 << 255 << QByteArray::fromHex("FFFF");
    QTest::newRow("no country") << -1 << 3 << 7 << QByteArray::fromHex("0307");
    QTest::newRow("nothing selected") << -1 << -1 << -1 << QByteArray::fromHex("FFFF");
    QTest::newRow("no coverage") << 0 << -1 << 0 << QByteArray::fromHex("0F00");
}

void TestFieldEncodings::piEncode() {
    QFETCH(int, country);
    QFETCH(int, coverage);
    QFETCH(int, reference);
    QFETCH(QByteArray, expected);
    QCOMPARE(toBytes(encodePi({country, coverage, reference})), expected);
}

void TestFieldEncodings::piRoundTripOverEveryControlState() {
    for (int country = -1; country < kCountryItems; ++country) {
        for (int coverage = 0; coverage < kCoverageItems; ++coverage) {
            for (int reference = 0; reference < kReferenceItems; ++reference) {
                const PiControls c{country, coverage, reference};
                const auto bytes = encodePi(c);
                if (!(decodePi(bytes) == c))
                    QFAIL(qPrintable(QString("country %1 coverage %2 reference %3")
                                         .arg(country)
                                         .arg(coverage)
                                         .arg(reference)));
            }
        }
    }
}

void TestFieldEncodings::piEveryBytePairDecodesAndEncodesBack() {
    for (int b0 = 0; b0 < 256; ++b0) {
        for (int b1 = 0; b1 < 256; ++b1) {
            const Pair bytes{Byte(b0), Byte(b1)};
            const PiControls c = decodePi(bytes);
            QVERIFY(c.country >= -1 && c.country < kCountryItems);
            QCOMPARE(c.country == -1, b0 < 0x10); // country code 0 selects nothing
            QVERIFY(c.coverage >= 0 && c.coverage < kCoverageItems);
            QVERIFY(c.reference >= 0 && c.reference < kReferenceItems);
            if (encodePi(c) != bytes)
                QFAIL(qPrintable(QString("bytes %1 %2").arg(b0).arg(b1)));
        }
    }
}

void TestFieldEncodings::ptyEncode_data() {
    QTest::addColumn<bool>("tp");
    QTest::addColumn<int>("pty");
    QTest::addColumn<int>("ms");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("PTY 15, TP, music") << true << 15 << 1 << QByteArray::fromHex("05E8");
    QTest::newRow("PTY 9, no flags") << false << 9 << 0 << QByteArray::fromHex("0120");
    QTest::newRow("PTY 10, TP, music") << true << 10 << 1 << QByteArray::fromHex("0548");
    QTest::newRow("all zero") << false << 0 << 0 << QByteArray::fromHex("0000");
    QTest::newRow("PTY 8 crosses bytes") << false << 8 << 0 << QByteArray::fromHex("0100");
    QTest::newRow("PTY 7") << false << 7 << 0 << QByteArray::fromHex("00E0");
    // -1 enters unchanged: -1 div 8 = 0, (-1 mod 8) * 32 = -32
    QTest::newRow("no PTY") << false << -1 << 0 << QByteArray::fromHex("00E0");
    QTest::newRow("no PTY, TP, music") << true << -1 << 1 << QByteArray::fromHex("04E8");
    QTest::newRow("no MS selection is speech") << false << 3 << -1 << QByteArray::fromHex("0060");
}

void TestFieldEncodings::ptyEncode() {
    QFETCH(bool, tp);
    QFETCH(int, pty);
    QFETCH(int, ms);
    QFETCH(QByteArray, expected);
    QCOMPARE(toBytes(encodePty({tp, pty, ms})), expected);
}

void TestFieldEncodings::ptyDecodeFallbacks_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("tp");
    QTest::addColumn<int>("pty");
    QTest::addColumn<int>("ms");
    QTest::newRow("PTY bits 4-3 = 2") << QByteArray::fromHex("0200") << false << -1 << 0;
    QTest::newRow("PTY 31 with both flags") << QByteArray::fromHex("07E8") << true << -1 << 1;
    QTest::newRow("PTY 24, music") << QByteArray::fromHex("0308") << false << -1 << 1;
    QTest::newRow("PTY 15") << QByteArray::fromHex("01E0") << false << 15 << 0;
    QTest::newRow("PTY 16 first beyond list") << QByteArray::fromHex("0600") << true << -1 << 0;
    QTest::newRow("stray bits ignored") << QByteArray::fromHex("F817") << false << 0 << 0;
}

void TestFieldEncodings::ptyDecodeFallbacks() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, tp);
    QFETCH(int, pty);
    QFETCH(int, ms);
    const Pair b{Byte(bytes[0]), Byte(bytes[1])};
    const PtyControls c = decodePty(b);
    QCOMPARE(c.tp, tp);
    QCOMPARE(c.pty, pty);
    QCOMPARE(c.ms, ms);
}

void TestFieldEncodings::ptyRoundTripOverEveryControlState() {
    for (const bool tp : {false, true}) {
        for (int pty = 0; pty < kPtyItems; ++pty) {
            for (int ms = 0; ms < kMsItems; ++ms) {
                const PtyControls c{tp, pty, ms};
                QVERIFY2(decodePty(encodePty(c)) == c, qPrintable(QString::number(pty)));
            }
        }
    }
}

void TestFieldEncodings::ptyEveryBytePairKeepsItsMeaningfulBits() {
    for (int b0 = 0; b0 < 256; ++b0) {
        for (int b1 = 0; b1 < 256; ++b1) {
            const PtyControls c = decodePty(Pair{Byte(b0), Byte(b1)});
            QCOMPARE(c.tp, (b0 & 0x04) != 0);
            QCOMPARE(c.ms, (b1 & 0x08) != 0 ? 1 : 0);
            QCOMPARE(c.pty != -1, (b0 & 0x03) < 2);
            if (c.pty == -1)
                continue;
            const Pair back = encodePty(c);
            const Pair meaningful{Byte(b0 & 0x07), Byte(b1 & 0xE8)};
            if (back != meaningful)
                QFAIL(qPrintable(QString("bytes %1 %2").arg(b0).arg(b1)));
        }
    }
}

void TestFieldEncodings::afEncode_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("None") << 0 << 0 << QByteArray::fromHex("E0") + QByteArray(15, '\0');
    QTest::newRow("15 AFs at 107.9")
        << 15 << 204 << QByteArray::fromHex("EF") + QByteArray(15, char(0xCC));
    QTest::newRow("1 AF at 87.6") << 1 << 1 << QByteArray::fromHex("E1") + QByteArray(15, '\1');
    QTest::newRow("nothing selected")
        << -1 << -1 << QByteArray::fromHex("DF") + QByteArray(15, char(0xFF));
}

void TestFieldEncodings::afEncode() {
    QFETCH(int, count);
    QFETCH(int, code);
    QFETCH(QByteArray, expected);
    AfControls c;
    c.count = count;
    c.codes.fill(code);
    QCOMPARE(toBytes(encodeAf(c)), expected);
}

void TestFieldEncodings::afRoundTripOverEveryControlState() {
    // Every count with every code in every list, each list holding a different code.
    for (int count = 0; count < kAfCountItems; ++count) {
        for (int code = 0; code < kAfCodeItems; ++code) {
            AfControls c;
            c.count = count;
            for (int k = 0; k < kAfLists; ++k)
                c.codes[static_cast<std::size_t>(k)] = (code + 14 * k) % kAfCodeItems;
            QVERIFY(decodeAf(encodeAf(c)) == c);
        }
    }
}

void TestFieldEncodings::afEveryCountByte() {
    for (int b = 0; b < 256; ++b) {
        std::array<Byte, 16> block{};
        block[0] = Byte(b);
        const AfControls c = decodeAf(block);
        if (b >= 0xE0 && b <= 0xEF) {
            QCOMPARE(c.count, b - 0xE0);
            QCOMPARE(int(encodeAf(c)[0]), b);
        } else {
            QCOMPARE(c.count, -1);
        }
    }
}

void TestFieldEncodings::afEveryCodeByte() {
    for (int b = 0; b < 256; ++b) {
        std::array<Byte, 16> block{};
        block[0] = 0xE5;
        block.back() = Byte(b);
        block[1] = Byte(255 - b);
        const AfControls c = decodeAf(block);
        QCOMPARE(c.codes.back(), b <= 204 ? b : -1);
        QCOMPARE(c.codes.front(), 255 - b <= 204 ? 255 - b : -1);
        if (b <= 204)
            QCOMPARE(int(encodeAf(c).back()), b);
    }
}

void TestFieldEncodings::sequenceEncode_data() {
    QTest::addColumn<int>("screens");
    QTest::addColumn<bool>("rt");
    QTest::addColumn<int>("timing");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("2 screens, RT, 10 s") << 1 << true << 3 << QByteArray::fromHex("8278");
    QTest::newRow("3 screens, RT, 8 s") << 2 << true << 2 << QByteArray::fromHex("8360");
    QTest::newRow("defaults") << 0 << false << 0 << QByteArray::fromHex("0130");
    QTest::newRow("8 screens, 12 s") << 7 << false << 4 << QByteArray::fromHex("0890");
    QTest::newRow("6 s") << 0 << false << 1 << QByteArray::fromHex("0148");
    QTest::newRow("nothing selected") << -1 << false << -1 << QByteArray::fromHex("0018");
    QTest::newRow("no count, RT") << -1 << true << 0 << QByteArray::fromHex("8030");
}

void TestFieldEncodings::sequenceEncode() {
    QFETCH(int, screens);
    QFETCH(bool, rt);
    QFETCH(int, timing);
    QFETCH(QByteArray, expected);
    QCOMPARE(toBytes(encodeSequence({screens, rt, timing})), expected);
}

void TestFieldEncodings::sequenceDecodeScreens_data() {
    QTest::addColumn<int>("byte");
    QTest::addColumn<int>("screens");
    QTest::addColumn<bool>("rt");
    QTest::newRow("count 0") << 0x00 << -1 << false;
    QTest::newRow("count 0, RT") << 0x80 << -1 << true;
    QTest::newRow("count 1") << 0x01 << 0 << false;
    QTest::newRow("count 8") << 0x08 << 7 << false;
    QTest::newRow("count 9 falls back") << 0x09 << 0 << false;
    QTest::newRow("count 10, RT") << 0x8A << 0 << true;
    QTest::newRow("count 127, RT") << 0xFF << 0 << true;
    QTest::newRow("count 8, RT") << 0x88 << 7 << true;
}

void TestFieldEncodings::sequenceDecodeScreens() {
    QFETCH(int, byte);
    QFETCH(int, screens);
    QFETCH(bool, rt);
    const SequenceControls c = decodeSequence(Pair{Byte(byte), 0x30});
    QCOMPARE(c.screens, screens);
    QCOMPARE(c.radioTextActive, rt);
}

void TestFieldEncodings::sequenceDecodeTiming_data() {
    QTest::addColumn<int>("byte");
    QTest::addColumn<int>("timing");
    QTest::newRow("0") << 0 << -1;
    QTest::newRow("0x10") << 0x10 << -1;
    QTest::newRow("24") << 24 << -1;
    QTest::newRow("25 truncates to 0") << 25 << 0;
    QTest::newRow("47") << 47 << 0;
    QTest::newRow("48") << 48 << 0;
    QTest::newRow("71") << 71 << 0;
    QTest::newRow("72") << 72 << 1;
    QTest::newRow("95") << 95 << 1;
    QTest::newRow("96") << 96 << 2;
    QTest::newRow("120") << 120 << 3;
    QTest::newRow("143") << 143 << 3;
    QTest::newRow("144") << 144 << 4;
    QTest::newRow("167") << 167 << 4;
    QTest::newRow("168 falls back") << 168 << 0;
    QTest::newRow("0xFF falls back") << 0xFF << 0;
}

void TestFieldEncodings::sequenceDecodeTiming() {
    QFETCH(int, byte);
    QFETCH(int, timing);
    QCOMPARE(decodeSequence(Pair{0x01, Byte(byte)}).timing, timing);
}

void TestFieldEncodings::sequenceRoundTripOverEveryControlState() {
    for (int screens = 0; screens < kScreenCountItems; ++screens) {
        for (const bool rt : {false, true}) {
            for (int timing = 0; timing < kTimingItems; ++timing) {
                const SequenceControls c{screens, rt, timing};
                QVERIFY(decodeSequence(encodeSequence(c)) == c);
            }
        }
    }
}

void TestFieldEncodings::sequenceEncodedBytesDecodeBack() {
    // Bytes that list states can produce come back unchanged; no other byte does. No
    // selection comes back as count 0 and as timing byte 24 (-1 x 24 + 48).
    std::set<int> firstBytes;
    std::set<int> timingBytes;
    for (int b = 0; b < 256; ++b) {
        const Pair pair{Byte(b), Byte(b)};
        const Pair back = encodeSequence(decodeSequence(pair));
        if (back[0] == b)
            firstBytes.insert(b);
        if (back[1] == b)
            timingBytes.insert(b);
    }
    QCOMPARE(firstBytes, (std::set<int>{0, 0x80, 1, 2, 3, 4, 5, 6, 7, 8, 0x81, 0x82, 0x83, 0x84,
                                        0x85, 0x86, 0x87, 0x88}));
    QCOMPARE(timingBytes, (std::set<int>{24, 48, 72, 96, 120, 144}));
}

void TestFieldEncodings::psEncode_data() {
    QTest::addColumn<std::string>("text");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("ABC") << std::string("ABC") << QByteArray("ABC     ");
    QTest::newRow("empty") << std::string() << QByteArray(8, ' ');
    QTest::newRow("full") << std::string("RADIO 1!") << QByteArray("RADIO 1!");
    QTest::newRow("too long") << std::string("123456789") << QByteArray("12345678");
    QTest::newRow("lower case kept") << std::string("abc") << QByteArray("abc     ");
    QTest::newRow("zero byte kept")
        << std::string("A\0B", 3) << QByteArray::fromHex("41004220202020 20");
}

void TestFieldEncodings::psEncode() {
    QFETCH(std::string, text);
    QFETCH(QByteArray, expected);
    QCOMPARE(toBytes(encodePsScreen(text)), expected);
}

void TestFieldEncodings::psEveryByteValueRoundTrips() {
    for (int v = 1; v < 256; ++v) {
        const std::string text = std::string(7, char(v)) + "Z";
        QCOMPARE(decodePsScreen(encodePsScreen(text)), text);
    }
}

void TestFieldEncodings::psDisplayDropsZeroBytesAndKeepsFF() {
    const std::array<Byte, 8> staging{'A', 'B', 0, 'C', 'D', 0, 0, 'E'};
    QCOMPARE(decodePsScreen(staging), std::string("ABCDE"));
    std::array<Byte, 8> ff;
    ff.fill(0xFF);
    QCOMPARE(decodePsScreen(ff), std::string(8, char(0xFF)));
    const std::array<Byte, 8> zeros{};
    QCOMPARE(decodePsScreen(zeros), std::string());
}

void TestFieldEncodings::psSelectorTurnsOnlyFFIntoSpace() {
    for (int v = 0; v < 256; ++v) {
        std::array<Byte, 8> screen;
        screen.fill(Byte(v));
        screen[3] = 'X';
        const auto staged = psStagingForSelector(screen);
        const Byte expected = v == 0xFF ? 0x20 : Byte(v);
        for (std::size_t i = 0; i < 8; ++i)
            QCOMPARE(int(staged[i]), i == 3 ? int('X') : int(expected));
    }
}

void TestFieldEncodings::radioTextEncode_data() {
    QTest::addColumn<std::string>("text");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("10 characters")
        << std::string("0123456789") << QByteArray("0123456789") + QByteArray(54, ' ');
    QTest::newRow("line break is CR LF")
        << std::string("AB\r\nCD") << QByteArray("AB\r\nCD") + QByteArray(58, ' ');
    QTest::newRow("empty") << std::string() << QByteArray(64, ' ');
    QTest::newRow("exactly 64") << std::string(64, 'x') << QByteArray(64, 'x');
    QTest::newRow("longer is cut") << std::string(63, 'x') + "yz" << QByteArray(63, 'x') + 'y';
}

void TestFieldEncodings::radioTextEncode() {
    QFETCH(std::string, text);
    QFETCH(QByteArray, expected);
    QCOMPARE(toBytes(encodeRadioText(text)), expected);
}

void TestFieldEncodings::radioTextDecode_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("ends at first zero") << QByteArray("HELLO\0WORLD", 11) << QByteArray("HELLO");
    QTest::newRow("leading zero") << QByteArray(10, '\0') << QByteArray();
    QTest::newRow("no zero: at most 64") << QByteArray(100, 'r') << QByteArray(64, 'r');
    QTest::newRow("zero at 64 not needed")
        << QByteArray(64, 's') + QByteArray(40, '\0') << QByteArray(64, 's');
    QTest::newRow("short span") << QByteArray("abc") << QByteArray("abc");
    QTest::newRow("empty span") << QByteArray() << QByteArray();
    QTest::newRow("FF kept") << QByteArray(3, char(0xFF)) << QByteArray(3, char(0xFF));
}

void TestFieldEncodings::radioTextDecode() {
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, expected);
    const std::span<const Byte> span(reinterpret_cast<const Byte*>(bytes.constData()),
                                     static_cast<std::size_t>(bytes.size()));
    const std::string text = decodeRadioText(span);
    QCOMPARE(QByteArray(text.data(), static_cast<qsizetype>(text.size())), expected);
}

void TestFieldEncodings::radioTextEveryByteValueRoundTrips() {
    for (int v = 1; v < 256; ++v) {
        const std::string text = "RT" + std::string(62, char(v));
        QCOMPARE(decodeRadioText(encodeRadioText(text)), text);
        QCOMPARE(toText(encodeRadioText(text)), text);
    }
}

void TestFieldEncodings::afItemTexts_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<std::string>("text");
    QTest::newRow("0") << 0 << std::string("None");
    QTest::newRow("1") << 1 << std::string("87.6");
    QTest::newRow("4") << 4 << std::string("87.9");
    QTest::newRow("5") << 5 << std::string("88.0");
    QTest::newRow("124") << 124 << std::string("99.9");
    QTest::newRow("125") << 125 << std::string("100.0");
    QTest::newRow("204") << 204 << std::string("107.9");
    QTest::newRow("205 has no item") << 205 << std::string();
    QTest::newRow("-1 has no item") << -1 << std::string();
}

void TestFieldEncodings::afItemTexts() {
    QFETCH(int, code);
    QFETCH(std::string, text);
    QCOMPARE(afItemText(code), text);
}

void TestFieldEncodings::afItemTextsAreTheFrequencies() {
    for (int code = 1; code < kAfCodeItems; ++code) {
        const QString text = QString::fromStdString(afItemText(code));
        QCOMPARE(text.section('.', 1).size(), 1);
        bool ok = false;
        const double mhz = text.toDouble(&ok);
        QVERIFY(ok);
        QVERIFY2(qAbs(mhz - (87.5 + 0.1 * code)) < 1e-6, qPrintable(text));
    }
}

void TestFieldEncodings::referenceItemTexts_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<std::string>("text");
    QTest::newRow("0") << 0 << std::string("00");
    QTest::newRow("10") << 10 << std::string("0A");
    QTest::newRow("0x12") << 0x12 << std::string("12");
    QTest::newRow("0xAB") << 0xAB << std::string("AB");
    QTest::newRow("255") << 255 << std::string("FF");
    QTest::newRow("256") << 256 << std::string();
    QTest::newRow("-1") << -1 << std::string();
}

void TestFieldEncodings::referenceItemTexts() {
    QFETCH(int, number);
    QFETCH(std::string, text);
    QCOMPARE(referenceItemText(number), text);
}

QTEST_APPLESS_MAIN(TestFieldEncodings)
#include "tst_field_encodings.moc"
