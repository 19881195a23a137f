#include "shell.h"

#include <QEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <QWindow>

QString standardErrorText(const QString& message) {
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

void centreOnScreen(QWidget& window) {
    const QScreen* screen = window.screen();
    if (screen == nullptr)
        return;
    // The window handle knows the frame as soon as the window manager has put it on; the
    // widget's own frame geometry learns it only at the next move.
    QWindow* handle = window.windowHandle();
    const QMargins margins = handle ? handle->frameMargins() : QMargins();
    QRect frame = window.geometry().marginsAdded(margins);
    frame.moveCenter(screen->availableGeometry().center());
    if (handle && !margins.isNull())
        handle->setFramePosition(frame.topLeft());
    else
        window.move(frame.topLeft());
}

namespace {

class CentreWhenShown : public QObject {
public:
    explicit CentreWhenShown(QWidget& window) : QObject(&window), window_(window) {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != &window_)
            return false;
        switch (event->type()) {
        case QEvent::Show:
            // Sent once the layout has sized the window and before it is mapped.
            if (!event->spontaneous()) {
                centreOnScreen(window_);
                awaitingFrame_ = true;
            }
            break;
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::WindowActivate:
            if (awaitingFrame_ && window_.windowHandle() &&
                !window_.windowHandle()->frameMargins().isNull()) {
                awaitingFrame_ = false;
                centreOnScreen(window_);
            }
            // By its first activation a window manager has framed the window, if there is one.
            if (event->type() == QEvent::WindowActivate)
                awaitingFrame_ = false;
            break;
        default:
            break;
        }
        return false;
    }

private:
    QWidget& window_;
    bool awaitingFrame_ = false;
};

} // namespace

void centreWhenShown(QWidget& window) {
    new CentreWhenShown(window); // a child of the window
}

namespace {

// Runs work once, at the widget's first event of a type: at once, or queued behind it.
class AtFirstEvent : public QObject {
public:
    AtFirstEvent(QWidget& widget, QEvent::Type type, bool queued, std::function<void()> work)
        : QObject(&widget), widget_(widget), type_(type), queued_(queued), work_(std::move(work)) {
        widget.installEventFilter(this);
    }

    void fire() {
        if (fired_)
            return;
        fired_ = true;
        widget_.removeEventFilter(this);
        // A queued run is gone with the widget if the widget goes first.
        const auto run = [this] {
            work_();
            deleteLater();
        };
        if (queued_)
            QTimer::singleShot(0, this, run);
        else
            run();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &widget_ && event->type() == type_)
            fire();
        return false;
    }

private:
    QWidget& widget_;
    QEvent::Type type_;
    bool queued_;
    bool fired_ = false;
    std::function<void()> work_;
};

} // namespace

void runAfterFirstPaint(QWidget& window, std::chrono::milliseconds latest,
                        std::function<void()> work) {
    auto* once = new AtFirstEvent(window, QEvent::Paint, true, std::move(work)); // a child
    QTimer::singleShot(latest, once, [once] { once->fire(); });
}

void runAtFirstShow(QWidget& widget, std::function<void()> work) {
    new AtFirstEvent(widget, QEvent::Show, false, std::move(work));
}

namespace {

void centreOnScreen(QMessageBox& box, QWidget* parent) {
    QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    box.adjustSize();
    box.move(screen->availableGeometry().center() - box.rect().center());
}

// Enter chooses OK when the box has it and Yes otherwise; Escape No when present, else OK.
QMessageBox::StandardButton showBox(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                                    const QString& text, bool yesNo) {
    const auto buttons = yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok;
    QMessageBox box(icon, caption, text, buttons, parent);
    // Texts carry names from devices, servers and files: never markup.
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(yesNo ? QMessageBox::Yes : QMessageBox::Ok);
    box.setEscapeButton(yesNo ? QMessageBox::No : QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    centreOnScreen(box, parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

const QString kJsonStationFilter = QStringLiteral("Estación JSON (*.json)");

std::optional<QString> runStationDialog(QWidget* parent, QFileDialog::AcceptMode mode,
                                        QString& folder) {
    QFileDialog dialog(parent);
    // The raw form stays the default; the JSON form is the one quillmark-cli reviews.
    dialog.setNameFilters({QStringLiteral("Archivo RDS (*.rds)"), kJsonStationFilter});
    dialog.setDefaultSuffix(QStringLiteral("rds"));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& f) {
        dialog.setDefaultSuffix(f == kJsonStationFilter ? QStringLiteral("json")
                                                        : QStringLiteral("rds"));
    });
    dialog.setAcceptMode(mode);
    // The program asks before replacing a file; an open may name a file that is not there.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!folder.isEmpty())
        dialog.setDirectory(folder);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    folder = dialog.directory().absolutePath();
    return dialog.selectedFiles().first();
}

} // namespace

Dialogs::Answer QtDialogs::question(QWidget* parent, const QString& text) {
    const auto chosen =
        showBox(parent, QMessageBox::Information, QStringLiteral("Information"), text, true);
    return chosen == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

void QtDialogs::errorMessage(QWidget* parent, const QString& text) {
    showBox(parent, QMessageBox::Critical, QStringLiteral("Error"), text, false);
}

void QtDialogs::plainMessage(QWidget* parent, const QString& text) {
    showBox(parent, QMessageBox::NoIcon, kApplicationTitle, text, false);
}

void QtDialogs::standardError(QWidget* parent, const QString& text) {
    showBox(parent, QMessageBox::Critical, kApplicationTitle, text, false);
}

std::optional<QString> QtDialogs::openStationFile(QWidget* parent) {
    return runStationDialog(parent, QFileDialog::AcceptOpen, folder_);
}

std::optional<QString> QtDialogs::saveStationFile(QWidget* parent) {
    return runStationDialog(parent, QFileDialog::AcceptSave, folder_);
}
