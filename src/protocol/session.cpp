#include "session.h"

#include <cstdio>

namespace quillmark::protocol {

namespace {

[[nodiscard]] std::string seconds(std::chrono::milliseconds t) {
    return std::to_string(t.count() / 1000) + " s";
}

} // namespace

std::string hexAddress(int address) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", address & 0xFF);
    return text;
}

Session::Session(Line& line, std::function<void(int)> progress)
    : line_(line), progress_(std::move(progress)) {}

void Session::moved(int bytes) {
    if (progress_)
        progress_(bytes);
}

Byte Session::exchangeForAnswer(const CommandFrame& frame, const std::string& what) {
    line_.write(frame.bytes());
    moved(static_cast<int>(frame.size()));
    const auto answer = line_.readByte(kAnswerTimeout);
    if (!answer)
        throw CommunicationError("no answer from the encoder within " + seconds(kAnswerTimeout) +
                                 " (" + what + ")");
    moved(1);
    return *answer;
}

void Session::readReply(const CommandFrame& frame, std::span<Byte> into, const std::string& what) {
    line_.write(frame.bytes());
    moved(static_cast<int>(frame.size()));
    for (std::size_t i = 0; i < into.size(); ++i) {
        const auto b = line_.readByte(i == 0 ? kAnswerTimeout : kReplyByteTimeout);
        if (!b) {
            if (i == 0)
                throw CommunicationError("no answer from the encoder within " +
                                         seconds(kAnswerTimeout) + " (" + what + ")");
            throw CommunicationError("the encoder's reply broke off after " + std::to_string(i) +
                                     " of " + std::to_string(into.size()) + " bytes (" + what +
                                     ")");
        }
        into[i] = *b;
        moved(1);
    }
}

std::array<Byte, kDeviceMapSize> Session::readWholeDevice() {
    line_.discardInput();
    WholeRead read;
    for (int h = 0; h < kMemoryHalves; ++h)
        readReply(WholeRead::frame(h), read.half(h),
                  "read at address " + hexAddress(memoryHalf(h).address));
    return read.staged();
}

void Session::programWholeDevice(std::span<const Byte, kDeviceMapSize> map) {
    line_.discardInput();
    ChunkedWrite chain(ChunkedWrite::Kind::WholeMemory);
    std::string refused;
    while (!chain.allSent()) {
        const int chunk = chain.sent();
        const std::string address = hexAddress(chain.chunkAddress(chunk));
        const Byte answer = exchangeForAnswer(chain.takeNext(map), "chunk at address " + address);
        if (!chain.noteAnswer(answer))
            refused += (refused.empty() ? "" : ", ") + address;
    }
    if (chain.failed())
        throw CommunicationError("the encoder refused " + std::to_string(chain.failures()) +
                                 " of " + std::to_string(chain.chunkCount()) +
                                 " chunks (addresses " + refused + ")");
}

} // namespace quillmark::protocol
