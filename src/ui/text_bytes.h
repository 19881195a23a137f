#pragma once

// The edits hold 8-bit text: Latin-1 maps each byte to one character and back, so all 256
// byte values show and survive a round trip. The memo shows a stored CR LF as one line break.

#include <QString>

#include <string>

namespace quillmark {

[[nodiscard]] inline std::string editBytes(const QString& text) {
    return text.toLatin1().toStdString();
}

[[nodiscard]] inline QString editText(const std::string& bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

[[nodiscard]] inline std::string memoBytes(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return editBytes(text);
}

[[nodiscard]] inline QString memoText(const std::string& bytes) {
    return editText(bytes).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

} // namespace quillmark
