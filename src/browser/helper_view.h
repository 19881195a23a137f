#pragma once

#include <QWebEngineView>

// Embedded, the web view is one stop in the program's tab order. Tab past the page's last element
// (or Shift+Tab past its first) hands the keyboard back to the program instead of wrapping round
// inside the page; entering by Tab or Shift+Tab starts at the first or last element. The
// view takes the keyboard only when it has the input focus (a click into the page, or the
// program passing it on), so keys typed with the pointer resting over the page still reach
// the program's focused control.
class HelperView : public QWebEngineView {
public:
    // Not embedded, it is an ordinary view inside the helper's own window.
    explicit HelperView(bool embedded);

    // The program has given us the input focus; the command may arrive before the window
    // system tells us so.
    void enterBy(Qt::FocusReason reason);
    // Keys are taken only while the view has the input focus.
    void selectKeysForFocus();

protected:
    bool focusNextPrevChild(bool next) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void focusWindowChanged(QWindow* window);
    void enter(Qt::FocusReason reason);

    bool embedded;
    Qt::FocusReason pendingEntry = Qt::OtherFocusReason;
};

// Writes one protocol line to the program.
void writeLine(const QByteArray& line);
