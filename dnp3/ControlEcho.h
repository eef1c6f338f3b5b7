#pragma once
// The last select or operate sent, until its echo came: whether a response is that echo
// (also when it comes late, after another request went out), and what a select's echo
// allows the operate that follows it.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class CControlEcho {
public:
    void OnControlSent(std::uint8_t byFunc, std::uint8_t bySeq, const std::uint8_t* pObjects, int nLength);
    // A request went out with this sequence: once the counter comes round to the
    // control's, an echo with it can no longer be told apart.
    void OnRequestSent(std::uint8_t bySeq);

    // A response fragment is the awaited echo: its first fragment carries the control's
    // sequence.
    bool IsEcho(const std::vector<std::uint8_t>& fragment) const;
    // The echo come after another request (nRequestSeq) went out: a single fragment with
    // the control's sequence whose first object is a control relay output block.
    bool IsLateEcho(const std::vector<std::uint8_t>& fragment, std::uint8_t byRequestSeq) const;
    // The echo answers the control: a select's is judged for the operate that follows.
    void TakeEcho(const std::vector<std::uint8_t>& fragment, bool bLate);

    // Why the operate that follows the select must not go out (the alarm text), or none.
    std::optional<std::string> OperateRefusal() const;
    std::uint8_t Func() const { return m_byFunc; }

private:
    enum class SelectOutcome { AWAITED, CONFIRMED, REFUSED, REFUSED_BY_IIN, MISMATCH, LATE };

    std::uint8_t m_byFunc = 0;
    std::uint8_t m_bySeq = 0;
    std::vector<std::uint8_t> m_Objects;
    bool m_bAnswerDue = false;
    SelectOutcome m_SelectOutcome = SelectOutcome::AWAITED;
    std::uint8_t m_bySelectStatus = 0;
    std::string m_IinRefusal;  // REFUSED_BY_IIN: why
};
