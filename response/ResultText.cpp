#include "response/ResultText.h"

#include <algorithm>
#include <charconv>

namespace {

// Appends n in decimal, zero-padded to nWidth digits (more digits when it needs them).
void AppendNumber(std::string& text, long long n, int nWidth)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
    const int nDigits = static_cast<int>(end - digits);
    if (nDigits < nWidth)
        text.append(static_cast<std::size_t>(nWidth - nDigits), '0');
    text.append(digits, end);
}

int Shown(int nCount) { return std::clamp(nCount, 0, kPointCapacity); }

}  // namespace

std::string BuildResultText(int nRtuAddress, const RtuPointTable& slot)
{
    const int nYX = Shown(slot.nYXNum);
    const int nYC = Shown(slot.nYCNum);
    const int nYM = Shown(slot.nYMNum);
    std::string text;
    text.reserve(128 + static_cast<std::size_t>(nYX) * 2 + static_cast<std::size_t>(nYC) * 13 +
                 static_cast<std::size_t>(nYM) * 16);

    text += "RTUID=";
    AppendNumber(text, nRtuAddress, 0);
    text += "\r\nYX Point Number=";
    AppendNumber(text, slot.nYXNum, 0);
    text += "\r\n";
    for (int i = 0; i < nYX; ++i) {
        if (i % 8 == 0) {
            if (i > 0)
                text += ' ';
            text += 'G';
            AppendNumber(text, i / 8, 2);
            text += '=';
        }
        text += (slot.pYX[i].byState & 1) != 0 ? '1' : '0';
    }

    text += "\r\nYC Point Number=";
    AppendNumber(text, slot.nYCNum, 0);
    text += "\r\n";
    for (int i = 0; i < nYC; ++i) {
        const int v = slot.pYC[i].nValue;  // widened first: -32768 prints as 32768
        text += 'P';
        AppendNumber(text, i, 3);
        text += v >= 0 ? "=+" : "=-";
        AppendNumber(text, v >= 0 ? v : -v, 5);
        text += ' ';
    }

    text += "\r\nYM Point Number=";
    AppendNumber(text, slot.nYMNum, 0);
    text += "\r\n";
    for (int i = 0; i < nYM; ++i) {
        text += 'P';
        AppendNumber(text, i, 2);
        text += '=';
        AppendNumber(text, slot.pYM[i].dwValue, 0);
        text += ' ';
    }
    text += "\r\n\r\n";
    return text;
}
