// The hooks an indicator puts in front of the port's handlers, and their removal.

#include "serial/comsignal.h"

#include "serial/comsignal_access.h"

namespace {

// Puts the saved handler back if the port's slot still holds this hook.
template <typename Slot> void restoreDirect(Slot& slot, Slot& saved, const void* id, int tag) {
    if (slot && slot.object() == id && slot.tag() == tag) {
        slot = saved;
        saved = Slot{};
    }
}

template <typename Get, typename Set, typename Slot>
void restoreThroughSetter(TCustomComPort& port, Get get, Set set, Slot& saved, const void* id,
                          int tag) {
    const Slot& current = (port.*get)();
    if (current && current.object() == id && current.tag() == tag) {
        (port.*set)(saved);
        saved = Slot{};
    }
}

} // namespace

using quillmark::serial::eventSlotOf;
namespace HookTag = quillmark::serial::HookTag;
using quillmark::serial::modemSlotOf;

void TComSignal::hookSignalSlots(TCustomComPort& port) {
    const std::shared_ptr<HookLink> link = link_;
    const void* id = link.get();
    link->signal = signal_;
    link->afterOpen = port.AfterOpen;
    port.AfterOpen = TOpenCloseEvent(id, HookTag::AfterOpen, [link](TCustomComPort* p) {
        if (link->owner != nullptr)
            link->owner->RefreshSignal();
        if (link->afterOpen)
            link->afterOpen(p);
    });
    link->afterClose = port.AfterClose;
    port.AfterClose = TOpenCloseEvent(id, HookTag::AfterClose, [link](TCustomComPort* p) {
        if (link->owner != nullptr)
            link->owner->RefreshSignal();
        if (link->afterClose)
            link->afterClose(p);
    });
    if (const auto access = eventSlotOf(signal_)) {
        link->notify = (port.*access->get)();
        (port.*access->set)(TNotifyEvent(id, HookTag::Event, [link](QObject* sender) {
            if (link->owner != nullptr)
                link->owner->eventHook();
            if (link->notify)
                link->notify(sender);
        }));
    } else if (const auto modem = modemSlotOf(signal_)) {
        link->modemLine = (port.*modem->get)();
        (port.*modem->set)(TNotifyEvent(id, HookTag::ModemLine, [link](QObject* sender) {
            if (link->owner != nullptr)
                link->owner->RefreshSignal();
            if (link->modemLine)
                link->modemLine(sender);
        }));
    } else if (signal_ == siLineError) {
        link->lineError = port.OnLineError();
        port.SetOnLineError(
            TLineErrorEvent(id, HookTag::LineError, [link](QObject* sender, TLineErrors errors) {
                if (link->owner != nullptr)
                    link->owner->eventHook();
                if (link->lineError)
                    link->lineError(sender, errors);
            }));
    } else if (signal_ == siTxChar) {
        hookWriteSlots(port);
    }
}

void TComSignal::hookWriteSlots(TCustomComPort& port) {
    const std::shared_ptr<HookLink> link = link_;
    const void* id = link.get();
    link->beforeWrite = port.BeforeWrite;
    port.BeforeWrite =
        TReadWriteEvent(id, HookTag::BeforeWrite,
                        [link](QObject* sender, const void* buffer, int length, bool wait) {
                            if (link->owner != nullptr)
                                link->owner->beforeWriteHook();
                            if (link->beforeWrite)
                                link->beforeWrite(sender, buffer, length, wait);
                        });
    link->afterWrite = port.AfterWrite;
    port.AfterWrite =
        TReadWriteEvent(id, HookTag::AfterWrite,
                        [link](QObject* sender, const void* buffer, int length, bool wait) {
                            if (link->owner != nullptr)
                                link->owner->afterWriteHook();
                            if (link->afterWrite)
                                link->afterWrite(sender, buffer, length, wait);
                        });
}

void TComSignal::unhookSignalSlots(TCustomComPort& port) {
    HookLink& link = *link_;
    const void* id = link_.get();
    restoreDirect(port.AfterOpen, link.afterOpen, id, HookTag::AfterOpen);
    restoreDirect(port.AfterClose, link.afterClose, id, HookTag::AfterClose);
    restoreDirect(port.BeforeWrite, link.beforeWrite, id, HookTag::BeforeWrite);
    restoreDirect(port.AfterWrite, link.afterWrite, id, HookTag::AfterWrite);
    if (const auto access = eventSlotOf(link.signal))
        restoreThroughSetter(port, access->get, access->set, link.notify, id, HookTag::Event);
    if (const auto modem = modemSlotOf(link.signal))
        restoreThroughSetter(port, modem->get, modem->set, link.modemLine, id, HookTag::ModemLine);
    restoreThroughSetter(port, &TCustomComPort::OnLineError, &TCustomComPort::SetOnLineError,
                         link.lineError, id, HookTag::LineError);
}

namespace quillmark::serial {

std::optional<NotifyAccess> eventSlotOf(TSignal s) {
    using P = TCustomComPort;
    switch (s) {
    case siBreak:
        return NotifyAccess{&P::OnBreak, &P::SetOnBreak};
    case siRxChar:
        return NotifyAccess{&P::OnRxChar, &P::SetOnRxChar};
    case siEvent1:
        return NotifyAccess{&P::OnEvent1, &P::SetOnEvent1};
    case siEvent2:
        return NotifyAccess{&P::OnEvent2, &P::SetOnEvent2};
    case siPrinterError:
        return NotifyAccess{&P::OnPrinterError, &P::SetOnPrinterError};
    case siRx80PercFull:
        return NotifyAccess{&P::OnRx80PercFull, &P::SetOnRx80PercFull};
    case siRxFlag:
        return NotifyAccess{&P::OnRxFlag, &P::SetOnRxFlag};
    case siTxEmpty:
        return NotifyAccess{&P::OnTxEmpty, &P::SetOnTxEmpty};
    default:
        return std::nullopt;
    }
}

std::optional<NotifyAccess> modemSlotOf(TSignal s) {
    using P = TCustomComPort;
    switch (s) {
    case siCTS:
        return NotifyAccess{&P::OnCTSChange, &P::SetOnCTSChange};
    case siDSR:
        return NotifyAccess{&P::OnDSRChange, &P::SetOnDSRChange};
    case siRing:
        return NotifyAccess{&P::OnRing, &P::SetOnRing};
    case siRLSD:
        return NotifyAccess{&P::OnRLSDChange, &P::SetOnRLSDChange};
    default:
        return std::nullopt;
    }
}

std::optional<TModemStatusValue> modemLineOf(TSignal s) {
    switch (s) {
    case siCTS:
        return msCTS;
    case siDSR:
        return msDSR;
    case siRing:
        return msRing;
    case siRLSD:
        return msRLSD;
    default:
        return std::nullopt;
    }
}

} // namespace quillmark::serial
