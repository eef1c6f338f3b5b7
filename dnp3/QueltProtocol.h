#pragma once
// The DNP3 master engine on the channel of g_nComPort. One class whose member functions
// are split by layer: LinkReceive.cpp (receive parser), LinkLayer.cpp (link procedures),
// Transport.cpp (the hand-over of user data to the link layer). Everything runs on the
// poll thread under g_csChannel.
#include <cstdint>
#include <ctime>
#include <deque>
#include <vector>

#include "channel/Protocol.h"
#include "dnp3/LinkFrame.h"
#include "dnp3/LinkParser.h"

class CQueltProtocol : public CProtocol, private CLinkParser::IHandler {
public:
    // m_nLinkState: both low bits are set together once the link is reset.
    static constexpr std::uint8_t LINK_RESET = 3;
    // m_nAwaiting bits.
    static constexpr std::uint8_t AWAIT_LINK = 1;  // ACK or link status to a frame sent
    static constexpr std::uint8_t AWAIT_APP = 2;   // an application response
    // m_nLastKind values.
    enum FrameKind { KIND_SECONDARY = 0, KIND_LINK_REQUEST = 1, KIND_USER_DATA = 2 };
    static constexpr int kAnswerTimeout = 3;  // seconds

    explicit CQueltProtocol(int nPort);
    CQueltProtocol(int nPort, std::unique_ptr<ILine> pLine);

    // Channel hooks. One cycle: link send step, transport receive step, application step.
    void OnCycle() override;
    void OnReceive(const std::uint8_t* pData, int nCount) override;
    void ResetLine() override { ApplyLineSettings(); }
    bool WantsCycle() const override;
    int SettleMs() const override;

    // Link layer.
    void LinkSendStep(int nMaster, int nRtu);
    void SendSecondary(std::uint8_t byFunc, int nDest, int nSrc);
    void SendLinkRequest(std::uint8_t byFunc, int nDest, int nSrc);
    void HandleHeaderFrame(const std::uint8_t* pFrame);
    void HandleDataFrame(const std::uint8_t* pFrame, int nLength);
    // 0 nothing, 1 the oldest user data copied (pBuffer holds 250), 2 link failure.
    int TakeUserData(std::uint8_t* pBuffer, int& nLength);

    // Hand-over of user data to the link layer: 0 queued, 3 bad service, 4 busy.
    int SendUserData(int nService, int nDest, int nSrc, const std::uint8_t* pData, int nLength,
                     int nRetry);
    void QueueUserDataFrame(std::uint8_t byFunc, int nDest, int nSrc, const std::uint8_t* pData,
                            int nLength, int nRetry);

    // Transport: 0 sent (or refused for its length, with an alarm), 3 bad service, 4 busy.
    int TransportSend(int nService, int nDest, int nSrc, const std::uint8_t* pFragment, int nLength,
                      int nRetry);
    // At most one received segment per cycle into the reassembly buffer.
    void TransportReceive(int nMaster, int nRtu);
    // The oldest result: 0 nothing new, 1 a fragment copied (pBuffer holds kFragmentMax),
    // 2 failure, with the octets of the broken fragment that had come (none when the link
    // failed) copied the same way.
    int TakeFragment(std::uint8_t* pBuffer, int& nLength);

    // The master poll cycle: confirm, failure and repeats, the wait for the reply, then the
    // planning of the next batch and the sending of its next request.
    void ApplicationStep(int nMaster, int nRtu);

    // Request builders: 0 handed down, 1 busy or refused, 2 too long, 3 bad function code.
    int SendConfirm(int nRtu, int nMaster);
    int SendUnsolicitedConfirm(int nRtu, int nMaster);
    int SendRead(int nRtu, int nMaster, const std::uint8_t* pObjects, int nLength);
    int SendWrite(int nRtu, int nMaster, const std::uint8_t* pObjects, int nLength);
    int SendSelect(int nRtu, int nMaster, const std::uint8_t* pObjects, int nLength);
    int SendOperate(int nRtu, int nMaster, const std::uint8_t* pObjects, int nLength);
    int SendFreeze(int nRtu, int nMaster, std::uint8_t byFunc, const std::uint8_t* pObjects, int nLength);
    int SendFunctionOnly(int nRtu, int nMaster, std::uint8_t byFunc);
    int SendUnsolicitedCtrl(int nRtu, int nMaster, std::uint8_t byFunc, const std::uint8_t* pObjects,
                            int nLength);
    int SendDelayMeasure(int nRtu, int nMaster);
    int SendTimeSync(int nRtu, int nMaster);

    // Object octets of a select or operate: one control relay output block with a 16-bit
    // index. Returns their count (18).
    static int BuildControlObjects(std::uint8_t* pObjects, int nPoint, int nCloseTrip, std::int32_t lRelayMs);

