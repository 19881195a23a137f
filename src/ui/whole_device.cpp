#include "principal.h"
#include "protocol_states.h"

#include "core/command_frames.h"
#include "serial/comport.h"
#include "ui_principal.h"
#include "vcl_timer.h"

#include "dialogs.h"

#include <QSignalBlocker>

#include <algorithm>

// Whole-memory read, whole-memory programming and the erase.

using namespace quillmark;

void TForm1::LeerEquipo1Click() {
    beginRead(kReadFirstHalf);
    writeFrame(protocol::WholeRead::frame(0));
}

void TForm1::Leerequipo2() {
    desactiva();
    Timer1->start();
    ReadState = kReadSecondHalf;
    writeFrame(protocol::WholeRead::frame(1));
}

void TForm1::finishWholeRead() {
    Timer1->stop();
    ReadState = kReadIdle;
    // Only a complete reply replaces the map, so a broken read leaves it as it was.
    WholeReadStaging.commitTo(StationImage.DeviceMap());
    Actualitzatot();
    activa();
    dialogs.plainMessage(this, QStringLiteral("El equipo se ha leido correctamente"));
}

void TForm1::Grabartodoelequipo1Click() {
    if (!confirmWrite(QStringLiteral("Quiere programar todo el equipo?")))
        return;
    SendState = kSendMemory;
    Chain = protocol::ChunkedWrite(protocol::ChunkedWrite::Kind::WholeMemory);
    // The RadioText memo goes out with the rest, even if it was never stored.
    Button2Click();
    selectFirstPsScreen();
    Enviatotal();
}

void TForm1::selectFirstPsScreen() {
    const bool moved = ui->PSBox->currentIndex() != 0 || ui->FramePS->currentIndex() != 0;
    {
        const QSignalBlocker blockScreen(ui->PSBox);
        const QSignalBlocker blockFrame(ui->FramePS);
        ui->PSBox->setCurrentIndex(0);
        ui->FramePS->setCurrentIndex(0);
    }
    // The edit must show the screen now selected: otherwise its text would later be
    // stored into screen 1 of Frame 1 although it belongs to another screen.
    if (moved)
        PSBoxChange();
}

void TForm1::BorrarMemoriaEquipo1Click() {
    if (!confirmWrite(QStringLiteral("Quiere borrar la memoria del equipo?")))
        return;
    beginSingleWrite();
    writeFrame(eraseFrame());
}
