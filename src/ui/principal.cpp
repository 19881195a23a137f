#include "principal.h"

#include "control_adapters.h"
#include "core/field_encodings.h"
#include "core/port_setting.h"
#include "dialogs.h"
#include "port_open_failure.h"
#include "serial/comport.h"
#include "serial/comsignal.h"
#include "serial/encoder_line.h"
#include "shell.h"
#include "ui_principal.h"
#include "vcl_timer.h"

#include "about.h"
#include "line_monitor.h"
#include "navegador.h"
#include "text_bytes.h"
#include "tools/receiver_preview.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QPalette>
#include <QScreen>
#include <QStringListModel>

#include <algorithm>
#include <filesystem>
#include <system_error>

using namespace std::chrono_literals;

const QColor TForm1::clGreen{0, 128, 0};
const QColor TForm1::clLime{0, 255, 0};
const QColor TForm1::clRed{255, 0, 0};

namespace {

const char* const kPortNames[] = {"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8"};
constexpr int kPortCount = 8;
constexpr QSize kClientSize{417, 373};

// The indicators' states in words, for those who cannot see their colour.
const QString kIdleText = QStringLiteral("En reposo");
const QString kSendingText = QStringLiteral("Transmitiendo");
const QString kReceivingText = QStringLiteral("Recibiendo");
const QString kWaitingText = QStringLiteral("Esperando respuesta");
const QString kCorrectText = QStringLiteral("Correcto");
const QString kFailedText = QStringLiteral("Fallo");

void paint(QWidget* panel, const QColor& colour) {
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, colour);
    panel->setPalette(palette);
    panel->setAutoFillBackground(true);
}

// The file's line ends come back as CR LF, as the text buffer of the setting file gave them.
QString withCrLfLineEnds(const std::string& content) {
    QString text = QString::fromLocal8Bit(content);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text;
}

// Sizes the captions in area, except those on the pages skipped.
void fitTexts(QWidget& area, const std::vector<QWidget*>& skipped) {
    const auto wanted = [&skipped](const QWidget* control) {
        return std::none_of(skipped.begin(), skipped.end(),
                            [control](const QWidget* page) { return page->isAncestorOf(control); });
    };
    for (QLabel* label : area.findChildren<QLabel*>())
        if (label->pixmap().isNull() && !label->text().isEmpty() && wanted(label))
            label->adjustSize();
    for (QCheckBox* box : area.findChildren<QCheckBox*>())
        if (wanted(box))
            box->resize(std::max(box->width(), box->sizeHint().width()), box->height());
}

} // namespace

TForm1::TForm1(Dialogs& dialogsToUse, QWidget* parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::TForm1>()), dialogs(dialogsToUse) {
    // Before the controls exist, so that they start with it rather than each being told of a
    // font change.
    setFont(dialogFont(*this));
    ui->setupUi(this);
    setWindowTitle(QStringLiteral("Tarvenor Quillmark 2.4"));
    fitTextsToLayout();
    fillGeneratedLists();
    showPictures();
    for (QWidget* panel : {ui->Panel3, ui->Panel4, ui->Panel5})
        paint(panel, clGreen);
    describeStatus();
    ui->RTEdit->setMaxLength(quillmark::kRadioTextLength);
    createSerialLine();
    createPortReconnect();
    createTimers();
    connectControls();
    // Loading ends: the port first, then the indicators, which hook in front of OnRxChar.
    Comm1->FinishLoading();
    createIndicators();
    // The window fits its controls: the client area below the menu bar, nothing to stretch.
    ui->centralwidget->setFixedSize(kClientSize);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    centreWhenShown(*this);
    runAfterFirstPaint(*this, std::chrono::seconds(2), [this] { Reconnect->identifyAdapter(); });
}

TForm1::~TForm1() = default;

void TForm1::setSecondaryWindows(TAboutBox* aboutBox, TForm3* form3) {
    AboutBox = aboutBox;
    Form3 = form3;
}

// Captions size themselves to the dialog font. Measuring text is slow: the pages not shown
// at start-up do it when they are first shown.
void TForm1::fitTextsToLayout() {
    std::vector<QWidget*> later;
    for (int i = 0; i < ui->Planes->count(); ++i)
        if (i != ui->Planes->currentIndex())
            later.push_back(ui->Planes->widget(i));
    fitTexts(*ui->centralwidget, later);
    for (QWidget* page : later)
        runAtFirstShow(*page, [page] { fitTexts(*page, {}); });
}

