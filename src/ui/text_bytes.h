#pragma once

// The edits hold 8-bit text: Latin-1 maps each byte to one character and back, so all 256
// byte values show and survive a round trip. The memo shows a stored CR LF as one line break,
// a lone LF as a line break within the paragraph and a lone CR as a visible mark, so that
// every combination of the two comes back as the bytes it was.

#include <QString>

#include <string>

namespace quillmark {

inline constexpr char16_t kMemoLoneLf = 0x2028; // line separator: breaks the line
inline constexpr char16_t kMemoLoneCr = 0x240D; // the symbol for carriage return

// A character the edits can store as a byte (the memo's line-break marks aside).
[[nodiscard]] inline bool storableInEdit(QChar c) {
    return c.unicode() <= 0xFF;
}

[[nodiscard]] inline bool storableInMemo(QChar c) {
    return storableInEdit(c) || c.unicode() == kMemoLoneLf || c.unicode() == kMemoLoneCr ||
           c == QChar::ParagraphSeparator;
}

// Characters that no byte stands for are refused at input; should one come from elsewhere
// it is left out rather than replaced by a substitute byte.
[[nodiscard]] inline std::string editBytes(const QString& text) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    for (const QChar c : text)
        if (storableInEdit(c))
            bytes.push_back(static_cast<char>(c.unicode()));
    return bytes;
}

[[nodiscard]] inline QString editText(const std::string& bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

[[nodiscard]] inline std::string memoBytes(const QString& text) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()) * 2);
    for (const QChar c : text) {
        if (c == QLatin1Char('\n') || c == QChar::ParagraphSeparator)
            bytes += "\r\n";
        else if (c.unicode() == kMemoLoneLf)
            bytes += '\n';
        else if (c.unicode() == kMemoLoneCr)
            bytes += '\r';
        else if (storableInEdit(c))
            bytes.push_back(static_cast<char>(c.unicode()));
    }
    return bytes;
}

[[nodiscard]] inline QString memoText(const std::string& bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            text += QLatin1Char('\n');
            ++i;
        } else if (b == '\n') {
            text += QChar(kMemoLoneLf);
        } else if (b == '\r') {
            text += QChar(kMemoLoneCr);
        } else {
            text += QChar(char16_t(b));
        }
    }
    return text;
}

} // namespace quillmark
