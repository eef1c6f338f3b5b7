#pragma once
// The DNP3 engine on an in-memory line whose far end the test plays, with the fake clock.
#include <memory>
#include <string>

#include "core/Clock.h"
#include "channel/MemoryLine.h"
#include "dnp3/QueltProtocol.h"
#include "support/StateReset.h"

// The engine with every frame it writes recorded (and still written to the line).
class CapturingEngine : public CQueltProtocol {
public:
    using CQueltProtocol::CQueltProtocol;
    int Write(const std::uint8_t* pData, int nCount) override;
    std::vector<std::vector<std::uint8_t>> Frames;  // not yet looked at by the test
};

class EngineTest : public SharedStateTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Octets the engine wrote to the line since the last call, as hex.
    std::string Sent();
    // Traffic texts appended since the last call.
    std::string SendText();
    std::string RecvText();
    // Hands octets to the receive parser as one read.
    void Feed(const std::string& hex);
    // A frame as the RTU would send it (DEST master, SRC RTU by default), as hex.
    static std::string RtuFrame(std::uint8_t byCtrl, const std::string& userData = "",
                                int nDest = 3246, int nSrc = 54);
    void AdvanceAndStep(int nSeconds);
    void ResetLink();

    // (Re)creates the engine, as channel creation does.
    void CreateEngine();

    ScopedFakeClock m_Clock;
    CMemoryLine* m_pLine = nullptr;  // owned by the engine
    std::unique_ptr<CapturingEngine> m_pEngine;
};