    static constexpr int kSegmentData = 249;   // application octets in one segment
    static constexpr int kFragmentMax = 2048;  // reassembly buffer
    static constexpr int kMaxObjectOctets = 245;

    // One request waiting in a request list.
    struct RequestItem {
        std::uint8_t byFunc;
        std::uint8_t byGroup;
        std::uint8_t byVar;
    };
    std::deque<RequestItem> m_listInit;  // start-up requests, served first
    std::deque<RequestItem> m_listPoll;  // periodic requests, polls, the manual queue
    std::time_t m_tLastScan;
    // Far in the past, so the first periodic checks fire.
    std::time_t m_tLastTimeSync = 0;
    std::time_t m_tLastAnalog = 0;
    std::time_t m_tLastCounter = 0;  // start of the quarter hour of the last counter read
    int m_bInitNeeded = 1;
    int m_bRestartCleared = 0;  // a response since the last restart had IIN1.7 clear
    int m_bAppFailed = 0;

    // Application wait bits: a reply is expected.
    static constexpr std::uint8_t WAIT_RESPONSE = 2;
    std::uint8_t m_byAppWait = 0;
    int m_nAppRetry = 0;         // tries since the request failed
    RequestItem m_Outstanding{};  // the request last sent, to try again
    std::time_t m_tRequest = 0;  // when the awaited request was sent

    // Transport and application framing. A fragment is reassembled from the segments of
    // one FIR...FIN run only; completed fragments and failures wait in order until the
    // poll cycle takes them.
    struct TransportResult {
        int nResult;  // 1 fragment, 2 failure
        std::vector<std::uint8_t> Fragment;  // of a failure: the first octets of the broken fragment
    };
    static constexpr std::size_t kMaxTpResults = 16;
    std::deque<TransportResult> m_TpResults;
    int m_bTpActive = 0;  // a FIR segment started the fragment in m_TpBuf
    int m_nTpSegCount = 0;
    std::uint8_t m_byTpFirstSeq = 0;
    std::uint8_t m_byTpSendSeq = 0;
    int m_nTpFill = 0;  // octets reassembled so far
    std::uint8_t m_TpBuf[kFragmentMax] = {};
    int m_bConfirmPending = 0;
    std::uint8_t m_byConfirmSeq = 0;  // sequence of the response the confirm answers
    int m_bUnsolConfirmPending = 0;
    std::uint8_t m_byUnsolConfirmSeq = 0;
    std::uint8_t m_byAppSeq = 0;
    std::uint8_t m_AppBuf[kFragmentMax] = {};
    int m_nAppLen = 0;
    // The outstanding request, and how far its response has come: every fragment of it is
    // handed on marked with the request's function code.
    std::uint8_t m_byRequestFunc = 0;
    std::uint8_t m_byRequestSeq = 0;
    // Sequences of the earlier tries of the same request: a late answer to one of them
    // still answers it.
    std::vector<std::uint8_t> m_EarlierTrySeqs;
    int m_bRetrying = 0;
    int m_bInResponse = 0;            // a FIR fragment came, the FIN one has not yet
    std::uint8_t m_byNextRespSeq = 0;  // the sequence the next fragment must carry

    // The last select or operate sent, until its echo came.
    struct ControlSent {
        std::uint8_t byFunc = 0;
        std::uint8_t bySeq = 0;
        std::vector<std::uint8_t> Objects;
        bool bAnswerDue = false;
    };
    ControlSent m_Control;
    // What the last select's echo said: the operate that follows it depends on it.
    enum class SelectOutcome { AWAITED, CONFIRMED, REFUSED, MISMATCH, LATE };
    SelectOutcome m_SelectOutcome = SelectOutcome::AWAITED;
    std::uint8_t m_bySelectStatus = 0;

    // Link state.
    std::uint8_t m_nLinkState = 0;
    std::uint8_t m_nAwaiting = 0;
    int m_bRemoteBusy = 0;
    int m_bResetPending = 0;
    std::time_t m_tmResponse;
    std::time_t m_tmLinkCheck;
    int m_nLastKind = KIND_SECONDARY;
    int m_bRetry = 0;
    int m_nRetries = 0;
    int m_nMaxRetries = 0;
    std::uint8_t m_LastFrame[dl::kMaxFrameSize] = {};

    // Receive parser.
    CLinkParser m_Parser{*this};
    std::int64_t m_nLastRxMs = 0;  // monotonic time of the last read that found octets
    static constexpr std::int64_t kMinSilenceMs = 50;
    // The silence after which a frame under way is abandoned.
    static std::int64_t SilenceLimitMs();

