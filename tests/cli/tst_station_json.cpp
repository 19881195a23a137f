#include "station_diff.h"
#include "core/station_file_json.h"
#include "station_show.h"

#include "core/station_image.h"

#include <QtTest>

#include <random>

using namespace quillmark;
using namespace quillmark::cli;
using nlohmann::json;

Q_DECLARE_METATYPE(quillmark::DeviceBytes)

namespace {

DeviceBytes defaults(bool startup) {
    StationImage image;
    if (startup)
        image.initialiseStartupValues();
    else
        image.applyProgrammingDefaults();
    DeviceBytes map{};
    std::copy(image.DeviceMap().begin(), image.DeviceMap().end(), map.begin());
    return map;
}

DeviceBytes filled(Byte value) {
    DeviceBytes map;
    map.fill(value);
    return map;
}

// A realistic station: two PS screens, two AFs, PTY 10 with TP and music.
DeviceBytes station() {
    DeviceBytes map = defaults(false);
    map[0] = 0xE2;
    map[1] = 0x12;
    map[2] = 0x05;
    map[3] = 0x48;
    map[8] = 0xE2;
    map[9] = 1;
    map[10] = 204;
    const std::string ps = "RADIO 1 ";
    std::copy(ps.begin(), ps.end(), map.begin() + 104);
    const std::string rt = "Hola\r\nmundo";
    std::copy(rt.begin(), rt.end(), map.begin() + 40);
    map[252] = 0x82;
    map[253] = 120;
    return map;
}

} // namespace

class TestStationJson : public QObject {
    Q_OBJECT
private slots:
    void roundTripIsByteExact_data();
    void roundTripIsByteExact();
    void exportNamesFormatAndVersion();
    void schemaErrorsNameTheField_data();
    void schemaErrorsNameTheField();
    void otherSpellingsImport_data();
    void otherSpellingsImport();
    void textThatIsNotJson_data();
    void textThatIsNotJson();
    void showSaysWhatThePagesShow();
    void diffListsChangedFields_data();
    void diffListsChangedFields();
};

void TestStationJson::roundTripIsByteExact_data() {
    QTest::addColumn<DeviceBytes>("map");
    QTest::newRow("start-up values") << defaults(true);
    QTest::newRow("programming defaults") << defaults(false);
    QTest::newRow("erased encoder") << filled(0xFF);
    QTest::newRow("all zero") << filled(0x00);
    QTest::newRow("a station") << station();
    std::mt19937 rng(20261208);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int i = 0; i < 300; ++i) {
        DeviceBytes map;
        for (Byte& b : map)
            b = static_cast<Byte>(byte(rng));
        QTest::addRow("random %d", i) << map;
    }
}

void TestStationJson::roundTripIsByteExact() {
    QFETCH(DeviceBytes, map);
    const std::string text = exportStation(map);
    const Station back = importStation(text);
    QCOMPARE(back.map, map);
    QVERIFY(back.hasLastByte);
    QCOMPARE(exportStation(back), text);
    // show --json's form, names for readers included, imports as the plain one
    QCOMPARE(importStation(describedStationJson(map).dump()), back);
}

void TestStationJson::exportNamesFormatAndVersion() {
    const json doc = json::parse(exportStation(station()));
    QCOMPARE(doc["format"], "quillmark-station");
    QCOMPARE(doc["version"], 1);
    QCOMPARE(doc["frames"][0]["pi"], "E212");
    QCOMPARE(doc["frames"][0]["af"], json::array({"87.6", "107.9"}));
    QCOMPARE(doc["frames"][0]["ps"][0], "RADIO 1");
    QCOMPARE(doc["frames"][0]["seconds"], 10);
    QCOMPARE(doc["radiotext"], "Hola\r\nmundo");
    QVERIFY(!doc["frames"][0].contains("pty_extra_bits"));
}

