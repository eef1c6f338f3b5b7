#pragma once
// The transport layer: a request fragment goes down in one segment; the RTU's segments
// are reassembled into fragments from one FIR...FIN run only. Completed fragments and
// failures wait in order until the application layer takes them.
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

class CLinkLayer;

class CTransport {
public:
    static constexpr int kSegmentData = 249;   // application octets in one segment
    static constexpr int kFragmentMax = 2048;  // reassembly buffer
    static constexpr int kMaxSegments = 9;     // of one fragment
    static constexpr std::size_t kMaxResults = 16;

    struct Result {
        bool bFailed = false;
        // Of a failure: the first octet of the broken fragment (none when the link failed).
        std::vector<std::uint8_t> Fragment;
    };

    explicit CTransport(CLinkLayer& link) : m_Link(link) {}

    // Hands a fragment to the link layer in one segment; false when the link cannot take
    // it now. One longer than a segment is refused with an alarm (and reported handled).
    bool Send(bool bConfirmed, const std::uint8_t* pFragment, int nLength, bool bAwaitApp);

    // Takes at most one segment from the link layer. Returns the application control octet
    // of the fragment that the segment joined, if it joined one.
    std::optional<std::uint8_t> ReceiveStep();

    bool HasResults() const { return !m_Results.empty(); }
    std::optional<Result> Take();
    // Takes out, in order, every result the predicate picks.
    std::vector<Result> TakeIf(const std::function<bool(const Result&)>& pick);
    // Failures that came before a request was sent cannot concern it.
    void DropFailures();
    // A new connection: sequence numbers afresh, nothing under way or waiting.
    void Restart();

private:
    void Fail();
    void Push(bool bFailed, const std::uint8_t* pFragment, int nLength);

    CLinkLayer& m_Link;
    std::uint8_t m_bySendSeq = 0;
    bool m_bActive = false;  // a FIR segment started the fragment in m_Buf
    int m_nSegments = 0;
    std::uint8_t m_byFirstSeq = 0;
    int m_nFill = 0;  // octets reassembled so far
    std::uint8_t m_Buf[kFragmentMax] = {};
    std::deque<Result> m_Results;
};
