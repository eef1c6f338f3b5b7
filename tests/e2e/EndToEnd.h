#pragma once
// The master as it runs for real (poll thread, ptys) against the simulated RTU, with the
// GUI's work (response processing, the alarm list) done on the test thread.
#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "monitor/AlarmLog.h"
#include "response/QueltHandler.h"
#include "sim/SimRunner.h"
#include "support/Pty.h"
#include "support/StateReset.h"

class EndToEndTest : public SharedStateTest, public IAlarmList {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the RTU and then the master's channels and poll thread.
    void Start(const SimOptions& options);
    // The same with the RTU listening on a loopback TCP port and COM2 connecting to it.
    void StartOnTcp(const SimOptions& options, int nDropAfterS = 0);
    // Does the GUI's work at its own period (responses are decoded every 500 ms) until the
    // condition holds; false after the time-out.
    bool RunUntil(const std::function<bool()>& condition, int nSeconds);
    // Lets the run go on for a while.
    void RunFor(int nMilliseconds);
    // The RTU's faults and value changes stop; runs until every event it buffered was
    // delivered and confirmed, then a second more. False after the time-out.
    bool DeliverAllEvents(int nSeconds);

    // What the RTU logged, and how many of its lines contain the text.
    std::vector<std::string> RtuLog();
    int CountRtuLog(const std::string& text);
    // The start-up sequence freezes the counters once, and a batch after the start of each
    // quarter hour of the clock once more: a run that crossed one may see two.
    void ExpectOneStartupFreeze(const std::string& why = "");
    int CountAlarms(const std::string& text) const;
    // The alarms but the delay measurements' results, which every start-up says.
    std::vector<std::string> AlarmsBesidesDelay() const;
    // The event lines of every binary-input event the RTU ever raised, sorted, and those
    // the master reported (the alarm lines that name the RTU), sorted.
    std::vector<std::string> ExpectedEventLines();
    std::vector<std::string> ReportedEventLines() const;

    // The alarm list box.
    int AddLine(const std::string& text) override;
    void SelectLine(int) override {}
    void DeleteLine(int) override {}

    std::unique_ptr<CSimRunner> m_pRtu;
    CQueltHandler m_Handler;
    std::vector<std::string> m_Alarms;  // every line, none deleted
    std::string m_RecvText;             // the receive traffic so far

private:
    // Keeps what the RTU logs, from its thread.
    COutstation::Log RtuLogger();

    std::time_t m_tStarted = 0;
    PtyPair m_RtuLine;
    PtyPair m_OtherLine;
    std::mutex m_mxLog;
    std::vector<std::string> m_RtuLog;
};
