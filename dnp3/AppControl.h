#pragma once
// The application control octet: FIR, FIN, CON, UNS and the sequence number, named once
// for the request builders, the poll cycle and the judging of control echoes.
#include <cstdint>

namespace ac {

constexpr std::uint8_t FIR = 0x80;
constexpr std::uint8_t FIN = 0x40;
constexpr std::uint8_t CON = 0x20;
constexpr std::uint8_t UNS = 0x10;
constexpr std::uint8_t SEQ = 0x0F;

}  // namespace ac
