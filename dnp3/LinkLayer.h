#pragma once
// The master's link layer: the primary station (its link reset, the frames it sends with
// time-out and retransmission, its FCB) and the secondary station (the RTU's link
// requests answered, the RTU's FCB, the user data it sends queued for the transport).
// The two directions count their FCBs independently.
#include <cstdint>
#include <ctime>
#include <deque>
#include <vector>

#include "dnp3/LinkFrame.h"

class CLinkLayer {
public:
    class IHost {
    public:
        // Writes a frame and shows it behind its prefix ("=> ", "R> "); bAwaited: an
        // answer to it is awaited.
        virtual void WriteFrame(const std::uint8_t* pFrame, int nSize, const char* pszPrefix, bool bAwaited) = 0;
        // Shows a line on the receive side ("Receiving TimeOut !").
        virtual void ShowReceiveNote(const char* pszText) = 0;
        // The wait for an answer ran out: a frame still under way is given up.
        virtual void AbandonFrame() = 0;

    protected:
        ~IHost() = default;
    };

    static constexpr int kAnswerTimeout = 3;         // seconds
    static constexpr int kMaxRetransmissions = 3;
    static constexpr std::size_t kMaxRecvQueue = 64;  // segments; a response has at most 9

    explicit CLinkLayer(IHost& host);

    // The addresses frames are sent with and answered to.
    void SetAddresses(int nMaster, int nRtu);

    // One send step: the next queued frame, the wait for its answer with retransmissions,
    // and every nMaintenancePeriod seconds the link reset or the busy RTU's status.
    void Step(int nMaintenancePeriod);

    // What the receive parser found.
    void OnHeaderFrame(const std::uint8_t* pFrame);
    void OnDataFrame(const std::uint8_t* pFrame, int nLength);
    void OnBadFrame();
    // More octets of a frame under way arrived: they restart the wait for an answer.
    void OnFrameFlowing();
    bool TakesUserData() const { return m_bReset; }

    // The face the transport sees. Whether a frame with user data may be queued now.
    bool CanSend() const;
    // Queues one frame of user data; false when the link cannot take it now. A confirmed
    // frame awaits its ACK (and retransmits it when bRetransmit); bAwaitApp marks a frame
    // that an application response answers.
    bool SendUserData(bool bConfirmed, const std::uint8_t* pData, int nLength, bool bRetransmit, bool bAwaitApp);
    // 0 nothing, 1 the oldest received user data copied (pBuffer holds kMaxUserData),
    // 2 the link failed (said in the alarm window).
    int TakeUserData(std::uint8_t* pBuffer, int& nLength);
    // The application response awaited has come in full.
    void OnAnswerComplete();
    // The link is to be reset again before anything more is sent (the RTU fell silent).
    void ForgetReset() { m_bReset = false; }
    // A new connection: nothing of the old one is awaited, queued or counted, and the
    // link is reset at the next step.
    void Restart();
    // Asks the RTU for its link status when the link is idle (a keep-alive); false when
    // something is queued or awaited.
    bool RequestLinkStatus();

    bool IsReset() const { return m_bReset; }
    bool IsRemoteBusy() const { return m_bRemoteBusy; }
    // A frame waits to be written, and nothing holds it back.
    bool HasFrameToWrite() const;
    bool HasNewsForTransport() const { return !m_RecvQueue.empty() || m_bFailed; }
    bool IsAwaitingAnswer() const { return m_nAwaiting != 0; }
    std::size_t QueuedSegments() const { return m_RecvQueue.size(); }
    bool RxErrorFlagged() const { return m_bRxError; }

private:
    static constexpr std::uint8_t AWAIT_LINK = 1;  // ACK or link status to a frame sent
    static constexpr std::uint8_t AWAIT_APP = 2;   // an application response

    struct SendElement {
        bool bRetransmit;
        std::uint8_t byAwaiting;
        std::vector<std::uint8_t> Frame;
    };

    void WriteQueuedFrame();
    // Time-out or CRC failure of what is awaited: retransmits, or gives up.
    void CheckAnswer(std::time_t now);
    void Maintain(std::time_t now, int nPeriod);
    void SendSecondary(std::uint8_t byFunc);
    void SendLinkRequest(std::uint8_t byFunc);
    void OnRtuResetLinkStates();
    void OnAnswerToUs(std::uint8_t byCtrl);
    void OnRequestFromRtu(std::uint8_t byCtrl);
    // False when the queue is full and the segment was dropped.
    bool QueueReceivedData(const std::uint8_t* pFrame, int nLength);

    IHost& m_Host;
    int m_nMaster = 0;
    int m_nRtu = 0;

    // Primary station.
    bool m_bReset = false;
    bool m_bResetPending = false;
    bool m_bRemoteBusy = false;
    bool m_bFailed = false;  // user data went unanswered: said once to the transport
    bool m_bRxError = false;
    std::uint8_t m_nAwaiting = 0;
    bool m_bAwaitedUserData = false;  // else a link request: its loss is not reported upwards
    bool m_bRetransmit = false;
    int m_nRetries = 0;
    std::time_t m_tmResponse;
    std::time_t m_tmLinkCheck;
    std::uint8_t m_LastFrame[dl::kMaxFrameSize] = {};
    std::deque<SendElement> m_SendQueue;
    std::uint8_t m_nSendFcb = 1;

    // Secondary station.
    std::uint8_t m_nRecvFcb = 1;
    std::deque<std::vector<std::uint8_t>> m_RecvQueue;  // header octets + user data
    bool m_bRecvOverflow = false;
};
