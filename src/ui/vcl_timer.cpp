#include "vcl_timer.h"

VclTimer::VclTimer(std::chrono::milliseconds interval, QObject* parent) : QObject(parent) {
    timer_.setInterval(interval);
    connect(&timer_, &QTimer::timeout, this, [this] {
        if (onTimer_)
            onTimer_();
    });
}

void VclTimer::setOnTimer(std::function<void()> handler) {
    onTimer_ = std::move(handler);
}

void VclTimer::setEnabled(bool enabled) {
    if (enabled == timer_.isActive())
        return; // enabling a running timer must not restart its period
    if (enabled)
        timer_.start();
    else
        timer_.stop();
}

bool VclTimer::isEnabled() const {
    return timer_.isActive();
}

void VclTimer::setInterval(std::chrono::milliseconds interval) {
    // A new interval restarts a running timer, as re-creating the system timer did.
    if (interval != timer_.intervalAsDuration())
        timer_.setInterval(interval);
}

std::chrono::milliseconds VclTimer::interval() const {
    return timer_.intervalAsDuration();
}
