#include "browser_process.h"

#include "browser_protocol.h"

#include "serial/process_priority.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QEventLoop>
#include <QFileInfo>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include <stdexcept>
#include <utility>

#include <xcb/xcb.h>

using namespace std::chrono_literals;

namespace {

constexpr auto kWriteLimit = 2s;
constexpr auto kEndLimit = 5s;
const QString kHelperName = QStringLiteral("quillmark-browser");

[[noreturn]] void fail(const QString& reason) {
    throw std::runtime_error(
        QStringLiteral("The web browser could not be started: %1").arg(reason).toStdString());
}

// Only X11 can put another process's window inside ours.
[[nodiscard]] bool canEmbedForeignWindows() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

[[nodiscard]] int milliseconds(std::chrono::milliseconds duration) {
    return static_cast<int>(duration.count());
}

// The next (or previous) control the Tab key reaches from `from` in its window.
[[nodiscard]] QWidget* tabNeighbour(QWidget* from, bool next) {
    for (QWidget* w = from;;) {
        w = next ? w->nextInFocusChain() : w->previousInFocusChain();
        if (w == nullptr || w == from)
            return nullptr;
        if (w->window() == from->window() && (w->focusPolicy() & Qt::TabFocus) == Qt::TabFocus &&
            w->isVisible() && w->isEnabled() && w->focusProxy() == nullptr)
            return w;
    }
}

// The input focus moves between our window and the embedded one through X itself: Qt does
// not activate a window of another process, and asking the window manager to activate ours
// would do nothing, since for it our window never stopped being the active one.
bool focusWindow(WId window) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || x11->connection() == nullptr || window == 0)
        return false;
    xcb_set_input_focus(x11->connection(), XCB_INPUT_FOCUS_PARENT,
                        static_cast<xcb_window_t>(window), XCB_CURRENT_TIME);
    xcb_flush(x11->connection());
    return true;
}

void takeKeyboardBack(QWidget& window) {
    if (!focusWindow(window.winId()))
        window.activateWindow();
}

} // namespace

ProcessBrowser::ProcessBrowser(QWidget* parent, std::chrono::milliseconds limit)
    : startLimit(limit), embedding(canEmbedForeignWindows()),
      area(embedding ? new QWidget(parent) : nullptr) {
    if (area) {
        auto* layout = new QVBoxLayout(area);
        layout->setContentsMargins(0, 0, 0, 0);
    }
}

ProcessBrowser::~ProcessBrowser() {
    // Let go of the helper's window first, so that it never shows on its own.
    detachWindow();
    endHelper();
}

QWidget* ProcessBrowser::widget() {
    return area;
}

QString ProcessBrowser::helperProgram() {
    const QString chosen = qEnvironmentVariable("QUILLMARK_BROWSER");
    if (!chosen.isEmpty())
        return chosen;
    const QDir here(QCoreApplication::applicationDirPath());
    // Relative to the program, so that an unpacked or relocated installation works too.
    const QString installed = QStringLiteral(QUILLMARK_INSTALLED_HELPER_DIR "/") + kHelperName;
    for (const QString& candidate : {here.filePath(kHelperName), here.filePath(installed),
                                     here.filePath(QStringLiteral("../browser/") + kHelperName)})
        if (QFileInfo(candidate).isExecutable())
            return QDir::cleanPath(candidate);
    return {};
}

void ProcessBrowser::navigate(const QString& address) {
    ensureRunning();
    send(browser_protocol::navigateLine(address));
}

// Without a helper nothing is loading, so there is nothing to stop.
void ProcessBrowser::stop() {
    if (helper && helper->state() == QProcess::Running)
        send(browser_protocol::stopLine());
}

// A helper that has ended (crashed, or failed to start earlier) is replaced.
void ProcessBrowser::ensureRunning() {
    if (helper && helper->state() == QProcess::Running)
        return;
    detachWindow();
    endHelper();
    const QString program = helperProgram();
    if (program.isEmpty())
        fail(QStringLiteral("%1 was not found").arg(kHelperName));
    start(program);
    try {
        awaitWindow();
        attachWindow();
        sendWindowTexts();
    } catch (...) {
        helper->kill(); // it has shown nothing worth a polite end
        endHelper();
        throw;
    }
}

