#include "support/Hex.h"

#include <cstdio>
#include <sstream>
#include <stdexcept>

std::vector<std::uint8_t> FromHex(const std::string& hex)
{
    std::vector<std::uint8_t> data;
    std::istringstream in(hex);
    std::string token;
    while (in >> token) {
        if (token.size() != 2)
            throw std::invalid_argument("bad hex octet: " + token);
        data.push_back(static_cast<std::uint8_t>(std::stoul(token, nullptr, 16)));
    }
    return data;
}

std::string ToHex(const std::vector<std::uint8_t>& data)
{
    std::string text;
    char item[4];
    for (const std::uint8_t by : data) {
        std::snprintf(item, sizeof item, "%02X ", by);
        text += item;
    }
    if (!text.empty())
        text.pop_back();
    return text;
}

std::string Time48Hex(std::uint64_t qwMs)
{
    std::vector<std::uint8_t> octets;
    for (int i = 0; i < 6; ++i)
        octets.push_back(static_cast<std::uint8_t>(qwMs >> (8 * i)));
    return ToHex(octets);
}
