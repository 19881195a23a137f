#include "browser_protocol.h"

#include <utility>

namespace browser_protocol {

namespace {

constexpr QByteArrayView kNavigate = "navigate";
constexpr QByteArrayView kStop = "stop";
constexpr QByteArrayView kShow = "show";
constexpr QByteArrayView kHide = "hide";
constexpr QByteArrayView kWindow = "window";
constexpr QByteArrayView kFocusFirst = "focus first";
constexpr QByteArrayView kFocusLast = "focus last";
constexpr QByteArrayView kFocusTaken = "focus taken";
constexpr QByteArrayView kFocusNext = "focus next";
constexpr QByteArrayView kFocusPrevious = "focus previous";
constexpr QByteArrayView kTitle = "title";
constexpr QByteArrayView kAddress = "address";
constexpr QByteArrayView kPressed = "pressed";
constexpr QByteArrayView kClosed = "closed";
constexpr QByteArrayView kShown = "shown";

// Splits "word rest" at the first space; rest is empty when there is none.
std::pair<QByteArrayView, QByteArrayView> splitWord(QByteArrayView line) {
    const qsizetype space = line.indexOf(' ');
    if (space < 0)
        return {line, {}};
    return {line.first(space), line.sliced(space + 1)};
}

QByteArray encoded(const QString& text) {
    return text.toUtf8().toPercentEncoding();
}

QString decoded(QByteArrayView text) {
    return QString::fromUtf8(QByteArray::fromPercentEncoding(text.toByteArray()));
}

QByteArray lineWithText(QByteArrayView word, const QString& text) {
    return word.toByteArray() + ' ' + encoded(text) + '\n';
}

} // namespace

QByteArray navigateLine(const QString& address) {
    return lineWithText(kNavigate, address);
}

QByteArray stopLine() {
    return kStop.toByteArray() + '\n';
}

QByteArray showLine() {
    return kShow.toByteArray() + '\n';
}

QByteArray titleLine(const QString& title) {
    return lineWithText(kTitle, title);
}

QByteArray addressLine(const QString& address) {
    return lineWithText(kAddress, address);
}

QByteArray hideLine() {
    return kHide.toByteArray() + '\n';
}

QByteArray focusFirstLine() {
    return kFocusFirst.toByteArray() + '\n';
}

QByteArray focusLastLine() {
    return kFocusLast.toByteArray() + '\n';
}

Command parseCommand(QByteArrayView line) {
    using Kind = Command::Kind;
    for (const auto& [name, kind] :
         {std::pair{kStop, Kind::Stop}, std::pair{kShow, Kind::Show}, std::pair{kHide, Kind::Hide},
          std::pair{kFocusFirst, Kind::FocusFirst}, std::pair{kFocusLast, Kind::FocusLast}})
        if (line == name)
            return {kind, {}};
    const auto [word, rest] = splitWord(line);
    if (line.size() == word.size())
        return {}; // a text command needs its space, even before an empty text
    for (const auto& [name, kind] :
         {std::pair{kNavigate, Kind::Navigate}, std::pair{kTitle, Kind::Title},
          std::pair{kAddress, Kind::Address}})
        if (word == name)
            return {kind, decoded(rest)};
    return {};
}

QByteArray windowLine(quint64 windowId) {
    return kWindow.toByteArray() + ' ' + QByteArray::number(windowId) + '\n';
}

std::optional<quint64> parseWindowLine(QByteArrayView line) {
    const auto [word, rest] = splitWord(line);
    if (word != kWindow || rest.isEmpty())
        return std::nullopt;
    bool ok = false;
    const quint64 id = rest.toULongLong(&ok);
    if (!ok || id == 0) // no window has id 0
        return std::nullopt;
    return id;
}

QByteArray focusReportLine(FocusReport report) {
    switch (report) {
    case FocusReport::Taken:
        return kFocusTaken.toByteArray() + '\n';
    case FocusReport::Next:
        return kFocusNext.toByteArray() + '\n';
    case FocusReport::Previous:
        return kFocusPrevious.toByteArray() + '\n';
    }
    return {};
}

std::optional<FocusReport> parseFocusReport(QByteArrayView line) {
    if (line == kFocusTaken)
        return FocusReport::Taken;
    if (line == kFocusNext)
        return FocusReport::Next;
    if (line == kFocusPrevious)
        return FocusReport::Previous;
    return std::nullopt;
}

QByteArray pressedLine(const QString& button, const QString& address) {
    return kPressed.toByteArray() + ' ' + encoded(button) + ' ' + encoded(address) + '\n';
}

QByteArray closedLine() {
    return kClosed.toByteArray() + '\n';
}

QByteArray shownLine() {
    return kShown.toByteArray() + '\n';
}

std::optional<WindowReport> parseWindowReport(QByteArrayView line) {
    using Kind = WindowReport::Kind;
    if (line == kClosed)
        return WindowReport{Kind::Closed, {}, {}};
    if (line == kShown)
        return WindowReport{Kind::Shown, {}, {}};
    const auto [word, rest] = splitWord(line);
    if (word != kPressed || rest.isEmpty())
        return std::nullopt;
    // The program reads lines trimmed: an empty address may have lost its separator.
    const auto [button, address] = splitWord(rest);
    if (button.isEmpty())
        return std::nullopt;
    return WindowReport{Kind::Pressed, decoded(button), decoded(address)};
}

} // namespace browser_protocol
