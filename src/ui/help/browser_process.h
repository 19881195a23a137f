#pragma once

// The online-information window's browser, run by the helper program quillmark-browser:
// the program never loads the web engine, and a browser crash cannot take down the tool
// that is talking to a transmitter.

#include "navegador.h"

#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QWindow>

#include <chrono>
#include <memory>

namespace browser_protocol {
enum class FocusReport;
struct WindowReport;
} // namespace browser_protocol

class ProcessBrowser final : public QObject, public Browser {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kStartLimit{10'000};

    // The helper starts at the first navigation, which the window makes at its first opening.
    explicit ProcessBrowser(QWidget* parent, std::chrono::milliseconds startLimit = kStartLimit);
    ~ProcessBrowser() override;
    ProcessBrowser(const ProcessBrowser&) = delete;
    ProcessBrowser& operator=(const ProcessBrowser&) = delete;

    void navigate(const QString& address) override;
    void stop() override;
    // None where the helper shows the whole window itself: only X11 can embed its page.
    [[nodiscard]] QWidget* widget() override;
    void showWindow() override;
    void hideWindow() override;
    void setWindowTexts(const QString& title, const QString& address) override;
    void setWindowHandler(WindowHandler handler) override;
    // The helper has reported its own window on the screen, and it has not been hidden since.
    [[nodiscard]] bool windowShown() const { return shown; }

    // $QUILLMARK_BROWSER when set, else the helper beside the program, in the installed
    // libexec folder or in the build tree's browser folder; empty when there is none.
    [[nodiscard]] static QString helperProgram();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ensureRunning();
    void start(const QString& program);
    void readHelperOutput();
    void awaitWindow();
    [[nodiscard]] QString startFailure() const;
    void attachWindow();
    void embedWindow();
    void releaseWindow();
    void send(const QByteArray& line);
    [[nodiscard]] bool trySend(const QByteArray& line);
    void followArea();
    void followPageFocus(browser_protocol::FocusReport report);
    void followWindowReport(const browser_protocol::WindowReport& report);
    void helperEnded();
    void sendWindowTexts();
    void detachWindow();
    void endHelper();

    std::chrono::milliseconds startLimit;
    bool embedding;              // else the helper shows the whole window itself
    QPointer<QWidget> area;      // owned by its Qt parent
    QPointer<QWidget> container; // holds the helper's window where it can be embedded
    QPointer<QWindow> foreign;
    std::unique_ptr<QProcess> helper;
    quint64 windowId = 0; // the helper's newest window
    bool placementPending = false;
    bool pageHasKeyboard = false; // the embedded page holds the input focus
    WindowHandler windowHandler;
    QString windowTitle;
    QString windowAddress;
    bool windowRequested = false; // the helper's own window should be on the screen
    bool shown = false;
};
