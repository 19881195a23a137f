#include "receiver_text.h"

#include "rds/character_table.h"
#include "text_bytes.h"

using namespace quillmark;

namespace {

QString typedCharacter(Byte b) {
    switch (b) {
    case '\r':
    case '\n':
        return QStringLiteral("salto de línea");
    default:
        return editText(std::string(1, static_cast<char>(b)));
    }
}

} // namespace

QString ReceiverCell::difference() const {
    if (!differs())
        return {};
    const QString code = QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
    if (shown.isEmpty())
        return QStringLiteral("Escrito «%1» (código %2): la radio no muestra nada aquí")
            .arg(typed, code);
    return QStringLiteral("Escrito «%1» (código %2): la radio mostrará «%3»")
        .arg(typed, code, shown);
}

QList<ReceiverCell> receiverCells(std::span<const Byte> bytes) {
    QList<ReceiverCell> cells;
    cells.reserve(static_cast<qsizetype>(bytes.size()));
    for (const Byte b : bytes) {
        const char32_t c = rds::receiverCharacter(b);
        const QString shown = c == 0 ? QString() : QString::fromUcs4(&c, 1);
        // Same rule as the table: a byte shows as typed when its character is its Latin-1 one.
        cells.append({shown, rds::shownDifferently(b) ? typedCharacter(b) : shown, b});
    }
    return cells;
}

QString shownLine(const QList<ReceiverCell>& cells) {
    QString line;
    for (const ReceiverCell& cell : cells)
        line += cell.shown.isEmpty() ? QStringLiteral(" ") : cell.shown;
    return line;
}
