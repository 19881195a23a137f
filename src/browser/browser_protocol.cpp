#include "browser_protocol.h"

#include <QList>

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

// Splits "word rest" at the first space; rest is empty when there is none.
std::pair<QByteArrayView, QByteArrayView> splitWord(QByteArrayView line) {
    const qsizetype space = line.indexOf(' ');
    if (space < 0)
        return {line, {}};
    return {line.first(space), line.sliced(space + 1)};
}

std::optional<QRect> parseArea(QByteArrayView text) {
    const QList<QByteArray> fields = text.toByteArray().split(' ');
    if (fields.size() != 4)
        return std::nullopt;
    int values[4] = {};
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        values[i] = fields[i].toInt(&ok);
        if (!ok)
            return std::nullopt;
    }
    if (values[2] < 0 || values[3] < 0)
        return std::nullopt;
    return QRect(values[0], values[1], values[2], values[3]);
}

} // namespace

QByteArray navigateLine(const QString& address) {
    return kNavigate.toByteArray() + ' ' + address.toUtf8().toPercentEncoding() + '\n';
}

QByteArray stopLine() {
    return kStop.toByteArray() + '\n';
}

QByteArray showLine(const QRect& area) {
    return kShow.toByteArray() + ' ' + QByteArray::number(area.x()) + ' ' +
           QByteArray::number(area.y()) + ' ' + QByteArray::number(area.width()) + ' ' +
           QByteArray::number(area.height()) + '\n';
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
    const auto [word, rest] = splitWord(line);
    if (word == kNavigate && line.size() > word.size())
        return {Command::Kind::Navigate,
                QString::fromUtf8(QByteArray::fromPercentEncoding(rest.toByteArray())),
                {}};
    if (line == kStop)
        return {Command::Kind::Stop, {}, {}};
    if (line == kHide)
        return {Command::Kind::Hide, {}, {}};
    if (line == kFocusFirst)
        return {Command::Kind::FocusFirst, {}, {}};
    if (line == kFocusLast)
        return {Command::Kind::FocusLast, {}, {}};
    if (word == kShow)
        if (const auto area = parseArea(rest))
            return {Command::Kind::Show, {}, *area};
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

} // namespace browser_protocol
