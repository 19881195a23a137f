#include "offline_page.h"

#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace {

// A stopped or replaced load is no failure, and a server's own error page is shown as it is.
[[nodiscard]] bool failed(const QWebEngineLoadingInfo& info) {
    return info.status() == QWebEngineLoadingInfo::LoadFailedStatus &&
           info.errorDomain() != QWebEngineLoadingInfo::InternalErrorDomain &&
           info.errorDomain() != QWebEngineLoadingInfo::HttpStatusCodeDomain;
}

// No connection, no name server, or the host refuses or cannot be reached.
[[nodiscard]] bool unreachable(const QWebEngineLoadingInfo& info) {
    return info.errorDomain() == QWebEngineLoadingInfo::ConnectionErrorDomain ||
           info.errorDomain() == QWebEngineLoadingInfo::DnsErrorDomain;
}

[[nodiscard]] QString page(const QString& heading, const QString& text) {
    return QStringLiteral("<!DOCTYPE html><html lang=\"es\"><head><meta charset=\"utf-8\">"
                          "<title>%1</title></head>"
                          "<body style=\"font-family: sans-serif; margin: 2em\">"
                          "<h2>%1</h2><p>%2</p></body></html>")
        .arg(heading, text);
}

} // namespace

QString unreachablePage(const QString& address) {
    return page(QStringLiteral("Sin conexión"),
                QStringLiteral("No se puede abrir %1. Compruebe la conexión a Internet.")
                    .arg(address.toHtmlEscaped()));
}

QString refusedPage(const QString& address) {
    return page(QStringLiteral("No se puede abrir la página"),
                QStringLiteral("No se puede abrir %1.").arg(address.toHtmlEscaped()));
}

// The engine's own error pages are English; ours replace them.
void showUnreachableInSpanish(QWebEngineView& view) {
    view.settings()->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    QObject::connect(view.page(), &QWebEnginePage::loadingChanged, &view,
                     [&view](const QWebEngineLoadingInfo& info) {
                         if (!failed(info))
                             return;
                         const QString address = info.url().toDisplayString();
                         view.setHtml(unreachable(info) ? unreachablePage(address)
                                                        : refusedPage(address));
                     });
}
