#pragma once

// The measured exchanges. Each runs the UI thread's event loop until done; the far end
// runs on a thread of its own that is left out of the allocation and CPU figures.

#include "alloc_counter.h"
#include "latency_stats.h"
#include "serial_peer.h"

#include <string>
#include <vector>

namespace bench {

struct PhaseResult {
    std::vector<Nanos> samples;
    Nanos cpu{0};              // process CPU time less the far end's
    AllocationCount process;   // every thread but the far end's
    AllocationCount readPath;  // inside readByte() on the UI thread
    AllocationCount writePath; // inside write() on the UI thread
    std::uint64_t bytesRead = 0;
    std::uint64_t bytesWritten = 0;
    std::uint64_t emptyNotifications = 0; // handler called with nothing to read
    std::string failure;                  // empty when every byte came right

    void add(const PhaseResult& other);
};

// Latency from the far end's write() of one byte to the start of the handler on the UI
// thread; the next byte follows 100-300 us after the handler has read the previous one.
[[nodiscard]] PhaseResult measureLatency(SerialPeer& peer, const PtyLine& line, int bytes);

// A 5-byte request written on the UI thread, a 1-byte answer from the far end, the time
// until the handler has read it; the handler sends the next request at once.
[[nodiscard]] PhaseResult measureRoundTrip(SerialPeer& peer, const PtyLine& line, int rounds);

} // namespace bench