    int m_bLinkFailed = 0;
    int m_bRxError = 0;

    // A frame waiting on the send queue.
    struct SendElement {
        int nRetry;
        int nMaxRetries;
        std::uint8_t byAwaiting;
        std::vector<std::uint8_t> Frame;
    };
    std::deque<std::vector<std::uint8_t>> m_RecvQueue;  // header octets + user data
    static constexpr std::size_t kMaxRecvQueue = 64;    // segments; a response has at most 9
    int m_bRecvOverflow = 0;
    std::deque<SendElement> m_SendQueue;
    std::uint8_t m_nSendFcb = 1;
    std::uint8_t m_nRecvFcb = 1;

private:
    bool IsLinkReset() const { return (m_nLinkState & 2) != 0; }
    // Writes a frame and shows it: prefix, octets, line end, and "<= " on the receive
    // side when an answer is awaited, all under one hold of the display lock.
    void WriteAndShow(const std::uint8_t* pFrame, int nSize, const char* pszPrefix, bool bAwaited);
    // What the receive parser finds.
    void OnFrameEnd() override { EndDisplayLine(); }
    void OnHeaderFrame(const std::uint8_t* pFrame) override { HandleHeaderFrame(pFrame); }
    void OnDataFrame(const std::uint8_t* pFrame, int nLength) override { HandleDataFrame(pFrame, nLength); }
    void OnBadFrame() override { FlagRxError(); }
    bool TakesUserData() const override { return m_nLinkState == LINK_RESET; }
    void EndDisplayLine();
    void FlagRxError();
    // A frame under way is given up when the wait for it ran out, or (at the start of a
    // cycle) after a silence longer than SilenceLimitMs.
    void AbandonFrame();
    void AbandonStaleFrame();
    void OnRtuResetLinkStates();
    // False when the queue is full and the segment was dropped.
    bool QueueReceivedData(const std::uint8_t* pFrame, int nLength);
    // The common part of every builder: readiness, header, hand-over.
    // Returns the builder result; on 0 the caller applies its own effects.
    int SendFragment(std::uint8_t byCtrl, std::uint8_t byFunc, const std::uint8_t* pObjects, int nLength,
                     int nService, int nRtu, int nMaster, std::uint8_t byWait);
    // The steps of ApplicationStep; those returning bool return true when the cycle ends there.
    bool ConfirmStep(int nMaster, int nRtu);
    // Takes every unsolicited response out of the transport's results, noting a confirm.
    void TakeUnsolicited();
    void FailureStep();
    void WaitStep(std::time_t now, int nScanPeriod);
    // A fragment with function code 0x81: checked against the response under way, then
    // confirmed if it asks for it and handed on.
    void ResponseFragment(std::time_t now);
    // Whether a fragment with this application control octet can belong to the response
    // now awaited: its first fragment, or the next one of it.
    bool IsAwaitedFragment(std::uint8_t byCtrl) const;
    // Failures that came before a request was sent cannot concern it.
    void DropEarlierFailures();
    void PushTransportResult(int nResult, const std::uint8_t* pFragment, int nLength);
    void FailFragment();
    void RememberControl(std::uint8_t byFunc, std::uint8_t bySeq, const std::uint8_t* pObjects, int nLength);
    void ForgetControlSeq(std::uint8_t bySeq);
    // A response to the control sent last, come after another request went out.
    bool IsLateControlEcho(const std::uint8_t* pFragment, int nLength) const;
    // The echo answers the control: a select's is judged for the operate that follows.
    void TakeControlEcho(const std::uint8_t* pFragment, int nLength, bool bLate);
    // The late echo in m_AppBuf: confirmed if asked, judged, handed on as the control's answer.
    void LateControlEcho();
    void TakeLateControlEchoes();
    // False (with the alarm saying why) when the operate must not follow its select.
    bool OperateMayFollow();
    bool PlanAutomatic(std::time_t now, int nScanPeriod);
    bool PlanManual(std::time_t now, int nScanPeriod);
    void SendNextRequest(int nMaster, int nRtu);
    static bool IsRepeatable(const RequestItem& item);
    // After a failure: the request again if harmless, else a read of the IIN.
    int RetryRequest(int nMaster, int nRtu);
    // Restart (IIN1.7) and need-time (IIN1.4) as the RTU reports them.
    void FollowIndications(std::uint8_t byIin1);
    // Sends one request item; returns the builder's result, 0 also for items that are
    // dropped without sending.
    int DispatchRequest(const RequestItem& item, int nMaster, int nRtu);
    int SendRequest(std::uint8_t byFunc, const std::uint8_t* pObjects, int nLength, int nService, int nRtu,
                    int nMaster);
};