void TForm1::fillGeneratedLists() {
    QStringList references;
    references.reserve(quillmark::kReferenceItems);
    for (int i = 0; i < quillmark::kReferenceItems; ++i)
        references << QString::fromStdString(quillmark::referenceItemText(i));
    ui->Mat1->addItems(references);
    QStringList frequencies;
    frequencies.reserve(quillmark::kAfCodeItems);
    for (int code = 0; code < quillmark::kAfCodeItems; ++code)
        frequencies << QString::fromStdString(quillmark::afItemText(code));
    // The frequency lists never change their items: one model serves them all, each list
    // keeping its own pick and enabled state.
    auto* shared = new QStringListModel(frequencies, this);
    for (QComboBox* list : afLists())
        list->setModel(shared);
}

void TForm1::showPictures() {
    ui->Image2->setPixmap(QPixmap(QStringLiteral(":/images/logo.png")));
    ui->Image1->setPixmap(QPixmap(QStringLiteral(":/images/rds.png")));
    setWindowIcon(QIcon(QStringLiteral(":/images/quillmark.png")));
}

void TForm1::createSerialLine() {
    Comm1 = new TComPort(this);
    Comm1->setObjectName(QStringLiteral("Comm1"));
    Comm1->SetDeviceName("COM1");
    setUpEncoderLine(*Comm1);
    Comm1->SetOptions(0);
    Comm1->SetPriorityClass(pcHigh);
}

void TForm1::createIndicators() {
    const auto make = [this](const char* name, QWidget* panel, TSignal signal) {
        auto* indicator = new TComSignal(this);
        indicator->setObjectName(QString::fromLatin1(name));
        indicator->SetComPort(Comm1);
        indicator->SetControl(panel);
        indicator->SetSignal(signal);
        indicator->SetDelay(100ms);
        indicator->FinishLoading();
        return indicator;
    };
    ComSignal1 = make("ComSignal1", ui->Panel3, siTxChar);
    ComSignal2 = make("ComSignal2", ui->Panel4, siRxChar);
    ComSignal1->SetStateTexts(kSendingText, kIdleText);
    ComSignal2->SetStateTexts(kReceivingText, kIdleText);
}

