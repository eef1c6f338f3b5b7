#include "core/Gbk.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>

namespace {

// Length of the UTF-8 sequence that starts with this octet (1 for a stray octet).
std::size_t SequenceLength(unsigned char by)
{
    if (by < 0xC0)
        return 1;
    if (by < 0xE0)
        return 2;
    if (by < 0xF0)
        return 3;
    return by < 0xF8 ? 4 : 1;
}

class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Converter()
    {
        if (m_cd != reinterpret_cast<iconv_t>(-1))
            iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts as much as possible; an unconvertible input sequence of nSkip(first octet)
    // octets is replaced by `replacement`.
    template <class SkipFn>
    std::string Run(std::string_view in, std::string_view replacement, SkipFn skip) const
    {
        std::string out;
        if (m_cd == reinterpret_cast<iconv_t>(-1))
            return std::string(in);
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        char* pIn = const_cast<char*>(in.data());
        std::size_t nIn = in.size();
        char buf[1024];
        while (nIn > 0) {
            char* pOut = buf;
            std::size_t nOut = sizeof buf;
            const std::size_t r = iconv(m_cd, &pIn, &nIn, &pOut, &nOut);
            out.append(buf, static_cast<std::size_t>(pOut - buf));
            if (r != static_cast<std::size_t>(-1) || errno == E2BIG)
                continue;
            // EILSEQ or EINVAL (truncated sequence): replace and step over it.
            const std::size_t n = std::min(nIn, skip(static_cast<unsigned char>(*pIn)));
            out += replacement;
            pIn += n;
            nIn -= n;
            iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        }
        return out;
    }

private:
    iconv_t m_cd;
};

bool IsAscii(std::string_view s)
{
    for (const char c : s)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

}  // namespace

std::string Utf8ToGbk(std::string_view utf8)
{
    if (IsAscii(utf8))
        return std::string(utf8);
    thread_local const Converter conv("GBK", "UTF-8");
    return conv.Run(utf8, "?", SequenceLength);
}

std::string GbkToUtf8(std::string_view gbk)
{
    if (IsAscii(gbk))
        return std::string(gbk);
    thread_local const Converter conv("UTF-8", "GBK");
    return conv.Run(gbk, "\xEF\xBF\xBD", [](unsigned char) -> std::size_t { return 1; });
}

std::size_t GbkLength(std::string_view utf8)
{
    return IsAscii(utf8) ? utf8.size() : Utf8ToGbk(utf8).size();
}

std::size_t Utf8PrefixForGbkOctets(std::string_view utf8, std::size_t nGbkOctets)
{
    std::size_t nPos = 0;
    std::size_t nCounted = 0;
    while (nPos < utf8.size() && nCounted < nGbkOctets) {
        const unsigned char by = static_cast<unsigned char>(utf8[nPos]);
        if (by < 0x80) {
            ++nPos;
            ++nCounted;
            continue;
        }
        const std::size_t n = std::min(SequenceLength(by), utf8.size() - nPos);
        nCounted += GbkLength(utf8.substr(nPos, n));
        nPos += n;
    }
    return nPos;
}
