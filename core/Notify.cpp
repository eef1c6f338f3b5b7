#include "core/Notify.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

std::mutex g_mxHandlers;
MessageBoxHandler g_MessageBox;
TraceHandler g_Trace;
std::atomic<bool> g_bVerbose{[] {
    const char* pszValue = std::getenv("QUELT_VERBOSE");
    return pszValue != nullptr && *pszValue != '\0' && std::strcmp(pszValue, "0") != 0;
}()};

void ToStderr(const std::string& text)
{
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
}

template <class Handler>
void Dispatch(const Handler& handler, const std::string& text, bool bLineEnd)
{
    Handler copy;
    {
        std::lock_guard lock(g_mxHandlers);
        copy = handler;
    }
    if (copy)
        copy(text);
    else
        ToStderr(bLineEnd ? text + "\n" : text);
}

}  // namespace

void ShowMessageBox(const std::string& text) { Dispatch(g_MessageBox, text, true); }

void SetMessageBoxHandler(MessageBoxHandler handler)
{
    std::lock_guard lock(g_mxHandlers);
    g_MessageBox = std::move(handler);
}

void DebugTrace(const std::string& text) { Dispatch(g_Trace, text, false); }

void SetTraceHandler(TraceHandler handler)
{
    std::lock_guard lock(g_mxHandlers);
    g_Trace = std::move(handler);
}

void VerboseTrace(const std::string& text)
{
    if (g_bVerbose.load(std::memory_order_relaxed))
        DebugTrace(text);
}

void SetVerboseTraces(bool bOn) { g_bVerbose.store(bOn, std::memory_order_relaxed); }
