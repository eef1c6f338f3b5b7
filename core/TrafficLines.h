#pragma once
// Traffic items on their way from the poll thread to the two traffic windows. An item is
// one text exactly as its producer appended it ("%02X ", "=> ", "\r", ...), not a line.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

enum WindowMaskBits { SHOW_SEND = 1, SHOW_RECV = 2, SHOW_RESULT = 4 };

// Which windows are shown; the append routing reads it without a lock.
extern std::atomic<int> g_nWindowMask;

// A first-in first-out list of items, guarded by g_csDisplay (callers hold it). It keeps
// at most kMaxBytes of text: if the GUI ever stalls, the oldest items are dropped and the
// next drain says how many, so the loss is visible and memory stays bounded.
class CTrafficLineList {
public:
    static constexpr std::size_t kMaxBytes = 1 << 20;

    void Push(std::string item);
    // Removes every item and returns them joined, led by a note if items were dropped.
    std::string TakeAll();
    bool IsEmpty() const { return m_Items.empty() && m_nDropped == 0; }
    // Without the lock: false only when the list is empty (a push racing with it is seen
    // at the next look).
    bool MayHaveItems() const { return m_bItems.load(std::memory_order_acquire); }
    std::size_t Count() const { return m_Items.size(); }
    void Clear();

private:
    std::deque<std::string> m_Items;
    std::size_t m_nBytes = 0;
    std::size_t m_nDropped = 0;
    std::atomic<bool> m_bItems{false};
};

extern CTrafficLineList g_SendLines;
extern CTrafficLineList g_RecvLines;

// Each appends one item, routed by g_nWindowMask: to its own list while its window is
// shown, else to the other traffic list while that one is shown, else nowhere. A byte is
// shown as "%02X ", a character as itself, a string unchanged. Any thread.
void AppendSendText(std::uint8_t byOctet);
void AppendSendText(char ch);
void AppendSendText(std::string_view text);
void AppendRecvText(std::uint8_t byOctet);
void AppendRecvText(char ch);
void AppendRecvText(std::string_view text);

// The "%02X " text of one octet.
std::string HexItem(std::uint8_t byOctet);
