#include "line_monitor_save.h"

#include "line_monitor_model.h"

#include <QSaveFile>

namespace {

[[nodiscard]] QString stamp(const QDateTime& t) {
    return t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz t"));
}

} // namespace

QDateTime clockTimeOf(quillmark::LineClock::time_point when) {
    const auto ago =
        std::chrono::duration_cast<std::chrono::milliseconds>(quillmark::LineClock::now() - when);
    return QDateTime::currentDateTime().addMSecs(-ago.count());
}

QString lineLogHeader(const LineLog& log) {
    QString header = QStringLiteral("# Monitor de línea, puerto %1\n").arg(log.portName);
    if (!log.items.empty())
        header +=
            QStringLiteral("# Tiempos desde la primera fila: %1\n").arg(stamp(log.firstRowAt));
    header += QStringLiteral("# Guardado: %1\n").arg(stamp(log.savedAt));
    return header;
}

bool writeLineLog(const QString& path, const LineLog& log, QString& error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString();
        return false;
    }
    file.write(lineLogHeader(log).toUtf8());
    QByteArray chunk;
    for (const auto& item : log.items) {
        chunk += (LineMonitorModel::lineText(*item, log.origin) + QLatin1Char('\n')).toUtf8();
        if (chunk.size() > (1 << 16)) {
            file.write(chunk);
            chunk.clear();
        }
    }
    file.write(chunk);
    if (!file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}
