#include "core/command_frames.h"
#include "core/hex_bytes.h"
#include "core/line_decoder.h"
#include "core/line_item_text.h"

#include <QtTest>

#include <numeric>

using namespace quillmark;
using namespace std::chrono_literals;

namespace {

const LineClock::time_point t0{};

QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}

std::span<const Byte> spanOf(const QByteArray& a) {
    return {reinterpret_cast<const Byte*>(a.constData()), static_cast<std::size_t>(a.size())};
}

QByteArray bytesOf(const CommandFrame& f) {
    const auto b = f.bytes();
    return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
}

// "meaning" plus " [fault]" when the item is faulty: what a reader of the monitor sees.
QString describe(const LineItem& item) {
    QString text = QString::fromStdString(lineItemMeaning(item));
    if (item.faulty())
        text += " [" + QString::fromStdString(lineItemFault(item)) + "]";
    return text;
}

// A stream step: ">" bytes to the encoder, "<" bytes from it, "." time passing; at ms.
struct Step {
    char what;
    int ms;
    QByteArray bytes;
};
using Script = QList<Step>;

QStringList run(const Script& script) {
    LineDecoder decoder;
    std::vector<LineItem> items;
    for (const Step& s : script) {
        const auto when = t0 + std::chrono::milliseconds(s.ms);
        if (s.what == '.') {
            decoder.advanceTo(when, items);
            continue;
        }
        const auto dir = s.what == '>' ? LineDirection::ToEncoder : LineDirection::FromEncoder;
        // One byte per call, as WriteByte and ReadByte move them.
        for (const char c : s.bytes) {
            const Byte b = static_cast<Byte>(c);
            decoder.feed(dir, when, std::span(&b, 1), items);
        }
    }
    decoder.finish(items);
    QStringList out;
    for (const LineItem& item : items)
        out << describe(item);
    return out;
}

} // namespace

Q_DECLARE_METATYPE(Script)

class TestLineDecoder : public QObject {
    Q_OBJECT

private slots:
    void everyBuiltFrame_data();
    void everyBuiltFrame();
    void streams_data();
    void streams();
    void answerDelayRunsFromTheRequestsLastByte();
    void longRunsAreSplit();
    void hexNotation_data();
    void hexNotation();
};

void TestLineDecoder::everyBuiltFrame_data() {
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("meaning");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("answerMeaning");
    const std::array<Byte, 2> two{0x12, 0x34};
    const std::array<Byte, 8> eight{'A', 'B', 'C', ' ', ' ', ' ', ' ', ' '};
    std::array<Byte, 16> sixteen{};
    std::iota(sixteen.begin(), sixteen.end(), Byte{0xE0});
    std::array<Byte, 64> text{};
    text.fill(' ');
    std::array<Byte, 256> memory{};
    std::iota(memory.begin(), memory.end(), Byte{0});
    const QByteArray ok = hex("AA");
    const QString okText = "Respuesta: AA correcto";
    for (int f = 0; f < 2; ++f) {
        const QString frame = QString("Frame %1").arg(f + 1);
        const auto row = [&](const char* name, const CommandFrame& c, const QString& meaning) {
            QTest::addRow("%s %d", name, f + 1) << bytesOf(c) << meaning << ok << okText;
        };
        row("PI", piWriteFrame(f, two), "Escritura PI, " + frame);
        row("PTY", ptyWriteFrame(f, two), "Escritura PTY, " + frame);
        row("AF", afWriteFrame(f, sixteen), "Escritura AF, " + frame);
        row("configuración", sequenceWriteFrame(f, two), "Escritura configuración, " + frame);
        for (int s = 0; s < 8; ++s)
            QTest::addRow("PS %d/%d", f + 1, s + 1)
                << bytesOf(psWriteFrame(f, s, eight))
                << QString("Escritura PS, %1, pantalla %2").arg(frame).arg(s + 1) << ok << okText;
        // A read names its block as the write to it does.
        const auto read = [&](const char* name, const CommandFrame& c, int address, int n,
                              const QString& block) {
            QTest::addRow("read %s %d", name, f + 1)
                << bytesOf(c) << "Lectura " + block << QByteArray(n, 'x')
                << QString("Respuesta: %1 bytes desde %2").arg(n).arg(address);
        };
        read("PI", piReadFrame(f), 4 * f, 2, "PI, " + frame);
        read("PTY", ptyReadFrame(f), 4 * f + 2, 2, "PTY, " + frame);
        read("PS 8", psReadFrame(f, 7), 104 + 64 * f + 56, 8, "PS, " + frame + ", pantalla 8");
        read("AF", afReadFrame(f), 8 + 16 * f, 16, "AF, " + frame);
        read("configuración", sequenceReadFrame(f), 252 + 2 * f, 2, "configuración, " + frame);
        read("memory half", memoryHalfReadFrame(f), 128 * f, 128,
             QString("memoria, mitad %1 de 2").arg(f + 1));
    }
    QTest::addRow("read 4 bytes from 104: no block")
        << hex("106804") << "Lectura 4 bytes desde 104" << QByteArray(4, 'x')
        << "Respuesta: 4 bytes desde 104";
    QTest::addRow("read RT") << bytesOf(radioTextReadFrame()) << "Lectura Radiotexto"
                             << QByteArray(64, ' ') << "Respuesta: 64 bytes desde 40";
    for (int k = 0; k < 4; ++k)
        QTest::addRow("RT chunk %d", k)
            << bytesOf(radioTextChunkFrame(k, text))
            << QString("Escritura Radiotexto, bloque %1 de 4").arg(k + 1) << hex("55")
            << "Respuesta: 55 fallo [Respuesta de fallo]";
    for (int c = 0; c < 16; ++c)
        QTest::addRow("memory chunk %d", c)
            << bytesOf(memoryChunkFrame(c, memory))
            << QString("Escritura memoria, bloque %1 de 16").arg(c + 1) << ok << okText;
    QTest::addRow("erase") << bytesOf(eraseFrame()) << "Borrado de memoria" << hex("00")
                           << "Respuesta: 00 fallo [Respuesta de fallo]";
}