void TestStationJson::schemaErrorsNameTheField_data() {
    QTest::addColumn<QString>("pointer"); // JSON pointer of the value to change
    QTest::addColumn<QString>("value");   // JSON text; empty: remove the field
    QTest::addColumn<QString>("message"); // start of the expected message
    QTest::newRow("format") << "/format" << "\"other\"" << "format: expected \"quillmark-station\"";
    QTest::newRow("version") << "/version" << "2" << "version: expected 1";
    QTest::newRow("missing pi") << "/frames/0/pi" << "" << "frames[0].pi: expected a value";
    QTest::newRow("pi digits") << "/frames/1/pi" << "\"E0G0\"" << "frames[1].pi: expected 4 hex";
    QTest::newRow("pty range") << "/frames/0/pty" << "32" << "frames[0].pty: expected an integer from 0 to 31";
    QTest::newRow("tp type") << "/frames/0/tp" << "1" << "frames[0].tp: expected true or false";
    QTest::newRow("ms word") << "/frames/1/ms" << "\"loud\"" << "frames[1].ms: expected \"music\"";
    QTest::newRow("af frequency") << "/frames/1/af" << "[\"87.6\",\"99.9\",\"300.0\"]" << "frames[1].af[2]: expected a frequency";
    QTest::newRow("af too many") << "/frames/0/af" << QString("[%1\"87.6\"]").arg(QString("\"87.6\",").repeated(15)) << "frames[0].af: expected a list of at most 15";
    QTest::newRow("af code range") << "/frames/0/af" << "[256]" << "frames[0].af[0]: expected a frequency";
    QTest::newRow("ps too long") << "/frames/0/ps/3" << "\"NINE CHAR\"" << "frames[0].ps[3]: expected a text of at most 8";
    QTest::newRow("ps beyond latin-1") << "/frames/0/ps/0" << "\"\u20AC\"" << "frames[0].ps[0]: expected a text";
    QTest::newRow("ps count") << "/frames/1/ps" << "[\"A\"]" << "frames[1].ps: expected a list of 8";
    QTest::newRow("seconds") << "/frames/0/seconds" << "5" << "frames[0].seconds: expected 4, 6, 8, 10 or 12";
    QTest::newRow("timing both") << "/frames/0/timing_byte" << "7" << "frames[0].seconds: expected either";
    QTest::newRow("screens") << "/frames/1/screens" << "128" << "frames[1].screens: expected an integer from 0 to 127";
    QTest::newRow("extra bits overlap") << "/frames/0/pty_extra_bits" << "8" << "frames[0].pty_extra_bits: expected bits outside";
    QTest::newRow("radiotext") << "/radiotext" << QString("\"%1\"").arg(QString("x").repeated(65)) << "radiotext: expected a text of at most 64";
    QTest::newRow("spare") << "/spare" << "\"20\"" << "spare: expected 40 hex";
    QTest::newRow("unknown field") << "/frames/0/colour" << "\"red\"" << "frames[0].colour: expected no such field";
    QTest::newRow("frames count") << "/frames/1" << "" << "frames: expected a list of 2 frames";
    QTest::newRow("af between steps") << "/frames/0/af/0" << "95.85" << "frames[0].af[0]: expected a frequency";
    QTest::newRow("pty name") << "/frames/0/pty" << "\"Jazz\"" << "frames[0].pty: expected a PTY number";
    QTest::newRow("frame 1 timing absent") << "/frames/0/seconds" << "null" << "frames[0].seconds: expected an integer";
}

void TestStationJson::otherSpellingsImport_data() {
    QTest::addColumn<QString>("pointer");
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("address"); // -1: the last byte is not given
    QTest::addColumn<int>("byte");
    QTest::newRow("af in MHz") << "/frames/0/af/0" << "95.8" << 9 << 83;
    QTest::newRow("af whole MHz") << "/frames/0/af/1" << "100" << 10 << 125;
    QTest::newRow("af raw code") << "/frames/0/af/1" << "205" << 10 << 205;
    QTest::newRow("pty by name") << "/frames/1/pty" << "\"Pop Music\"" << 7 << 0x40;
    QTest::newRow("pty by item") << "/frames/1/pty" << "\"1 - News\"" << 7 << 0x20;
    QTest::newRow("frame 2 timing absent") << "/frames/1/seconds" << "null" << -1 << 0;
}

void TestStationJson::otherSpellingsImport() {
    QFETCH(QString, pointer);
    QFETCH(QString, value);
    QFETCH(int, address);
    QFETCH(int, byte);
    json doc = json::parse(exportStation(station()));
    doc[json::json_pointer(pointer.toStdString())] = json::parse(value.toStdString());
    const Station got = importStation(doc.dump());
    QCOMPARE(got.hasLastByte, address >= 0);
    if (address >= 0)
        QCOMPARE(int(got.map[std::size_t(address)]), byte);
    else
        QVERIFY(json::parse(exportStation(got))["frames"][1]["seconds"].is_null());
}

void TestStationJson::schemaErrorsNameTheField() {
    QFETCH(QString, pointer);
    QFETCH(QString, value);
    QFETCH(QString, message);
    json doc = json::parse(exportStation(station()));
    const json::json_pointer at(pointer.toStdString());
    if (value.isEmpty()) {
        json& parent = doc[at.parent_pointer()];
        if (parent.is_array())
            parent.erase(std::stoul(at.back()));
        else
            parent.erase(at.back());
    } else {
        doc[at] = json::parse(value.toStdString());
    }
    try {
        (void)importStation(doc.dump());
        QFAIL("accepted");
    } catch (const SchemaError& e) {
        QVERIFY2(QString::fromStdString(e.what()).startsWith(message), e.what());
    }
}

