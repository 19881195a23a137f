#include "browser_process.h"

#include "browser_protocol.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QEventLoop>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include <stdexcept>

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

} // namespace

ProcessBrowser::ProcessBrowser(QWidget* parent, std::chrono::milliseconds limit)
    : startLimit(limit), area(new QWidget(parent)) {
    auto* layout = new QVBoxLayout(area);
    layout->setContentsMargins(0, 0, 0, 0);
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
    // Its messages belong with ours; stdout carries only protocol lines.
    helper->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (canEmbedForeignWindows())
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QGuiApplication::platformName());
    helper->setProcessEnvironment(environment);
    connect(helper.get(), &QProcess::readyReadStandardOutput, this,
            &ProcessBrowser::readHelperOutput);
    helper->start(QIODevice::ReadWrite);
}

// The web engine replaces the view's native window when it first renders, so the helper
// reports every window it gets and the newest one is embedded.
void ProcessBrowser::readHelperOutput() {
    while (helper && helper->canReadLine()) {
        const auto reported = browser_protocol::parseWindowLine(helper->readLine().trimmed());
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
        return; // our window is being taken down
    embedding = canEmbedForeignWindows();
    area->installEventFilter(this);
    if (!embedding)
        area->window()->installEventFilter(this); // its own window follows ours around
    followArea();
}

void ProcessBrowser::embedWindow() {
    foreign = QWindow::fromWinId(static_cast<WId>(windowId));
    if (foreign == nullptr)
        return;
    container = QWidget::createWindowContainer(foreign, area);
    container->setFocusPolicy(Qt::StrongFocus);
    area->layout()->addWidget(container);
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
    if (area) {
        area->removeEventFilter(this);
        area->window()->removeEventFilter(this);
    }
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
    switch (event->type()) {
    case QEvent::Hide:
        if (embedding && watched == area) {
            releaseWindow(); // now, before our native window may be destroyed
            break;
        }
        [[fallthrough]];
    case QEvent::Show:
    case QEvent::Move:
    case QEvent::Resize:
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

// Called from event handlers, which must not throw: a lost helper shows at the next navigation.
void ProcessBrowser::followArea() {
    if (!area || !helper || windowId == 0)
        return;
    if (embedding) {
        if (area->isVisible() && !container)
            embedWindow();
        return;
    }
    const QRect onScreen(area->mapToGlobal(QPoint(0, 0)), area->size());
    (void)trySend(area->isVisible() ? browser_protocol::showLine(onScreen)
                                    : browser_protocol::hideLine());
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
