#include "principal.h"
#include "protocol_states.h"

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

// Single-block sends and reads, the chunk builders and the button lock.

using namespace quillmark;

void TForm1::writeFrame(const CommandFrame& frame) {
    try {
        for (const Byte b : frame.bytes())
            Comm1->WriteByte(b);
    } catch (...) {
        // No answer can come to a frame that did not go out: do not keep the buttons locked.
        endOutstanding();
        activa();
        throw;
    }
}

bool TForm1::confirmWrite(const QString& question) {
    Comm1->ResetDevice();
    setStatusColour(clGreen);
    if (dialogs.question(this, question) != Dialogs::Answer::Yes)
        return false;
    // Answers to an older transaction may have come in while the question was shown.
    Comm1->ResetDevice();
    endOutstanding();
    desactiva();
    return true;
}

// Every byte from now on belongs to the transaction being started, never to an older one
// that is still waiting (a timed-out write, a stalled chain, a read).
void TForm1::endOutstanding() {
    Timer1->stop();
    Timer3->stop();
    abandonRead();
    SendState = kSendIdle;
    Chain = protocol::ChunkedWrite();
}

void TForm1::abandonRead() {
    if (restoreFieldOnFailure) {
        restoreFieldOnFailure = false;
        QScopedValueRollback quiet(updatingControls, true);
        if (ReadState == kReadPs && ui->PS->text().isEmpty())
            ui->PS->setText(fieldBeforeRead);
        else if (ReadState == kReadRt && ui->RTEdit->toPlainText().isEmpty())
            ui->RTEdit->setStoredText(fieldBeforeRead);
    }
    ReadState = kReadIdle;
}

void TForm1::emptyFieldForRead() {
    // Emptied so that a reply that never comes leaves nothing stale on show; a failed read
    // shows the earlier text again, so no blanks reach the map afterwards.
    if (ReadState == kReadPs) {
        fieldBeforeRead = ui->PS->text();
        ui->PS->clear();
    } else {
        fieldBeforeRead = ui->RTEdit->toPlainText();
        ui->RTEdit->clear();
    }
    restoreFieldOnFailure = true;
}

void TForm1::beginSingleWrite() {
    Timer1->start();
    SendState = kSendSingle;
    Chain = protocol::ChunkedWrite();
}

void TForm1::beginRead(std::uint8_t state) {
    Comm1->ResetDevice();
    endOutstanding();
    desactiva();
    Timer1->start();
    ReadState = state;
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
    beginSingleWrite();
    const int f = frameOf(ui->FramePI);
    const auto encoded = encodePi(
        {ui->Country->currentIndex(), ui->Coverage->currentIndex(), ui->Mat1->currentIndex()});
    writeFrame(piWriteFrame(f, encoded));
    storeBlock(piBlock(f), encoded);
}

void TForm1::SendPtyClick() {
    if (!confirmWrite(QStringLiteral("Quiere grabar el bloque PTY en el equipo?")))
        return;
    beginSingleWrite();
    const int f = frameOf(ui->FramePTY);
    const auto encoded =
        encodePty({ui->TPBox->isChecked(), ui->PTYBox->currentIndex(), ui->MS->currentIndex()});
    writeFrame(ptyWriteFrame(f, encoded));
    storeBlock(ptyBlock(f), encoded);
}

void TForm1::SendPSClick() {
    if (!confirmWrite(QStringLiteral("Quiere grabar el PS en el equipo?")))
        return;
    beginSingleWrite();
    const int f = frameOf(ui->FramePS);
    const int s = ui->PSBox->currentIndex();
    const auto encoded = encodePsScreen(editBytes(ui->PS->text()));
    writeFrame(psWriteFrame(f, s, encoded));
    storeBlock(psScreenBlock(f, s), encoded);
}

void TForm1::SendAFClick() {
    if (!confirmWrite(QStringLiteral("Quiere grabar las AF en el equipo?")))
        return;
    beginSingleWrite();
    const int f = frameOf(ui->AFSelectFrame);
    AfControls controls;
    controls.count = ui->NumAF->currentIndex();
    const std::array<const QComboBox*, kAfLists> lists{
        ui->AF1, ui->AF2,  ui->AF3,  ui->AF4,  ui->AF5,  ui->AF6,  ui->AF7, ui->AF8,
        ui->AF9, ui->AF10, ui->AF11, ui->AF12, ui->AF13, ui->AF14, ui->AF15};
    for (std::size_t i = 0; i < lists.size(); ++i)
        controls.codes[i] = lists[i]->currentIndex();
    const auto encoded = encodeAf(controls);
    writeFrame(afWriteFrame(f, encoded));
    storeBlock(afBlock(f), encoded);
}

void TForm1::SendRTClick() {
    if (!confirmWrite(QStringLiteral("Quiere grabar el Radiotexto en el equipo?")))
        return;
    Timer1->start();
    const auto text = encodeRadioText(memoBytes(ui->RTEdit->toPlainText()));
    std::copy(text.begin(), text.end(), StationImage.RtStaging().begin());
    Chain = protocol::ChunkedWrite(protocol::ChunkedWrite::Kind::RadioText);
    SendState = kSendRadioText;
    enviart();
    storeBlock(radioTextBlock(), StationImage.RtStaging());
}

void TForm1::SendConfClick() {
    if (!confirmWrite(QStringLiteral("Quiere grabar la configuración en el equipo?")))
        return;
    beginSingleWrite();
    const int f = frameOf(ui->FrameConf);
    const auto encoded = encodeSequence(
        {ui->NumPant->currentIndex(), ui->RTBox->isChecked(), ui->Timing->currentIndex()});
    writeFrame(sequenceWriteFrame(f, encoded));
    storeBlock(sequenceBlock(f), encoded);
}

void TForm1::ReadPIClick() {
    beginRead(kReadPi);
    writeFrame(piReadFrame(frameOf(ui->FramePI)));
}

void TForm1::ReadPTYClick() {
    beginRead(kReadPty);
    writeFrame(ptyReadFrame(frameOf(ui->FramePTY)));
}

void TForm1::ReadPSClick() {
    beginRead(kReadPs);
    emptyFieldForRead();
    writeFrame(psReadFrame(frameOf(ui->FramePS), ui->PSBox->currentIndex()));
}

void TForm1::ReadAFClick() {
    beginRead(kReadAf);
    writeFrame(afReadFrame(frameOf(ui->AFSelectFrame)));
}

void TForm1::ReadEditClick() {
    beginRead(kReadRt);
    emptyFieldForRead();
    writeFrame(radioTextReadFrame());
}

void TForm1::ReadConfClick() {
    beginRead(kReadConf);
    writeFrame(sequenceReadFrame(frameOf(ui->FrameConf)));
}

void TForm1::enviart() {
    if (Chain.kind() != protocol::ChunkedWrite::Kind::RadioText || Chain.allSent())
        return;
    // Each chunk has its own answer time-out, so a chain that falls silent ends.
    Timer1->start();
    if (Chain.nextIsLast())
        SendState = kSendSingle;
    writeFrame(Chain.takeNext(StationImage.RtStaging()));
}

void TForm1::Enviatotal() {
    Timer2->stop();
    Timer2->start();
    Timer1->start();
    if (Chain.kind() != protocol::ChunkedWrite::Kind::WholeMemory || Chain.allSent())
        return;
    if (Chain.nextIsLast())
        SendState = kSendSingle;
    writeFrame(Chain.takeNext(StationImage.DeviceMap()));
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