void TestStationJson::textThatIsNotJson_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("cut short") << QByteArray("{\"format\": ");
    QTest::newRow("number too large") << QByteArray("5").append(400, '9');
    QTest::newRow("not UTF-8") << QByteArray("{\"radiotext\": \"\xFF\"}");
}

void TestStationJson::textThatIsNotJson() {
    QFETCH(QByteArray, text);
    try {
        (void)importStation(text.toStdString());
        QFAIL("accepted");
    } catch (const SchemaError& e) {
        QVERIFY2(QString::fromStdString(e.what()).startsWith("not JSON: "), e.what());
    }
}

void TestStationJson::showSaysWhatThePagesShow() {
    DeviceBytes map = station();
    map[6] = 0x02; // Frame 2 PTY bits 4-3 = 2: beyond the list
    map[24] = 0x12; // Frame 2 AF count byte outside the list
    map[254] = 0x00; // Frame 2: no screen count
    map[255] = 0x10; // Frame 2 timing: no selection
    const QStringList lines = QString::fromStdString(showText(map)).split('\n');
    QCOMPARE(lines.at(0), "Frame 1");
    QCOMPARE(lines.at(1), "  PI        E212  country E - Spain, Canarias, Roumania, Sweden; "
                          "coverage 2 - National; reference 12");
    QCOMPARE(lines.at(2), "  PTY       10 - Pop Music");
    QCOMPARE(lines.at(3), "  TP        on");
    QCOMPARE(lines.at(4), "  MS        1 - Music");
    QCOMPARE(lines.at(5), "  AF        2 87.6 107.9");
    QCOMPARE(lines.at(6), "  PS        1 \"RADIO 1 \"");
    QCOMPARE(lines.at(14), "  Sequence  screens 2, RadioText active, timing 10 seg.");
    // values beyond the lists as numbers, as the JSON form has them
    QCOMPARE(lines.at(17), "  PTY       16");
    QVERIFY2(lines.at(20).startsWith("  AF        byte 18 0 0 "), qPrintable(lines.at(20)));
    QCOMPARE(lines.at(29), "  Sequence  screens 0, RadioText not active, timing byte 16");
    QVERIFY(lines.at(30).startsWith("RadioText   \"Hola\\r\\nmundo   "));
    const QStringList old = QString::fromStdString(showText(Station(map, false))).split('\n');
    QCOMPARE(old.at(29), "  Sequence  screens 0, RadioText not active, timing not in the file");
    const auto doc = describedStationJson(map);
    QCOMPARE(doc["frames"][0]["pty_name"], "Pop Music");
    QCOMPARE(doc["frames"][1]["pty_name"], nullptr);
    QCOMPARE(doc["frames"][0]["pi_country"], "E - Spain, Canarias, Roumania, Sweden");
}

void TestStationJson::diffListsChangedFields_data() {
    QTest::addColumn<DeviceBytes>("other");
    QTest::addColumn<QStringList>("lines");
    DeviceBytes same = station();
    QTest::newRow("same") << same << QStringList();
    DeviceBytes pi = station();
    pi[5] = 0x34;
    QTest::newRow("frame 2 PI") << pi << QStringList{"frames[1].pi: \"E000\" -> \"E034\""};
    DeviceBytes af = station();
    af[8] = 0xE3;
    af[11] = 100;
    QTest::newRow("an AF more")
        << af << QStringList{"frames[0].af: [\"87.6\",\"107.9\"] -> [\"87.6\",\"107.9\",\"97.5\"]"};
    DeviceBytes spare = station();
    spare[251] = 0x00;
    QTest::newRow("spare byte")
        << spare
        << QStringList{"spare: \"2020202020202020202020202020202020202020\" -> "
                       "\"2020202020202020202020202020202020202000\""};
    DeviceBytes timing = station();
    timing[253] = 121;
    QTest::newRow("timing off the list")
        << timing << QStringList{"frames[0].seconds: 10 -> (absent)",
                                 "frames[0].timing_byte: (absent) -> 121"};
    QTest::newRow("last byte not in the file") << DeviceBytes{} << QStringList{};
}

void TestStationJson::diffListsChangedFields() {
    QFETCH(DeviceBytes, other);
    QFETCH(QStringList, lines);
    QStringList got;
    if (other == DeviceBytes{}) { // the same station from a 255-byte file
        lines << "frames[1].seconds: 4 -> null";
        for (const std::string& line : stationDifferences(station(), Station(station(), false)))
            got << QString::fromStdString(line);
        QCOMPARE(got, lines);
        return;
    }
    for (const std::string& line : stationDifferences(station(), other))
        got << QString::fromStdString(line);
    QCOMPARE(got, lines);
    const auto doc = differencesJson(station(), other);
    QCOMPARE(doc["equal"], lines.isEmpty());
    QCOMPARE(doc["differences"].size(), std::size_t(lines.size()));
}

QTEST_APPLESS_MAIN(TestStationJson)
#include "tst_station_json.moc"
