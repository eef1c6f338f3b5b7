#pragma once
// The DNP3 master engine on the channel of g_nComPort: the face the rest of the program
// knows, over one small class per layer (receive parser, link layer, transport,
// application layer, planner). Everything runs on the poll thread under g_csChannel.
#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <vector>

#include "channel/Protocol.h"
#include "dnp3/AppLayer.h"
#include "dnp3/ClockSync.h"
#include "dnp3/ControlEcho.h"
#include "dnp3/IinWatch.h"
#include "dnp3/LinkLayer.h"
#include "dnp3/LinkParser.h"
#include "dnp3/Planner.h"
#include "dnp3/Transport.h"

class CQueltProtocol : public CProtocol, private CLinkParser::IHandler, private CLinkLayer::IHost {
public:
    static constexpr int kMaxObjectOctets = 245;

    explicit CQueltProtocol(int nPort);
    CQueltProtocol(int nPort, std::unique_ptr<ILine> pLine);
    ~CQueltProtocol() override;

    // Channel hooks. One cycle: a frame given up after a silence, the link send step, the
    // transport receive step, the application step.
    void OnCycle() override;
    void OnReceive(const std::uint8_t* pData, int nCount) override;
    void ResetLine() override { ApplyLineSettings(); }
    bool WantsCycle() const override;
    int SettleMs() const override;

    // Request builders: 0 handed down, 1 busy or refused, 2 too long, 3 bad function code.
    int SendConfirm();
    int SendUnsolicitedConfirm();
    int SendRead(const std::uint8_t* pObjects, int nLength);
    int SendWrite(const std::uint8_t* pObjects, int nLength);
    int SendSelect(const std::uint8_t* pObjects, int nLength);
    int SendOperate(const std::uint8_t* pObjects, int nLength);
    int SendFreeze(std::uint8_t byFunc, const std::uint8_t* pObjects, int nLength);
    int SendFunctionOnly(std::uint8_t byFunc);
    int SendUnsolicitedCtrl(std::uint8_t byFunc, const std::uint8_t* pObjects, int nLength);
    int SendDelayMeasure();
    int SendRecordCurrentTime();
    // 50.1 at the time it goes out, or on a network in UTC 50.3 with the time "record
    // current time" went out.
    int SendTimeSync();

    // Object octets of a select or operate: one control relay output block with a 16-bit
    // index. Returns their count (18).
    static int BuildControlObjects(std::uint8_t* pObjects, int nPoint, int nCloseTrip, std::int32_t lRelayMs);

    // The layers' state, for those who watch (never to change it).
    const CLinkLayer& Link() const { return m_Link; }
    const CAppLayer& App() const { return m_App; }
    const CPlanner& Planner() const { return m_Planner; }
    const CClockSync& ClockSync() const { return m_ClockSync; }

private:
    // The silence after which a frame under way is abandoned.
    static constexpr std::int64_t kMinSilenceMs = 50;
    static std::int64_t SilenceLimitMs();

    // What the receive parser finds.
    void OnFrameEnd() override { EndDisplayLine(); }
    void OnHeaderFrame(const std::uint8_t* pFrame) override { m_Link.OnHeaderFrame(pFrame); }
    void OnDataFrame(const std::uint8_t* pFrame, int nLength) override { m_Link.OnDataFrame(pFrame, nLength); }
    void OnBadFrame() override;
    bool TakesUserData() const override { return m_Link.TakesUserData(); }
    // What the link layer needs.
    void WriteFrame(const std::uint8_t* pFrame, int nSize, const char* pszPrefix, bool bAwaited) override;
    void ShowReceiveNote(const char* pszText) override;
    // The link's wait for an answer ran out.
    void AbandonFrame() override;

    // What happens as a frame goes to the line: the delay measurement notes the moment,
    // the time synchronisation takes the time then. Returns the frame to write (pCopy
    // when it was stamped).
    const std::uint8_t* AtHandOver(const std::uint8_t* pFrame, int nSize, std::uint8_t* pCopy);
    // The IIN of a response (or an unsolicited one) said in the alarm window.
    void WatchIndications(const std::vector<std::uint8_t>& fragment, const std::string& request);

