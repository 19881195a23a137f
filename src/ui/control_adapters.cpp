#include "control_adapters.h"

#include "text_bytes.h"

#include <QApplication>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QProxyStyle>
#include <QTextCursor>
#include <QTextDocument>
#include <QValidator>

#include <algorithm>

namespace {

class ListPopupStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_ComboBox_Popup)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// One style for every list, owned by the application; a widget never owns its style.
QStyle* listPopupStyle() {
    static QPointer<QStyle> style;
    if (!style) {
        style = new ListPopupStyle;
        style->setParent(QCoreApplication::instance());
    }
    return style;
}

} // namespace

DropDownComboBox::DropDownComboBox(QWidget* parent) : QComboBox(parent) {}

void DropDownComboBox::showPopup() {
    emit dropDown();
    // Set at the first drop-down, not at construction: a style change builds the list's view,
    // which for thirty lists was a seventh of the start-up.
    if (style() != listPopupStyle())
        setStyle(listPopupStyle());
    QComboBox::showPopup();
}

namespace {

class StorableTextValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& /*pos*/) const override {
        return std::all_of(input.cbegin(), input.cend(), quillmark::storableInEdit) ? Acceptable
                                                                                    : Invalid;
    }
};

} // namespace

ClickLineEdit::ClickLineEdit(QWidget* parent) : QLineEdit(parent) {
    setValidator(new StorableTextValidator(this));
}

void ClickLineEdit::mousePressEvent(QMouseEvent* event) {
    QLineEdit::mousePressEvent(event);
    if (event->button() == Qt::LeftButton)
        emit clicked();
}

void ClickLineEdit::mouseDoubleClickEvent(QMouseEvent* event) {
    mousePressEvent(event);
}

MemoEdit::MemoEdit(QWidget* parent) : QPlainTextEdit(parent) {
    connect(this, &QPlainTextEdit::textChanged, this, &MemoEdit::enforceLimit);
}

int MemoEdit::storedLength(const QString& text) {
    return static_cast<int>(text.size() + text.count(QLatin1Char('\n')));
}

void MemoEdit::enforceLimit() {
    if (reverting_)
        return;
    const QString now = toPlainText();
    const bool storable = std::all_of(now.cbegin(), now.cend(), quillmark::storableInMemo);
    // Shortening is always allowed, also for text the program set beyond the limit.
    if (storable &&
        (storedLength(now) <= maxLength_ || storedLength(now) <= storedLength(accepted_))) {
        accepted_ = now;
        return;
    }
    // Put back the last text within the limit; the cursor stays where the input was refused.
    const auto inserted = static_cast<int>(now.size() - accepted_.size());
    const int position =
        std::clamp(textCursor().position() - inserted, 0, static_cast<int>(accepted_.size()));
    setStoredText(accepted_);
    QTextCursor cursor = textCursor();
    cursor.setPosition(position);
    setTextCursor(cursor);
}

QString MemoEdit::toPlainText() const {
    QString text = document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

void MemoEdit::insertFromMimeData(const QMimeData* source) {
    if (!source->hasText())
        return;
    // Line ends arrive as the document will hold them: each one a paragraph break.
    QString text = source->text();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (!std::all_of(text.cbegin(), text.cend(), quillmark::storableInMemo))
        return;
    QTextCursor cursor = textCursor();
    QString selected = cursor.selectedText();
    selected.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    int room = maxLength_ - (storedLength(toPlainText()) - storedLength(selected));
    qsizetype fits = 0;
    for (; fits < text.size(); ++fits) {
        room -= text[fits] == QLatin1Char('\n') ? 2 : 1;
        if (room < 0)
            break;
    }
    cursor.insertText(text.left(fits));
    setTextCursor(cursor);
}

void MemoEdit::setStoredText(const QString& text) {
    reverting_ = true;
    setPlainText(text);
    accepted_ = text;
    reverting_ = false;
}

NotebookTabBar::NotebookTabBar(QWidget* parent) : QTabBar(parent) {
    // Connected before the tab widget's own connection, so this runs before the page switch.
    connect(this, &QTabBar::currentChanged, this, &NotebookTabBar::changing);
}

Notebook::Notebook(QWidget* parent) : QTabWidget(parent) {
    auto* bar = new NotebookTabBar(this);
    connect(bar, &NotebookTabBar::changing, this, &Notebook::changing);
    setTabBar(bar);
}

QFont dialogFont(const QWidget& widget) {
    QFont font = widget.font();
    font.setPointSize(8);
    return font;
}

NotebookPage::NotebookPage(QWidget* parent) : QWidget(parent) {
    setFont(dialogFont(*this));
}
