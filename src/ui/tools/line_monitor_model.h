#pragma once

// The rows of the line monitor: a ring of decoded items, oldest dropped beyond the capacity.
// Cell texts are made when a view asks for them, so a full ring costs only its items.

#include "core/line_decoder.h"

#include <QAbstractTableModel>

#include <memory>
#include <optional>
#include <vector>

class LineMonitorModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Time, Direction, Bytes, Meaning, Delay, Fault, ColumnCount };
    static constexpr int kMaxRows = 100000;

    explicit LineMonitorModel(int capacity = kMaxRows, QObject* parent = nullptr);

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role) const override;

    // Takes the items (the vector is left empty); drops the oldest rows beyond capacity.
    void append(std::vector<quillmark::LineItem>& items);
    void clear();

    [[nodiscard]] int capacity() const { return capacity_; }
    [[nodiscard]] const quillmark::LineItem& item(int row) const;
    [[nodiscard]] QString cellText(int row, int column) const;
    // The row as one line of text: the columns separated by tabs.
    [[nodiscard]] QString lineText(int row) const;
    // The same for any item, its time counted from `origin`; safe on any thread.
    [[nodiscard]] static QString cellText(const quillmark::LineItem& item, int column,
                                          quillmark::LineClock::time_point origin);
    [[nodiscard]] static QString lineText(const quillmark::LineItem& item,
                                          quillmark::LineClock::time_point origin);
    // Every row in order, and the time row 0 counts from.
    [[nodiscard]] std::vector<std::shared_ptr<const quillmark::LineItem>> rows() const;
    [[nodiscard]] std::optional<quillmark::LineClock::time_point> origin() const { return origin_; }

private:
    [[nodiscard]] std::size_t slot(int row) const;

    int capacity_;
    // Shared, so that a save takes the rows without copying them.
    std::vector<std::shared_ptr<const quillmark::LineItem>> ring_;
    std::size_t head_ = 0; // slot of row 0 once the ring has wrapped
    int size_ = 0;
    // Times count from the first row since the start or the last clear.
    std::optional<quillmark::LineClock::time_point> origin_;
};
