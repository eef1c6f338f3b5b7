#pragma once
// DNP3 application function codes, named once for the request builders, the poll cycle,
// the command table and the simulated RTU.
#include <cstdint>

namespace fc {

constexpr std::uint8_t CONFIRM = 0x00;
constexpr std::uint8_t READ = 0x01;
constexpr std::uint8_t WRITE = 0x02;
constexpr std::uint8_t SELECT = 0x03;
constexpr std::uint8_t OPERATE = 0x04;
constexpr std::uint8_t DIRECT_OPERATE = 0x05;
constexpr std::uint8_t DIRECT_OPERATE_NR = 0x06;
constexpr std::uint8_t IMMED_FREEZE = 0x07;
constexpr std::uint8_t IMMED_FREEZE_NR = 0x08;
constexpr std::uint8_t FREEZE_CLEAR = 0x09;
constexpr std::uint8_t FREEZE_CLEAR_NR = 0x0A;
constexpr std::uint8_t COLD_RESTART = 0x0D;
constexpr std::uint8_t WARM_RESTART = 0x0E;
constexpr std::uint8_t INITIALIZE_DATA = 0x0F;
constexpr std::uint8_t INITIALIZE_APPL = 0x10;
constexpr std::uint8_t START_APPL = 0x11;
constexpr std::uint8_t STOP_APPL = 0x12;
constexpr std::uint8_t ENABLE_UNSOLICITED = 0x14;
constexpr std::uint8_t DISABLE_UNSOLICITED = 0x15;
constexpr std::uint8_t DELAY_MEASURE = 0x17;
constexpr std::uint8_t RECORD_CURRENT_TIME = 0x18;
constexpr std::uint8_t RESPONSE = 0x81;
constexpr std::uint8_t UNSOLICITED_RESPONSE = 0x82;

}  // namespace fc
