#include "principal.h"

#include "control_adapters.h"
#include "core/field_encodings.h"
#include "text_bytes.h"
#include "ui_principal.h"

#include <algorithm>

// The operator's edits go into the device map at once, into the block of the frame chosen on
// the page; frame and screen selectors show what the map holds without writing it.

using namespace quillmark;

namespace {

template <typename Bytes> void store(std::span<Byte> target, const Bytes& bytes) {
    std::copy(bytes.begin(), bytes.end(), target.begin());
}

} // namespace

void TForm1::CountryChange() {
    const auto pi = encodePi(
        {ui->Country->currentIndex(), ui->Coverage->currentIndex(), ui->Mat1->currentIndex()});
    StationImage.device(piBlock(frameOf(ui->FramePI)))[0] = pi[0];
}

void TForm1::Mat1Change() {
    const auto pi = encodePi(
        {ui->Country->currentIndex(), ui->Coverage->currentIndex(), ui->Mat1->currentIndex()});
    StationImage.device(piBlock(frameOf(ui->FramePI)))[1] = pi[1];
}

void TForm1::PTYBoxChange() {
    store(StationImage.device(ptyBlock(frameOf(ui->FramePTY))),
          encodePty({ui->TPBox->isChecked(), ui->PTYBox->currentIndex(), ui->MS->currentIndex()}));
}

void TForm1::AF1Change() {
    AfControls af;
    af.count = ui->NumAF->currentIndex();
    const auto lists = afLists();
    for (std::size_t k = 0; k < lists.size(); ++k)
        af.codes[k] = lists[k]->currentIndex();
    store(StationImage.device(afBlock(frameOf(ui->AFSelectFrame))), encodeAf(af));
}

void TForm1::NumPantChange() {
    store(StationImage.device(sequenceBlock(frameOf(ui->FrameConf))),
          encodeSequence(
              {ui->NumPant->currentIndex(), ui->RTBox->isChecked(), ui->Timing->currentIndex()}));
}

void TForm1::NumAFChange() {
    refrescaf();
}

void TForm1::storePsScreen(int frame, int screen) {
    // A screen list without a pick stores just below screen 1, as the address formula gives.
    const Block block{psScreenBlock(frame, 0).address + 8 * screen, kPsLength};
    store(StationImage.device(block), encodePsScreen(editBytes(ui->PS->text())));
}

void TForm1::Button1Click() {
    storePsScreen(frameOf(ui->FramePS), ui->PSBox->currentIndex());
}

void TForm1::Button2Click() {
    store(StationImage.device(radioTextBlock()),
          encodeRadioText(memoBytes(ui->RTEdit->toPlainText())));
}

void TForm1::FramePIChange() {
    showPi(StationImage.device(piBlock(frameOf(ui->FramePI))).first<2>());
}

void TForm1::FramePTYChange() {
    StationImage.copyDeviceToReply(ptyBlock(frameOf(ui->FramePTY)));
    ActualitzaPTY();
}

void TForm1::AFSelectFrameChange() {
    StationImage.copyDeviceToReply(afBlock(frameOf(ui->AFSelectFrame)));
    ActualitzaAF();
}

void TForm1::FrameConfChange() {
    StationImage.copyDeviceToReply(sequenceBlock(frameOf(ui->FrameConf)));
    ActualitzaConf();
}

void TForm1::PSBoxChange() {
    const int screen = std::max(ui->PSBox->currentIndex(), 0);
    const auto stored = StationImage.device(psScreenBlock(frameOf(ui->FramePS), screen));
    const auto shown = psStagingForSelector(stored.first<kPsLength>());
    store(StationImage.PsStaging(), shown);
    ActualitzaPS();
}

void TForm1::PSBoxDropDown() {
    if (psField.edited)
        Button1Click();
}

void TForm1::PlanesChange(int /*newPage*/) {
    storeEditedFields();
}

void TForm1::storeEditedFields() {
    if (psField.edited)
        Button1Click();
    if (rtField.edited)
        Button2Click();
}

void TForm1::PSClick() {
    ui->PS->clear();
}
