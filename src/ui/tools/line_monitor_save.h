#pragma once

// A saved line monitor: a header that says where and when it was taken, then one line per
// row. Written on a thread of its own, from a copy of the rows.

#include "core/line_decoder.h"

#include <QDateTime>
#include <QString>

#include <memory>
#include <vector>

struct LineLog {
    QString portName;
    QDateTime firstRowAt; // the clock time of row 0, which the times count from
    QDateTime savedAt;
    quillmark::LineClock::time_point origin{};
    std::vector<std::shared_ptr<const quillmark::LineItem>> items;
};

// The clock time at which a line time was read.
[[nodiscard]] QDateTime clockTimeOf(quillmark::LineClock::time_point when);

// The header's lines, each starting with "#".
[[nodiscard]] QString lineLogHeader(const LineLog& log);

// False with `error` set when the file cannot be written (an existing file stays as it was).
[[nodiscard]] bool writeLineLog(const QString& path, const LineLog& log, QString& error);
