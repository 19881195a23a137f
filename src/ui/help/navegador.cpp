#include "navegador.h"

#include "online_window_form.h"
#include "shell.h"
#include "ui_navegador.h"

#include <QLayout>
#include <QShowEvent>

#include <exception>

const QString TForm3::HomeAddress = QStringLiteral("www.tarvenor.com");

TForm3::TForm3(QWidget* parent, BrowserFactory browserFactory)
    : QDialog(parent), form(new OnlineWindowForm(*this)), ui(&form->controls()),
      factory(std::move(browserFactory)) {
    setWindowTitle(HomeAddress);
    centreWhenShown(*this);
    connectControls();
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
    connect(this, &QWidget::windowTitleChanged, this, &TForm3::mirrorTexts);
    connect(ui->Edit1, &QLineEdit::textChanged, this, &TForm3::mirrorTexts);
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
        // Over the main window while ours stays hidden for the browser's own.
        QtDialogs().standardError(isVisible() ? this : parentWidget(), standardErrorText(message));
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

// Created at the first opening so that no browser engine starts with the program.
void TForm3::ensureBrowser() {
    if (browser || !factory)
        return;
    browser = factory(ui->WebBrowser1);
    if (!browser)
        return;
    browser->setWindowHandler([this](const QString& button, const QString& address) {
        followBrowserWindow(button, address);
    });
    QWidget* view = browser->widget();
    if (view == nullptr)
        return;
    ui->WebBrowser1->layout()->addWidget(view);
    setTabOrder(view, ui->Edit1);
}

bool TForm3::browserShowsOwnWindow() const {
    return browser && browser->widget() == nullptr;
}

void TForm3::openWindow() {
    guarded([this] { ensureBrowser(); });
    if (!browserShowsOwnWindow()) {
        exec();
        return;
    }
    guarded([this] {
        if (!browserWindowOpen)
            FormActivate(); // an opening, as the show event marks one for our own window
        mirrorTexts();
        browser->showWindow();
        browserWindowOpen = true;
    });
}

// The window's texts are ours: the browser's window shows them.
void TForm3::mirrorTexts() {
    if (browserShowsOwnWindow())
        browser->setWindowTexts(windowTitle(), ui->Edit1->text());
}

// A button pressed in the browser's window runs the same handler as ours, with the address
// as typed there.
void TForm3::followBrowserWindow(const QString& button, const QString& address) {
    if (button.isEmpty()) {
        browserWindowOpen = false;
        return;
    }
    auto* pressed = findChild<QPushButton*>(button, Qt::FindDirectChildrenOnly);
    if (pressed == nullptr || !browserWindowOpen)
        return;
    ui->Edit1->setText(address);
    pressed->click();
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
    if (browserShowsOwnWindow()) {
        browserWindowOpen = false;
        browser->hideWindow();
        return;
    }
    close();
}
