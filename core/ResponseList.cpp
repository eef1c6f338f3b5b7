#include "core/ResponseList.h"

#include <mutex>

#include "core/Locks.h"

std::deque<ListedResponse> g_ResponseList;

void PushResponse(ResponseElement element, std::uint8_t byAnswers)
{
    std::lock_guard lock(g_csResponseList);
    g_ResponseList.push_back({std::move(element), byAnswers});
}

bool PopResponse(ResponseElement& element, std::uint8_t* pbyAnswers)
{
    std::lock_guard lock(g_csResponseList);
    if (g_ResponseList.empty())
        return false;
    element = std::move(g_ResponseList.front().Element);
    if (pbyAnswers != nullptr)
        *pbyAnswers = g_ResponseList.front().byAnswers;
    g_ResponseList.pop_front();
    return true;
}

void ClearResponses()
{
    std::lock_guard lock(g_csResponseList);
    g_ResponseList.clear();
}

ResponseElement ToResponseElement(const std::uint8_t* pFragment, int nLength)
{
    ResponseElement element(pFragment, pFragment + nLength);
    element[0] = static_cast<std::uint8_t>(nLength & 0xFF);
    element[1] = static_cast<std::uint8_t>(nLength >> 8);
    return element;
}
