#include "serial/comsignal.h"

#include "serial/comsignal_access.h"

#include <QPalette>
#include <QWidget>

#include <algorithm>

using quillmark::serial::modemLineOf;

TComSignal::TComSignal(QObject* owner) : QObject(owner), timer_(new QTimer(this)) {
    connect(timer_, &QTimer::timeout, this, &TComSignal::TimerTick);
    RestartTimer(); // created enabled
}

TComSignal::~TComSignal() {
    timer_->stop();
    UnhookPort();
}

std::string TComSignal::About() const {
    return TCustomComPort::AboutText();
}

void TComSignal::BeginLoading() {
    loading_ = true;
}

void TComSignal::FinishLoading() {
    loading_ = false;
    // Hooks made before the kind was set (port assigned first) are made again for it.
    UnhookPort();
    HookPort();
    RefreshSignal();
    UpdateControl();
}

TCustomComPort* TComSignal::ComPort() const {
    return port_.data();
}

void TComSignal::SetComPort(TCustomComPort* port) {
    if (port == port_)
        return;
    timer_->stop();
    UnhookPort();
    disconnect(portRemoved_);
    port_ = port;
    if (port != nullptr)
        portRemoved_ = connect(port, &QObject::destroyed, this, &TComSignal::ComponentRemoved);
    HookPort();
    RefreshSignal();
}

QWidget* TComSignal::Control() const {
    return control_.data();
}

void TComSignal::SetControl(QWidget* control) {
    if (control == control_)
        return;
    control_ = control;
    UpdateControl();
}

QColor TComSignal::ColorOff() const {
    return colorOff_;
}

void TComSignal::SetColorOff(const QColor& c) {
    if (c == colorOff_)
        return;
    colorOff_ = c;
    UpdateControl();
}

QColor TComSignal::ColorOn() const {
    return colorOn_;
}

void TComSignal::SetColorOn(const QColor& c) {
    colorOn_ = c;
}

std::chrono::milliseconds TComSignal::Delay() const {
    return delay_;
}

void TComSignal::SetDelay(std::chrono::milliseconds d) {
    if (d == delay_)
        return;
    delay_ = d;
    timer_->setInterval(d);
    offDeadline_ = std::min(offDeadline_, std::chrono::steady_clock::now() + d);
}

TSignal TComSignal::Signal() const {
    return signal_;
}

void TComSignal::SetSignal(TSignal s) {
    signal_ = s;
}

bool TComSignal::SignalValue() const {
    return signalValue_;
}

void TComSignal::ComponentRemoved() {
    // The port is past its own destructor: its slots are gone, there is nothing to unhook.
    timer_->stop();
    if (link_)
        link_->owner = nullptr;
    link_.reset();
    port_ = nullptr;
    RefreshSignal();
}

void TComSignal::HookPort() {
    if (loading_ || !port_ || link_)
        return;
    link_ = std::make_shared<HookLink>();
    link_->owner = this;
    hookSignalSlots(*port_);
}

void TComSignal::UnhookPort() {
    if (!link_)
        return;
    if (port_)
        unhookSignalSlots(*port_);
    link_->owner = nullptr;
    link_.reset();
}

void TComSignal::RestartTimer() {
    // A full Delay from now. Restarting a Qt timer registers it anew, which allocates; a
    // burst of events therefore only moves the deadline, and the tick waits out the rest.
    offDeadline_ = std::chrono::steady_clock::now() + delay_;
    if (!timer_->isActive())
        timer_->start(delay_);
}

void TComSignal::TimerTick() {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(
        offDeadline_ - std::chrono::steady_clock::now());
    if (left.count() > 0) {
        timer_->start(left);
        return;
    }
    if (timer_->intervalAsDuration() != delay_)
        timer_->setInterval(delay_);
    if (signal_ == siTxChar && writing_)
        return;
    timer_->stop();
    SetSignalValue(false);
}

void TComSignal::SetSignalValue(bool v) {
    if (v == signalValue_)
        return;
    signalValue_ = v;
    UpdateControl();
    if (OnSignal)
        OnSignal(this);
}

void TComSignal::UpdateControl() {
    if (!control_)
        return;
    QPalette palette = control_->palette();
    palette.setColor(QPalette::Window, signalValue_ ? colorOn_ : colorOff_);
    control_->setAutoFillBackground(true);
    control_->setPalette(palette);
    const QString& text = signalValue_ ? textOn_ : textOff_;
    if (!text.isEmpty())
        control_->setAccessibleDescription(text);
}

void TComSignal::SetStateTexts(const QString& on, const QString& off) {
    textOn_ = on;
    textOff_ = off;
    UpdateControl();
}

void TComSignal::RefreshSignal() {
    bool value = false;
    const auto line = modemLineOf(signal_);
    if (port_ && port_->Active() && line) {
        try {
            value = (port_->ModemStatus() & (1U << *line)) != 0;
        } catch (const EComError&) {
            value = false; // a tty without modem lines (a pseudo-terminal) shows them off
        }
    }
    SetSignalValue(value);
}

void TComSignal::eventHook() {
    SetSignalValue(true);
    RestartTimer();
}

void TComSignal::beforeWriteHook() {
    SetSignalValue(true);
    writing_ = true;
    RestartTimer();
}

void TComSignal::afterWriteHook() {
    writing_ = false;
}