void ProcessBrowser::start(const QString& program) {
    windowId = 0;
    helper = std::make_unique<QProcess>();
    helper->setProgram(program);
    QStringList arguments;
    if (!embedding)
        arguments << QStringLiteral("--window");
    // Its window groups under the program's icon and menu entry.
    if (const QString name = QGuiApplication::desktopFileName(); !name.isEmpty())
        arguments << QStringLiteral("--desktop-file-name") << name;
    helper->setArguments(arguments);
    // Its messages belong with ours; stdout carries only protocol lines.
    helper->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // On our display, whatever else the environment would choose.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QGuiApplication::platformName());
    helper->setProcessEnvironment(environment);
    // A whole browser engine must not run raised beside the transmitter link.
    quillmark::serial::startAtNormalPriority(*helper);
    connect(helper.get(), &QProcess::readyReadStandardOutput, this,
            &ProcessBrowser::readHelperOutput);
    connect(helper.get(), &QProcess::finished, this, &ProcessBrowser::helperEnded);
    helper->start(QIODevice::ReadWrite);
}

// The web engine replaces the view's native window when it first renders, so the helper
// reports every window it gets and the newest one is embedded.
void ProcessBrowser::readHelperOutput() {
    while (helper && helper->canReadLine()) {
        const QByteArray line = helper->readLine().trimmed();
        if (const auto focus = browser_protocol::parseFocusReport(line)) {
            followPageFocus(*focus);
            continue;
        }
        if (const auto report = browser_protocol::parseWindowReport(line)) {
            followWindowReport(*report);
            continue;
        }
        const auto reported = browser_protocol::parseWindowLine(line);
        if (!reported || *reported == windowId)
            continue;
        windowId = *reported;
        if (container) {
            delete container.data(); // its window is gone already
            embedWindow();
        }
    }
}

