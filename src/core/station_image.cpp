#include "station_image.h"

#include <algorithm>
#include <stdexcept>

namespace quillmark {

namespace {

constexpr Byte kSpace = 0x20;
constexpr Byte kNoAfCount = 0xE0;
constexpr Byte kOneScreen = 1;
constexpr Byte kFourSeconds = 0x30;
// Replies of up to 64 bytes land at the start of the ReplyBuffer; bytes 64..103 must stay
// zero so that RadioText taken from byte 0 always ends.
constexpr int kMaxReplyCopy = 64;

void checkBlock(Block b) {
    if (b.address < 0 || b.length < 0 || b.address + b.length > static_cast<int>(kDeviceMapSize))
        throw std::out_of_range("block outside the device map");
}

void fill(std::span<Byte, kDeviceMapSize> map, int from, int to, Byte value) {
    std::fill(map.begin() + from, map.begin() + to + 1, value);
}

// Everything both initialisations share; PI high bytes and spare stretch are set by callers.
void writeCommonDefaults(std::span<Byte, kDeviceMapSize> map) {
    fill(map, 0, 39, 0);
    map[static_cast<std::size_t>(afBlock(0).address)] = kNoAfCount;
    map[static_cast<std::size_t>(afBlock(1).address)] = kNoAfCount;
    fill(map, radioTextBlock().address, spareBlock().address - 1, kSpace);
    for (int f = 0; f < 2; ++f) {
        const auto at = static_cast<std::size_t>(sequenceBlock(f).address);
        map[at] = kOneScreen;
        map[at + 1] = kFourSeconds;
    }
}

} // namespace

std::span<Byte> StationImage::device(Block b) {
    checkBlock(b);
    return DeviceMap().subspan(static_cast<std::size_t>(b.address),
                               static_cast<std::size_t>(b.length));
}

std::span<const Byte> StationImage::device(Block b) const {
    checkBlock(b);
    return DeviceMap().subspan(static_cast<std::size_t>(b.address),
                               static_cast<std::size_t>(b.length));
}

void StationImage::copyDeviceToReply(Block b) {
    if (b.length > kMaxReplyCopy)
        throw std::out_of_range("block too long for the reply area");
    const auto source = device(b);
    std::copy(source.begin(), source.end(), ReplyBuffer().begin());
}

void StationImage::initialiseStartupValues() {
    writeCommonDefaults(DeviceMap());
}

void StationImage::applyProgrammingDefaults() {
    const auto map = DeviceMap();
    writeCommonDefaults(map);
    map[static_cast<std::size_t>(piBlock(0).address)] = 0xE0;
    map[static_cast<std::size_t>(piBlock(1).address)] = 0xE0;
    const Block spare = spareBlock();
    fill(map, spare.address, spare.address + spare.length - 1, kSpace);
}

} // namespace quillmark
