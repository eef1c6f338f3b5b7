// The analyser's decoder on anything: the first octet chooses how the rest is taken.
//   0: as a file for quelt-decode (pcap, pcapng, capture text, hex);
//   1: as octets on a line, framed by the line tap's framer;
//   2: as application data in frames whose CRCs are made good (random input would almost
//      never pass them), each led by its length, so that every object decoder is reached.
// Every record is described and written as text and as CSV.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "decode/Frame.h"
#include "decode/input/Inputs.h"
#include "dnp3/LinkFrame.h"
#include "record/TapFramer.h"

namespace {

void Describe(std::vector<qdec::LineRecord>& records, qdec::TimeConvention convention)
{
    qdec::CStreamDecoder decoder(convention);
    for (qdec::LineRecord& r : records) {
        const qdec::FrameDescription d = decoder.Describe(std::move(r));
        (void)qdec::DescriptionText(d);
        (void)qdec::CsvRow(d);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    if (nSize < 1)
        return 0;
    const int nMode = pData[0] % 3;
    const auto convention = (pData[0] & 0x80) != 0 ? qdec::TimeConvention::Utc : qdec::TimeConvention::MonthRelative;
    const std::uint8_t* p = pData + 1;
    const std::size_t n = nSize - 1;
    std::vector<qdec::LineRecord> records;
    if (nMode == 0) {
        std::string reason;
        qdec::ReadRecords(std::string(reinterpret_cast<const char*>(p), n), records, reason);
    } else if (nMode == 1) {
        CTapFramer framer(1, qdec::Direction::Received, 1000);
        std::int64_t t = 0;
        // In pieces, with pauses now and then, as a line delivers them.
        for (std::size_t i = 0; i < n; i += 7) {
            framer.Add(p + i, static_cast<int>(std::min<std::size_t>(7, n - i)), t, t, t, records);
            t += (p[i] & 0x40) != 0 ? 2000 : 10;
        }
        framer.Flush(t, records, true);
    } else {
        for (std::size_t i = 0; i < n;) {
            const std::size_t nLength = std::min<std::size_t>(p[i] % (dl::kMaxUserData + 1), n - i - 1);
            ++i;
            qdec::LineRecord r;
            r.Octets.resize(dl::kMaxFrameSize);
            r.Octets.resize(static_cast<std::size_t>(
                BuildLinkFrame(0x44, 3246, 54, p + i, static_cast<int>(nLength), r.Octets.data())));
            records.push_back(std::move(r));
            i += nLength;
        }
    }
    Describe(records, convention);
    return 0;
}
