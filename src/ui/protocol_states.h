#pragma once

#include <cstdint>

// Values of SendState and ReadState: which answer or reply the window waits for.
namespace quillmark {

inline constexpr std::uint8_t kSendIdle = 0;
inline constexpr std::uint8_t kSendSingle = 1;    // the next answer ends the write
inline constexpr std::uint8_t kSendRadioText = 2; // each answer sends the next RadioText chunk
inline constexpr std::uint8_t kSendMemory = 3;    // each answer sends the next memory chunk

inline constexpr std::uint8_t kReadIdle = 0;
inline constexpr std::uint8_t kReadPi = 1;
inline constexpr std::uint8_t kReadPs = 2;
inline constexpr std::uint8_t kReadPty = 3;
inline constexpr std::uint8_t kReadAf = 4;
inline constexpr std::uint8_t kReadRt = 5;
inline constexpr std::uint8_t kReadConf = 6;
inline constexpr std::uint8_t kReadFirstHalf = 7;
inline constexpr std::uint8_t kReadSecondHalf = 8;

} // namespace quillmark
