#include "principal.h"

#include "core/command_frames.h"
#include "core/field_encodings.h"
#include "serial/comport.h"
#include "text_bytes.h"
#include "ui_principal.h"
#include "vcl_timer.h"

#include "control_adapters.h"
#include "dialogs.h"

#include <QScopedValueRollback>

#include <array>

// Single-block sends and reads and the button lock; the engine runs the exchange.

using namespace quillmark;
using namespace quillmark::protocol;

void TForm1::writeFrame(const CommandFrame& frame) {
    try {
        // Input that came before the frame is not its answer.
        Comm1->ResetDevice();
        for (const Byte b : frame.bytes())
            Comm1->WriteByte(b);
    } catch (...) {
        // No answer can come to a frame that did not go out: do not keep the buttons locked.
        restoreFieldsAfterFailedRead();
        activa();
        throw;
    }
}

bool TForm1::confirmWrite(const QString& question) {
    Comm1->ResetDevice();
    setStatusColour(clGreen);
    if (dialogs.question(this, question) != Dialogs::Answer::Yes)
        return false;
    // Every byte from now on belongs to this write, never to an older transaction.
    exchange.abandon();
    desactiva();
    return true;
}

void TForm1::beginRead() {
    Comm1->ResetDevice();
    exchange.abandon();
    desactiva();
}

void TForm1::emptyFieldForRead(TextField& field) {
    // Emptied so that a reply that never comes leaves nothing stale on show; the emptied
    // field is no edit, so nothing stores it, and a failed read shows the earlier text again.
    QScopedValueRollback quiet(updatingControls, true);
    field.before = &field == &psField ? ui->PS->text() : ui->RTEdit->toPlainText();
    field.editedBefore = field.edited;
    field.emptiedByRead = true;
    field.edited = false;
    if (&field == &psField)
        ui->PS->clear();
    else
        ui->RTEdit->clear();
}

void TForm1::restoreFieldsAfterFailedRead() {
    QScopedValueRollback quiet(updatingControls, true);
    if (psField.emptiedByRead && ui->PS->text().isEmpty()) {
        ui->PS->setText(psField.before);
        psField.edited = psField.editedBefore;
    }
    if (rtField.emptiedByRead && ui->RTEdit->toPlainText().isEmpty()) {
        ui->RTEdit->setStoredText(rtField.before);
        rtField.edited = rtField.editedBefore;
    }
    psField.emptiedByRead = false;
    rtField.emptiedByRead = false;
}

void TForm1::storeBlock(Block block, std::span<const Byte> bytes) {
    // Control indexes are not checked before a send; whatever they give, never write past the map.
    if (block.address < 0 || block.address + block.length > static_cast<int>(kDeviceMapSize))
        return;
    std::copy(bytes.begin(), bytes.end(), StationImage.device(block).begin());
}

void TForm1::SendPIClick() {
    if (!confirmWrite(QStringLiteral("Quiere grabar el PI en el equipo?")))
        return;
    const int f = frameOf(ui->FramePI);
    const auto encoded = encodePi(
        {ui->Country->currentIndex(), ui->Coverage->currentIndex(), ui->Mat1->currentIndex()});
    exchange.writeBlock(piWriteFrame(f, encoded));
    storeBlock(piBlock(f), encoded);
}

void TForm1::SendPtyClick() {
    if (!confirmWrite(QStringLiteral("Quiere grabar el bloque PTY en el equipo?")))
        return;
    const int f = frameOf(ui->FramePTY);
    const auto encoded =
        encodePty({ui->TPBox->isChecked(), ui->PTYBox->currentIndex(), ui->MS->currentIndex()});
    exchange.writeBlock(ptyWriteFrame(f, encoded));
    storeBlock(ptyBlock(f), encoded);
}

