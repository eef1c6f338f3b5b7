#pragma once
// Frames in tests are written as the hex strings an engineer reads: "05 64 05 C0".
#include <cstdint>
#include <string>
#include <vector>

std::vector<std::uint8_t> FromHex(const std::string& hex);
std::string ToHex(const std::vector<std::uint8_t>& data);
// A DNP3 48-bit time (milliseconds) as its six octets on the line, low first.
std::string Time48Hex(std::uint64_t qwMs);
