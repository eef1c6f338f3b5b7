#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QRegularExpression>

#include <atomic>
#include <filesystem>
#include <string>

#include "app/Quelt.h"
#include "app/Recording.h"
#include "app/RunState.h"
#include "gui/EventLoop.h"
#include "monitor/SendMessage.h"
#include "sim/DemoRtu.h"
#include "support/StateReset.h"
#include "support/Tshark.h"
#include "ui/QtShell.h"
#include "ui/QueltDlg.h"

class DemoRecordingTest : public SharedStateTest {};

namespace {

int Lines(const std::string& text)
{
    int n = 0;
    for (const char ch : text)
        n += ch == '\n';
    return n;
}

}  // namespace

// quelt --demo --record FILE against an RTU that spoils some of its frames: Wireshark
// dissects every frame as DNP3 with its direction, and warns only of the CRC failures
// that were on the line, each of which the recording names in a comment.
TEST_F(DemoRecordingTest, TheDemosRecordingOpensInTsharkWithOnlyTheRealCrcFailuresWarned)
{
    ASSERT_TRUE(HaveTshark()) << "tshark is missing: ./run.sh installs it";
    const std::string path =
        (std::filesystem::temp_directory_path() / ("quelt-demo-" + std::to_string(getpid()) + ".pcapng")).string();
    SimOptions options = CDemoRtu::DemoOptions();
    options.nCorruptEvery = 4;
    std::atomic<int> nSpoilt{0};
    CDemoRtu demo;
    ASSERT_TRUE(demo.Start(options, [&](const std::string& line) {
        if (line.rfind("fault: CRC", 0) == 0)
            ++nSpoilt;
    }));
    SetAutoStart(true);
    SetStartupRecording({path, 0, 0});
    bool bRecording = false;
    bool bStartup = false;
    CQtShell shell;
    shell.OnMainDialogUp = [&](CQueltDlg& dlg) {
        bRecording = IsRecording() && RecordingPath() == path;
        const QRegularExpression readAnalogs(QStringLiteral("C. C. 01 1E 02 06 "));
        bStartup = ProcessEventsUntil(
            [&] { return nSpoilt >= 3 && g_wndSend->m_editMsg->toPlainText().contains(readAnalogs); }, 60000);
        dlg.reject();
    };
    theApp.InitInstance(shell);
    theApp.ExitInstance();
    SetAutoStart(false);
    demo.Stop();
    EXPECT_TRUE(bRecording);
    ASSERT_TRUE(bStartup);
    EXPECT_TRUE(m_MessageBoxes.empty());

    const int nPackets = Lines(Tshark(path, "-T fields -e frame.number"));
    EXPECT_GT(nPackets, 10);
    // Every packet to the DNP3 port is DNP3, and has its direction.
    EXPECT_EQ(Tshark(path, "-Y 'udp.port == 20000 && !dnp3' -T fields -e frame.number"), "");
    EXPECT_EQ(Lines(Tshark(path, "-Y 'frame.p2p_dir == 0 || frame.p2p_dir == 1' -T fields -e frame.number")), nPackets);
    // Requests from the master's address, answers from the RTU's, by the DIR bit too.
    EXPECT_EQ(Tshark(path, "-Y 'dnp3.ctl.dir == 1 && ip.src != 192.0.2.1' -T fields -e frame.number"), "");
    EXPECT_EQ(Tshark(path, "-Y 'dnp3.ctl.dir == 0 && ip.src != 192.0.2.2' -T fields -e frame.number"), "");
    // The warnings are the CRC failures the recording names, and only those.
    const std::string warned = Tshark(path, "-Y '_ws.expert.severity == warning' -T fields -e frame.number");
    const std::string named = Tshark(path, "-Y 'frame.comment contains \"CRC failure\"' -T fields -e frame.number");
    EXPECT_EQ(warned, named);
    EXPECT_GE(Lines(named), 1);
    EXPECT_LE(Lines(named), nSpoilt.load());
    // And every warning is a checksum: none says malformed or undecoded.
    const std::string summary = Tshark(path, "-q -z expert,warn");
    const QStringList rows = QString::fromStdString(summary).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    int nRows = 0;
    for (const QString& row : rows)
        if (row.contains(QStringLiteral("DNP 3.0")) || row.contains(QStringLiteral("Malformed"))) {
            ++nRows;
            EXPECT_TRUE(row.contains(QStringLiteral("Checksum"))) << row.toStdString();
        }
    EXPECT_GE(nRows, 1) << summary;
    std::filesystem::remove(path);
}
