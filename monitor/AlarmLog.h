#pragma once
// The alarm log: every operator-visible event of the run, one finished text per alarm.
// AddAlarm may be called from any thread and never waits for the GUI thread: the poll
// thread calls it holding g_csChannel, which the GUI thread may be waiting for. Texts
// go onto a queue under the log's own short lock and the list's owner thread adds them
// to the list box in call order.
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The list box that shows the alarms.
class IAlarmList {
public:
    virtual ~IAlarmList() = default;
    virtual int AddLine(const std::string& text) = 0;  // returns the new line's index
    virtual void SelectLine(int nIndex) = 0;
    virtual void DeleteLine(int nIndex) = 0;
};

class CAlarmLog {
public:
    static constexpr std::size_t kMaxTexts = 31;  // kept for refilling the list
    static constexpr int kMaxLines = 50;          // shown

    // Any thread: keeps the text and queues it for the list.
    void Add(std::string text);
    // Attaches the list box (window initialisation) on its owner thread and fills it with
    // the kept texts. wake is called, from any thread, whenever a text is queued; it must
    // not block (post a message that calls Drain on the owner thread).
    void Attach(IAlarmList* pList, std::function<void()> wake);
    void Detach();
    // Owner thread: adds the queued texts to the list in order.
    void Drain();

    std::vector<std::string> Texts() const;
    void Clear();

private:
    void ShowOnList(const std::string& text);

    mutable std::mutex m_mx;  // guards everything below but the list itself
    std::deque<std::string> m_AlarmTexts;
    std::deque<std::string> m_Pending;
    std::function<void()> m_Wake;
    std::thread::id m_Owner;
    IAlarmList* m_pList = nullptr;  // touched on the owner thread only
};

extern CAlarmLog g_AlarmLog;

// Adds one alarm text to the log; always 0.
int AddAlarm(std::string text);
