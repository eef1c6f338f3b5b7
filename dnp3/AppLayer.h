#pragma once
// The master's application layer as one state machine: one request outstanding at a
// time, the fragments of its response checked against it in order, confirms owed, and
// failure by time-out or by a broken answer. It sends nothing itself: the engine asks it
// what is due and tells it what went out and what came in.
#include <cstdint>
#include <ctime>
#include <optional>
#include <vector>

class CAppLayer {
public:
    enum class State {
        IDLE,         // nothing awaited
        AWAIT_FIRST,  // a request went out; its first fragment is awaited
        AWAIT_NEXT,   // a fragment without FIN came; the next one is awaited
        FAILED,       // the answer did not come (or came broken): a retry is due
    };
    // How a request went out: new, the failed one again, or an IIN read in its place.
    enum class Try { NEW, REPEAT, PROBE };
    // What a response fragment is to the request outstanding.
    enum class Verdict {
        ANSWER,  // part of its answer, taken
        STRAY,   // left over from an earlier exchange: it answers nothing asked now
        ENDS,    // breaks the response under way, which ends there
    };

    std::uint8_t NextSeq() const { return m_byNextSeq; }
    void OnRequestSent(std::uint8_t byFunc, Try how, std::time_t now);

    // Fragments, by their application control octet.
    bool IsAwaited(std::uint8_t byCtrl) const;
    Verdict OnResponse(std::uint8_t byCtrl, std::time_t now);
    // A segment of a fragment is still arriving: while it is the awaited answer, it is
    // never abandoned.
    void OnFlowing(std::uint8_t byCtrl, std::time_t now);
    // A fragment broke off, with the control octet of its start when that had come.
    void OnBrokenFragment(std::optional<std::uint8_t> byCtrl);
    // The answer (or its next fragment) is given up after this long without a sign of it.
    void CheckTimeOut(std::time_t now, int nLimitSeconds);
    // After the last try failed: back to idle, nothing owed.
    void GiveUp();

    // Confirms owed: to the response (its sequence) and to an unsolicited response.
    void AskConfirm(std::uint8_t bySeq) { m_ConfirmDue = bySeq; }
    void AskUnsolicitedConfirm(std::uint8_t bySeq) { m_UnsolConfirmDue = bySeq; }
    std::optional<std::uint8_t> ConfirmDue() const { return m_ConfirmDue; }
    std::optional<std::uint8_t> UnsolicitedConfirmDue() const { return m_UnsolConfirmDue; }
    void OnConfirmSent() { m_ConfirmDue.reset(); }
    void OnUnsolicitedConfirmSent() { m_UnsolConfirmDue.reset(); }

    State GetState() const { return m_State; }
    bool IsWaiting() const { return m_State == State::AWAIT_FIRST || m_State == State::AWAIT_NEXT; }
    int Tries() const { return m_nTries; }  // retries sent since the answer last came
    std::uint8_t RequestFunc() const { return m_byRequestFunc; }
    std::uint8_t RequestSeq() const { return m_byRequestSeq; }

private:
    State m_State = State::IDLE;
    std::uint8_t m_byNextSeq = 0;
    std::uint8_t m_byRequestFunc = 0;
    std::uint8_t m_byRequestSeq = 0;
    std::uint8_t m_byNextRespSeq = 0;  // the sequence the next fragment must carry
    // Sequences of the earlier tries of the same request: a late answer to one of them
    // still answers it.
    std::vector<std::uint8_t> m_EarlierTrySeqs;
    int m_nTries = 0;
    std::time_t m_tRequest = 0;  // the request, or the last sign of its answer
    std::optional<std::uint8_t> m_ConfirmDue;
    std::optional<std::uint8_t> m_UnsolConfirmDue;
};
