#include "dnp3/LinkFrame.h"

#include <algorithm>

namespace {

constexpr std::array<std::uint16_t, 256> MakeCrcTable()
{
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned crc = i;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0xA6BC : crc >> 1;
        table[i] = static_cast<std::uint16_t>(crc);
    }
    return table;
}

constexpr std::array<std::uint16_t, 256> kCrcTable = MakeCrcTable();

void PutCrc(std::uint8_t* pAt, const std::uint8_t* pData, std::size_t nCount)
{
    const std::uint16_t crc = CalcCrc(pData, nCount);
    pAt[0] = static_cast<std::uint8_t>(crc & 0xFF);
    pAt[1] = static_cast<std::uint8_t>(crc >> 8);
}

}  // namespace

std::uint16_t CalcCrc(const std::uint8_t* pData, std::size_t nCount)
{
    unsigned crc = 0;
    for (std::size_t i = 0; i < nCount; ++i)
        crc = (crc >> 8) ^ kCrcTable[(crc ^ pData[i]) & 0xFF];
    return static_cast<std::uint16_t>(crc ^ 0xFFFF);
}

bool CrcMatches(const std::uint8_t* pData, std::size_t nCount)
{
    const std::uint16_t crc = CalcCrc(pData, nCount);
    return pData[nCount] == (crc & 0xFF) && pData[nCount + 1] == (crc >> 8);
}

int LinkFrameSize(int nLen)
{
    const int n = std::max(nLen, 5) - 5;
    return dl::kHeaderSize + 18 * (n / 16) + (n % 16 != 0 ? n % 16 + 2 : 0);
}

int BuildLinkFrame(std::uint8_t byCtrl, int nDest, int nSrc, const std::uint8_t* pData, int nData,
                   std::uint8_t* pFrame)
{
    nData = std::clamp(nData, 0, dl::kMaxUserData);
    pFrame[0] = dl::kStart1;
    pFrame[1] = dl::kStart2;
    pFrame[2] = static_cast<std::uint8_t>(nData + 5);
    pFrame[3] = byCtrl;
    pFrame[4] = static_cast<std::uint8_t>(nDest & 0xFF);
    pFrame[5] = static_cast<std::uint8_t>((nDest >> 8) & 0xFF);
    pFrame[6] = static_cast<std::uint8_t>(nSrc & 0xFF);
    pFrame[7] = static_cast<std::uint8_t>((nSrc >> 8) & 0xFF);
    PutCrc(pFrame + 8, pFrame, 8);
    int nPos = dl::kHeaderSize;
    for (int nDone = 0; nDone < nData; nDone += 16) {
        const int nBlock = std::min(16, nData - nDone);
        std::copy_n(pData + nDone, nBlock, pFrame + nPos);
        PutCrc(pFrame + nPos + nBlock, pFrame + nPos, static_cast<std::size_t>(nBlock));
        nPos += nBlock + 2;
    }
    return nPos;
}

bool PatchUserData(std::uint8_t* pFrame, int nSize, int nAt, const std::uint8_t* pData, int n)
{
    if (nSize < dl::kHeaderSize || nAt < 0 || n < 0)
        return false;
    const int nData = std::min(static_cast<int>(pFrame[2]) - 5, dl::kMaxUserData);
    if (nAt + n > nData || LinkFrameSize(pFrame[2]) > nSize)
        return false;
    for (int i = 0; i < n; ++i) {
        const int k = nAt + i;
        pFrame[dl::kHeaderSize + k / 16 * 18 + k % 16] = pData[i];
    }
    for (int nBlock = nAt / 16; n > 0 && nBlock <= (nAt + n - 1) / 16; ++nBlock) {
        std::uint8_t* pBlock = pFrame + dl::kHeaderSize + nBlock * 18;
        const int nBlockSize = std::min(16, nData - nBlock * 16);
        PutCrc(pBlock + nBlockSize, pBlock, static_cast<std::size_t>(nBlockSize));
    }
    return true;
}

HeaderFrame BuildHeaderFrame(std::uint8_t byCtrl, int nDest, int nSrc)
{
    std::uint8_t frame[dl::kMaxFrameSize];
    BuildLinkFrame(byCtrl, nDest, nSrc, nullptr, 0, frame);
    HeaderFrame header;
    std::copy_n(frame, dl::kHeaderSize, header.begin());
    return header;
}
