#include "remote/telnet_stream.h"

namespace quillmark::remote {

using namespace telnet;

namespace {

// Longest subnegotiation payload kept; the rest is dropped (answers carry at most 4 bytes).
constexpr std::size_t kPayloadLimit = 64;

void send(ByteVector& out, std::uint8_t verb, std::uint8_t option) {
    out.insert(out.end(), {IAC, verb, option});
}

} // namespace

TelnetStream::TelnetStream() {
    for (auto option : {BINARY, SGA, COM_PORT_OPTION})
        local_.at(option).wanted = true;
    for (auto option : {BINARY, SGA})
        remote_.at(option).wanted = true;
    payload_.reserve(kPayloadLimit);
}

ByteVector TelnetStream::greeting() {
    ByteVector out;
    for (auto option : {BINARY, SGA, COM_PORT_OPTION}) {
        local_.at(option).requested = true;
        send(out, WILL, option);
    }
    for (auto option : {BINARY, SGA}) {
        remote_.at(option).requested = true;
        send(out, DO, option);
    }
    return out;
}

void TelnetStream::receive(const std::uint8_t* in, std::size_t length, ByteVector& data,
                           ByteVector& replies) {
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint8_t byte = in[i];
        switch (state_) {
        case State::Data:
            if (byte == IAC)
                state_ = State::Command;
            else
                data.push_back(byte);
            break;
        case State::Command:
            command(byte, data);
            break;
        case State::Option:
            negotiate(verb_, byte, replies);
            state_ = State::Data;
            break;
        case State::SubOption:
            subOption_ = byte;
            payload_.clear();
            state_ = State::SubData;
            break;
        case State::SubData:
            if (byte == IAC)
                state_ = State::SubIac;
            else if (payload_.size() < kPayloadLimit)
                payload_.push_back(byte);
            break;
        case State::SubIac:
            if (byte == IAC) {
                if (payload_.size() < kPayloadLimit)
                    payload_.push_back(IAC);
                state_ = State::SubData;
            } else if (byte == SE) {
                finishSubnegotiation();
                state_ = State::Data;
            } else {
                // An unterminated subnegotiation: drop it and take the byte as a command.
                command(byte, data);
            }
            break;
        }
    }
}

void TelnetStream::command(std::uint8_t byte, ByteVector& data) {
    state_ = State::Data;
    if (byte == IAC) {
        data.push_back(IAC);
    } else if (byte >= WILL) {
        verb_ = byte;
        state_ = State::Option;
    } else if (byte == SB) {
        state_ = State::SubOption;
    }
    // NOP, go-ahead, data mark and the other two-byte commands carry nothing for us.
}

void TelnetStream::negotiate(std::uint8_t verb, std::uint8_t option, ByteVector& replies) {
    switch (verb) {
    case DO:
        local(option, true, replies);
        break;
    case DONT:
        local(option, false, replies);
        break;
    case WILL:
        remote(option, true, replies);
        break;
    default:
        remote(option, false, replies);
        break;
    }
}

// Answers only requests that change an option's state, and refuses an option once until
// the server switches it off again, so that no negotiation loops (RFC 1143).
void TelnetStream::answer(Option& o, bool enable, std::uint8_t yes, std::uint8_t no,
                          std::uint8_t option, ByteVector& replies) {
    const bool wasRequested = o.requested;
    o.requested = false;
    if (enable && o.wanted && !o.enabled) {
        o.enabled = true;
        if (!wasRequested)
            send(replies, yes, option);
    } else if (enable && !o.wanted) {
        if (!o.refused)
            send(replies, no, option);
        o.refused = true;
    } else if (!enable) {
        o.refused = false;
        if (o.enabled) {
            o.enabled = false;
            send(replies, no, option);
        }
    }
}

void TelnetStream::local(std::uint8_t option, bool enable, ByteVector& replies) {
    Option& o = local_.at(option);
    answer(o, enable, WILL, WONT, option, replies);
    if (option == COM_PORT_OPTION)
        comPortState_ = o.enabled ? ComPortState::Agreed : ComPortState::Refused;
}

void TelnetStream::remote(std::uint8_t option, bool enable, ByteVector& replies) {
    answer(remote_.at(option), enable, DO, DONT, option, replies);
}

void TelnetStream::finishSubnegotiation() {
    if (subOption_ != COM_PORT_OPTION || payload_.empty())
        return;
    const std::uint8_t code = payload_.front();
    if (code <= comport::SERVER_OFFSET || code >= comport::SERVER_OFFSET + 32)
        return;
    const unsigned command = code - comport::SERVER_OFFSET;
    answered_ |= 1U << command;
    if (command == comport::NOTIFY_MODEMSTATE && payload_.size() >= 2)
        modemState_ = payload_.at(1);
}

void TelnetStream::escape(const std::uint8_t* data, std::size_t length, ByteVector& out) {
    for (std::size_t i = 0; i < length; ++i) {
        out.push_back(data[i]);
        if (data[i] == IAC)
            out.push_back(IAC);
    }
}

void TelnetStream::comPortCommand(std::uint8_t command, const ByteVector& value, ByteVector& out) {
    out.insert(out.end(), {IAC, SB, COM_PORT_OPTION, command});
    escape(value.data(), value.size(), out);
    out.insert(out.end(), {IAC, SE});
}

} // namespace quillmark::remote
