#pragma once
// Texts live in memory as UTF-8; GBK is what they measure and become where bytes leave
// the program (capture files, the traffic windows' length rule).
#include <cstddef>
#include <string>
#include <string_view>

// UTF-8 to GBK. A character GBK cannot hold becomes '?', as the platform's conversion
// would substitute it; malformed UTF-8 octets become '?' one by one.
std::string Utf8ToGbk(std::string_view utf8);
// GBK to UTF-8. An octet sequence that is not GBK becomes U+FFFD one octet at a time.
std::string GbkToUtf8(std::string_view gbk);

// Length of the text in GBK octets.
std::size_t GbkLength(std::string_view utf8);
// Number of UTF-8 octets at the start of the text that make up its first nGbkOctets GBK
// octets. A character that straddles the boundary is included whole.
std::size_t Utf8PrefixForGbkOctets(std::string_view utf8, std::size_t nGbkOctets);
