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

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void fitLabels();

    std::unique_ptr<Ui::TAboutBox> ui;
};
