#include "principal.h"

#include "core/command_frames.h"
#include "serial/comport.h"
#include "vcl_timer.h"

#include "dialogs.h"

#include <algorithm>
#include <array>

// The encoder's bytes and the watch timers go to the engine; what it asks for is done here.

using namespace quillmark;
using namespace quillmark::protocol;

void TForm1::Comm1RxChar() {
    if (!exchange.waiting()) {
        // Nothing waits: whatever came is stale and must not be read as a later reply.
        Comm1->ResetDevice();
        return;
    }
    std::array<Byte, kDeviceMapSize> bytes{};
    const int queued = std::min(Comm1->InputCount(), static_cast<int>(bytes.size()));
    const int got = queued > 0 ? Comm1->Read(bytes.data(), queued, false) : 0;
    exchange.received(std::span(bytes).first(static_cast<std::size_t>(got)));
}

void TForm1::Timer1Timer() {
    Timer1->stop();
    exchange.expired(Watch::Answer);
}

void TForm1::Timer2Timer() {
    Timer2->stop();
    setStatusColour(clGreen);
}

void TForm1::Timer3Timer() {
    Timer3->stop();
    Comm1->ResetDevice();
    activa();
    exchange.expired(Watch::Block);
}

void TForm1::ReplyTimerTimer() {
    ReplyTimer->stop();
    exchange.expired(Watch::ReplyByte);
}

void TForm1::Comm1HungUp() {
    exchange.hungUp();
}

VclTimer& TForm1::timerFor(Watch watch) const {
    switch (watch) {
    case Watch::Answer:
        return *Timer1;
    case Watch::ReplyByte:
        return *ReplyTimer;
    case Watch::Block:
        break;
    }
    return *Timer3;
}

void TForm1::send(const CommandFrame& frame) {
    switch (exchange.operation()) {
    case Operation::Programming:
        Enviatotal(frame);
        break;
    case Operation::RadioTextWrite:
        enviart(frame);
        break;
    case Operation::WholeRead:
        if (exchange.ReadState() == kReadSecondHalf) {
            Leerequipo2(frame);
            break;
        }
        [[fallthrough]];
    default:
        writeFrame(frame);
    }
}

void TForm1::startWatch(Watch watch) {
    VclTimer& timer = timerFor(watch);
    timer.stop();
    timer.start();
}

void TForm1::stopWatch(Watch watch) {
    timerFor(watch).stop();
}

void TForm1::answered(Byte answer, bool failedSoFar) {
    Timer2->start();
    StationImage.ReplyBuffer()[0] = answer;
    // Once a chunk failed the chain stays red, so the operator sees it at the end.
    setStatusColour(failedSoFar ? clRed : clLime);
}

void TForm1::showReply(std::uint8_t readState, std::span<const Byte> reply) {
    const std::span<Byte> into = readState == kReadPs ? std::span<Byte>(StationImage.PsStaging())
                                                      : std::span<Byte>(StationImage.ReplyBuffer());
    std::copy(reply.begin(), reply.end(), into.begin());
    psField.emptiedByRead = false;
    rtField.emptiedByRead = false;
    switch (readState) {
    case kReadPi:
        ActualitzaPI();
        break;
    case kReadPs:
        ActualitzaPS();
        break;
    case kReadPty:
        ActualitzaPTY();
        break;
    case kReadAf:
        ActualitzaAF();
        break;
    case kReadRt:
        ActualitzaRT();
        break;
    default:
        ActualitzaConf();
        break;
    }
}

void TForm1::finished(const Outcome& outcome) {
    switch (outcome.ending) {
    case Ending::Success:
    case Ending::Refused:
        if (outcome.operation == Operation::WholeRead) {
            finishWholeRead(outcome.reply);
            return;
        }
        if (outcome.operation == Operation::BlockRead)
            showReply(outcome.readState, outcome.reply);
        if (outcome.ending == Ending::Refused)
            Comm1->ResetDevice();
        activa();
        return;
    case Ending::Superseded:
        restoreFieldsAfterFailedRead();
        return;
    case Ending::BrokenReply:
        // Late bytes of the broken reply find nothing waiting.
        restoreFieldsAfterFailedRead();
        activa();
        throw EComTimeout();
    case Ending::NoAnswer:
    case Ending::HungUp:
        restoreFieldsAfterFailedRead();
        dialogs.errorMessage(this, QStringLiteral("Error de Comunicación"));
        activa();
        return;
    }
}
