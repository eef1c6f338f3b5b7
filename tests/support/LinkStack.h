#pragma once
// The link layer below its own face, with the receive parser in front of it as the engine
// wires them: hex in (octets from the RTU), hex out (frames written), user data taken as
// the transport takes it. The fake clock drives its waits.
#include <string>

#include "core/Clock.h"
#include "dnp3/LinkLayer.h"
#include "dnp3/LinkParser.h"
#include "support/StateReset.h"

class LinkStackTest : public SharedStateTest, private CLinkLayer::IHost, private CLinkParser::IHandler {
protected:
    static constexpr int kPeriod = 3;  // link maintenance, as at the default scan period

    void SetUp() override;
    void TearDown() override;

    // Frames written since the last call, as hex, one space between all octets.
    std::string Sent();
    // What was shown since the last call: "=> " / "R> " and the frame, notes as they are.
    std::string Shown();
    void Feed(const std::string& hex);
    // A frame from the RTU (DEST master 3246, SRC RTU 54), as hex.
    static std::string RtuFrame(std::uint8_t byCtrl, const std::string& userData = "");
    void AdvanceAndStep(int nSeconds);
    // The link reset by the master and acknowledged.
    void ResetLink();
    // The oldest user data taken as the transport takes it: its hex, "" when none, or
    // "failure" when the link failed.
    std::string TakeData();
    // Queues user data from the master (hex).
    bool SendData(bool bConfirmed, const std::string& hex, bool bAwaitApp = true);

    ScopedFakeClock m_Clock;
    CLinkLayer m_Link{*this};
    CLinkParser m_Parser{*this};

private:
    void WriteFrame(const std::uint8_t* pFrame, int nSize, const char* pszPrefix, bool bAwaited) override;
    void ShowReceiveNote(const char* pszText) override { m_Shown += pszText; }
    void AbandonFrame() override { m_Parser.Abandon(); }
    void OnFrameEnd() override {}
    void OnHeaderFrame(const std::uint8_t* pFrame) override { m_Link.OnHeaderFrame(pFrame); }
    void OnDataFrame(const std::uint8_t* pFrame, int nLength) override { m_Link.OnDataFrame(pFrame, nLength); }
    void OnBadFrame() override { m_Link.OnBadFrame(); }
    bool TakesUserData() const override { return m_Link.TakesUserData(); }

    std::string m_Sent;
    std::string m_Shown;
};
