#pragma once
// The master's engine as the fuzz targets drive it: nothing reaches a port, message boxes
// and traces go nowhere, the response list is decoded as the GUI would.
#include <cstdint>
#include <memory>

#include "dnp3/QueltProtocol.h"
#include "response/QueltHandler.h"

class CFuzzEngine : public CQueltProtocol {
public:
    CFuzzEngine();
    int Write(const std::uint8_t*, int) override { return 1; }

    // The engine's cycle with a response awaited, then the GUI's decoding of what arrived.
    void CycleAndDecode(int nCycles);

    CQueltHandler Handler;
};

// Quiets the notifications and installs the point image once.
void PrepareFuzzing();
