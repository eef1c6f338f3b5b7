#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QRegularExpression>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>

#include "app/Quelt.h"
#include "app/Recording.h"
#include "app/RunState.h"
#include "decode/input/Inputs.h"
#include "decode/Link.h"
#include "gui/EventLoop.h"
#include "monitor/CaptureFile.h"
#include "monitor/TrafficWindow.h"
#include "monitor/RecvMessage.h"
#include "monitor/SendMessage.h"
#include "sim/DemoRtu.h"
#include "support/Files.h"
#include "support/StateReset.h"
#include "support/Tshark.h"
#include "ui/QtShell.h"
#include "ui/QueltDlg.h"

class DemoRecordingTest : public SharedStateTest {};

namespace {

// The octets of each whole frame as hex, sent ones in [0] and received ones in [1].
bool FramesByDirection(const std::string& content, std::vector<std::string> (&frames)[2])
{
    std::vector<qdec::LineRecord> records;
    std::string reason;
    const bool bRead = qdec::ReadRecords(content, records, reason);
    for (const qdec::LineRecord& r : records)
        if (r.kind == qdec::RecordKind::Frame && (r.nPort == 1 || r.PortName == "capture"))
            frames[r.dir == qdec::Direction::Sent ? 0 : 1].push_back(qdec::HexText(r.Octets));
    return bRead;
}

}  // namespace

// quelt --demo --record FILE against an RTU that spoils some of its frames: Wireshark
// dissects every frame as DNP3 with its direction, and warns only of the CRC failures
// that were on the line, each of which the recording names in a comment.
TEST_F(DemoRecordingTest, TheDemosRecordingOpensInTsharkWithOnlyTheRealCrcFailuresWarned)
{
    ASSERT_TRUE(HaveTshark()) << "tshark is missing: ./run.sh installs it";
    const std::string path = TempPath("demo.pcapng");
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
    std::string sendCapture;
    std::string recvCapture;
    CQtShell shell;
    shell.OnMainDialogUp = [&](CQueltDlg& dlg) {
        bRecording = IsRecording() && RecordingPath() == path;
        const QRegularExpression readAnalogs(QStringLiteral("C. C. 01 1E 02 06 "));
        bStartup = ProcessEventsUntil(
            [&] { return nSpoilt >= 3 && g_wndSend->m_editMsg->toPlainText().contains(readAnalogs); }, 60000);
        // What "捕获发送数据" and "捕获接收数据" would write.
        sendCapture = EncodeCapture(CEditTextSink(g_wndSend->m_editMsg).Text());
        recvCapture = EncodeCapture(CEditTextSink(g_wndRecv->m_editMsg).Text());
        dlg.reject();
    };
    theApp.InitInstance(shell);
    theApp.ExitInstance();
    SetAutoStart(false);
    demo.Stop();
    EXPECT_TRUE(bRecording);
    ASSERT_TRUE(bStartup);
    EXPECT_TRUE(m_MessageBoxes.empty());

    const int nPackets = LineCount(Tshark(path, "-T fields -e frame.number"));
    EXPECT_GT(nPackets, 10);
    // Every packet to the DNP3 port is DNP3, and has its direction.
    EXPECT_EQ(Tshark(path, "-Y 'udp.port == 20000 && !dnp3' -T fields -e frame.number"), "");
    EXPECT_EQ(LineCount(Tshark(path, "-Y 'frame.p2p_dir == 0 || frame.p2p_dir == 1' -T fields -e frame.number")), nPackets);
    // Requests from the master's address, answers from the RTU's, by the DIR bit too.
    EXPECT_EQ(Tshark(path, "-Y 'dnp3.ctl.dir == 1 && ip.src != 192.0.2.1' -T fields -e frame.number"), "");
    EXPECT_EQ(Tshark(path, "-Y 'dnp3.ctl.dir == 0 && ip.src != 192.0.2.2' -T fields -e frame.number"), "");
    // The warnings are the CRC failures the recording names, and only those.
    const std::string warned = Tshark(path, "-Y '_ws.expert.severity == warning' -T fields -e frame.number");
    const std::string named = Tshark(path, "-Y 'frame.comment contains \"CRC failure\"' -T fields -e frame.number");
    EXPECT_EQ(warned, named);
    EXPECT_GE(LineCount(named), 1);
    EXPECT_LE(LineCount(named), nSpoilt.load());
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

    // quelt-decode reads the same frames from the recording and from the capture files;
    // the recording runs on after the windows were captured.
    std::vector<std::string> recorded[2];
    std::vector<std::string> captured[2];
    EXPECT_TRUE(FramesByDirection(ReadOctets(path), recorded));
    EXPECT_TRUE(FramesByDirection(sendCapture, captured));
    EXPECT_TRUE(FramesByDirection(recvCapture, captured));
    for (int nDir = 0; nDir < 2; ++nDir) {
        // A window keeps only its newest text, and the last frame may have been arriving
        // when it was captured: the frames between its first and its last are a run of
        // the recorded ones.
        std::vector<std::string>& window = captured[nDir];
        ASSERT_GE(window.size(), 5u) << nDir;
        window.erase(window.begin());
        window.pop_back();
        const std::vector<std::string>& line = recorded[nDir];
        bool bFound = false;
        for (std::size_t k = 0; k + window.size() <= line.size() && !bFound; ++k)
            bFound = std::equal(window.begin(), window.end(), line.begin() + static_cast<long>(k));
        EXPECT_TRUE(bFound) << "direction " << nDir << ": " << window.size() << " frames captured";
    }
    std::filesystem::remove(path);
}
