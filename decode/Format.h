#pragma once
// printf into a string of whatever length the text needs.
#include <cstdio>
#include <string>

namespace qdec {

template <class... Args>
std::string Format(const char* pszFormat, Args... args)
{
    char text[160];
    const int n = std::snprintf(text, sizeof text, pszFormat, args...);
    if (n < 0)
        return {};
    if (n < static_cast<int>(sizeof text))
        return std::string(text, static_cast<std::size_t>(n));
    std::string long_(static_cast<std::size_t>(n), '\0');
    std::snprintf(long_.data(), long_.size() + 1, pszFormat, args...);
    return long_;
}

}  // namespace qdec
