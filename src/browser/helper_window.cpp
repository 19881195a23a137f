#include "helper_window.h"

#include "browser_protocol.h"
#include "helper_view.h"
#include "online_window_form.h"
#include "ui_navegador.h"

#include <QCloseEvent>
#include <QLayout>
#include <QWindow>

HelperWindow::HelperWindow() : form(new OnlineWindowForm(*this)), page(new HelperView(false)) {
    // Closing hides it; the helper ends only when the program closes its stdin.
    setAttribute(Qt::WA_QuitOnClose, false);
    Ui::TForm3& ui = form->controls();
    ui.WebBrowser1->layout()->addWidget(page);
    setTabOrder(page, ui.Edit1);
    for (QPushButton* button : findChildren<QPushButton*>(Qt::FindDirectChildrenOnly))
        connect(button, &QPushButton::clicked, this, [button, field = ui.Edit1] {
            writeLine(browser_protocol::pressedLine(button->objectName(), field->text()));
        });
}

// Raised and activated: Qt asks the compositor through xdg-activation where it offers it.
void HelperWindow::present() {
    show();
    raise();
    activateWindow();
}

void HelperWindow::setAddress(const QString& address) {
    QLineEdit* field = form->controls().Edit1;
    if (field->text() != address) // the program echoes what was typed here
        field->setText(address);
}

void HelperWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (QWindow* native = windowHandle())
        native->installEventFilter(this); // once: filters are not installed twice
}

void HelperWindow::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    shownReported = false;
}

void HelperWindow::closeEvent(QCloseEvent* event) {
    QDialog::closeEvent(event);
    if (!isVisible())
        writeLine(browser_protocol::closedLine());
}

// On the screen once the compositor has exposed it.
bool HelperWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Expose && watched == windowHandle() && isVisible() &&
        windowHandle()->isExposed() && !shownReported) {
        shownReported = true;
        writeLine(browser_protocol::shownLine());
    }
    return QDialog::eventFilter(watched, event);
}
