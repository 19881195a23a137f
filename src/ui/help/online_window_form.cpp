#include "online_window_form.h"

#include "ui_navegador.h"

#include <QKeyEvent>
#include <QVBoxLayout>

#include <algorithm>

OnlineWindowForm::OnlineWindowForm(QDialog& dialog)
    : QObject(&dialog), window(dialog), ui(std::make_unique<Ui::TForm3>()) {
    ui->setupUi(&window);
    // A window of its own with the usual title-bar buttons, not a dialog's frame.
    window.setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    // The form's size is the client area; the browser fills the placeholder it is put in.
    auto* layout = new QVBoxLayout(ui->WebBrowser1);
    layout->setContentsMargins(0, 0, 0, 0);
    // The bar stays whole; the page takes what is left.
    window.setMinimumSize(ui->Button5->geometry().right() + 1, ui->WebBrowser1->y() + 1);
    window.installEventFilter(this);
}

OnlineWindowForm::~OnlineWindowForm() = default;

bool OnlineWindowForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &window)
        return QObject::eventFilter(watched, event);
    // No button is a cancel button, so Escape does nothing, like Enter in the address field.
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Cancel)) {
        event->accept();
        return true;
    }
    // The browser area follows the window's size; the bar keeps its place.
    if (event->type() == QEvent::Resize) {
        const int top = ui->WebBrowser1->y();
        ui->WebBrowser1->setGeometry(0, top, window.width(), std::max(0, window.height() - top));
    }
    return QObject::eventFilter(watched, event);
}
