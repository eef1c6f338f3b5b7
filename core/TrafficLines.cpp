#include "core/TrafficLines.h"

#include <cstdio>
#include <mutex>

#include "core/Locks.h"

std::atomic<int> g_nWindowMask{SHOW_SEND | SHOW_RECV | SHOW_RESULT};
CTrafficLineList g_SendLines;
CTrafficLineList g_RecvLines;

void CTrafficLineList::Push(std::string item)
{
    m_nBytes += item.size();
    m_Items.push_back(std::move(item));
    m_bItems.store(true, std::memory_order_release);
    while (m_nBytes > kMaxBytes && m_Items.size() > 1) {
        m_nBytes -= m_Items.front().size();
        m_Items.pop_front();
        ++m_nDropped;
    }
}

std::string CTrafficLineList::TakeAll()
{
    std::string text;
    if (m_nDropped != 0) {
        char note[64];
        std::snprintf(note, sizeof note, "\r\n[显示滞后，丢弃了 %zu 项]\r\n", m_nDropped);
        text = note;
    }
    text.reserve(text.size() + m_nBytes);
    for (const std::string& item : m_Items)
        text += item;
    Clear();
    return text;
}

void CTrafficLineList::Clear()
{
    m_Items.clear();
    m_nBytes = 0;
    m_nDropped = 0;
    m_bItems.store(false, std::memory_order_release);
}

std::string HexItem(std::uint8_t byOctet)
{
    static const char kDigits[] = "0123456789ABCDEF";
    return {kDigits[byOctet >> 4], kDigits[byOctet & 0x0F], ' '};
}

namespace {

void Route(std::string item, int nOwnBit, CTrafficLineList& own, int nOtherBit,
           CTrafficLineList& other)
{
    std::lock_guard lock(g_csDisplay);
    const int nMask = g_nWindowMask.load(std::memory_order_relaxed);
    if (nMask & nOwnBit)
        own.Push(std::move(item));
    else if (nMask & nOtherBit)
        other.Push(std::move(item));
}

void Send(std::string item) { Route(std::move(item), SHOW_SEND, g_SendLines, SHOW_RECV, g_RecvLines); }
void Recv(std::string item) { Route(std::move(item), SHOW_RECV, g_RecvLines, SHOW_SEND, g_SendLines); }

}  // namespace

void AppendSendText(std::uint8_t byOctet) { Send(HexItem(byOctet)); }
void AppendSendText(char ch) { Send(std::string(1, ch)); }
void AppendSendText(std::string_view text) { Send(std::string(text)); }
void AppendRecvText(std::uint8_t byOctet) { Recv(HexItem(byOctet)); }
void AppendRecvText(char ch) { Recv(std::string(1, ch)); }
void AppendRecvText(std::string_view text) { Recv(std::string(text)); }
