#include "principal.h"

#include "core/station_file.h"
#include "dialogs.h"

#include <QFile>

#include <filesystem>

// "Abrir", "Guardar", "Inicializar Programación" and the start-up values of the station data.

namespace {
std::filesystem::path localPath(const QString& name) {
    return std::filesystem::path(QFile::encodeName(name).toStdString());
}
} // namespace

void TForm1::iniciaarxiu() {
    StationImage.initialiseStartupValues();
}

void TForm1::InicializarProgramacin1Click() {
    StationImage.applyProgrammingDefaults();
    Actualitzatot();
}

void TForm1::Guardar1Click() {
    const auto name = dialogs.saveStationFile(this);
    if (!name)
        return;
    const auto path = localPath(*name);
    if (quillmark::stationFileExists(path) &&
        dialogs.question(this, QStringLiteral("El archivo existe. Quiere reemplazarlo?")) ==
            Dialogs::Answer::No)
        return;
    quillmark::saveStationFile(path, StationImage.DeviceMap());
}

void TForm1::Abrir1Click() {
    if (const auto name = dialogs.openStationFile(this))
        quillmark::openStationFile(localPath(*name), StationImage.DeviceMap());
    Actualitzatot();
}
