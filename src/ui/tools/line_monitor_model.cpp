#include "line_monitor_model.h"

#include "core/hex_bytes.h"
#include "core/line_item_text.h"

#include <QColor>

#include <algorithm>

using quillmark::LineItem;

namespace {

[[nodiscard]] QString milliseconds(quillmark::LineClock::duration d) {
    return QString::number(std::chrono::duration<double, std::milli>(d).count(), 'f', 1);
}

const QColor kFaultBackground(255, 214, 214);

// Every byte, sixteen to a line, so that a long frame fits a tooltip.
[[nodiscard]] QString wholeFrame(const std::vector<quillmark::Byte>& bytes) {
    constexpr std::size_t kPerLine = 16;
    QStringList lines;
    for (std::size_t i = 0; i < bytes.size(); i += kPerLine) {
        const auto n = std::min(kPerLine, bytes.size() - i);
        lines << QString::fromLatin1(quillmark::hexBytes(std::span(bytes).subspan(i, n)));
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace

LineMonitorModel::LineMonitorModel(int capacity, QObject* parent)
    : QAbstractTableModel(parent), capacity_(std::max(capacity, 1)) {}

int LineMonitorModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : size_;
}

int LineMonitorModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

std::size_t LineMonitorModel::slot(int row) const {
    return (head_ + static_cast<std::size_t>(row)) % static_cast<std::size_t>(capacity_);
}

const LineItem& LineMonitorModel::item(int row) const {
    return *ring_[slot(row)];
}

QString LineMonitorModel::cellText(int row, int column) const {
    const LineItem& it = item(row);
    return cellText(it, column, origin_.value_or(it.time));
}

QString LineMonitorModel::lineText(int row) const {
    const LineItem& it = item(row);
    return lineText(it, origin_.value_or(it.time));
}

std::vector<std::shared_ptr<const LineItem>> LineMonitorModel::rows() const {
    std::vector<std::shared_ptr<const LineItem>> out;
    out.reserve(static_cast<std::size_t>(size_));
    for (int row = 0; row < size_; ++row)
        out.push_back(ring_[slot(row)]);
    return out;
}

QString LineMonitorModel::cellText(const LineItem& it, int column,
                                   quillmark::LineClock::time_point origin) {
    switch (column) {
    case Time:
        return milliseconds(it.time - origin);
    case Direction:
        return QString::fromStdString(quillmark::lineDirectionText(it.direction));
    case Bytes:
        return QString::fromLatin1(quillmark::hexBytes(it.bytes));
    case Meaning:
        return QString::fromStdString(quillmark::lineItemMeaning(it));
    case Delay:
        return it.answerDelay ? milliseconds(*it.answerDelay) : QString();
    case Fault:
        return QString::fromStdString(quillmark::lineItemFault(it));
    default:
        return {};
    }
}

QString LineMonitorModel::lineText(const LineItem& item, quillmark::LineClock::time_point origin) {
    QString line;
    for (int c = 0; c < ColumnCount; ++c) {
        if (c > 0)
            line += QLatin1Char('\t');
        line += cellText(item, c, origin);
    }
    return line;
}

QVariant LineMonitorModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= size_)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return cellText(index.row(), index.column());
    case Qt::BackgroundRole:
        return item(index.row()).faulty() ? QVariant(kFaultBackground) : QVariant();
    case Qt::ForegroundRole:
        return item(index.row()).faulty() ? QVariant(QColor(Qt::black)) : QVariant();
    case Qt::ToolTipRole:
        if (index.column() == Bytes)
            return wholeFrame(item(index.row()).bytes); // the column cuts long frames
        return item(index.row()).faulty() ? cellText(index.row(), Fault) : QVariant();
    case Qt::TextAlignmentRole:
        if (index.column() == Time || index.column() == Delay)
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    default:
        return {};
    }
}

QVariant LineMonitorModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case Time:
        return QStringLiteral("Tiempo (ms)");
    case Direction:
        return QStringLiteral("Dirección");
    case Bytes:
        return QStringLiteral("Bytes");
    case Meaning:
        return QStringLiteral("Significado");
    case Delay:
        return QStringLiteral("Respuesta tras (ms)");
    case Fault:
        return QStringLiteral("Aviso");
    default:
        return {};
    }
}

void LineMonitorModel::append(std::vector<LineItem>& items) {
    if (items.empty())
        return;
    if (!origin_)
        origin_ = items.front().time;
    const auto cap = static_cast<std::size_t>(capacity_);
    // Only the newest `capacity` items can stay.
    auto first = items.begin();
    if (items.size() > cap)
        first += static_cast<std::ptrdiff_t>(items.size() - cap);
    const int incoming = static_cast<int>(items.end() - first);
    const int drop = std::max(0, size_ + incoming - capacity_);
    if (drop > 0) {
        beginRemoveRows({}, 0, drop - 1);
        head_ = slot(drop);
        size_ -= drop;
        endRemoveRows();
    }
    beginInsertRows({}, size_, size_ + incoming - 1);
    for (auto it = first; it != items.end(); ++it) {
        auto shared = std::make_shared<const LineItem>(std::move(*it));
        if (ring_.size() < cap)
            ring_.push_back(std::move(shared));
        else
            ring_[slot(size_)] = std::move(shared);
        ++size_;
    }
    endInsertRows();
    items.clear();
}

void LineMonitorModel::clear() {
    beginResetModel();
    ring_.clear();
    ring_.shrink_to_fit();
    head_ = 0;
    size_ = 0;
    origin_.reset();
    endResetModel();
}
