#include "font_warm_up.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>

#include <fontconfig/fontconfig.h>

#include <system_error>

// Without a thread the toolkit does the same work itself when it first needs it.

FontWarmUp::FontWarmUp() {
    try {
        thread_ = std::thread([] { static_cast<void>(FcInit()); });
    } catch (const std::system_error&) {
    }
}

FontWarmUp::~FontWarmUp() {
    if (thread_.joinable())
        thread_.join();
}

FontWarmUp::FontList::FontList(FontWarmUp& configuration)
    : configuration_(std::move(configuration.thread_)) {
    // Asked here: the platform theme behind it belongs to this thread.
    const QFont font = QGuiApplication::font();
    try {
        thread_ = std::thread([this, family = font.family(), points = font.pointSize()] {
            // Two threads reading the configuration at once would both do the whole work.
            if (configuration_.joinable())
                configuration_.join();
            // The font list and a family's fallbacks are shared by every thread; a font of
            // its own, since fonts sharing their data must stay on one thread.
            static_cast<void>(QFontMetrics(QFont(family, points)).height());
        });
    } catch (const std::system_error&) {
        if (configuration_.joinable())
            configuration_.join(); // before the window reads it too
    }
}

FontWarmUp::FontList::~FontList() {
    if (thread_.joinable())
        thread_.join();
}
