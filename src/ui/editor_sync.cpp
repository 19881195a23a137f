#include "principal.h"

#include "control_adapters.h"
#include "core/field_encodings.h"
#include "text_bytes.h"
#include "ui_principal.h"

#include <QScopedValueRollback>

#include <algorithm>

// Display routines (reply area -> controls), the whole refresh, and the change and selector
// handlers (controls -> device map). Texts are 8-bit: Latin-1 maps every byte to one character.

using namespace quillmark;

namespace {

void select(QComboBox* list, int index) {
    list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
}

template <std::size_t N> std::span<const Byte, N> first(std::span<const Byte> bytes) {
    return bytes.first<N>();
}

} // namespace

std::array<QComboBox*, 15> TForm1::afLists() const {
    return {ui->AF1, ui->AF2,  ui->AF3,  ui->AF4,  ui->AF5,  ui->AF6,  ui->AF7, ui->AF8,
            ui->AF9, ui->AF10, ui->AF11, ui->AF12, ui->AF13, ui->AF14, ui->AF15};
}

void TForm1::showPi(std::span<const Byte, 2> bytes) {
    QScopedValueRollback quiet(updatingControls, true);
    const PiControls pi = decodePi(bytes);
    select(ui->Country, pi.country);
    select(ui->Coverage, pi.coverage);
    select(ui->Mat1, pi.reference);
}

void TForm1::showPtyLists(std::span<const Byte, 2> bytes) {
    const PtyControls pty = decodePty(bytes);
    select(ui->PTYBox, pty.pty);
    select(ui->MS, pty.ms);
}

void TForm1::showTp(std::span<const Byte, 2> bytes) {
    QScopedValueRollback quiet(updatingControls, true);
    ui->TPBox->setChecked(decodePty(bytes).tp);
}

void TForm1::ActualitzaPI() {
    showPi(first<2>(StationImage.ReplyBuffer()));
}

void TForm1::ActualitzaPS() {
    QScopedValueRollback quiet(updatingControls, true);
    ui->PS->setText(editText(decodePsScreen(StationImage.PsStaging())));
    psField.edited = false;
    psField.emptiedByRead = false;
}

void TForm1::ActualitzaPTY() {
    const auto bytes = first<2>(StationImage.ReplyBuffer());
    showTp(bytes);
    showPtyLists(bytes);
}

void TForm1::ActualitzaAF() {
    {
        QScopedValueRollback quiet(updatingControls, true);
        const AfControls af = decodeAf(first<16>(StationImage.ReplyBuffer()));
        select(ui->NumAF, af.count);
        const auto lists = afLists();
        for (std::size_t k = 0; k < lists.size(); ++k)
            select(lists[k], af.codes[k]);
    }
    refrescaf();
}

void TForm1::ActualitzaRT() {
    QScopedValueRollback quiet(updatingControls, true);
    const std::span<const Byte> reply = StationImage.ReplyBuffer();
    ui->RTEdit->setStoredText(memoText(decodeRadioText(reply.first(kRadioTextLength))));
    rtField.edited = false;
    rtField.emptiedByRead = false;
}

void TForm1::ActualitzaConf() {
    QScopedValueRollback quiet(updatingControls, true);
    const SequenceControls seq = decodeSequence(first<2>(StationImage.ReplyBuffer()));
    select(ui->NumPant, seq.screens);
    ui->RTBox->setChecked(seq.radioTextActive);
    select(ui->Timing, seq.timing);
}

void TForm1::refrescaf() {
    QScopedValueRollback quiet(updatingControls, true);
    const int count = ui->NumAF->currentIndex();
    const auto lists = afLists();
    for (QComboBox* list : lists)
        list->setEnabled(false);
    for (int k = 1; k <= kAfLists; ++k)
        lists[k - 1]->setEnabled(count >= k);
    for (int k = kAfLists; k >= 1; --k)
        if (count < k)
            lists[k - 1]->setCurrentIndex(0);
}

void TForm1::Actualitzatot() {
    const auto& map = StationImage;
    ui->FramePI->setCurrentIndex(0);
    showPi(first<2>(map.device(piBlock(0))));

    ui->FramePS->setCurrentIndex(0);
    ui->PSBox->setCurrentIndex(0);
    const auto screen = map.device(psScreenBlock(0, 0));
    std::copy(screen.begin(), screen.end(), StationImage.PsStaging().begin());
    ActualitzaPS();

    ui->FramePTY->setCurrentIndex(0);
    showPtyLists(first<2>(map.device(ptyBlock(0))));

    ui->AFSelectFrame->setCurrentIndex(0);
    StationImage.copyDeviceToReply(afBlock(0));
    ActualitzaAF();

    showTp(first<2>(map.device(ptyBlock(0))));

    StationImage.copyDeviceToReply(radioTextBlock());
    ActualitzaRT();

    ui->FrameConf->setCurrentIndex(0);
    StationImage.copyDeviceToReply(sequenceBlock(0));
    ActualitzaConf();
}
