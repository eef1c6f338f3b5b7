#pragma once
// Response fragments on their way from the poll thread to response processing on the GUI
// thread, oldest first, guarded by g_csResponseList. An element is the fragment with its
// first two octets (control, function) replaced by its length, low octet first. Each
// travels with the function code of the request it answers, so that an echoed control
// block is known to answer the select or the operate.
#include <cstdint>
#include <deque>
#include <vector>

using ResponseElement = std::vector<std::uint8_t>;

struct ListedResponse {
    ResponseElement Element;
    std::uint8_t byAnswers;  // function code of the request; 0 when not known
};

extern std::deque<ListedResponse> g_ResponseList;

// The element of a fragment of at least two octets: its length in place of the control
// octet and the function code.
ResponseElement ToResponseElement(const std::uint8_t* pFragment, int nLength);
// Appends under g_csResponseList.
void PushResponse(ResponseElement element, std::uint8_t byAnswers = 0);
// Removes the oldest under g_csResponseList; false when the list is empty.
bool PopResponse(ResponseElement& element, std::uint8_t* pbyAnswers = nullptr);
void ClearResponses();
