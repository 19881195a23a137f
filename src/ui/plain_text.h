#pragma once

// Text from outside (device strings, process names, host and file names, system texts) is
// data: a label shows it as it is, and a tooltip, which Qt reads as markup whenever the text
// looks like some, gets it escaped.

#include <QLabel>
#include <QString>
#include <QTextDocument>

[[nodiscard]] inline QString plainToolTip(const QString& text) {
    // The same test the tooltip makes: text it takes as plain stays as it is.
    if (!Qt::mightBeRichText(text))
        return text;
    return QStringLiteral("<p style=\"white-space:pre-wrap\">") + text.toHtmlEscaped() +
           QStringLiteral("</p>");
}

inline void showPlainText(QLabel* label) {
    label->setTextFormat(Qt::PlainText);
}
