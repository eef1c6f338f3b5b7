#pragma once
// The simulated RTU: a DNP3 outstation's link, transport and application layers over a
// point database. It is fed the octets from the line and hands what it sends to its
// output; it runs in real time (values change, selections expire, busy periods end).
#include <chrono>
#include <cstdint>
#include <ctime>
#include <deque>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "sim/FrameAssembler.h"
#include "sim/ResponseBuilder.h"
#include "sim/SimDatabase.h"
#include "sim/SimOptions.h"

class COutstation {
public:
    using Output = std::function<void(const std::vector<std::uint8_t>& octets)>;
    using Log = std::function<void(const std::string& line)>;

    COutstation(const SimOptions& options, Output output, Log log = {});

    // Sends the RTU's own reset link states when asked to.
    void Start();
    void Receive(const std::uint8_t* pData, int nCount);
    // Time passes: values change, a busy period ends.
    void Tick();
    // A silent RTU ignores everything (tests switch it on and off).
    void SetSilent(bool bSilent) { m_bSilent = bSilent; }
    // How often values change from now on; 0 stops the changes.
    void SetChangePeriod(int nMs) { m_Options.nChangeMs = nMs; }
    // Every fault option off from now on: the line and the RTU behave.
    void StopFaults();
    // A master connected anew (TCP): its link starts from a reset, and what was under way
    // for the old connection is dropped. The events stay until confirmed.
    void OnNewConnection();

    CSimDatabase& Database() { return m_Db; }
    int RequestsHandled() const { return m_nRequests; }
    long long OctetsReceived() const { return m_llOctetsIn; }
    long long OctetsSent() const { return m_llOctetsOut; }
    // The RTU's clock: 48 bits of milliseconds, since the 1st of the month or UTC since
    // 1970 as the options say.
    std::uint64_t RtuTime() const;
    // The computer's clock counted the same way.
    std::uint64_t ComputerTime() const;
    bool IsClockSynced() const { return !m_bNeedTime; }

    // Internal indications, first octet.
    static constexpr std::uint8_t IIN1_CLASS1 = 0x02, IIN1_CLASS2 = 0x04, IIN1_CLASS3 = 0x08,
                                  IIN1_NEED_TIME = 0x10, IIN1_RESTART = 0x80;
    // Second octet.
    static constexpr std::uint8_t IIN2_NO_FUNC = 0x01, IIN2_OBJECT_UNKNOWN = 0x02, IIN2_PARAMETER = 0x04,
                                  IIN2_EVENT_OVERFLOW = 0x08;
    // Control status codes.
    static constexpr std::uint8_t CONTROL_SUCCESS = 0, CONTROL_TIMEOUT = 1, CONTROL_NO_SELECT = 2,
                                  CONTROL_NOT_SUPPORTED = 4;
    static constexpr std::size_t kMaxRequest = 2048;  // a request fragment longer than this is dropped

private:
    using Clock = std::chrono::steady_clock;

    // Link layer.
    void OnFrame(const std::vector<std::uint8_t>& frame);
    void SendSecondary(std::uint8_t byFunc);
    // The RTU as a primary station: its reset of the link towards the master and its
    // confirmed user data, one frame at a time, each retried until acknowledged.
    void SendUserData(const std::vector<std::uint8_t>& segment);
    void PumpPrimary();
    void OnSecondaryFrame(std::uint8_t byFunc);
    void CheckPrimaryTimeout();
    void SendFrame(std::uint8_t byCtrl, const std::uint8_t* pData, int nLength);
    bool IsBusy() const;
    // Transport.
    void OnSegment(const std::uint8_t* pSegment, int nLength);
    void SendFragment(const std::vector<std::uint8_t>& fragment);
    // Application.
    void OnRequest(const std::vector<std::uint8_t>& fragment);
    struct Reply {
        std::vector<ResponseObject> objects;
        std::uint8_t byIin2 = 0;
        bool bNone = false;  // no response at all
        std::string note;    // one line for the log
        std::string detail;  // what a read found
        bool bDelayMeasure = false;   // the turnaround is filled in as it goes out
        Clock::time_point tRequest{};  // the first octet of the request came
    };
    void Read(const std::vector<std::uint8_t>& req, Reply& reply);
    void Write(const std::vector<std::uint8_t>& req, Reply& reply);
    void Control(const std::vector<std::uint8_t>& req, std::uint8_t bySeq, bool bOperate, Reply& reply);
    // Events of the classes and kinds, in the order they happened, at most nMax, none twice.
    void AddEvents(unsigned uClasses, unsigned uKinds, int nBinaryVar, std::size_t nMax, Reply& reply);
    // The response in as many fragments as it needs; the first goes out now.
    void Respond(std::uint8_t bySeq, Reply reply);
    void SendNextFragment();
    void OnConfirm(std::uint8_t bySeq);
    // Unsolicited responses: their own sequence numbers, confirms with UNS set, and only
    // for the classes the master enabled (the null one at start goes out regardless).
    void SetUnsolicited(const std::vector<std::uint8_t>& req, bool bEnable);
    void UnsolicitedStep();
    void SendUnsolicited(const std::vector<ResponseObject>& objects);
    void OnUnsolicitedConfirm(std::uint8_t bySeq);
    // The faults that spoil a response or a whole device.
    void SpoilObjects(std::vector<ResponseObject>& objects);
    void Restart();
    // What the link, the transport and the exchanges under way hold: gone with a restart
    // or a new connection.
    void ForgetExchanges();
    ResponseOptions BuildOptions() const;
    std::uint8_t Iin1() const;
    std::uint8_t Iin2(std::uint8_t byReply) const;

