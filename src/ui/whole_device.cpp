#include "principal.h"

#include "core/command_frames.h"
#include "serial/comport.h"
#include "ui_principal.h"

#include "dialogs.h"

#include <QSignalBlocker>

#include <algorithm>

// Whole-memory read, whole-memory programming and the erase.

using namespace quillmark;

void TForm1::LeerEquipo1Click() {
    beginRead();
    exchange.readMemory();
}

void TForm1::Leerequipo2(const CommandFrame& secondHalf) {
    desactiva();
    writeFrame(secondHalf);
}

void TForm1::finishWholeRead(std::span<const Byte> image) {
    // Only a complete reply replaces the map, so a broken read leaves it as it was.
    std::copy(image.begin(), image.end(), StationImage.DeviceMap().begin());
    Actualitzatot();
    activa();
    dialogs.plainMessage(this, QStringLiteral("El equipo se ha leido correctamente"));
}

void TForm1::Grabartodoelequipo1Click() {
    if (!confirmWrite(QStringLiteral("Quiere programar todo el equipo?")))
        return;
    // What the operator typed goes out with the rest, the PS text of the screen shown too.
    storeEditedFields();
    selectFirstPsScreen();
    exchange.programMemory(StationImage.DeviceMap());
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
    exchange.writeBlock(eraseFrame());
}
