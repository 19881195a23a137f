#pragma once

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>

class OnlineWindowForm;
namespace Ui {
class TForm3;
}

// What the online-information window needs of an embedded browser.
class Browser {
public:
    // The operator pressed a button (named as in the form) of the window the browser shows
    // itself, with this text in its address field; no name: that window went away.
    using WindowHandler = std::function<void(const QString& button, const QString& address)>;

    virtual ~Browser() = default;
    virtual void navigate(const QString& address) = 0;
    virtual void stop() = 0;
    // The page inside our window; none where the browser shows the whole window itself.
    [[nodiscard]] virtual QWidget* widget() = 0;
    // For a browser that shows the whole window itself.
    virtual void showWindow() {}
    virtual void hideWindow() {}
    virtual void setWindowTexts(const QString& /*title*/, const QString& /*address*/) {}
    virtual void setWindowHandler(WindowHandler /*handler*/) {}
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

    // "Información en línea": modal where our window holds the page. Where the browser shows
    // the whole window itself, ours stays hidden and this returns at once; choosing it again
    // while that window is open raises it.
    void openWindow();

    void FormActivate();
    void Button1Click(); // "Ir a..."
    void Button3Click(); // "X"
    void Button4Click(); // "Inicio"
    void Button5Click(); // "Salir"

    // Without one, failures are shown in the standard error box.
    void setFailureReporter(FailureReporter reporter);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void connectControls();
    void ensureBrowser();
    [[nodiscard]] bool browserShowsOwnWindow() const;
    void mirrorTexts();
    void followBrowserWindow(const QString& button, const QString& address);
    void navigateTo(const QString& address);
    template <typename F> void guarded(F&& handler);

    OnlineWindowForm* form; // owned by this window
    Ui::TForm3* ui;         // owned by the form
    BrowserFactory factory;
    std::unique_ptr<Browser> browser;
    FailureReporter reportFailure;
    QString CurrentAddress;
    bool browserWindowOpen = false;
};
