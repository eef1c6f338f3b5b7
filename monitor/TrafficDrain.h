#pragma once
// What a traffic window does on every tick, apart from the window: move the items of its
// line list into its text, keep the text short, and honour the pause.
#include <cstddef>
#include <string>
#include <string_view>

class CTrafficLineList;

// The text a traffic window shows. Text is UTF-8 with "\r\n" line ends, as the operator
// sees it and as a capture file stores it.
class ITextSink {
public:
    virtual ~ITextSink() = default;
    virtual std::string Text() const = 0;
    // Deletes the first nUtf8Octets octets of Text(), without undo.
    virtual void RemoveHead(std::size_t nUtf8Octets) = 0;
    // Puts the caret at the end, scrolls it into view and inserts the text there, without
    // undo. Called with an empty text too: the view returns to the end on every tick.
    virtual void AppendAtEnd(std::string_view text) = 0;
    // True when the text changed (appends, trims, the operator's typing) since the last
    // call: only then can it have grown too long.
    virtual bool TakeTextChanged() = 0;
};

constexpr std::size_t kTrafficTrimAbove = 8192;  // GBK octets
constexpr std::size_t kTrafficTrimCount = 4096;

// One tick: empty the list under g_csDisplay (the sink is never touched under the lock;
// an empty list is seen without it), cut the first 4096 GBK octets if the text is longer
// than 8192 (measured only when it changed), then append what was drained unless paused;
// a paused window discards it.
void DrainTraffic(CTrafficLineList& lines, ITextSink& sink, bool bPause);
