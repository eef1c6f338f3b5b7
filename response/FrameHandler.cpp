#include "response/FrameHandler.h"

#include "core/Config.h"

RtuPointTable g_RtuPoints[kRtuSlots];

namespace {

// The arrays are part of the program's static storage: allocation cannot fail at run time
// and the pointers never change.
YXPoint g_YX[kRtuSlots][kPointCapacity];
YCPoint g_YC[kRtuSlots][kPointCapacity];
YMPoint g_YM[kRtuSlots][kPointCapacity];

template <class Point>
Point* Init(Point (&array)[kPointCapacity])
{
    for (int i = 0; i < kPointCapacity; ++i)
        array[i] = Point{static_cast<std::uint16_t>(i), 0};
    return array;
}

template <class Point>
void AllocOnce(Point*& pArray, Point (&array)[kPointCapacity])
{
    if (pArray == nullptr)
        pArray = Init(array);
}

}  // namespace

CFrameHandler::CFrameHandler()
{
    for (int nSlot = 0; nSlot < kRtuSlots; ++nSlot) {
        AllocYX(nSlot);
        AllocYC(nSlot);
        AllocYM(nSlot);
    }
}

void CFrameHandler::AllocYX(int nSlot) { AllocOnce(g_RtuPoints[nSlot].pYX, g_YX[nSlot]); }
void CFrameHandler::AllocYC(int nSlot) { AllocOnce(g_RtuPoints[nSlot].pYC, g_YC[nSlot]); }
void CFrameHandler::AllocYM(int nSlot) { AllocOnce(g_RtuPoints[nSlot].pYM, g_YM[nSlot]); }

void SetPointCounts()
{
    g_RtuPoints[0].nYXNum = g_nYxPoints;
    g_RtuPoints[0].nYCNum = g_nYcPoints;
    g_RtuPoints[0].nYMNum = g_nYmPoints;
}
