#pragma once
// Complete responses on their way from the poll thread to response processing on the GUI
// thread, oldest first, guarded by g_csResponseList. An element is the response fragment
// with its first two octets (control, function) replaced by its length, low octet first.
#include <cstdint>
#include <deque>
#include <vector>

using ResponseElement = std::vector<std::uint8_t>;

extern std::deque<ResponseElement> g_ResponseList;

// Appends under g_csResponseList.
void PushResponse(ResponseElement element);
// Removes the oldest under g_csResponseList; false when the list is empty.
bool PopResponse(ResponseElement& element);
void ClearResponses();
