#pragma once
// The master's engine as the fuzz targets drive it: nothing reaches a port, message boxes
// and traces go nowhere, the clock moves only when told, the response list is decoded as
// the GUI would.
#include <cstdint>
#include <memory>

#include "dnp3/QueltProtocol.h"
#include "response/QueltHandler.h"

class CFuzzEngine : public CQueltProtocol {
public:
    // With bLinkReset, the engine is first driven through its link reset.
    explicit CFuzzEngine(bool bLinkReset);
    int Write(const std::uint8_t*, int) override { return 1; }

    // Octets from the RTU, as one read.
    void Receive(const std::uint8_t* pData, int nCount) { OnReceive(pData, nCount); }
    // One link frame from the RTU with this user data (CRCs made good).
    void ReceiveFrame(std::uint8_t byCtrl, const std::uint8_t* pData, int nCount);
    // Engine cycles, each with a request awaited whenever the link takes one, then the
    // GUI's decoding of what arrived.
    void CycleAndDecode(int nCycles);

    CQueltHandler Handler;
};

// Quiets the notifications, installs the point image and a still clock once.
void PrepareFuzzing();
