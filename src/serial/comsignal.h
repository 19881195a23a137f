#pragma once

// TComSignal shows one signal of a TComPort as the background colour of a control: it puts
// itself in front of the port's handlers and passes every call on to the one it replaced.

#include "comport.h"

#include <QColor>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <chrono>

class QWidget;

enum TSignal {
    siNone, siBreak, siRxChar, siTxChar, siCTS, siDSR, siEvent1, siEvent2, siLineError,
    siPrinterError, siRing, siRLSD, siRx80PercFull, siRxFlag, siTxEmpty
};

// The implementation may add private members; the public operations are the contract.
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

    Handler<void(QObject* Sender)> OnSignal;
};
