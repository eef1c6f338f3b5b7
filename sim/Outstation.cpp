#include "sim/Outstation.h"

#include <algorithm>

#include "core/Clock.h"
#include "dnp3/LinkFrame.h"

COutstation::COutstation(const SimOptions& options, Output output, Log log)
    : m_Options(options), m_Output(std::move(output)), m_Log(std::move(log)),
      m_Db(options.nYx, options.nYc, options.nYm, options.uSeed, options.nBinaryClass, options.nAnalogClass),
      m_Random(options.uSeed),
      m_bNeedTime(!options.bNoTimeSync), m_tTimeBase(Clock::now()), m_tLastChange(m_tTimeBase)
{
    const std::int64_t nStart = static_cast<std::int64_t>(ComputerTime()) + std::int64_t{options.nClockOffsetS} * 1000;
    m_qwTimeBase = static_cast<std::uint64_t>(std::max<std::int64_t>(nStart, 0));
}

std::uint64_t COutstation::RtuTime() const
{
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_tTimeBase);
    return (m_qwTimeBase + static_cast<std::uint64_t>(std::max<std::int64_t>(elapsed.count(), 0))) & 0xFFFF'FFFF'FFFF;
}

std::uint64_t COutstation::ComputerTime() const
{
    return m_Options.bUtcTime ? UtcMs() : MillisecondsOfMonth(::Clock().LocalNow());
}

void COutstation::Start()
{
    if (m_Options.bResetFirst)
        PumpPrimary();
    m_bUnsolNullDue = m_Options.bUnsolicited;
    UnsolicitedStep();
}

void COutstation::Tick()
{
    const auto now = Clock::now();
    CheckPrimaryTimeout();
    UnsolicitedStep();
    while (!m_Delayed.empty() && now >= m_Delayed.front().tDue) {
        DelayedReply delayed = std::move(m_Delayed.front());
        m_Delayed.pop_front();
        Respond(delayed.bySeq, std::move(delayed.reply));
    }
    if (m_Options.nChangeMs <= 0)
        return;
    if (now - m_tLastChange >= std::chrono::milliseconds(m_Options.nChangeMs)) {
        m_tLastChange = now;
        m_Db.Evolve(RtuTime());
    }
}

void COutstation::Receive(const std::uint8_t* pData, int nCount)
{
    m_llOctetsIn += nCount;
    const int nErrorsBefore = m_Assembler.CrcErrors();
    const auto tRead = Clock::now();
    // A frame begun in an earlier read counts from that read; any other from this one.
    Clock::time_point tStart = m_Assembler.IsIdle() ? tRead : m_tPartialStart;
    for (const std::vector<std::uint8_t>& frame : m_Assembler.Push(pData, nCount)) {
        m_tFrameStart = tStart;
        tStart = tRead;
        if (!m_bSilent)
            OnFrame(frame);
    }
    m_tPartialStart = tStart;
    if (m_Assembler.CrcErrors() != nErrorsBefore && m_Log)
        m_Log("frame with a bad CRC ignored");
}

bool COutstation::IsBusy() const { return Clock::now() < m_tBusyUntil; }

void COutstation::OnFrame(const std::vector<std::uint8_t>& frame)
{
    const std::uint8_t byCtrl = frame[3];
    const int nDest = frame[4] | (frame[5] << 8);
    if (nDest != m_Options.nAddress || (byCtrl & dl::DIR) == 0)
        return;  // not for us, or not from a master
    if (m_Options.nLoseMasterEvery > 0 && ++m_nMasterFrames % m_Options.nLoseMasterEvery == 0) {
        if (m_Log)
            m_Log("frame from the master lost");
        return;
    }
    if ((byCtrl & dl::PRM) == 0) {
        OnSecondaryFrame(byCtrl & dl::FUNC);  // an answer to our own primary frame
        return;
    }
    const bool bFcb = (byCtrl & dl::FCB) != 0;
    switch (byCtrl & dl::FUNC) {
    case dl::RESET_LINK_STATES:
        m_bLinkReset = true;
        m_nExpectedFcb = 1;
        if (m_Options.nBusyMs > 0)
            m_tBusyUntil = Clock::now() + std::chrono::milliseconds(m_Options.nBusyMs);
        SendSecondary(dl::ACK);
        break;
    case dl::TEST_LINK_STATES:
        if (m_bLinkReset && (bFcb ? 1 : 0) == m_nExpectedFcb)
            m_nExpectedFcb ^= 1;
        SendSecondary(m_bLinkReset ? dl::ACK : dl::NACK);
        break;
    case dl::REQUEST_LINK_STATUS:
        SendSecondary(dl::LINK_STATUS);
        break;
    case dl::CONFIRMED_USER_DATA:
        if (!m_bLinkReset) {
            SendSecondary(dl::NACK);
            break;
        }
        SendSecondary(dl::ACK);
        if ((bFcb ? 1 : 0) != m_nExpectedFcb)
            break;  // a repetition: acknowledged again, not processed again
        m_nExpectedFcb ^= 1;
        OnSegment(frame.data() + 8, static_cast<int>(frame.size()) - 8);
        break;
    case dl::UNCONFIRMED_USER_DATA:
        OnSegment(frame.data() + 8, static_cast<int>(frame.size()) - 8);
        break;
    default:
        SendSecondary(dl::NOT_FUNCTIONING);
        break;
    }
}

