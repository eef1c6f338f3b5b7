#include "core/ResponseList.h"

#include <mutex>

#include "core/Locks.h"

std::deque<ResponseElement> g_ResponseList;

void PushResponse(ResponseElement element)
{
    std::lock_guard lock(g_csResponseList);
    g_ResponseList.push_back(std::move(element));
}

bool PopResponse(ResponseElement& element)
{
    std::lock_guard lock(g_csResponseList);
    if (g_ResponseList.empty())
        return false;
    element = std::move(g_ResponseList.front());
    g_ResponseList.pop_front();
    return true;
}

void ClearResponses()
{
    std::lock_guard lock(g_csResponseList);
    g_ResponseList.clear();
}