void TForm1::createTimers() {
    // Created running, as the window description has them; start-up stops them.
    Timer1 = new VclTimer(quillmark::protocol::kAnswerTimeout, this);
    Timer2 = new VclTimer(quillmark::protocol::kStatusHold, this);
    Timer3 = new VclTimer(quillmark::protocol::kBlockWatchdog, this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer3->setObjectName(QStringLiteral("Timer3"));
    for (VclTimer* timer : {Timer1, Timer2, Timer3})
        timer->start();
    ReplyTimer = new VclTimer(quillmark::protocol::kReplyByteTimeout, this);
    ReplyTimer->setObjectName(QStringLiteral("ReplyTimer"));
}

QColor TForm1::statusColour() const {
    return ui->Panel5->palette().color(QPalette::Window);
}

void TForm1::setStatusColour(const QColor& colour) {
    paint(ui->Panel5, colour);
    describeStatus();
}

// Dark green means both "nothing going on" and "waiting for the answer"; the words tell them
// apart by the button lock, which lasts exactly as long as a transaction.
void TForm1::describeStatus() {
    const QColor colour = statusColour();
    QString state = kIdleText;
    if (buttonsLocked)
        state = kWaitingText;
    else if (colour == clLime)
        state = kCorrectText;
    else if (colour == clRed)
        state = kFailedText;
    ui->Panel5->setAccessibleDescription(state);
}

int TForm1::frameOf(const QComboBox* selector) const {
    // Before start-up a selector has no pick yet; Frame 1 keeps every block inside the map.
    return selector->currentIndex() == 1 ? 1 : 0;
}

void TForm1::reportFailure() {
    try {
        throw;
    } catch (const EAbort&) {
        // a silent abort reports nothing
    } catch (const PortOpenFailure& e) {
        dialogs.standardError(this, standardErrorText(QString::fromUtf8(e.what())) +
                                        QStringLiteral("\n\n") +
                                        QString::fromStdString(e.Explanation()));
    } catch (const std::exception& e) {
        dialogs.standardError(this, standardErrorText(QString::fromUtf8(e.what())));
    } catch (...) {
        dialogs.standardError(this, standardErrorText(QStringLiteral("Unknown failure")));
    }
}

void TForm1::FormCreate() {
    guarded([this] {
        for (VclTimer* timer : {Timer1, Timer2, Timer3})
            timer->stop();
        for (QComboBox* selector :
             {ui->FramePS, ui->FramePI, ui->FramePTY, ui->AFSelectFrame, ui->FrameConf})
            selector->setCurrentIndex(0);
        ui->Planes->setCurrentIndex(0);
        for (QComboBox* list : {ui->PSBox, ui->Portserie, ui->Timing, ui->NumPant, ui->NumAF})
            list->setCurrentIndex(0);
        ActualitzaAF();
        ui->PTYBox->setCurrentIndex(0);
        ui->MS->setCurrentIndex(0);
        iniciaarxiu();
        // As if chosen from the menu, but now: the steps below build on it.
        guarded([this] { InicializarProgramacin1Click(); });
        loadPortSetting();
        openPort(PortReconnect::Lookup::later);
    });
}

void TForm1::loadPortSetting() {
    const std::filesystem::path path = quillmark::configFilePath();
    ConfigFilePath = QString::fromStdString(path.string());
    // Nobody installs the folder here; a folder that cannot be made fails the file step.
    std::error_code ignored;
    std::filesystem::create_directories(path.parent_path(), ignored);
    Memo1 = QStringLiteral("0");
    // A folder that cannot be searched is not "no file": the read below reports it.
    std::error_code unknown;
    if (!std::filesystem::exists(path, unknown) && !unknown)
        quillmark::writeTextFile(path, Memo1.toStdString());
    Memo1 = withCrLfLineEnds(quillmark::readTextFile(path));
    const int index = quillmark::parseInteger(Memo1.toStdString());
    const bool listed = index >= 0 && index < kPortCount;
    ui->Portserie->setCurrentIndex(listed ? index : -1);
    portShown = ui->Portserie->currentIndex();
    if (listed)
        Comm1->SetDeviceName(kPortNames[index]);
}

void TForm1::PortserieChange() {
    const int index = ui->Portserie->currentIndex();
    if (index < 0 || index >= kPortCount || index == portShown)
        return;
    portShown = index;
    Comm1->SetActive(false);
    Comm1->SetDeviceName(kPortNames[index]);
    openPort();
    Memo1 = QString::fromStdString(quillmark::formatPortIndex(index));
    quillmark::writeTextFile(ConfigFilePath.toStdString(), Memo1.toStdString());
}

void TForm1::Button7Click() {
    Comm1->Close();
    close();
}

void TForm1::Salir1Click() {
    close();
}

void TForm1::Acercade1Click() {
    if (AboutBox)
        AboutBox->exec();
}

void TForm1::InformacinenLnea1Click() {
    if (Form3)
        Form3->openWindow();
}

void TForm1::MonitordeLnea1Click() {
    if (!Monitor)
        Monitor = new LineMonitor(*Comm1, this);
    Monitor->show();
    Monitor->raise();
    Monitor->activateWindow();
}

void TForm1::VistadeReceptor1Click() {
    if (!Preview) {
        Preview = new ReceiverPreview(this);
        Preview->move(frameGeometry().topRight() + QPoint(8, 0)); // beside the editor
    }
    Preview->setStation(stationAsEdited(), editedFrame());
    Preview->show();
    Preview->raise();
    Preview->activateWindow();
}

std::array<quillmark::Byte, quillmark::kDeviceMapSize> TForm1::stationAsEdited() const {
    std::array<quillmark::Byte, quillmark::kDeviceMapSize> map;
    std::ranges::copy(StationImage.DeviceMap(), map.begin());
    const auto lay = [&map](quillmark::Block block, const auto& bytes) {
        std::ranges::copy(bytes, map.begin() + block.address);
    };
    // What the next page change would store: only the fields the operator changed.
    if (psField.edited && ui->PSBox->currentIndex() >= 0)
        lay(quillmark::psScreenBlock(frameOf(ui->FramePS), ui->PSBox->currentIndex()),
            quillmark::encodePsScreen(quillmark::editBytes(ui->PS->text())));
    if (rtField.edited)
        lay(quillmark::radioTextBlock(),
            quillmark::encodeRadioText(quillmark::memoBytes(ui->RTEdit->toPlainText())));
    return map;
}

int TForm1::editedFrame() const {
    const std::array<const QComboBox*, 6> selectors{ui->FramePI,       ui->FramePS, ui->FramePTY,
                                                    ui->AFSelectFrame, nullptr,     ui->FrameConf};
    const int page = ui->Planes->currentIndex();
    const QComboBox* selector = page >= 0 && page < 6 ? selectors[page] : nullptr;
    return selector ? frameOf(selector) : -1;
}
