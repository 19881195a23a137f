#include "core/field_encodings.h"
#include "rds/character_table.h"
#include "rds/groups.h"

#include <libv4l2rds.h>

#include <QtTest>

#include <memory>
#include <optional>

using namespace quillmark;

namespace {

struct Expected {
    std::uint16_t pi = 0;
    int pty = 0;
    bool tp = false, ms = false;
    QList<QByteArray> screens{QByteArray(8, ' ')};
    Byte timing = 0x30;
    bool radioTextB = false;
    QByteArray radioText = QByteArray(64, ' ');
    QList<std::uint32_t> afHz;
};

struct Case {
    StationImage image;
    int frame = 0;
    std::optional<std::vector<int>> frequencies; // beyond what the memory holds
    Expected want;
};

Case defaults() {
    Case c;
    c.image.applyProgrammingDefaults();
    c.want.pi = 0xE000;
    return c;
}

Case startUp() {
    Case c;
    c.image.initialiseStartupValues();
    return c;
}

Case withPty(int pty) {
    Case c = defaults();
    c.frame = pty % 2;
    c.want.pi = static_cast<std::uint16_t>(0x1200 + pty);
    c.want.pty = pty;
    c.want.tp = pty % 3 == 0;
    c.want.ms = pty % 4 == 1;
    const auto pi = c.image.device(piBlock(c.frame));
    pi[0] = 0x12;
    pi[1] = static_cast<Byte>(pty);
    const auto bytes = encodePty({c.want.tp, pty, c.want.ms ? 1 : 0});
    std::copy(bytes.begin(), bytes.end(), c.image.device(ptyBlock(c.frame)).begin());
    return c;
}

Case frequencies(int n) {
    Case c = defaults();
    std::vector<int> codes;
    for (int k = 0; k < n; ++k) {
        codes.push_back(1 + (k * 37) % 204); // all different, 87.6 to 107.9 MHz
        c.want.afHz << 87'500'000u + 100'000u * static_cast<std::uint32_t>(codes.back());
    }
    if (n > kAfLists) {
        c.frequencies = codes;
        return c;
    }
    const auto af = c.image.device(afBlock(0));
    af[0] = static_cast<Byte>(0xE0 + n);
    std::copy(codes.begin(), codes.end(), af.begin() + 1);
    return c;
}

Case screens(int n, Byte timing, bool radioText) {
    Case c = defaults();
    c.frame = 1;
    c.want.pi = 0xE000;
    c.want.screens.clear();
    for (int s = 0; s < n; ++s) {
        const QByteArray ps = QByteArray("PANTALL") + char('1' + s);
        c.want.screens << ps;
        std::copy(ps.begin(), ps.end(), c.image.device(psScreenBlock(1, s)).begin());
    }
    c.want.timing = timing;
    const auto seq = c.image.device(sequenceBlock(1));
    seq[0] = static_cast<Byte>(n | (radioText ? 0x80 : 0));
    seq[1] = timing;
    if (radioText) {
        c.want.radioText =
            QByteArray("Escuchas Radio Quillmark, la del cafe con leche").leftJustified(64);
        std::copy(c.want.radioText.begin(), c.want.radioText.end(),
                  c.image.device(radioTextBlock()).begin());
    }
    return c;
}

struct Decoded {
    QList<QByteArray> psShown; // each new PS, in order
    QList<int> psAtGroup;      // the group that completed it
    std::unique_ptr<v4l2_rds, decltype(&v4l2_rds_destroy)> rds{v4l2_rds_create(false),
                                                               v4l2_rds_destroy};
};

void decode(const std::vector<rds::Group>& groups, Decoded& out) {
    for (std::size_t g = 0; g < groups.size(); ++g) {
        for (Byte block = 0; block < 4; ++block) {
            const std::uint16_t w = groups[g].blocks[block];
            v4l2_rds_data data{static_cast<Byte>(w & 0xFF), static_cast<Byte>(w >> 8), block};
            if (v4l2_rds_add(out.rds.get(), &data) & V4L2_RDS_PS) {
                out.psShown << QByteArray(reinterpret_cast<const char*>(out.rds->ps), 8);
                out.psAtGroup << static_cast<int>(g);
            }
        }
    }
}

} // namespace

Q_DECLARE_METATYPE(std::shared_ptr<Case>)

class TestRds : public QObject {
    Q_OBJECT
private slots:
    void decoderReadsTheStation_data();
    void decoderReadsTheStation();
    void receiverCharacters_data();
    void receiverCharacters();
    void checksBeforeAir_data();
    void checksBeforeAir();
};

void TestRds::decoderReadsTheStation_data() {
    QTest::addColumn<std::shared_ptr<Case>>("station");
    const auto row = [](const QString& name, Case c) {
        QTest::newRow(qPrintable(name)) << std::make_shared<Case>(std::move(c));
    };
    row("start-up values", startUp());
    row("programming defaults", defaults());
    for (int pty = 0; pty < 32; ++pty)
        row(QStringLiteral("PTY %1").arg(pty), withPty(pty));
    for (int n = 0; n <= 25; ++n)
        row(QStringLiteral("%1 AFs").arg(n), frequencies(n));
    const Byte timings[] = {0x30, 0x48, 0x60, 0x78, 0x90};
    for (int n = 1; n <= 8; ++n)
        row(QStringLiteral("%1 screens").arg(n), screens(n, timings[n % 5], n % 2 == 0));
    row("8 screens of no time still go out whole", screens(8, 0, true));
    Case flagB = screens(1, 0x30, true);
    flagB.want.radioTextB = true;
    row("RadioText B", std::move(flagB));
}

