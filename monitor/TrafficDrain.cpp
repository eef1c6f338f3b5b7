#include "monitor/TrafficDrain.h"

#include <mutex>

#include "core/Gbk.h"
#include "core/Locks.h"
#include "core/TrafficLines.h"

void DrainTraffic(CTrafficLineList& lines, ITextSink& sink, bool bPause)
{
    std::string drained;
    if (lines.MayHaveItems()) {
        std::lock_guard lock(g_csDisplay);
        drained = lines.TakeAll();
    }
    if (sink.TakeTextChanged()) {
        const std::string text = sink.Text();
        if (GbkLength(text) > kTrafficTrimAbove)
            sink.RemoveHead(Utf8PrefixForGbkOctets(text, kTrafficTrimCount));
    }
    if (!bPause)
        sink.AppendAtEnd(drained);
}
