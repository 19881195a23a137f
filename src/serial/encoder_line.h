#pragma once

// The encoder's line, the same for every front end: 2400 bit/s, 8 data bits, no parity, one
// stop bit, and a blocking read gives up after the reply-byte time-out.

#include "protocol/rules.h"
#include "serial/comport.h"

inline void setUpEncoderLine(TCustomComPort& port) {
    port.SetBaudRate(br2400);
    port.SetDataBits(db8);
    port.SetParity(paNone);
    port.SetStopBits(sb1);
    port.Timeouts().SetReadConstant(quillmark::protocol::kReplyByteTimeout);
}
