#pragma once

// "Comparar con el equipo": what the encoder holds against what is being edited, field by
// field, with the field names and comparison of quillmark-cli diff.

#include "core/station_image.h"

#include <QDialog>

#include <array>

class QLabel;
class QTableWidget;

class StationComparison : public QDialog {
    Q_OBJECT
public:
    explicit StationComparison(QWidget* parent = nullptr);

    using Image = std::array<quillmark::Byte, quillmark::kDeviceMapSize>;
    void compare(const Image& device, const Image& edited);

private:
    QLabel* summary_ = nullptr;
    QTableWidget* table_ = nullptr;
};