    SimOptions m_Options;
    Output m_Output;
    Log m_Log;
    CFrameAssembler m_Assembler;
    CSimDatabase m_Db;
    std::mt19937 m_Random;

    bool m_bSilent = false;
    bool m_bLinkReset = false;
    int m_nExpectedFcb = 1;
    Clock::time_point m_tBusyUntil{};
    static constexpr int kPrimaryTries = 3;
    static constexpr auto kPrimaryTimeout = std::chrono::seconds(2);
    struct AwaitedAck {
        std::uint8_t byCtrl;
        std::vector<std::uint8_t> Data;  // empty for the reset
        int nTries;
        Clock::time_point tSent;
    };
    std::optional<AwaitedAck> m_AwaitedAck;
    std::deque<std::vector<std::uint8_t>> m_UserDataQueue;  // segments waiting their turn
    bool m_bPrimaryReset = false;  // the master acknowledged our reset
    int m_nPrimaryFcb = 1;
    int m_nFramesSent = 0;
    int m_nMasterFrames = 0;  // frames from the master, for the loss fault
    long long m_llOctetsIn = 0;
    long long m_llOctetsOut = 0;
    std::vector<std::uint8_t> m_Fragment;  // transport reassembly, at most kMaxRequest
    int m_nNextSegmentSeq = -1;
    std::uint8_t m_byTpSeq = 0;
    int m_nRequests = 0;
    bool m_bRestart = true;
    bool m_bNeedTime;
    bool m_bUseCto = false;  // alternate event responses carry a CTO and relative times
    // The response under way: fragments not yet sent, the sequence of the next one, and
    // the sequence whose confirm lets it go (-1: none awaited).
    std::deque<std::vector<ResponseObject>> m_PendingFragments;
    std::uint8_t m_byNextFragSeq = 0;
    bool m_bFirstFragment = true;
    std::uint8_t m_byRespIin2 = 0;
    int m_nAwaitConfirm = -1;
    std::vector<std::uint64_t> m_SentEventIds;  // of the reply being built
    // Late responses (fault), in the order of their requests: each sent by Tick once due.
    struct DelayedReply {
        std::uint8_t bySeq;
        Reply reply;
        Clock::time_point tDue;
    };
    std::deque<DelayedReply> m_Delayed;
    int m_nResponsesWithObjects = 0;
    static constexpr auto kUnsolicitedRetry = std::chrono::seconds(5);
    static constexpr int kUnsolicitedMark = 16;  // event marks of unsolicited sequences
    unsigned m_uUnsolClasses = 0;  // bit c: class c enabled
    bool m_bUnsolNullDue = false;  // the null response at start not yet confirmed
    struct UnsolicitedAwaited {
        std::uint8_t bySeq;
        std::vector<std::uint8_t> Fragment;
        Clock::time_point tSent;
    };
    std::optional<UnsolicitedAwaited> m_UnsolAwaited;
    std::uint8_t m_byUnsolSeq = 0;
    int m_nLongResponses = 0;
    std::uint64_t m_qwTimeBase;        // RTU time at m_tTimeBase
    Clock::time_point m_tTimeBase;
    // When the first octet of the frame last handed on, and of the one under way, came.
    Clock::time_point m_tFrameStart{};
    Clock::time_point m_tPartialStart{};
    Clock::time_point m_tLastChange;
    // A select waiting for its operate: its object octets, sequence and time.
    struct Selection {
        std::vector<std::uint8_t> Objects;
        std::uint8_t bySeq;
        std::time_t tWhen;  // the program's clock, so tests can move it
    };
    std::optional<Selection> m_Selection;
    // "Record current time" (the network's time synchronisation): when it came.
    std::optional<Clock::time_point> m_tRecorded;
};
