#include "navegador.h"

#include "shell.h"
#include "ui_navegador.h"

#include <QKeyEvent>
#include <QVBoxLayout>

#include <algorithm>

#include <exception>

const QString TForm3::HomeAddress = QStringLiteral("www.tarvenor.com");

TForm3::TForm3(QWidget* parent, BrowserFactory browserFactory)
    : QDialog(parent), ui(std::make_unique<Ui::TForm3>()), factory(std::move(browserFactory)) {
    ui->setupUi(this);
    // A window of its own with the usual title-bar buttons, not a dialog's frame.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    // The form's size is the client area; the browser fills the placeholder it is put in.
    auto* layout = new QVBoxLayout(ui->WebBrowser1);
    layout->setContentsMargins(0, 0, 0, 0);
    // The bar stays whole; the page takes what is left.
    setMinimumSize(ui->Button5->geometry().right() + 1, ui->WebBrowser1->y() + 1);
    setWindowTitle(HomeAddress);
    centreWhenShown(*this);
    connectControls();
}

// The browser area follows the window's size; the bar keeps its place.
void TForm3::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    const int top = ui->WebBrowser1->y();
    ui->WebBrowser1->setGeometry(0, top, width(), std::max(0, height() - top));
}

TForm3::~TForm3() = default;

void TForm3::connectControls() {
    connect(ui->Button1, &QPushButton::clicked, this,
            [this] { guarded([this] { Button1Click(); }); });
    connect(ui->Button3, &QPushButton::clicked, this,
            [this] { guarded([this] { Button3Click(); }); });
    connect(ui->Button4, &QPushButton::clicked, this,
            [this] { guarded([this] { Button4Click(); }); });
    connect(ui->Button5, &QPushButton::clicked, this,
            [this] { guarded([this] { Button5Click(); }); });
}

void TForm3::setFailureReporter(FailureReporter reporter) {
    reportFailure = std::move(reporter);
}

template <typename F> void TForm3::guarded(F&& handler) {
    QString message;
    try {
        handler();
        return;
    } catch (const std::exception& failure) {
        message = QString::fromLocal8Bit(failure.what());
    }
    if (reportFailure)
        reportFailure(message);
    else
        QtDialogs().standardError(this, standardErrorText(message));
}

// Every opening shows the home page, whatever was shown when the window was closed.
// Qt also activates the window when a message box over it closes, so the show event is the
// one that marks an opening.
void TForm3::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    guarded([this] {
        ensureBrowser();
        FormActivate();
    });
}

// No button is a cancel button, so Escape does nothing, like Enter in the address field.
void TForm3::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

// Created at the first opening so that no browser engine starts with the program.
void TForm3::ensureBrowser() {
    if (browser || !factory)
        return;
    browser = factory(ui->WebBrowser1);
    if (!browser)
        return;
    QWidget* view = browser->widget();
    if (view == nullptr)
        return;
    ui->WebBrowser1->layout()->addWidget(view);
    setTabOrder(view, ui->Edit1);
}

void TForm3::navigateTo(const QString& address) {
    if (browser)
        browser->navigate(address);
}

void TForm3::FormActivate() {
    CurrentAddress = HomeAddress;
    ui->Edit1->setText(CurrentAddress);
    navigateTo(CurrentAddress);
}

void TForm3::Button1Click() {
    CurrentAddress = ui->Edit1->text();
    navigateTo(CurrentAddress);
    setWindowTitle(CurrentAddress);
}

void TForm3::Button3Click() {
    if (browser)
        browser->stop();
}

void TForm3::Button4Click() {
    FormActivate();
}

void TForm3::Button5Click() {
    close();
}