void TestLineDecoder::everyBuiltFrame() {
    QFETCH(QByteArray, frame);
    QFETCH(QString, meaning);
    QFETCH(QByteArray, answer);
    QFETCH(QString, answerMeaning);
    QCOMPARE(run({{'>', 0, frame}, {'<', 30, answer}, {'.', 60000, {}}}),
             QStringList({meaning, answerMeaning}));
}

void TestLineDecoder::streams_data() {
    QTest::addColumn<Script>("script");
    QTest::addColumn<QStringList>("items");

    QTest::newRow("bad checksum, answered 00")
        << Script{{'>', 0, hex("01E01204F8")}, {'<', 20, hex("00")}}
        << QStringList{"Escritura PI, Frame 2, checksum F8 (debía ser F7) [Checksum incorrecto]",
                       "Respuesta: 00 fallo [Respuesta de fallo]"};
    QTest::newRow("unknown bytes before a frame")
        << Script{{'>', 0, hex("0711") + hex("01E01204F7")}, {'<', 20, hex("AA")}}
        << QStringList{"2 bytes desconocidos [Byte desconocido]", "Escritura PI, Frame 2",
                       "Respuesta: AA correcto"};
    QTest::newRow("a lone FE starts no erase")
        << Script{{'>', 0, hex("FE100002")}, {'<', 20, hex("1234")}}
        << QStringList{"Byte desconocido [Byte desconocido]", "Lectura PI, Frame 1",
                       "Respuesta: 2 bytes desde 0"};
    QTest::newRow("short reply ended by the next request")
        << Script{{'>', 0, hex("100002")}, {'<', 20, hex("E0")}, {'>', 1500, hex("100002")}}
        << QStringList{"Lectura PI, Frame 1", "Respuesta corta: 1 de 2 bytes [Respuesta corta]",
                       "Lectura PI, Frame 1"};
    QTest::newRow("short reply ended by a pause")
        << Script{{'>', 0, hex("100002")},
                  {'<', 20, hex("E0")},
                  {'.', 1021, {}},
                  {'<', 1100, hex("12")}}
        << QStringList{"Lectura PI, Frame 1", "Respuesta corta: 1 de 2 bytes [Respuesta corta]",
                       "Byte tardío [Byte tardío]"};
    QTest::newRow("reply with a pause within the gap")
        << Script{{'>', 0, hex("100002")},
                  {'<', 20, hex("E0")},
                  {'.', 1020, {}},
                  {'<', 1020, hex("12")}}
        << QStringList{"Lectura PI, Frame 1", "Respuesta: 2 bytes desde 0"};
    QTest::newRow("bytes while nothing waits")
        << Script{{'<', 0, hex("AA0000")}} << QStringList{"3 bytes tardíos [Byte tardío]"};
    QTest::newRow("a second byte to a write")
        << Script{{'>', 0, hex("01E01204F7")}, {'<', 20, hex("AAAA")}}
        << QStringList{"Escritura PI, Frame 2", "Respuesta: AA correcto",
                       "Byte tardío [Byte tardío]"};
    QTest::newRow("read never answered, then a late byte")
        << Script{{'>', 0, hex("100002")}, {'.', 5001, {}}, {'<', 6000, hex("E0")}}
        << QStringList{"Lectura PI, Frame 1", "Sin respuesta [Sin respuesta]",
                       "Byte tardío [Byte tardío]"};
    QTest::newRow("write answered after its time-out is still its answer")
        << Script{{'>', 0, hex("01E01204F7")},
                  {'.', 5001, {}},
                  {'.', 9000, {}},
                  {'<', 9000, hex("AA")}}
        << QStringList{"Escritura PI, Frame 2", "Sin respuesta [Sin respuesta]",
                       "Respuesta: AA correcto"};
    QTest::newRow("next request before any answer")
        << Script{{'>', 0, hex("01E01204F7")}, {'>', 100, hex("FEFE")}}
        << QStringList{"Escritura PI, Frame 2", "Sin respuesta [Sin respuesta]",
                       "Borrado de memoria"};
    QTest::newRow("frame cut short")
        << Script{{'>', 0, hex("03E000")}, {'.', 1001, {}}}
        << QStringList{"Trama incompleta: 3 de 19 bytes [Trama incompleta]"};
    QTest::newRow("frame cut short at the end of the capture")
        << Script{{'>', 0, hex("FE")}}
        << QStringList{"Trama incompleta: 1 de 2 bytes [Trama incompleta]"};
    QTest::newRow("reply cut short at the end of the capture")
        << Script{{'>', 0, hex("102840")}, {'<', 10, hex("41")}}
        << QStringList{"Lectura Radiotexto", "Respuesta corta: 1 de 64 bytes [Respuesta corta]"};
    QTest::newRow("read of no bytes waits for nothing")
        << Script{{'>', 0, hex("100500")}, {'<', 10, hex("41")}}
        << QStringList{"Lectura 0 bytes desde 5", "Byte tardío [Byte tardío]"};
    QTest::newRow("write to an address of no block")
        << Script{{'>', 0, hex("0100000908")}} << QStringList{"Escritura 2 bytes en 9"};
    QTest::newRow("frame bytes spread over the gap limit")
        << Script{{'>', 0, hex("1000")}, {'>', 1000, hex("02")}, {'<', 1010, hex("0102")}}
        << QStringList{"Lectura PI, Frame 1", "Respuesta: 2 bytes desde 0"};
}

