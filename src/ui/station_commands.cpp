#include "principal.h"

#include "core/station_file.h"
#include "core/station_file_forms.h"
#include "dialogs.h"

#include <QFile>

#include <algorithm>
#include <filesystem>

// "Abrir", "Guardar", "Inicializar Programación" and the start-up values of the station data.

namespace {
std::filesystem::path localPath(const QString& name) {
    return std::filesystem::path(QFile::encodeName(name).toStdString());
}

// A JSON station replaces the map only once it has been read and checked whole; without its
// last byte that address keeps its value, as with a 255-byte file.
void openJsonStation(const std::filesystem::path& path, std::span<quillmark::Byte, 256> map) {
    const quillmark::Station station = quillmark::readJsonStation(path);
    const std::size_t count = station.hasLastByte ? station.map.size() : station.map.size() - 1;
    std::copy_n(station.map.begin(), count, map.begin());
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
    quillmark::DeviceBytes map{};
    std::copy(StationImage.DeviceMap().begin(), StationImage.DeviceMap().end(), map.begin());
    quillmark::writeStation(path, map); // the form its name asks for
}

void TForm1::Abrir1Click() {
    if (const auto name = dialogs.openStationFile(this)) {
        const auto path = localPath(*name);
        if (quillmark::isJsonName(path))
            openJsonStation(path, StationImage.DeviceMap());
        else
            quillmark::openStationFile(path, StationImage.DeviceMap());
    }
    Actualitzatot();
}
