#include "character_strip.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

namespace {

const QColor kBackground{20, 24, 20};
const QColor kLit{255, 176, 32};
const QColor kMarked{200, 40, 40};
constexpr int kPadding = 4;

class StripAccessible : public QAccessibleWidget {
public:
    explicit StripAccessible(CharacterStrip* strip)
        : QAccessibleWidget(strip, QAccessible::StaticText) {}
    [[nodiscard]] QString text(QAccessible::Text t) const override {
        auto* strip = static_cast<CharacterStrip*>(widget());
        if (t == QAccessible::Value)
            return strip->accessibleValue();
        if (t == QAccessible::Description) {
            QStringList marks;
            for (const ReceiverCell& cell : strip->cells())
                if (cell.differs())
                    marks << cell.difference();
            return marks.join(QStringLiteral(". "));
        }
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* stripAccessible(const QString& key, QObject* object) {
    if (key == QLatin1String("CharacterStrip"))
        return new StripAccessible(static_cast<CharacterStrip*>(object));
    return nullptr;
}

} // namespace

CharacterStrip::CharacterStrip(QWidget* parent) : QWidget(parent) {
    static const bool installed = (QAccessible::installFactory(stripAccessible), true);
    (void)installed;
    setFocusPolicy(Qt::StrongFocus);
    QFont display(QStringLiteral("Monospace"));
    display.setStyleHint(QFont::TypeWriter);
    display.setPointSize(16);
    display.setBold(true);
    setFont(display);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void CharacterStrip::setCells(const QList<ReceiverCell>& cells) {
    const bool resized = cells.size() != cells_.size();
    cells_ = cells;
    if (resized)
        updateGeometry();
    setAccessibleValue(shownLine(cells_));
    update();
}

void CharacterStrip::setAccessibleValue(const QString& value) {
    if (value == value_)
        return;
    value_ = value;
    QAccessibleValueChangeEvent change(this, value_);
    QAccessible::updateAccessibility(&change);
}

QSize CharacterStrip::cellSize() const {
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(QLatin1Char('W')) + 2, metrics.height() + 4};
}

QSize CharacterStrip::sizeHint() const {
    const QSize cell = cellSize();
    return {static_cast<int>(std::max<qsizetype>(cells_.size(), 1)) * cell.width() + 2 * kPadding,
            cell.height() + 2 * kPadding};
}

int CharacterStrip::cellAt(QPoint point) const {
    const int index = (point.x() - kPadding) / cellSize().width();
    return point.x() >= kPadding && index < cells_.size() ? index : -1;
}

void CharacterStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    const QSize cell = cellSize();
    for (int i = 0; i < cells_.size(); ++i) {
        const QRect box(kPadding + i * cell.width(), kPadding, cell.width(), cell.height());
        if (cells_[i].differs()) {
            painter.fillRect(box.adjusted(1, box.height() - 3, -1, 0), kMarked);
            painter.setPen(kMarked);
            painter.drawRect(box.adjusted(0, 0, -1, -1));
        }
        painter.setPen(kLit);
        painter.drawText(box, Qt::AlignCenter, cells_[i].shown);
    }
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.drawRect(rect().adjusted(1, 1, -1, -1));
    }
}

bool CharacterStrip::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const int index = cellAt(help->pos());
        const QString tip = index >= 0 ? cells_[index].difference() : QString();
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, this);
        return true;
    }
    return QWidget::event(event);
}