void COutstation::SendSecondary(std::uint8_t byFunc)
{
    const bool bFlowControl = (byFunc == dl::ACK || byFunc == dl::LINK_STATUS) && IsBusy();
    SendFrame(static_cast<std::uint8_t>(byFunc | (bFlowControl ? dl::DFC : 0)), nullptr, 0);
}

void COutstation::SendFrame(std::uint8_t byCtrl, const std::uint8_t* pData, int nLength)
{
    std::vector<std::uint8_t> frame(dl::kMaxFrameSize);
    frame.resize(static_cast<std::size_t>(
        BuildLinkFrame(byCtrl, m_Options.nMaster, m_Options.nAddress, pData, nLength, frame.data())));
    ++m_nFramesSent;
    if (m_Options.nCorruptEvery > 0 && m_nFramesSent % m_Options.nCorruptEvery == 0) {
        frame.back() ^= 0xFF;  // the last CRC octet
        if (m_Log)
            m_Log("fault: CRC of frame " + std::to_string(m_nFramesSent) + " corrupted");
    }
    if (m_Options.nDropPercent > 0) {
        std::uniform_int_distribution<int> percent(0, 99);
        std::erase_if(frame, [&](std::uint8_t) { return percent(m_Random) < m_Options.nDropPercent; });
    }
    m_llOctetsOut += static_cast<long long>(frame.size());
    m_Output(frame);
}

void COutstation::OnSegment(const std::uint8_t* pSegment, int nLength)
{
    if (nLength < 1)
        return;
    const std::uint8_t th = pSegment[0];
    const int nSeq = th & 0x3F;
    if ((th & 0x40) != 0) {
        m_Fragment.clear();
    } else if (nSeq != m_nNextSegmentSeq) {
        m_Fragment.clear();  // out of sequence: the fragment is lost
        m_nNextSegmentSeq = -1;
        return;
    }
    if (m_Fragment.size() + static_cast<std::size_t>(nLength - 1) > kMaxRequest) {
        m_Fragment.clear();  // no request is that long: the fragment is dropped
        m_nNextSegmentSeq = -1;
        if (m_Log)
            m_Log("request longer than " + std::to_string(kMaxRequest) + " octets dropped");
        return;
    }
    m_nNextSegmentSeq = (nSeq + 1) % 64;
    m_Fragment.insert(m_Fragment.end(), pSegment + 1, pSegment + nLength);
    if ((th & 0x80) != 0) {
        const std::vector<std::uint8_t> fragment = std::move(m_Fragment);
        m_Fragment.clear();
        OnRequest(fragment);
    }
}

void COutstation::SendFragment(const std::vector<std::uint8_t>& fragment)
{
    // Segments of at most 249 application octets with consecutive sequence numbers.
    const std::size_t nSegment = 249;
    const bool bSkip = fragment.size() > nSegment && m_Options.nBadSegmentEvery > 0 &&
                       ++m_nLongResponses % m_Options.nBadSegmentEvery == 0;
    if (bSkip && m_Log)
        m_Log("fault: a transport sequence number skipped");
    for (std::size_t nPos = 0; nPos < fragment.size() || nPos == 0; nPos += nSegment) {
        const std::size_t n = std::min(nSegment, fragment.size() - nPos);
        std::vector<std::uint8_t> segment{static_cast<std::uint8_t>((m_byTpSeq & 0x3F) | (nPos == 0 ? 0x40 : 0) |
                                                                    (nPos + n >= fragment.size() ? 0x80 : 0))};
        m_byTpSeq = static_cast<std::uint8_t>((m_byTpSeq + 1) % 64);
        segment.insert(segment.end(), fragment.begin() + static_cast<long>(nPos),
                       fragment.begin() + static_cast<long>(nPos + n));
        SendUserData(segment);
        if (fragment.empty())
            break;
        if (bSkip && nPos == 0)  // the second segment does not follow the first
            m_byTpSeq = static_cast<std::uint8_t>((m_byTpSeq + 1) % 64);
    }
}

