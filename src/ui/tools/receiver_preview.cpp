#include "receiver_preview.h"

#include "character_strip.h"
#include "core/station_file_items.h"
#include "core/field_encodings.h"
#include "rds/programme_types.h"
#include "ui_receiver_preview.h"

#include <QPushButton>

using namespace quillmark;
using namespace std::chrono_literals;

namespace {

// A receiver shows this much RadioText at a time, moving one character a step.
constexpr int kRadioTextWindow = 32;
constexpr auto kScrollStep = 300ms;
// Screens of no time still show for a moment, as the groups carry each one at least twice.
constexpr auto kShortestScreen = 700ms;
const QString kGap = QStringLiteral("    ");

QString frequencies(const std::vector<int>& codes) {
    QStringList shown;
    for (const int code : codes)
        shown << QString::fromStdString(afItemText(code));
    return shown.isEmpty() ? QStringLiteral("Ninguna")
                           : shown.join(QStringLiteral(" · ")) + QStringLiteral(" MHz");
}

QString seconds(std::chrono::milliseconds time) {
    return QLocale(QLocale::Spanish).toString(time.count() / 1000.0, 'g', 3);
}

} // namespace

ReceiverPreview::ReceiverPreview(QWidget* parent)
    : QWidget(parent, Qt::Window), ui(std::make_unique<Ui::ReceiverPreview>()), screenTimer_(this),
      scrollTimer_(this) {
    ui->setupUi(this);
    for (QLabel* value : {ui->piValue, ui->ptyValue, ui->tpValue, ui->msValue, ui->afValue,
                          ui->differencesLabel, ui->warningsLabel}) {
        value->setTextFormat(Qt::PlainText);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        value->setFocusPolicy(Qt::StrongFocus);
    }
    screenTimer_.setObjectName(QStringLiteral("screenTimer"));
    scrollTimer_.setObjectName(QStringLiteral("scrollTimer"));
    scrollTimer_.setInterval(kScrollStep);
    connect(&screenTimer_, &QTimer::timeout, this, &ReceiverPreview::nextScreen);
    connect(&scrollTimer_, &QTimer::timeout, this, &ReceiverPreview::scrollRadioText);
    connect(ui->buttons, &QDialogButtonBox::rejected, this, &QWidget::close);
    ui->buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("Cerrar"));
}

ReceiverPreview::~ReceiverPreview() = default;

void ReceiverPreview::setStation(const std::array<Byte, kDeviceMapSize>& map, int frame) {
    const int f = frame < 0 ? frame_ : frame;
    rds::RdsStation station = rds::stationOf(map, f);
    if (shown_ && f == frame_ && station == station_)
        return;
    const bool sequenceChanged = !shown_ || f != frame_ ||
                                 station.screens.size() != station_.screens.size() ||
                                 station.screenTime != station_.screenTime;
    const bool textChanged = !shown_ || station.radioText != station_.radioText;
    station_ = std::move(station);
    frame_ = f;
    shown_ = true;
    if (sequenceChanged) {
        screen_ = 0;
        screenTimer_.setInterval(
            std::max<std::chrono::milliseconds>(station_.screenTime, kShortestScreen));
        if (station_.screens.size() > 1)
            screenTimer_.start();
        else
            screenTimer_.stop();
    }
    if (textChanged)
        scroll_ = 0;
    showFields();
    showScreen();
    showRadioText();
    showDifferences();
    showWarnings();
}

void ReceiverPreview::showFields() {
    ui->frameLabel->setText(QStringLiteral("Frame %1").arg(frame_ + 1));
    const int pi = station_.pi;
    ui->piValue->setText(QStringLiteral("%1 · Cobertura %2 · Referencia %3")
                             .arg(QStringLiteral("%1").arg(pi, 4, 16, QLatin1Char('0')).toUpper(),
                                  QString::fromStdString(coverageItem(pi >> 8 & 0x0F)),
                                  QString::fromStdString(referenceItemText(pi & 0xFF))));
    ui->ptyValue->setText(QStringLiteral("%1 · %2 (RBDS: %3)")
                              .arg(station_.pty)
                              .arg(QLatin1String(rds::rdsProgrammeTypeName(station_.pty)),
                                   QLatin1String(rds::rbdsProgrammeTypeName(station_.pty))));
    ui->tpValue->setText(station_.tp ? QStringLiteral("Sí: programa con información de tráfico")
                                     : QStringLiteral("No"));
    ui->msValue->setText(station_.music ? QStringLiteral("Música") : QStringLiteral("Palabra"));
    ui->afValue->setText(frequencies(station_.frequencies));
}

void ReceiverPreview::showScreen() {
    const auto count = static_cast<int>(station_.screens.size());
    screen_ %= count;
    ui->psStrip->setCells(receiverCells(station_.screens[static_cast<std::size_t>(screen_)]));
    ui->screenLabel->setText(QStringLiteral("Pantalla %1 de %2 · %3 s por pantalla")
                                 .arg(screen_ + 1)
                                 .arg(count)
                                 .arg(seconds(station_.screenTime)));
}

void ReceiverPreview::showRadioText() {
    ui->rtStrip->setVisible(station_.radioTextActive);
    ui->rtCaption->setText(station_.radioTextActive ? QStringLiteral("Radiotexto")
                                                    : QStringLiteral("Radiotexto no activo"));
    if (!station_.radioTextActive) {
        scrollTimer_.stop();
        return;
    }
    QList<ReceiverCell> line = receiverCells(station_.radioText);
    const QString whole = shownLine(line).trimmed();
    for (const QChar c : kGap)
        line.append({QString(c), QString(c), ' '});
    QList<ReceiverCell> window;
    for (int i = 0; i < kRadioTextWindow; ++i)
        window.append(line[(scroll_ + i) % line.size()]);
    ui->rtStrip->setCells(window);
    ui->rtStrip->setAccessibleValue(whole);
    if (!scrollTimer_.isActive())
        scrollTimer_.start();
}

void ReceiverPreview::showDifferences() {
    QStringList marks;
    const auto note = [&marks](std::span<const Byte> bytes) {
        for (const ReceiverCell& cell : receiverCells(bytes))
            if (cell.differs() && !marks.contains(cell.difference()))
                marks << cell.difference();
    };
    for (const rds::PsName& ps : station_.screens)
        note(ps);
    if (station_.radioTextActive)
        note(station_.radioText);
    ui->differencesLabel->setVisible(!marks.isEmpty());
    ui->differencesLabel->setText(QStringLiteral("La radio no muestra lo escrito:\n") +
                                  marks.join(QLatin1Char('\n')));
}

void ReceiverPreview::showWarnings() {
    const rds::AirChecks checks = rds::checkBeforeAir(station_);
    QStringList lines;
    if (checks.dynamicPs)
        lines << QStringLiteral("PS dinámico: IEC 62106 no permite más de una pantalla de PS; "
                                "algunos receptores lo muestran mezclado o lo guardan con las "
                                "presintonías.");
    if (checks.screensTooShort)
        lines << QStringLiteral(
            "Menos de 3 s por pantalla: muchos receptores se saltan pantallas.");
    for (const int code : checks.repeatedFrequencies)
        lines << QStringLiteral("La lista AF repite %1 MHz.")
                     .arg(QString::fromStdString(afItemText(code)));
    ui->warningsLabel->setVisible(!lines.isEmpty());
    ui->warningsLabel->setText(lines.join(QLatin1Char('\n')));
}

void ReceiverPreview::nextScreen() {
    ++screen_;
    showScreen();
}

void ReceiverPreview::scrollRadioText() {
    ++scroll_;
    showRadioText();
}
