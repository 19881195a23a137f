#pragma once

// A receiver's character display: one cell per character, cells a radio shows differently
// from what was typed are marked and tell, under the mouse, what the radio will show. Its
// accessible value is the text it shows.

#include "receiver_text.h"

#include <QWidget>

class CharacterStrip : public QWidget {
    Q_OBJECT
public:
    explicit CharacterStrip(QWidget* parent = nullptr);

    void setCells(const QList<ReceiverCell>& cells);
    [[nodiscard]] const QList<ReceiverCell>& cells() const { return cells_; }
    // What a screen reader reads; the shown cells unless set otherwise (a scrolling text
    // gives its whole line).
    void setAccessibleValue(const QString& value);
    [[nodiscard]] QString accessibleValue() const { return value_; }

    [[nodiscard]] QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    [[nodiscard]] QSize cellSize() const;
    [[nodiscard]] int cellAt(QPoint point) const;

    QList<ReceiverCell> cells_;
    QString value_;
};