std::uint8_t COutstation::Iin2(std::uint8_t byReply) const
{
    return static_cast<std::uint8_t>(byReply | (m_Db.Overflowed() ? IIN2_EVENT_OVERFLOW : 0));
}

std::uint8_t COutstation::Iin1() const
{
    std::uint8_t by = 0;
    if (m_bRestart)
        by |= IIN1_RESTART;
    if (m_bNeedTime)
        by |= IIN1_NEED_TIME;
    if (m_Db.HasEvents(1))
        by |= IIN1_CLASS1;
    if (m_Db.HasEvents(2))
        by |= IIN1_CLASS2;
    if (m_Db.HasEvents(3))
        by |= IIN1_CLASS3;
    return by;
}

void COutstation::SendUserData(const std::vector<std::uint8_t>& segment)
{
    if (!m_Options.bConfirmedData) {
        SendFrame(dl::PRM | dl::UNCONFIRMED_USER_DATA, segment.data(), static_cast<int>(segment.size()));
        return;
    }
    m_UserDataQueue.push_back(segment);
    PumpPrimary();
}

void COutstation::PumpPrimary()
{
    if (m_AwaitedAck)
        return;  // one primary frame outstanding at a time
    if (!m_bPrimaryReset) {
        if (!m_Options.bResetFirst && m_UserDataQueue.empty())
            return;
        m_AwaitedAck = AwaitedAck{dl::PRM | dl::RESET_LINK_STATES, {}, 1, Clock::now()};
    } else if (!m_UserDataQueue.empty()) {
        const std::uint8_t byCtrl = static_cast<std::uint8_t>(dl::PRM | dl::FCV | dl::CONFIRMED_USER_DATA |
                                                              (m_nPrimaryFcb != 0 ? dl::FCB : 0));
        m_AwaitedAck = AwaitedAck{byCtrl, std::move(m_UserDataQueue.front()), 1, Clock::now()};
        m_UserDataQueue.pop_front();
    } else {
        return;
    }
    SendFrame(m_AwaitedAck->byCtrl, m_AwaitedAck->Data.data(), static_cast<int>(m_AwaitedAck->Data.size()));
}

void COutstation::OnSecondaryFrame(std::uint8_t byFunc)
{
    if (!m_AwaitedAck)
        return;
    if (byFunc == dl::ACK) {
        if ((m_AwaitedAck->byCtrl & dl::FUNC) == dl::RESET_LINK_STATES) {
            m_bPrimaryReset = true;
            m_nPrimaryFcb = 1;
            if (m_Log)
                m_Log("link towards the master reset");
        } else {
            m_nPrimaryFcb ^= 1;
        }
    } else if (byFunc == dl::NACK) {
        m_bPrimaryReset = false;  // the master lost our link state: reset it again
        if (!m_AwaitedAck->Data.empty())
            m_UserDataQueue.push_front(std::move(m_AwaitedAck->Data));
    } else {
        return;
    }
    m_AwaitedAck.reset();
    PumpPrimary();
}

void COutstation::CheckPrimaryTimeout()
{
    if (!m_AwaitedAck || Clock::now() - m_AwaitedAck->tSent < kPrimaryTimeout)
        return;
    if (m_AwaitedAck->nTries < kPrimaryTries) {
        ++m_AwaitedAck->nTries;
        m_AwaitedAck->tSent = Clock::now();
        SendFrame(m_AwaitedAck->byCtrl, m_AwaitedAck->Data.data(), static_cast<int>(m_AwaitedAck->Data.size()));
        return;
    }
    // The master does not answer: what waited is given up, and the link is reset anew
    // before the next confirmed frame.
    if (m_Log)
        m_Log("no acknowledgement from the master: " + std::to_string(m_UserDataQueue.size() + 1) + " frames given up");
    m_AwaitedAck.reset();
    m_UserDataQueue.clear();
    m_bPrimaryReset = false;
}

void COutstation::StopFaults()
{
    const SimOptions healthy;
    m_Options.nSilentAfter = healthy.nSilentAfter;
    m_Options.nCorruptEvery = healthy.nCorruptEvery;
    m_Options.nLoseMasterEvery = healthy.nLoseMasterEvery;
    m_Options.nBusyMs = healthy.nBusyMs;
    m_Options.bCrobFail = healthy.bCrobFail;
    m_Options.bOperateFail = healthy.bOperateFail;
    m_Options.bSelectFail = healthy.bSelectFail;
    m_Options.nReplyDelayMs = healthy.nReplyDelayMs;
    m_Options.nMalformed = healthy.nMalformed;
    m_Options.nRestartAfter = healthy.nRestartAfter;
    m_Options.nBadSegmentEvery = healthy.nBadSegmentEvery;
    m_Options.nDropPercent = healthy.nDropPercent;
    m_bSilent = false;
    m_tBusyUntil = {};
}
