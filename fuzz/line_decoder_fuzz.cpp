// The line decoder over arbitrary traffic in both directions: every byte fed comes out in
// exactly one item, in order, each item is what its kind says, and feeding a chunk byte by
// byte at the same time gives the same items as feeding it whole.
//
// Input: steps of [head][delay][bytes]: head bit 7 is the direction (set: from the encoder),
// bits 0-5 the number of bytes (0: time passes only); delay in 25 ms units since the last step.

#include "core/command_frames.h"
#include "core/line_decoder.h"
#include "core/line_item_text.h"

#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

using namespace quillmark;

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

struct Step {
    LineDirection direction;
    LineClock::time_point when;
    std::span<const Byte> bytes;
};

std::vector<Step> parse(const std::uint8_t* data, std::size_t size) {
    std::vector<Step> steps;
    LineClock::time_point now{};
    std::size_t i = 0;
    while (i + 2 <= size) {
        const Byte head = data[i];
        now += std::chrono::milliseconds(25 * data[i + 1]);
        i += 2;
        const std::size_t n = std::min<std::size_t>(head & 0x3F, size - i);
        const auto dir = (head & 0x80) ? LineDirection::FromEncoder : LineDirection::ToEncoder;
        steps.push_back({dir, now, {data + i, n}});
        i += n;
    }
    return steps;
}

std::vector<LineItem> decode(const std::vector<Step>& steps, bool byteByByte) {
    LineDecoder decoder;
    std::vector<LineItem> items;
    for (const Step& s : steps) {
        if (s.bytes.empty())
            decoder.advanceTo(s.when, items);
        else if (!byteByByte)
            decoder.feed(s.direction, s.when, s.bytes, items);
        else
            for (std::size_t i = 0; i < s.bytes.size(); ++i)
                decoder.feed(s.direction, s.when, s.bytes.subspan(i, 1), items);
    }
    decoder.finish(items);
    check(!decoder.pending());
    return items;
}

void checkItem(const LineItem& item) {
    const auto& b = item.bytes;
    switch (item.kind) {
    case LineItemKind::WriteFrame:
    case LineItemKind::BadChecksum: {
        check(b.size() == std::size_t(writeDataLength(b.at(0))) + 3);
        const bool good = xorChecksum(std::span(b).first(b.size() - 1)) == b.back();
        check(good == (item.kind == LineItemKind::WriteFrame));
        check(item.address == b[b.size() - 2]);
        break;
    }
    case LineItemKind::ReadFrame:
        check(b.size() == 3 && b[0] == kReadCommand && item.expected == b[2]);
        break;
    case LineItemKind::EraseFrame:
        check(b.size() == 2 && b[0] == kEraseCommand && b[1] == kEraseCommand);
        break;
    case LineItemKind::AnswerOk:
    case LineItemKind::AnswerFailure:
        check(b.size() == 1 && (b[0] == kAnswerOk) == (item.kind == LineItemKind::AnswerOk));
        break;
    case LineItemKind::ReadReply:
        check(!b.empty() && int(b.size()) == item.expected);
        break;
    case LineItemKind::ShortReply:
    case LineItemKind::IncompleteFrame:
        check(!b.empty() && int(b.size()) < item.expected);
        break;
    case LineItemKind::UnknownBytes:
    case LineItemKind::LateBytes:
        check(!b.empty() && b.size() <= LineDecoder::kMaxRunLength);
        break;
    case LineItemKind::NoAnswer:
        check(b.empty());
        break;
    }
    if (item.answerDelay)
        check(item.answerDelay->count() >= 0);
    check(!lineItemMeaning(item).empty());
    check(lineItemFault(item).empty() != item.faulty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<Step> steps = parse(data, size);
    const std::vector<LineItem> whole = decode(steps, false);
    std::vector<Byte> fed[2], shown[2];
    for (const Step& s : steps)
        fed[int(s.direction)].insert(fed[int(s.direction)].end(), s.bytes.begin(), s.bytes.end());
    for (const LineItem& item : whole) {
        checkItem(item);
        shown[int(item.direction)].insert(shown[int(item.direction)].end(), item.bytes.begin(),
                                          item.bytes.end());
    }
    check(fed[0] == shown[0] && fed[1] == shown[1]);
    const std::vector<LineItem> split = decode(steps, true);
    check(split.size() == whole.size());
    for (std::size_t i = 0; i < split.size(); ++i)
        check(split[i].kind == whole[i].kind && split[i].bytes == whole[i].bytes &&
              split[i].time == whole[i].time && split[i].answerDelay == whole[i].answerDelay);
    return 0;
}
