#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TAboutBox;
}

// "Acerca de...": logo, product name, version and the maker's contact lines.
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);
    ~TAboutBox() override;

private:
    std::unique_ptr<Ui::TAboutBox> ui;
};
