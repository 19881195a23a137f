// A Telnet/RFC 2217 stream built from the input: data (0xFF among it) mixed with option
// negotiation, subnegotiations and two-byte commands, fed to the client in pieces whose
// sizes also come from the input. The data bytes that come out are exactly those that
// went in; answers are whole three-byte negotiations; raw input never crashes the parser.
// A server repeating a request gets no further answer, so no flood of requests makes the
// client's outgoing negotiation grow.

#include "remote/telnet_stream.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

using quillmark::remote::ByteVector;
using quillmark::remote::TelnetStream;
namespace telnet = quillmark::remote::telnet;

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    [[nodiscard]] bool empty() const { return at_ >= size_; }
    std::uint8_t next() { return at_ < size_ ? data_[at_++] : 0; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// Returns the stream; `expected` gets its data bytes, `negotiations` counts option commands.
ByteVector buildStream(Input& in, ByteVector& expected, std::size_t& negotiations) {
    ByteVector stream;
    for (int segments = 0; !in.empty() && segments < 64; ++segments) {
        const std::uint8_t kind = in.next() % 4;
        const std::size_t length = in.next() % 24;
        if (kind == 0) {
            for (std::size_t i = 0; i < length; ++i)
                expected.push_back(in.next());
            TelnetStream::escape(expected.data() + expected.size() - length, length, stream);
        } else if (kind == 1) {
            stream.insert(
                stream.end(),
                {telnet::IAC, static_cast<std::uint8_t>(telnet::WILL + in.next() % 4), in.next()});
            ++negotiations;
        } else if (kind == 2) {
            ByteVector payload;
            for (std::size_t i = 0; i < length; ++i)
                payload.push_back(in.next());
            const std::uint8_t option = in.next() % 2 == 0 ? telnet::COM_PORT_OPTION : in.next();
            stream.insert(stream.end(), {telnet::IAC, telnet::SB, option});
            TelnetStream::escape(payload.data(), payload.size(), stream);
            stream.insert(stream.end(), {telnet::IAC, telnet::SE});
        } else {
            // NOP, data mark, go-ahead and the like: two bytes, no data.
            const std::uint8_t command = static_cast<std::uint8_t>(telnet::SE + 1 + in.next() % 9);
            stream.insert(stream.end(), {telnet::IAC, command});
        }
    }
    return stream;
}

// Requests one by one: the same request twice in a row for an option is answered at most
// once, whatever came before.
void repeatedRequestsAreNotAnswered(Input& in) {
    TelnetStream client;
    (void)client.greeting();
    std::array<std::uint8_t, 512> last{}; // per option and side: the server's last verb
    ByteVector out, replies;
    for (int i = 0; i < 256 && !in.empty(); ++i) {
        const auto verb = static_cast<std::uint8_t>(telnet::WILL + in.next() % 4);
        const std::uint8_t option = in.next() % 8 == 0 ? telnet::COM_PORT_OPTION : in.next() % 8;
        const std::size_t side = (verb >= telnet::DO ? 256U : 0U) + option;
        const int repeats = 1 + in.next() % 4;
        for (int r = 0; r < repeats; ++r) {
            const std::size_t before = replies.size();
            const ByteVector request{telnet::IAC, verb, option};
            client.receive(request.data(), request.size(), out, replies);
            check(replies.size() - before <= 3);
            if (last.at(side) == verb)
                check(replies.size() == before);
            last.at(side) = verb;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    {
        TelnetStream raw;
        ByteVector out, replies;
        raw.receive(data, size, out, replies);
        check(out.size() <= size && replies.size() % 3 == 0);
    }
    Input in(data, size);
    ByteVector expected;
    std::size_t negotiations = 0;
    const ByteVector stream = buildStream(in, expected, negotiations);

    TelnetStream client;
    const ByteVector greeting = client.greeting();
    check(greeting.size() % 3 == 0);
    ByteVector out, replies;
    std::size_t at = 0;
    while (at < stream.size()) {
        const std::size_t piece = in.empty() ? stream.size() - at : 1 + in.next() % 8;
        const std::size_t n = piece < stream.size() - at ? piece : stream.size() - at;
        client.receive(stream.data() + at, n, out, replies);
        at += n;
    }
    check(out == expected);
    check(replies.size() % 3 == 0 && replies.size() <= 3 * negotiations);
    for (std::size_t i = 0; i < replies.size(); i += 3)
        check(replies[i] == telnet::IAC && replies[i + 1] >= telnet::WILL);
    Input again(data, size);
    repeatedRequestsAreNotAnswered(again);
    return 0;
}
