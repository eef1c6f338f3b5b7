#include "monitor/AlarmLog.h"

CAlarmLog g_AlarmLog;

int AddAlarm(std::string text)
{
    g_AlarmLog.Add(std::move(text));
    return 0;
}

void CAlarmLog::Add(std::string text)
{
    std::function<void()> wake;
    bool bOwnerThread = false;
    {
        std::lock_guard lock(m_mx);
        if (m_AlarmTexts.size() >= kMaxTexts)
            m_AlarmTexts.pop_front();
        m_AlarmTexts.push_back(text);
        if (!m_Wake)
            return;  // no list yet: it is filled from the kept texts when it comes
        m_Pending.push_back(std::move(text));
        bOwnerThread = std::this_thread::get_id() == m_Owner;
        if (!bOwnerThread)
            wake = m_Wake;
    }
    // On the owner thread the list follows at once, after anything queued before.
    if (bOwnerThread)
        Drain();
    else
        wake();
}

void CAlarmLog::Attach(IAlarmList* pList, std::function<void()> wake)
{
    std::deque<std::string> kept;
    {
        std::lock_guard lock(m_mx);
        m_pList = pList;
        m_Wake = std::move(wake);
        m_Owner = std::this_thread::get_id();
        m_Pending.clear();  // they are among the kept texts
        kept = m_AlarmTexts;
    }
    for (const std::string& text : kept)
        ShowOnList(text);
}

void CAlarmLog::Detach()
{
    std::lock_guard lock(m_mx);
    m_pList = nullptr;
    m_Wake = nullptr;
    m_Pending.clear();
}

void CAlarmLog::Drain()
{
    for (;;) {
        std::string text;
        {
            std::lock_guard lock(m_mx);
            if (m_Pending.empty())
                return;
            text = std::move(m_Pending.front());
            m_Pending.pop_front();
        }
        ShowOnList(text);
    }
}

void CAlarmLog::ShowOnList(const std::string& text)
{
    if (m_pList == nullptr)
        return;
    int nIndex = m_pList->AddLine(text);
    m_pList->SelectLine(nIndex);
    while (nIndex >= kMaxLines) {
        m_pList->DeleteLine(0);
        --nIndex;
    }
}

std::vector<std::string> CAlarmLog::Texts() const
{
    std::lock_guard lock(m_mx);
    return {m_AlarmTexts.begin(), m_AlarmTexts.end()};
}

void CAlarmLog::Clear()
{
    std::lock_guard lock(m_mx);
    m_AlarmTexts.clear();
    m_Pending.clear();
}