// Waits for the window line with the event loop running, so that timers and the serial
// line go on; the operator's input waits until the browser is there.
void ProcessBrowser::awaitWindow() {
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(helper.get(), &QProcess::readyReadStandardOutput, &loop, [&] {
        if (windowId != 0)
            loop.quit();
    });
    connect(helper.get(), &QProcess::finished, &loop, &QEventLoop::quit);
    connect(helper.get(), &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.start(startLimit);
    if (helper->state() != QProcess::NotRunning)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    readHelperOutput(); // a last line may come with the end of the process
    if (windowId == 0)
        fail(startFailure());
}

QString ProcessBrowser::startFailure() const {
    if (helper->error() == QProcess::FailedToStart)
        return helper->errorString();
    if (helper->state() == QProcess::NotRunning) {
        if (helper->exitStatus() == QProcess::CrashExit)
            return QStringLiteral("it crashed before showing its window");
        return QStringLiteral("it ended before showing its window (exit code %1)")
            .arg(helper->exitCode());
    }
    return QStringLiteral("it did not show its window within %1 seconds")
        .arg(std::chrono::duration<double>(startLimit).count());
}

void ProcessBrowser::attachWindow() {
    if (!area)
        return; // our window is being taken down, or the helper shows its own
    area->installEventFilter(this);
    qApp->installEventFilter(this); // clicks into our window while the page has the keys
    followArea();
}

void ProcessBrowser::embedWindow() {
    foreign = QWindow::fromWinId(static_cast<WId>(windowId));
    if (foreign == nullptr)
        return;
    container = QWidget::createWindowContainer(foreign, area);
    container->setFocusPolicy(Qt::StrongFocus);
    container->installEventFilter(this);
    area->layout()->addWidget(container);
}

// Our focus stays where the keys go: on the page's stop while the page has the keyboard, on
// the next control once the page passes it on.
void ProcessBrowser::followPageFocus(browser_protocol::FocusReport report) {
    if (!container || !embedding)
        return;
    using browser_protocol::FocusReport;
    pageHasKeyboard = report == FocusReport::Taken;
    if (pageHasKeyboard) {
        if (!container->hasFocus())
            container->setFocus(Qt::MouseFocusReason);
        return;
    }
    const bool next = report == FocusReport::Next;
    if (QWidget* target = tabNeighbour(container, next))
        target->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    takeKeyboardBack(*container->window());
}

// Closing our window destroys its native window and, with it, every window inside it. The
// helper's window goes back to the screen's root, unmapped, and is embedded again at the
// next opening.
void ProcessBrowser::releaseWindow() {
    if (foreign) {
        foreign->hide();
        foreign->setParent(nullptr);
    }
    delete container.data();
}

void ProcessBrowser::detachWindow() {
    releaseWindow();
    if (area)
        area->removeEventFilter(this);
    qApp->removeEventFilter(this);
    pageHasKeyboard = false;
}

void ProcessBrowser::send(const QByteArray& line) {
    if (!trySend(line)) {
        const QString reason = helper ? helper->errorString() : QString();
        throw std::runtime_error(
            QStringLiteral("The web browser has stopped: %1").arg(reason).toStdString());
    }
}

bool ProcessBrowser::trySend(const QByteArray& line) {
    if (!helper || helper->state() != QProcess::Running)
        return false;
    if (helper->write(line) != line.size())
        return false;
    if (helper->bytesToWrite() > 0 && !helper->waitForBytesWritten(milliseconds(kWriteLimit)))
        return false;
    return helper->state() == QProcess::Running;
}

bool ProcessBrowser::eventFilter(QObject* watched, QEvent* event) {
    // A click into our window takes the keyboard back from the page. A window manager would
    // not give it back: for it, our window never stopped being the active one.
    if (event->type() == QEvent::MouseButtonPress && pageHasKeyboard && area &&
        watched->isWidgetType() && watched != container &&
        static_cast<QWidget*>(watched)->window() == area->window()) {
        pageHasKeyboard = false;
        takeKeyboardBack(*area->window());
    }
    if (watched == container) {
        // The page's stop gives the page the keyboard; the page starts at its first element
        // when entered by Tab, at its last by Shift+Tab.
        if (event->type() == QEvent::FocusIn) {
            (void)focusWindow(static_cast<WId>(windowId));
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason == Qt::TabFocusReason)
                (void)trySend(browser_protocol::focusFirstLine());
            else if (reason == Qt::BacktabFocusReason)
                (void)trySend(browser_protocol::focusLastLine());
        }
        return QObject::eventFilter(watched, event);
    }
    if (!area || watched != area)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Hide:
        releaseWindow(); // now, before our native window may be destroyed
        break;
    case QEvent::Show:
        // After the event, when the window system has given the window its place.
        if (!placementPending) {
            placementPending = true;
            QTimer::singleShot(0, this, [this] {
                placementPending = false;
                followArea();
            });
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void ProcessBrowser::followArea() {
    if (area && helper && windowId != 0 && area->isVisible() && !container)
        embedWindow();
}

void ProcessBrowser::showWindow() {
    ensureRunning();
    windowRequested = true;
    send(browser_protocol::showLine());
}

// Called from the window's own handlers, which must not throw: a lost helper shows at the
// next opening.
void ProcessBrowser::hideWindow() {
    windowRequested = false;
    shown = false;
    (void)trySend(browser_protocol::hideLine());
}

void ProcessBrowser::setWindowTexts(const QString& title, const QString& address) {
    if (title == windowTitle && address == windowAddress)
        return;
    windowTitle = title;
    windowAddress = address;
    sendWindowTexts();
}

void ProcessBrowser::sendWindowTexts() {
    if (embedding)
        return;
    (void)trySend(browser_protocol::titleLine(windowTitle));
    (void)trySend(browser_protocol::addressLine(windowAddress));
}

void ProcessBrowser::setWindowHandler(WindowHandler handler) {
    windowHandler = std::move(handler);
}

void ProcessBrowser::followWindowReport(const browser_protocol::WindowReport& report) {
    using Kind = browser_protocol::WindowReport::Kind;
    if (embedding)
        return;
    switch (report.kind) {
    case Kind::Shown:
        shown = windowRequested;
        break;
    case Kind::Closed:
        windowRequested = false;
        shown = false;
        if (windowHandler)
            windowHandler({}, {});
        break;
    case Kind::Pressed:
        if (windowHandler && !report.button.isEmpty())
            windowHandler(report.button, report.address);
        break;
    }
}

// A crashed helper takes its window with it; the next opening starts another.
void ProcessBrowser::helperEnded() {
    const bool wasRequested = std::exchange(windowRequested, false);
    shown = false;
    if (wasRequested && windowHandler)
        windowHandler({}, {});
}

// Closing its stdin ends the helper; a helper that hangs is ended by force.
void ProcessBrowser::endHelper() {
    if (!helper)
        return;
    helper->disconnect(this);
    if (helper->state() != QProcess::NotRunning) {
        helper->closeWriteChannel();
        if (!helper->waitForFinished(milliseconds(kEndLimit))) {
            helper->kill();
            helper->waitForFinished(milliseconds(kEndLimit));
        }
    }
    helper.reset();
}
