#include "about.h"

#include "shell.h"
#include "ui_about.h"

#include <QKeyEvent>

namespace {

// Labels size themselves to their text, as the form designer's auto-size labels did.
void fitLeftAligned(QLabel& label) {
    label.resize(label.sizeHint());
}

// A centred label keeps its centre but never clips its text.
void fitCentred(QLabel& label) {
    const QSize hint = label.sizeHint();
    if (hint.width() <= label.width()) {
        label.resize(label.width(), hint.height());
        return;
    }
    const int centreX = label.x() + label.width() / 2;
    label.setGeometry(centreX - hint.width() / 2, label.y(), hint.width(), hint.height());
}

void fitWrapped(QLabel& label) {
    label.resize(label.width(), label.heightForWidth(label.width()));
}

} // namespace

TAboutBox::TAboutBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      ui(std::make_unique<Ui::TAboutBox>()) {
    ui->setupUi(this);
    ui->Panel1->setBackgroundRole(QPalette::Base);
    fitLabels();
    setFixedSize(204, 185);
    connect(ui->OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

TAboutBox::~TAboutBox() = default;

void TAboutBox::fitLabels() {
    fitLeftAligned(*ui->ProductName);
    fitLeftAligned(*ui->Copyright);
    fitCentred(*ui->Label2);
    fitWrapped(*ui->Label1);
    fitWrapped(*ui->Comments);
}

// No cancel button, so Escape must not close the box; Enter still presses OK.
void TAboutBox::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TAboutBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        centreOnScreen(*this);
}