void TestRds::decoderReadsTheStation() {
    QFETCH(std::shared_ptr<Case>, station);
    const Expected& want = station->want;
    rds::RdsStation s = rds::stationOf(station->image.DeviceMap(), station->frame);
    if (station->frequencies)
        s.frequencies = *station->frequencies;
    rds::TransmissionChoices choices;
    choices.radioTextB = want.radioTextB;
    Decoded got;
    decode(rds::groupSequence(s, choices), got);
    const v4l2_rds& r = *got.rds;

    QCOMPARE(r.pi, want.pi);
    QCOMPARE(r.pty, want.pty);
    QCOMPARE(r.tp, want.tp);
    QCOMPARE(r.ms, want.ms);
    QCOMPARE(r.di, V4L2_RDS_FLAG_STEREO);
    QCOMPARE(r.ta, false);
    QCOMPARE(got.psShown.mid(0, want.screens.size()), want.screens);
    // Each screen stays on air for its time: twelfths of a second, 1187.5 bit/s, 104 bits.
    // A screen of no time still goes out twice whole: eight 0A groups, 2A groups between.
    const int groupsPerScreen =
        std::max(static_cast<int>(std::lround(want.timing / 12.0 * 1187.5 / 104)),
                 s.radioTextActive ? 15 : 8);
    for (int k = 1; k < want.screens.size(); ++k)
        QCOMPARE(got.psAtGroup[k] - got.psAtGroup[k - 1], groupsPerScreen);
    QCOMPARE((r.valid_fields & V4L2_RDS_RT) != 0, s.radioTextActive);
    if (s.radioTextActive) {
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(r.rt)), want.radioText);
        QCOMPARE(r.rt_ab_flag, want.radioTextB);
    }
    QCOMPARE(r.rds_af.announced_af, want.afHz.size());
    QCOMPARE(QList<std::uint32_t>(r.rds_af.af, r.rds_af.af + r.rds_af.size), want.afHz);
}

void TestRds::receiverCharacters_data() {
    QTest::addColumn<int>("byte");
    QTest::addColumn<QString>("shown"); // empty: shows nothing
    QTest::addColumn<bool>("differs");
    QTest::newRow("letter") << 0x41 << "A" << false;
    QTest::newRow("currency sign, not dollar") << 0x24 << "¤" << true;
    QTest::newRow("dollar") << 0xAB << "$" << true;
    QTest::newRow("caret is a bar") << 0x5E << "―" << true;
    QTest::newRow("grave is a double bar") << 0x60 << "║" << true;
    QTest::newRow("tilde is an overline") << 0x7E << "¯" << true;
    QTest::newRow("first upper code") << 0x80 << "á" << true;
    QTest::newRow("ñ") << 0x9A << "ñ" << true;
    QTest::newRow("Latin-1 ñ") << 0xF1 << "å" << true;
    QTest::newRow("euro") << 0xA9 << "€" << true;
    QTest::newRow("section sign") << 0xBF << "§" << true;
    QTest::newRow("eth") << 0xEF << "ð" << true;
    QTest::newRow("last letter") << 0xFE << "ŧ" << true;
    QTest::newRow("unused") << 0xFF << "" << true;
    QTest::newRow("carriage return") << 0x0D << "" << true;
    QTest::newRow("delete") << 0x7F << "" << true;
}

void TestRds::receiverCharacters() {
    QFETCH(int, byte);
    QFETCH(QString, shown);
    QFETCH(bool, differs);
    const char32_t c = rds::receiverCharacter(static_cast<Byte>(byte));
    QCOMPARE(c == 0 ? QString() : QString::fromUcs4(&c, 1), shown);
    QCOMPARE(rds::shownDifferently(static_cast<Byte>(byte)), differs);
}

void TestRds::checksBeforeAir_data() {
    QTest::addColumn<int>("screens");
    QTest::addColumn<int>("milliseconds");
    QTest::addColumn<QList<int>>("frequencies");
    QTest::addColumn<bool>("dynamic");
    QTest::addColumn<bool>("tooShort");
    QTest::addColumn<QList<int>>("repeated");
    QTest::newRow("one screen, quick")
        << 1 << 1000 << QList<int>{1, 2} << false << false << QList<int>{};
    QTest::newRow("two screens at 3 s")
        << 2 << 3000 << QList<int>{} << true << false << QList<int>{};
    QTest::newRow("two screens just under 3 s")
        << 2 << 2999 << QList<int>{} << true << true << QList<int>{};
    QTest::newRow("repeats") << 1 << 4000 << QList<int>{7, 9, 7, 3, 9, 7} << false << false
                             << QList<int>{7, 9};
}

void TestRds::checksBeforeAir() {
    QFETCH(int, screens);
    QFETCH(int, milliseconds);
    QFETCH(QList<int>, frequencies);
    rds::RdsStation s;
    s.screens.resize(static_cast<std::size_t>(screens));
    s.screenTime = std::chrono::milliseconds(milliseconds);
    s.frequencies.assign(frequencies.begin(), frequencies.end());
    const rds::AirChecks checks = rds::checkBeforeAir(s);
    QTEST(checks.dynamicPs, "dynamic");
    QTEST(checks.screensTooShort, "tooShort");
    QTEST(QList<int>(checks.repeatedFrequencies.begin(), checks.repeatedFrequencies.end()),
          "repeated");
}

QTEST_GUILESS_MAIN(TestRds)
#include "tst_rds.moc"
