#pragma once

// Controls that raise the events the window's handlers are written against: a list that
// announces its drop-down, an edit that announces clicks, a memo with a length limit and a
// notebook that announces a page change before the new page is shown, and its pages.

#include <QComboBox>
#include <QFont>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QTabWidget>

// Drops down as a scrolling list of maxVisibleItems rows, whatever the style: styles such as
// Fusion open a pick-only list as a menu of all its items, which for 256 items fills the screen.
class DropDownComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit DropDownComboBox(QWidget* parent = nullptr);
    void showPopup() override;

signals:
    // Before the items show, so the handler still sees the selection being left.
    void dropDown();
};

// Refuses input holding a character that no byte stands for; a paste past the length limit
// is cut at the limit.
class ClickLineEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit ClickLineEdit(QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    // Every click counts, the second of a double click too: it places the cursor like the
    // first rather than selecting a word.
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

// A plain-text memo whose length counts a line break as two characters (CR LF), the way
// the text is stored; typing beyond the limit or a character no byte stands for is refused,
// a paste is cut at the limit.
class MemoEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit MemoEdit(QWidget* parent = nullptr);
    void setMaxLength(int length) { maxLength_ = length; }
    [[nodiscard]] int maxLength() const { return maxLength_; }
    [[nodiscard]] static int storedLength(const QString& text);
    // Text set by the program (a refresh or a reply) is shown as it is, even past the limit.
    void setStoredText(const QString& text);
    // The text exactly as shown, paragraph breaks as '\n', line separators kept. Hides the
    // base version on purpose: that one turns a no-break space (byte 0xA0) into a plain space.
    [[nodiscard]] QString toPlainText() const;

protected:
    void insertFromMimeData(const QMimeData* source) override;

private:
    void enforceLimit();

    int maxLength_ = 64;
    QString accepted_;
    bool reverting_ = false;
};

class NotebookTabBar : public QTabBar {
    Q_OBJECT
public:
    explicit NotebookTabBar(QWidget* parent = nullptr);

signals:
    void changing(int newPage);
};

class Notebook : public QTabWidget {
    Q_OBJECT
public:
    explicit Notebook(QWidget* parent = nullptr);

signals:
    // Raised for every change of page, from the operator or from code, while the old page
    // is still the one shown.
    void changing(int newPage);
};

// The font the window's controls were laid out for: the application font at 8 points.
[[nodiscard]] QFont dialogFont(const QWidget& widget);

// A notebook page carries the dialog font from its creation. Pages are built before they are
// put in the notebook; with the font already theirs, that move tells no control of a font
// change (a list would build its drop-down for one).
class NotebookPage : public QWidget {
    Q_OBJECT
public:
    explicit NotebookPage(QWidget* parent = nullptr);
};
