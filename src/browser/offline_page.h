#pragma once

#include <QString>

class QWebEngineView;

// Where an address cannot be reached (or cannot be shown), the page area says so in Spanish,
// with the address, instead of the engine's English error page.
void showUnreachableInSpanish(QWebEngineView& view);

// The pages for an address that cannot be reached and for one that fails otherwise (a
// certificate, a port the engine refuses); the address is shown as plain text.
[[nodiscard]] QString unreachablePage(const QString& address);
[[nodiscard]] QString refusedPage(const QString& address);
