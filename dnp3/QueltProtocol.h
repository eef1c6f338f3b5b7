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

class CQueltProtocol : public CProtocol {
public:
    // m_nLinkState: both low bits are set together once the link is reset.
    static constexpr std::uint8_t LINK_RESET = 3;
    // m_nAwaiting bits.
    static constexpr std::uint8_t AWAIT_LINK = 1;  // ACK or link status to a frame sent
    static constexpr std::uint8_t AWAIT_APP = 2;   // an application response
    // m_nLastKind values.
    enum FrameKind { KIND_SECONDARY = 0, KIND_LINK_REQUEST = 1, KIND_USER_DATA = 2 };
    static constexpr int kAnswerTimeout = 3;  // seconds
    static constexpr int kRxFrameSize = 400;

    explicit CQueltProtocol(int nPort);

    // Channel hooks.
    void OnCycle() override;
    void OnReceive(const std::uint8_t* pData, int nCount) override;
    void ResetLine() override { ApplyLineSettings(); }

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

    // Application wait bits (set by the poll cycle): a reply is expected.
    std::uint8_t m_byAppWait = 0;

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
    enum RxState { RX_HUNT = 0, RX_LEN = 1, RX_HEADER = 2, RX_BLOCKS = 3 };
    std::uint8_t m_byPrev = 0;
    std::uint8_t m_byLast = 0;
    int m_nRxExpected = 0;
    int m_nRxCount = 0;
    int m_nRxIndex = 0;
    int m_nRxBlock = 0;
    std::uint8_t m_RxFrame[kRxFrameSize] = {};
    int m_nRxState = RX_HUNT;

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
    std::deque<SendElement> m_SendQueue;
    std::uint8_t m_nSendFcb = 1;
    std::uint8_t m_nRecvFcb = 1;

private:
    bool IsLinkReset() const { return (m_nLinkState & 2) != 0; }
    // Writes a frame and shows it: prefix, octets, line end, and "<= " on the receive
    // side when an answer is awaited, all under one hold of the display lock.
    void WriteAndShow(const std::uint8_t* pFrame, int nSize, const char* pszPrefix, bool bAwaited);
    void ReceiveOctet(std::uint8_t by);
    void EndDisplayLine();
    void OnRtuResetLinkStates();
};
