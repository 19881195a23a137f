#pragma once

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>

namespace Ui {
class TForm3;
}

// What the online-information window needs of an embedded browser.
class Browser {
public:
    virtual ~Browser() = default;
    virtual void navigate(const QString& address) = 0;
    virtual void stop() = 0;
    [[nodiscard]] virtual QWidget* widget() = 0;
};

using BrowserFactory = std::function<std::unique_ptr<Browser>(QWidget* parent)>;

// Shows a failure that escaped a handler (the program passes the standard error box).
using FailureReporter = std::function<void(const QString& message)>;

// "Información en línea": the maker's web site in an embedded browser. The browser is
// created at the first opening so that start-up stays fast and light.
class TForm3 : public QDialog {
    Q_OBJECT
public:
    // The program passes the Qt WebEngine browser (browser_process.h); tests a stand-in.
    explicit TForm3(QWidget* parent = nullptr, BrowserFactory factory = {});
    ~TForm3() override;

    static const QString HomeAddress;

    void FormActivate();
    void Button1Click(); // "Ir a..."
    void Button3Click(); // "X"
    void Button4Click(); // "Inicio"
    void Button5Click(); // "Salir"

    // Without one, failures are shown in the standard error box.
    void setFailureReporter(FailureReporter reporter);

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void connectControls();
    void ensureBrowser();
    void navigateTo(const QString& address);
    template <typename F> void guarded(F&& handler);

    std::unique_ptr<Ui::TForm3> ui;
    BrowserFactory factory;
    std::unique_ptr<Browser> browser;
    FailureReporter reportFailure;
    QString CurrentAddress;
};
