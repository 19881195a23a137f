#pragma once

// The client side of a Telnet stream (RFC 854/855) carrying the COM-PORT-OPTION of
// RFC 2217: splits received bytes into data and negotiation, answers the server's option
// requests, and builds what the client sends. No I/O here.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace quillmark::remote {

namespace telnet {
constexpr std::uint8_t SE = 240, SB = 250, WILL = 251, WONT = 252, DO = 253, DONT = 254, IAC = 255;
constexpr std::uint8_t BINARY = 0, ECHO_OPTION = 1, SGA = 3, COM_PORT_OPTION = 44;
} // namespace telnet

// RFC 2217 commands, client to server; the server answers each with code + 100.
namespace comport {
constexpr std::uint8_t SET_BAUDRATE = 1, SET_DATASIZE = 2, SET_PARITY = 3, SET_STOPSIZE = 4,
                       SET_CONTROL = 5, NOTIFY_LINESTATE = 6, NOTIFY_MODEMSTATE = 7,
                       PURGE_DATA = 12;
constexpr std::uint8_t SERVER_OFFSET = 100;
} // namespace comport

using ByteVector = std::vector<std::uint8_t>;

class TelnetStream {
public:
    enum class ComPortState { Pending, Agreed, Refused };

    TelnetStream();

    // What the client asks for on connecting: binary both ways, no go-ahead, COM-PORT-OPTION.
    [[nodiscard]] ByteVector greeting();

    // Takes received bytes in any split; appends the data bytes to `data` and the answers
    // the server expects to `replies`.
    void receive(const std::uint8_t* in, std::size_t length, ByteVector& data, ByteVector& replies);

    // Data to send, with IAC doubled.
    static void escape(const std::uint8_t* data, std::size_t length, ByteVector& out);
    // IAC SB COM-PORT-OPTION command value IAC SE.
    static void comPortCommand(std::uint8_t command, const ByteVector& value, ByteVector& out);

    [[nodiscard]] ComPortState comPortState() const { return comPortState_; }
    // Commands the server answered since the last call: bit n for command n (1..31).
    [[nodiscard]] std::uint32_t takeAnswers() { return std::exchange(answered_, 0); }
    // The last NOTIFY-MODEMSTATE value.
    [[nodiscard]] std::optional<std::uint8_t> modemState() const { return modemState_; }

private:
    enum class State { Data, Command, Option, SubOption, SubData, SubIac };
    struct Option {
        bool wanted = false;
        bool enabled = false;
        bool requested = false;
        bool refused = false; // refused since the server last switched it off
    };

    void command(std::uint8_t byte, ByteVector& data);
    void negotiate(std::uint8_t verb, std::uint8_t option, ByteVector& replies);
    void local(std::uint8_t option, bool enable, ByteVector& replies);
    void remote(std::uint8_t option, bool enable, ByteVector& replies);
    static void answer(Option& o, bool enable, std::uint8_t yes, std::uint8_t no,
                       std::uint8_t option, ByteVector& replies);
    void finishSubnegotiation();

    State state_ = State::Data;
    std::uint8_t verb_ = 0;
    std::uint8_t subOption_ = 0;
    ByteVector payload_;
    std::array<Option, 256> local_{};  // options this side performs
    std::array<Option, 256> remote_{}; // options the server performs
    ComPortState comPortState_ = ComPortState::Pending;
    std::uint32_t answered_ = 0;
    std::optional<std::uint8_t> modemState_;
};

} // namespace quillmark::remote
