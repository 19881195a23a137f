#pragma once

// One table of operations and encoder behaviours. The engine runs every row; the window and
// quillmark-cli's driver run the same rows against the simulated encoder, so the front ends
// cannot drift apart again.

#include "protocol/exchange.h"

#include <QMetaType>
#include <QTest>

#include <array>
#include <cstdint>
#include <functional>

enum class Op { PiWrite, PiRead, RadioText, WholeRead, Programming, Erase };

enum class Behaviour {
    Correct,
    FailureByte, // 0x00 instead of 0xAA
    Silence,     // no answer at all
    ShortReply,  // the reply breaks off half-way
    Slow,        // the answer comes after the reply-byte time-out, within the answer time-out
    Late,        // the answer comes after the answer time-out
    StrayByte,   // a stray byte follows the answer, before the next frame is sent
    HangUp,      // the line goes down instead of answering
};

struct ExchangeRow {
    const char* name;
    Op op;
    Behaviour behaviour;
    int frame; // the frame (from 1) the behaviour applies to
    quillmark::protocol::Ending ending;
    int frames; // frames sent in all
};
Q_DECLARE_METATYPE(ExchangeRow)

// A memory image that tells every address apart.
inline std::array<std::uint8_t, 256> pattern(int seed) {
    std::array<std::uint8_t, 256> m{};
    for (int i = 0; i < 256; ++i)
        m[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i * seed + 3);
    return m;
}

inline void addExchangeRows(const std::function<bool(const ExchangeRow&)>& wanted) {
    using B = Behaviour;
    using E = quillmark::protocol::Ending;
    static const ExchangeRow rows[] = {
        {"PI write", Op::PiWrite, B::Correct, 1, E::Success, 1},
        {"PI write refused", Op::PiWrite, B::FailureByte, 1, E::Refused, 1},
        {"PI write unanswered", Op::PiWrite, B::Silence, 1, E::NoAnswer, 1},
        {"PI write answered late", Op::PiWrite, B::Late, 1, E::Success, 1},
        {"PI write, line down", Op::PiWrite, B::HangUp, 1, E::HungUp, 1},
        {"PI read", Op::PiRead, B::Correct, 1, E::Success, 1},
        {"PI read unanswered", Op::PiRead, B::Silence, 1, E::NoAnswer, 1},
        {"PI read broken", Op::PiRead, B::ShortReply, 1, E::BrokenReply, 1},
        {"PI read, line down", Op::PiRead, B::HangUp, 1, E::HungUp, 1},
        {"RadioText", Op::RadioText, B::Correct, 1, E::Success, 4},
        {"RadioText, chunk 2 refused", Op::RadioText, B::FailureByte, 2, E::Refused, 4},
        {"RadioText, chunk 3 unanswered", Op::RadioText, B::Silence, 3, E::NoAnswer, 3},
        {"RadioText, chunk 2 late", Op::RadioText, B::Late, 2, E::Success, 4},
        {"RadioText, stray after chunk 1", Op::RadioText, B::StrayByte, 1, E::Success, 4},
        {"whole read", Op::WholeRead, B::Correct, 1, E::Success, 2},
        {"whole read, second half unanswered", Op::WholeRead, B::Silence, 2, E::NoAnswer, 2},
        {"whole read, first half broken", Op::WholeRead, B::ShortReply, 1, E::BrokenReply, 1},
        {"whole read, second half slow", Op::WholeRead, B::Slow, 2, E::Success, 2},
        {"whole read, stray after first half", Op::WholeRead, B::StrayByte, 1, E::Success, 2},
        {"whole read, line down", Op::WholeRead, B::HangUp, 2, E::HungUp, 2},
        {"programming", Op::Programming, B::Correct, 1, E::Success, 16},
        {"programming, chunk 5 refused", Op::Programming, B::FailureByte, 5, E::Refused, 16},
        {"programming, chunk 6 unanswered", Op::Programming, B::Silence, 6, E::NoAnswer, 6},
        {"programming, chunk 5 late", Op::Programming, B::Late, 5, E::Success, 16},
        {"programming, stray after chunk 1", Op::Programming, B::StrayByte, 1, E::Success, 16},
        {"programming, line down", Op::Programming, B::HangUp, 5, E::HungUp, 5},
        {"erase", Op::Erase, B::Correct, 1, E::Success, 1},
        {"erase refused", Op::Erase, B::FailureByte, 1, E::Refused, 1},
    };
    QTest::addColumn<ExchangeRow>("row");
    for (const ExchangeRow& row : rows)
        if (wanted(row))
            QTest::newRow(row.name) << row;
}
