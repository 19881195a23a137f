#pragma once

// Station bytes as a receiver shows them, cell by cell, beside what the operator typed.

#include "core/station_image.h"

#include <QList>
#include <QString>

#include <span>

struct ReceiverCell {
    QString shown; // empty: the receiver shows nothing here
    QString typed; // the character the editors stand for this byte
    quillmark::Byte byte = 0;
    [[nodiscard]] bool differs() const { return shown != typed; }
    // What the radio does with the byte, for the cell's tooltip; empty when nothing differs.
    [[nodiscard]] QString difference() const;
};

[[nodiscard]] QList<ReceiverCell> receiverCells(std::span<const quillmark::Byte> bytes);
// The cells as one line: what shows nothing becomes a space.
[[nodiscard]] QString shownLine(const QList<ReceiverCell>& cells);