    // The scan period in seconds, at least 2: every period and time-out counts from it.
    static int ScanPeriod();
    void TakeAddresses();
    void EndDisplayLine();
    // A new connection of a network line: every layer starts afresh, the link with its
    // reset and automatic mode with the start-up sequence.
    void FollowSession();
    // A network line silent for the keep-alive period gets a link-status request; silent
    // for the link's time-out beyond that, it is given up and connected anew.
    void KeepAliveStep();
    // At the start of a cycle: a frame under way is given up after a silence longer than
    // SilenceLimitMs.
    void AbandonStaleFrame();
    void DropFrameUnderWay();
    // The port, the link's health and the last answer, for the status line.
    void PublishStatus() const;
    void OnAnswered();
    void TransportStep();

    // The application step: unsolicited responses, confirms, failure and retries, the wait
    // for the answer, then the planning and sending of the next request.
    void ApplicationStep();
    // Takes every unsolicited response out of the transport's results, noting a confirm.
    void TakeUnsolicited();
    // True when a confirm was due (sent now or held back while the link is busy).
    bool ConfirmStep();
    void RetryOrGiveUp();
    void WaitStep(std::time_t now, int nScanPeriod);
    // A fragment with function code 0x81 while an answer is awaited.
    void ResponseFragment(const std::vector<std::uint8_t>& fragment, std::time_t now);
    void SendNextRequest();
    static bool IsRepeatable(const RequestItem& item);
    // After a failure: the request again if harmless, else a read of the IIN. Until the
    // link takes it, the retry stays due.
    void RetryRequest();
    // Sends one request item; returns the builder's result, 0 also for items that are
    // dropped without sending.
    int DispatchRequest(const RequestItem& item);

    // The common part of every builder: readiness, header, hand-over.
    int SendFragment(std::uint8_t byCtrl, std::uint8_t byFunc, const std::uint8_t* pObjects, int nLength,
                     bool bConfirmed, bool bRequest);
    int SendRequest(std::uint8_t byFunc, const std::uint8_t* pObjects, int nLength, bool bConfirmed);

    // Selects and operates, judged on the poll thread. A response to the control sent
    // last, come after another request went out:
    bool IsLateControlEcho(const std::vector<std::uint8_t>& fragment) const;
    // A late echo: confirmed if asked, judged, handed on as the control's answer.
    void LateControlEcho(const std::vector<std::uint8_t>& fragment);
    void TakeLateControlEchoes();
    // False (with the alarm saying why) when the operate must not follow its select.
    bool OperateMayFollow();

    CLinkParser m_Parser{*this};
    CLinkLayer m_Link{*this};
    CTransport m_Transport{m_Link};
    CAppLayer m_App;
    CPlanner m_Planner;
    CControlEcho m_ControlEcho;
    std::int64_t m_nLastRxMs = 0;  // monotonic time of the last read that found octets
    // The RTU stopped answering (the application gave up, or a link reset went unanswered),
    // until it answers again.
    bool m_bAnswerLost = false;
    // How the next request goes out: new, or in place of the one that failed.
    CAppLayer::Try m_NextTry = CAppLayer::Try::NEW;
    std::vector<std::uint8_t> m_RequestSent;  // the last request fragment, for the IIN lines
    CIinWatch m_IinWatch;
    CClockSync m_ClockSync;
    // A request whose hand-over to the line matters, queued and not yet written.
    enum class HandOver { NONE, DELAY_MEASURE, RECORD_TIME, TIME_SYNC };
    // IEEE 1815's procedure for networks: "record current time", then 50.3.
    bool UsesLanTimeSync() const;
    HandOver m_HandOver = HandOver::NONE;
    int m_nSession = 0;                    // of the line, as last followed
    std::int64_t m_nSessionStartMs = 0;
    bool m_bKeepAliveSent = false;
    // The first read that found octets after the delay measurement went out: its answer's
    // first octet, on a line the RTU keeps quiet otherwise. A frame's own start would be
    // late when the parser finds it only on hunting again through octets read earlier.
    bool m_bAwaitingFirstOctet = false;
    std::int64_t m_nFirstOctetUs = -1;
};
