#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "monitor/CaptureFile.h"
#include "support/Files.h"
#include "support/Hex.h"

namespace {

class CaptureFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char dir[] = "/tmp/quelt-capture-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        m_Dir = dir;
    }
    void TearDown() override { std::system(("rm -rf " + m_Dir).c_str()); }

    std::string Path(const char* name) const { return m_Dir + "/" + name; }

    std::string m_Dir;
};

}  // namespace

TEST(CaptureCodecTest, WindowLinesEndInCrCrLfAndReadBackAsTheyWere)
{
    const std::string window = "=> 05 64 05 C0 \r\n<= 05 64 \r\n告警\r";
    const std::string octets = EncodeCapture(window);
    EXPECT_EQ(octets, "=> 05 64 05 C0 \r\r\n<= 05 64 \r\r\n\xB8\xE6\xBE\xAF\r");  // GBK, lone CR as is
    EXPECT_EQ(DecodeCapture(octets), window);
    EXPECT_EQ(EncodeCapture(""), "");
}

TEST(CaptureCodecTest, ReadingFollowsTheTextModeRules)
{
    const struct {
        std::string file;
        std::string text;
        const char* what;
    } cases[] = {
        {"a\r\nb\r\n", "a\nb\n", "CR LF from another tool reads as LF"},
        {"a\rb\r", "a\rb\r", "other CRs are kept"},
        {"ab\x1A" "cd", "ab", "1A ends the file"},
        {"ab\r\x1A\n", "ab\r", "a CR before the end stays"},
        {std::string("ab\0cd", 5), "ab", "NUL ends the text"},
        {"\xB8\xE6\x81 A ok", "\xE5\x91\x8A\xEF\xBF\xBD A ok", "a bad GBK pair spoils one octet only"},
        {"\xB8", "\xEF\xBF\xBD", "a lead octet at the very end"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecodeCapture(c.file), c.text) << c.what;
}

TEST(CaptureCodecTest, AtMost8192OctetsAndNoDoubleOctetCharacterSplit)
{
    const std::string ascii(9000, 'x');
    EXPECT_EQ(DecodeCapture(ascii), std::string(8192, 'x'));

    // Counted after the translation: a CR LF pair is one octet.
    std::string pairs;
    for (int i = 0; i < 9000; ++i)
        pairs += "\r\n";
    EXPECT_EQ(DecodeCapture(pairs), std::string(8192, '\n'));

    // 8191 ASCII octets and then a two-octet character: the character would be cut.
    const std::string cut = std::string(8191, 'y') + "\xB8\xE6" + "z";
    EXPECT_EQ(DecodeCapture(cut), std::string(8191, 'y'));
    const std::string fits = std::string(8190, 'y') + "\xB8\xE6" + "z";
    EXPECT_EQ(DecodeCapture(fits), std::string(8190, 'y') + "\xE5\x91\x8A");
}

TEST(CaptureCodecTest, ViewerBreaksLinesOnlyAtCrLf)
{
    EXPECT_EQ(ViewerLines("a \r\nb \r\n"), "a \nb \n");
    EXPECT_EQ(ViewerLines("a \nb \rc"), "a b c");
}

TEST_F(CaptureFileTest, WrittenFileReadsBackAndEmptyTextGivesAnEmptyFile)
{
    std::string reason;
    const std::string path = Path("recv.dat");
    ASSERT_TRUE(WriteCaptureFile(path, "=> 05 64 \r\n", reason)) << reason;
    const std::string octets = ReadOctets(path);
    EXPECT_EQ(ToHex({octets.begin(), octets.end()}), "3D 3E 20 30 35 20 36 34 20 0D 0D 0A");
    std::string text;
    ASSERT_TRUE(ReadCaptureFile(path, text, reason)) << reason;
    EXPECT_EQ(text, "=> 05 64 \r\n");

    ASSERT_TRUE(WriteCaptureFile(path, "", reason));  // replaces: zero octets
    EXPECT_EQ(ReadOctets(path), "");
    struct stat st{};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_NE(st.st_mode & 0044, 0u) << "readable like any new file";
}

TEST_F(CaptureFileTest, FailuresSayWhyAndLeaveNoFileBehind)
{
    std::string reason;
    EXPECT_FALSE(WriteCaptureFile(Path("no-such-dir/x.dat"), "text", reason));
    EXPECT_NE(reason.find("no-such-dir/x.dat: "), std::string::npos) << reason;

    std::string text = "unchanged";
    EXPECT_FALSE(ReadCaptureFile(Path("missing.dat"), text, reason));
    EXPECT_NE(reason.find("missing.dat: "), std::string::npos) << reason;
    EXPECT_EQ(text, "unchanged");
    EXPECT_FALSE(ReadCaptureFile(m_Dir, text, reason)) << "a folder is not a file";
    const std::string fifo = Path("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(ReadCaptureFile(fifo, text, reason)) << "a FIFO would never end";
    EXPECT_EQ(reason, fifo + ": 不是普通文件");
    unlink(fifo.c_str());

    // A file the user may not write keeps its content; no temporary file is left.
    if (geteuid() != 0) {
        const std::string locked = Path("locked.dat");
        WriteOctets(locked, "old");
        chmod(locked.c_str(), 0444);
        EXPECT_FALSE(WriteCaptureFile(locked, "new", reason));
        EXPECT_EQ(ReadOctets(locked), "old");
    }
    const std::string dir = Path("readonly");
    mkdir(dir.c_str(), 0555);
    if (geteuid() != 0) {
        EXPECT_FALSE(WriteCaptureFile(dir + "/x.dat", "text", reason));
    }
    // Nothing but what the test made itself: no cut or temporary file.
    int nEntries = 0;
    if (DIR* pDir = opendir(m_Dir.c_str())) {
        while (const dirent* pEntry = readdir(pDir))
            nEntries += pEntry->d_name[0] != '.' ? 1 : 0;
        closedir(pDir);
    }
    EXPECT_EQ(nEntries, geteuid() != 0 ? 2 : 1);
}
