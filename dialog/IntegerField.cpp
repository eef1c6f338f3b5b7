#include "dialog/IntegerField.h"

#include <cctype>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Digits beyond this cannot change whether the value is inside an int range.
constexpr long long kSaturation = 10'000'000'000LL;

}  // namespace

IntegerFieldResult ReadIntegerField(std::string_view text, int nMin, int nMax)
{
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    bool bNegative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        bNegative = text[i++] == '-';
    const std::size_t nFirstDigit = i;
    long long value = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        if (value < kSaturation)
            value = value * 10 + (text[i] - '0');
        ++i;
    }
    const bool bDigits = i > nFirstDigit;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    IntegerFieldResult result;
    if (!bDigits || i != text.size()) {
        result.Error = "Please enter an integer.";
        return result;
    }
    if (bNegative)
        value = -value;
    if (value < nMin || value > nMax) {
        result.Error = "Please enter an integer between " + std::to_string(nMin) + " and " +
                       std::to_string(nMax) + ".";
        return result;
    }
    result.nValue = static_cast<int>(value);
    return result;
}