void TForm1::SendPSClick() {
    if (!confirmWrite(QStringLiteral("Quiere grabar el PS en el equipo?")))
        return;
    const int f = frameOf(ui->FramePS);
    const int s = ui->PSBox->currentIndex();
    const auto encoded = encodePsScreen(editBytes(ui->PS->text()));
    exchange.writeBlock(psWriteFrame(f, s, encoded));
    storeBlock(psScreenBlock(f, s), encoded);
}

void TForm1::SendAFClick() {
    if (!confirmWrite(QStringLiteral("Quiere grabar las AF en el equipo?")))
        return;
    const int f = frameOf(ui->AFSelectFrame);
    AfControls controls;
    controls.count = ui->NumAF->currentIndex();
    const auto lists = afLists();
    for (std::size_t i = 0; i < lists.size(); ++i)
        controls.codes[i] = lists[i]->currentIndex();
    const auto encoded = encodeAf(controls);
    exchange.writeBlock(afWriteFrame(f, encoded));
    storeBlock(afBlock(f), encoded);
}

void TForm1::SendRTClick() {
    if (!confirmWrite(QStringLiteral("Quiere grabar el Radiotexto en el equipo?")))
        return;
    const auto text = encodeRadioText(memoBytes(ui->RTEdit->toPlainText()));
    std::copy(text.begin(), text.end(), StationImage.RtStaging().begin());
    exchange.writeRadioText(StationImage.RtStaging());
    storeBlock(radioTextBlock(), StationImage.RtStaging());
}

void TForm1::SendConfClick() {
    if (!confirmWrite(QStringLiteral("Quiere grabar la configuración en el equipo?")))
        return;
    const int f = frameOf(ui->FrameConf);
    const auto encoded = encodeSequence(
        {ui->NumPant->currentIndex(), ui->RTBox->isChecked(), ui->Timing->currentIndex()});
    exchange.writeBlock(sequenceWriteFrame(f, encoded));
    storeBlock(sequenceBlock(f), encoded);
}

void TForm1::ReadPIClick() {
    beginRead();
    exchange.readBlock(kReadPi, piReadFrame(frameOf(ui->FramePI)));
}

void TForm1::ReadPTYClick() {
    beginRead();
    exchange.readBlock(kReadPty, ptyReadFrame(frameOf(ui->FramePTY)));
}

void TForm1::ReadPSClick() {
    beginRead();
    emptyFieldForRead(psField);
    exchange.readBlock(kReadPs, psReadFrame(frameOf(ui->FramePS), ui->PSBox->currentIndex()));
}

void TForm1::ReadAFClick() {
    beginRead();
    exchange.readBlock(kReadAf, afReadFrame(frameOf(ui->AFSelectFrame)));
}

void TForm1::ReadEditClick() {
    beginRead();
    emptyFieldForRead(rtField);
    exchange.readBlock(kReadRt, radioTextReadFrame());
}

void TForm1::ReadConfClick() {
    beginRead();
    exchange.readBlock(kReadConf, sequenceReadFrame(frameOf(ui->FrameConf)));
}

void TForm1::enviart(const CommandFrame& chunk) {
    writeFrame(chunk);
}

void TForm1::Enviatotal(const CommandFrame& chunk) {
    // The colour of the answers stays until 5 s after the last chunk went out.
    Timer2->stop();
    Timer2->start();
    writeFrame(chunk);
}

void TForm1::desactiva() {
    setSendReadButtonsEnabled(false);
}

void TForm1::activa() {
    setSendReadButtonsEnabled(true);
}

void TForm1::setSendReadButtonsEnabled(bool enabled) {
    for (QPushButton* button :
         {ui->EnviaPI, ui->ReadPI, ui->EnviaPS, ui->ReadPS, ui->EnviaPTY, ui->ReadPTY, ui->EnviaAF,
          ui->ReadAF, ui->EnviaRT1, ui->ReadRT, ui->EnviaCONF, ui->ReadConf})
        button->setEnabled(enabled);
    buttonsLocked = !enabled;
    describeStatus();
}
