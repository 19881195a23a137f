#pragma once

// TComSignal shows one signal of a TComPort as the background colour of a control: it puts
// itself in front of the port's handlers and passes every call on to the one it replaced.

#include "comport.h"

#include <QColor>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <chrono>
#include <memory>

class QWidget;

enum TSignal {
    siNone,
    siBreak,
    siRxChar,
    siTxChar,
    siCTS,
    siDSR,
    siEvent1,
    siEvent2,
    siLineError,
    siPrinterError,
    siRing,
    siRLSD,
    siRx80PercFull,
    siRxFlag,
    siTxEmpty
};

// Assign the port's own handlers before the indicator hooks into it (set ComPort last, or
// bracket the set-up with BeginLoading/FinishLoading), so that the hooks pass on to them.
class TComSignal : public QObject {
    Q_OBJECT
public:
    explicit TComSignal(QObject* owner = nullptr);
    ~TComSignal() override;

    void FinishLoading();

    [[nodiscard]] TCustomComPort* ComPort() const;
    void SetComPort(TCustomComPort* port);
    [[nodiscard]] QWidget* Control() const;
    // The colour is the control's QPalette::Window, painted with autoFillBackground.
    void SetControl(QWidget* control);
    [[nodiscard]] QColor ColorOff() const;
    void SetColorOff(const QColor& c);
    [[nodiscard]] QColor ColorOn() const;
    void SetColorOn(const QColor& c);
    [[nodiscard]] std::chrono::milliseconds Delay() const;
    void SetDelay(std::chrono::milliseconds d);
    [[nodiscard]] TSignal Signal() const;
    void SetSignal(TSignal s);
    [[nodiscard]] bool SignalValue() const;
    [[nodiscard]] std::string About() const;
    // The state in words, given to the control as its accessible description with every
    // change of colour, for those who cannot see the colour. Empty texts leave it alone.
    void SetStateTexts(const QString& on, const QString& off);

    Handler<void(QObject* Sender)> OnSignal;

    // Between these two calls (reading a form description) the port is not hooked yet.
    void BeginLoading();
    [[nodiscard]] bool Loading() const { return loading_; }
    // The off-delay timer (for tests: whether an off-delay is running).
    [[nodiscard]] bool TimerActive() const { return timer_->isActive(); }

private:
    struct HookLink;

    void HookPort();
    void UnhookPort();
    void RestartTimer();
    void UpdateControl();
    void SetSignalValue(bool v);
    void RefreshSignal();
    void TimerTick();
    void ComponentRemoved();

    void eventHook();
    void beforeWriteHook();
    void afterWriteHook();
    void hookSignalSlots(TCustomComPort& port);
    void hookWriteSlots(TCustomComPort& port);
    void unhookSignalSlots(TCustomComPort& port);

    QPointer<TCustomComPort> port_;
    QMetaObject::Connection portRemoved_;
    QPointer<QWidget> control_;
    QColor colorOff_{0, 128, 0};
    QColor colorOn_{0, 255, 0};
    QString textOn_;
    QString textOff_;
    std::chrono::milliseconds delay_{100};
    TSignal signal_ = siNone;
    bool signalValue_ = false;
    bool writing_ = false;
    bool loading_ = false;
    QTimer* timer_ = nullptr;                           // child of this indicator
    std::chrono::steady_clock::time_point offDeadline_; // end of the running off-delay
    std::shared_ptr<HookLink> link_; // the hooks now installed in the port, if any
};
