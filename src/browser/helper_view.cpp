#include "helper_view.h"

#include "browser_protocol.h"

#include <QGuiApplication>
#include <QWindow>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>

#include <xcb/xcb.h>

namespace {

constexpr uint32_t kKeyEvents = XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE;

// Over X the keys go to the window under the pointer when it is inside the focused window and
// asks for keys, so an embedded window that always asks steals them from its host.
void selectKeys(WId window, bool wanted) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || x11->connection() == nullptr || window == 0)
        return;
    xcb_connection_t* connection = x11->connection();
    const auto id = static_cast<xcb_window_t>(window);
    const std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> attributes(
        xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, id),
                                        nullptr),
        &std::free);
    if (!attributes)
        return;
    const uint32_t mask = wanted ? attributes->your_event_mask | kKeyEvents
                                 : attributes->your_event_mask & ~kKeyEvents;
    if (mask == attributes->your_event_mask)
        return;
    xcb_change_window_attributes(connection, id, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection);
}

} // namespace

void writeLine(const QByteArray& line) {
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
    std::fflush(stdout);
}

HelperView::HelperView(bool isEmbedded) : embedded(isEmbedded) {
    if (!embedded)
        return;
    connect(qApp, &QGuiApplication::focusWindowChanged, this, &HelperView::focusWindowChanged);
    qApp->installEventFilter(this);
}

void HelperView::focusWindowChanged(QWindow* window) {
    selectKeysForFocus();
    if (window == nullptr || window != windowHandle())
        return;
    writeLine(browser_protocol::focusReportLine(browser_protocol::FocusReport::Taken));
    if (pendingEntry != Qt::OtherFocusReason)
        enter(std::exchange(pendingEntry, Qt::OtherFocusReason));
}

void HelperView::selectKeysForFocus() {
    const bool focused = windowHandle() != nullptr && windowHandle() == qApp->focusWindow();
    selectKeys(internalWinId(), focused);
}

void HelperView::enterBy(Qt::FocusReason reason) {
    if (isActiveWindow())
        enter(reason);
    else
        pendingEntry = reason;
}

void HelperView::enter(Qt::FocusReason reason) {
    QWidget* target = focusProxy() ? focusProxy() : this;
    target->clearFocus();
    target->setFocus(reason);
}

bool HelperView::focusNextPrevChild(bool next) {
    if (!embedded)
        return QWebEngineView::focusNextPrevChild(next);
    using browser_protocol::FocusReport;
    writeLine(browser_protocol::focusReportLine(next ? FocusReport::Next : FocusReport::Previous));
    return true;
}

// The engine may give the view a new native window: it asks for keys again by default.
bool HelperView::event(QEvent* event) {
    const bool handled = QWebEngineView::event(event);
    if (embedded && event->type() == QEvent::WinIdChange)
        selectKeysForFocus();
    return handled;
}

// A window kept away from the window manager is not activated by a click: take the input
// focus ourselves, as any window would get it.
bool HelperView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this && !isActiveWindow() && windowHandle())
        windowHandle()->requestActivate();
    return QWebEngineView::eventFilter(watched, event);
}
