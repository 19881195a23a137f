#pragma once

// Which port slots an indicator takes over for each kind of signal.

#include "serial/comsignal.h"

#include <optional>

namespace quillmark::serial {

namespace HookTag {
enum : int { Event = 1, LineError, ModemLine, BeforeWrite, AfterWrite, AfterOpen, AfterClose };
}

struct NotifyAccess {
    const TNotifyEvent& (TCustomComPort::*get)() const;
    void (TCustomComPort::*set)(TNotifyEvent);
};

// The notify slot of an event kind (siBreak, siRxChar, ...), or none.
[[nodiscard]] std::optional<NotifyAccess> eventSlotOf(TSignal s);
// The change slot of a level kind (siCTS, siDSR, siRing, siRLSD), or none.
[[nodiscard]] std::optional<NotifyAccess> modemSlotOf(TSignal s);
[[nodiscard]] std::optional<TModemStatusValue> modemLineOf(TSignal s);

} // namespace quillmark::serial

// What the installed hooks share with their indicator. A hook that another indicator saved
// may outlive this one; it then only passes calls on, so the chain behind it stays whole.
struct TComSignal::HookLink {
    TComSignal* owner = nullptr; // null once the indicator let go of its hooks
    TSignal signal = siNone;     // the kind hooked, for the unhooking
    TOpenCloseEvent afterOpen, afterClose;
    TReadWriteEvent beforeWrite, afterWrite;
    TNotifyEvent notify, modemLine;
    TLineErrorEvent lineError;
};