void TestLineDecoder::streams() {
    QFETCH(Script, script);
    QFETCH(QStringList, items);
    QCOMPARE(run(script), items);
}

void TestLineDecoder::answerDelayRunsFromTheRequestsLastByte() {
    LineDecoder decoder;
    std::vector<LineItem> items;
    const QByteArray frame = hex("100002");
    decoder.feed(LineDirection::ToEncoder, t0, spanOf(frame.left(2)), items);
    decoder.feed(LineDirection::ToEncoder, t0 + 4ms, spanOf(frame.mid(2)), items);
    QVERIFY(decoder.pending());
    const QByteArray reply = hex("E012");
    decoder.feed(LineDirection::FromEncoder, t0 + 29ms, spanOf(reply.left(1)), items);
    decoder.feed(LineDirection::FromEncoder, t0 + 33ms, spanOf(reply.mid(1)), items);
    QVERIFY(!decoder.pending());
    QCOMPARE(items.size(), std::size_t(2));
    QCOMPARE(items[0].time, t0);
    QVERIFY(!items[0].answerDelay);
    QCOMPARE(items[1].time, t0 + 29ms);
    QVERIFY(items[1].answerDelay.has_value());
    QCOMPARE(*items[1].answerDelay, LineClock::duration(25ms));
    QCOMPARE(items[1].direction, LineDirection::FromEncoder);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(items[1].bytes.data()), 2), reply);
}

void TestLineDecoder::longRunsAreSplit() {
    LineDecoder decoder;
    std::vector<LineItem> items;
    const QByteArray garbage(300, '\x55');
    decoder.feed(LineDirection::FromEncoder, t0, spanOf(garbage), items);
    decoder.finish(items);
    QCOMPARE(items.size(), std::size_t(3));
    QCOMPARE(items[0].bytes.size(), LineDecoder::kMaxRunLength);
    QCOMPARE(items[2].bytes.size(), 300 - 2 * LineDecoder::kMaxRunLength);
}

void TestLineDecoder::hexNotation_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("none") << QByteArray() << "";
    QTest::newRow("one") << hex("0A") << "0A";
    QTest::newRow("extremes") << hex("00FF7F80") << "00 FF 7F 80";
}

void TestLineDecoder::hexNotation() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(hexBytes(spanOf(bytes))), text);
}

QTEST_GUILESS_MAIN(TestLineDecoder)
#include "tst_line_decoder.moc"
