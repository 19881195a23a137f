#pragma once

// Shell services: the message boxes and station-file dialogs on Qt, and the text rule of
// the standard error box.

#include "dialogs.h"

#include <QString>

#include <chrono>
#include <functional>

class QWidget;

inline const QString kApplicationTitle = QStringLiteral("Quillmark 2.4");

// The failure's message with a full stop appended when it ends in a character above '.'.
[[nodiscard]] QString standardErrorText(const QString& message);

// The windows open centred on the screen, not over their owner.
void centreOnScreen(QWidget& window);
// Centres the window at each opening, once it has its final size (menu bar included), and
// again when the window manager has put its frame around it, so that the frame is centred.
void centreWhenShown(QWidget& window);
// Runs work once the window's first frame has been drawn, or at `latest` if it is not drawn
// by then (a window started minimised): what that frame does not need waits for it.
void runAfterFirstPaint(QWidget& window, std::chrono::milliseconds latest,
                        std::function<void()> work);
// Runs work when the widget is first shown, before it is drawn.
void runAtFirstShow(QWidget& widget, std::function<void()> work);

class QtDialogs : public Dialogs {
public:
    Answer question(QWidget* parent, const QString& text) override;
    void errorMessage(QWidget* parent, const QString& text) override;
    void plainMessage(QWidget* parent, const QString& text) override;
    void standardError(QWidget* parent, const QString& text) override;
    std::optional<QString> openStationFile(QWidget* parent) override;
    std::optional<QString> saveStationFile(QWidget* parent) override;

private:
    QString folder_; // the dialogs reopen in the folder used last
};
