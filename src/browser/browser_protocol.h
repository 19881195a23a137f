#pragma once

// The lines the program and its browser helper exchange over the helper's stdin and stdout.
// One command a line; addresses travel percent-encoded as UTF-8 so that any text, spaces,
// line breaks and "%" included, arrives exactly as the operator typed it.

#include <QByteArray>
#include <QByteArrayView>
#include <QRect>
#include <QString>

#include <optional>

namespace browser_protocol {

struct Command {
    enum class Kind { Navigate, Stop, Show, Hide, FocusFirst, FocusLast, Unknown };
    Kind kind = Kind::Unknown;
    QString address; // Navigate
    QRect area;      // Show: where on the screen, when the window is not embedded
};

// Program to helper.
[[nodiscard]] QByteArray navigateLine(const QString& address);
[[nodiscard]] QByteArray stopLine();
[[nodiscard]] QByteArray showLine(const QRect& area);
[[nodiscard]] QByteArray hideLine();
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

} // namespace browser_protocol
