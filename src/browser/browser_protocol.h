#pragma once

// The lines the program and its browser helper exchange over the helper's stdin and stdout.
// One command a line; texts travel percent-encoded as UTF-8 so that any text, spaces,
// line breaks and "%" included, arrives exactly as the operator typed it.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace browser_protocol {

struct Command {
    enum class Kind { Navigate, Stop, Show, Hide, FocusFirst, FocusLast, Title, Address, Unknown };
    Kind kind = Kind::Unknown;
    QString text; // Navigate, Title, Address
};

// Program to helper.
[[nodiscard]] QByteArray navigateLine(const QString& address);
[[nodiscard]] QByteArray stopLine();
// Where the helper shows the whole window itself: show and raise it, hide it, and the texts
// of its title and address field.
[[nodiscard]] QByteArray showLine();
[[nodiscard]] QByteArray hideLine();
[[nodiscard]] QByteArray titleLine(const QString& title);
[[nodiscard]] QByteArray addressLine(const QString& address);
// The keyboard enters the page by Tab (its first element) or Shift+Tab (its last).
[[nodiscard]] QByteArray focusFirstLine();
[[nodiscard]] QByteArray focusLastLine();
// The line without its terminating newline.
[[nodiscard]] Command parseCommand(QByteArrayView line);

// Helper to program, once its view exists.
[[nodiscard]] QByteArray windowLine(quint64 windowId);
[[nodiscard]] std::optional<quint64> parseWindowLine(QByteArrayView line);

// Helper to program: the keyboard is in the page (a click into it), or the page passes it on
// past its last or first element.
enum class FocusReport { Taken, Next, Previous };
[[nodiscard]] QByteArray focusReportLine(FocusReport report);
[[nodiscard]] std::optional<FocusReport> parseFocusReport(QByteArrayView line);

// Helper to program, from the window it shows itself: the operator pressed a button (named
// as in the form) with this text in the address field; the window was closed from its
// title bar; the window is on the screen.
struct WindowReport {
    enum class Kind { Pressed, Closed, Shown };
    Kind kind = Kind::Closed;
    QString button;
    QString address;
    bool operator==(const WindowReport&) const = default;
};
[[nodiscard]] QByteArray pressedLine(const QString& button, const QString& address);
[[nodiscard]] QByteArray closedLine();
[[nodiscard]] QByteArray shownLine();
[[nodiscard]] std::optional<WindowReport> parseWindowReport(QByteArrayView line);

} // namespace browser_protocol
