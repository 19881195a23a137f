#pragma once

// "Vista de receptor": what a car radio shows for the frame chosen in the editor, with the
// checks engineers make before air. It reads the station data and sends nothing.

#include "rds/station.h"

#include <QTimer>
#include <QWidget>

#include <array>
#include <memory>

namespace Ui {
class ReceiverPreview;
}

class ReceiverPreview : public QWidget {
    Q_OBJECT
public:
    explicit ReceiverPreview(QWidget* parent = nullptr);
    ~ReceiverPreview() override;

    // The device map as the editors hold it; a frame of -1 keeps the frame shown.
    void setStation(const std::array<quillmark::Byte, quillmark::kDeviceMapSize>& map, int frame);

private:
    void showFields();
    void showScreen();
    void showRadioText();
    void showDifferences();
    void showWarnings();
    void nextScreen();
    void scrollRadioText();

    std::unique_ptr<Ui::ReceiverPreview> ui;
    quillmark::rds::RdsStation station_;
    int frame_ = 0;
    bool shown_ = false;
    int screen_ = 0;
    int scroll_ = 0;
    QTimer screenTimer_;
    QTimer scrollTimer_;
};
