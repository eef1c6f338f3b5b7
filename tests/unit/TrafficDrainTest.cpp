#include <gtest/gtest.h>

#include <mutex>

#include "core/Locks.h"
#include "core/TrafficLines.h"
#include "monitor/TrafficDrain.h"

namespace {

// The window's text as a plain string, with a record of what was done to it.
class StringSink : public ITextSink {
public:
    std::string Text() const override
    {
        ++nTextReads;
        return text;
    }
    void RemoveHead(std::size_t n) override { text.erase(0, n); }
    void AppendAtEnd(std::string_view s) override
    {
        text += s;
        ++nAppends;
    }
    bool TakeTextChanged() override
    {
        const bool bChanged = text != seen;
        seen = text;
        ++nLooks;
        return bChanged;
    }
    std::string text;
    std::string seen;
    int nLooks = 0;
    mutable int nTextReads = 0;
    int nAppends = 0;
};

void Fill(CTrafficLineList& list, const std::string& item)
{
    std::lock_guard lock(g_csDisplay);
    list.Push(item);
}

}  // namespace

TEST(TrafficDrainTest, TrimsOnlyAbove8192AndThenTheFirst4096)
{
    const struct {
        std::size_t nBefore;
        std::size_t nAfter;  // before the new item is appended
    } cases[] = {{0, 0}, {8192, 8192}, {8193, 8193 - 4096}, {12000, 12000 - 4096}};
    for (const auto& c : cases) {
        CTrafficLineList list;
        StringSink sink;
        for (std::size_t i = 0; i < c.nBefore; ++i)
            sink.text += static_cast<char>('a' + i % 26);
        const std::string tail = sink.text.substr(c.nBefore - c.nAfter);
        Fill(list, "=> ");
        DrainTraffic(list, sink, false);
        EXPECT_EQ(sink.text, tail + "=> ") << c.nBefore;
    }
}

TEST(TrafficDrainTest, LengthIsCountedInGbkOctets)
{
    StringSink sink;
    // 4096 two-octet characters: 8192 GBK octets, kept; one more ASCII octet trims.
    for (int i = 0; i < 4096; ++i)
        sink.text += "告";
    CTrafficLineList list;
    DrainTraffic(list, sink, false);
    EXPECT_EQ(sink.text.size(), 4096u * 3);
    sink.text += "x";
    DrainTraffic(list, sink, false);
    EXPECT_EQ(sink.text.size(), 2048u * 3 + 1);  // 4096 GBK octets = 2048 characters gone
}

TEST(TrafficDrainTest, PausedWindowDrainsButDiscards)
{
    CTrafficLineList list;
    StringSink sink;
    Fill(list, "05 ");
    DrainTraffic(list, sink, true);
    EXPECT_EQ(sink.text, "");
    EXPECT_EQ(sink.nAppends, 0);
    {
        std::lock_guard lock(g_csDisplay);
        EXPECT_TRUE(list.IsEmpty());  // drained all the same
    }
    Fill(list, "64 ");
    DrainTraffic(list, sink, false);
    EXPECT_EQ(sink.text, "64 ");  // only what came after the pause
    DrainTraffic(list, sink, false);
    EXPECT_EQ(sink.nAppends, 2);  // an empty tick still brings the view to the end
}

TEST(TrafficDrainTest, QuietTickMeasuresNothing)
{
    CTrafficLineList list;
    StringSink sink;
    Fill(list, "05 64 ");
    DrainTraffic(list, sink, false);
    EXPECT_FALSE(list.MayHaveItems());
    DrainTraffic(list, sink, false);  // measures the text the append changed
    const int nReads = sink.nTextReads;
    for (int i = 0; i < 10; ++i)
        DrainTraffic(list, sink, false);
    EXPECT_EQ(sink.nTextReads, nReads);  // nothing came, nothing changed: not even read
    sink.text += "typed";  // the operator's typing is measured again
    DrainTraffic(list, sink, false);
    EXPECT_EQ(sink.nTextReads, nReads + 1);
    Fill(list, "=> ");
    EXPECT_TRUE(list.MayHaveItems());
}
