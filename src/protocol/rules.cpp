#include "rules.h"

#include <algorithm>
#include <stdexcept>

namespace quillmark::protocol {

int ChunkedWrite::chunkCount() const {
    return kind_ == Kind::RadioText ? kRadioTextChunks : kMemoryChunks;
}

Byte ChunkedWrite::chunkAddress(int chunk) const {
    const int base = kind_ == Kind::RadioText ? radioTextBlock().address : 0;
    return static_cast<Byte>(base + kChunkLength * chunk);
}

CommandFrame ChunkedWrite::takeNext(std::span<const Byte> source) {
    if (allSent())
        throw std::logic_error("every chunk has been sent");
    const std::size_t needed = kind_ == Kind::RadioText ? kRadioTextLength : kDeviceMapSize;
    if (source.size() < needed)
        throw std::invalid_argument("chunk source too short");
    const int k = sent_++;
    if (kind_ == Kind::RadioText)
        return radioTextChunkFrame(k, source.first<kRadioTextLength>());
    return memoryChunkFrame(k, source.first<kDeviceMapSize>());
}

bool ChunkedWrite::noteAnswer(Byte answer) {
    const bool ok = isSuccess(answer);
    if (!ok)
        ++failures_;
    return ok;
}

std::span<Byte> WholeRead::half(int h) {
    const Block block = memoryHalf(h);
    return std::span(staging_).subspan(static_cast<std::size_t>(block.address),
                                       static_cast<std::size_t>(block.length));
}

} // namespace quillmark::protocol
