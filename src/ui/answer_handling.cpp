#include "principal.h"
#include "protocol_states.h"

#include "core/command_frames.h"
#include "serial/comport.h"
#include "vcl_timer.h"

#include "dialogs.h"

// The encoder's answers and replies, and the three watch timers.

using namespace quillmark;

void TForm1::Comm1RxChar() {
    Timer1->stop();
    if (SendState == kSendIdle && ReadState == kReadIdle) {
        // Nothing waits: whatever came is stale and must not be read as a later reply.
        Comm1->ResetDevice();
        return;
    }
    try {
        if (SendState == kSendSingle) {
            takeFinalAnswer();
            return;
        }
        if (SendState == kSendRadioText) {
            takeChunkAnswer();
            enviart();
        } else if (SendState == kSendMemory) {
            takeChunkAnswer();
            Enviatotal();
        }
    } catch (...) {
        // The line failed under a write: it ends here rather than keep the buttons locked.
        endOutstanding();
        activa();
        throw;
    }
    readReply();
}

void TForm1::takeFinalAnswer() {
    Timer2->start();
    SendState = kSendIdle;
    const Byte answer = Comm1->ReadByte();
    StationImage.ReplyBuffer()[0] = answer;
    // The last chunk of a chain ends red also when an earlier chunk failed.
    const bool ok = Chain.noteAnswer(answer);
    setStatusColour(Chain.failed() ? clRed : clLime);
    if (!ok)
        Comm1->ResetDevice();
    activa();
}

void TForm1::takeChunkAnswer() {
    Timer2->start();
    const Byte answer = Comm1->ReadByte();
    StationImage.ReplyBuffer()[0] = answer;
    // Once a chunk failed the chain stays red, so the operator sees it at the end.
    Chain.noteAnswer(answer);
    setStatusColour(Chain.failed() ? clRed : clLime);
}

void TForm1::readReply() {
    const std::uint8_t waitingFor = ReadState;
    try {
        if (ReadState >= kReadPi && ReadState <= kReadConf)
            readSingleBlock();
        if (ReadState == kReadFirstHalf) {
            readWholeHalf(0);
            Leerequipo2();
        }
        if (ReadState == kReadSecondHalf) {
            readWholeHalf(1);
            finishWholeRead();
        }
    } catch (...) {
        // A reply that broke off ends its read; late bytes then find nothing waiting.
        Timer3->stop();
        if (waitingFor >= kReadFirstHalf)
            Timer1->stop();
        abandonRead();
        activa();
        throw;
    }
}

void TForm1::readSingleBlock() {
    auto reply = StationImage.ReplyBuffer();
    switch (ReadState) {
    case kReadPi:
        readBytes(reply.first(2), false);
        ActualitzaPI();
        break;
    case kReadPs:
        readBytes(StationImage.PsStaging(), false);
        ActualitzaPS();
        break;
    case kReadPty:
        readBytes(reply.first(2), false);
        ActualitzaPTY();
        break;
    case kReadAf:
        readBytes(reply.first(16), false);
        ActualitzaAF();
        break;
    case kReadRt:
        readBytes(reply.first(64), false);
        ActualitzaRT();
        break;
    default:
        readBytes(reply.first(2), false);
        ActualitzaConf();
        break;
    }
    ReadState = kReadIdle;
    activa();
}

void TForm1::readWholeHalf(int half) {
    readBytes(WholeReadStaging.half(half), true);
    Timer3->stop();
}

void TForm1::readBytes(std::span<Byte> into, bool watchBlock) {
    for (Byte& b : into) {
        b = Comm1->ReadByte();
        if (watchBlock)
            Timer3->start();
    }
}

void TForm1::Timer1Timer() {
    Timer1->stop();
    dialogs.errorMessage(this, QStringLiteral("Error de Comunicación"));
    abandonRead();
    activa();
}

void TForm1::Timer2Timer() {
    Timer2->stop();
    setStatusColour(clGreen);
}

void TForm1::Timer3Timer() {
    Timer3->stop();
    Comm1->ResetDevice();
    activa();
}
