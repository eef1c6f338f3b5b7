#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTextEdit>

#include <termios.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

#include "channel/ChannelTable.h"
#include "channel/PortMap.h"
#include "channel/Protocol.h"
#include "core/Config.h"
#include "core/EngineStatus.h"
#include "core/TrafficLines.h"
#include "dnp3/QueltProtocol.h"
#include "gui/AppRun.h"
#include "gui/EventLoop.h"
#include "monitor/RecvMessage.h"
#include "monitor/ResultMessage.h"
#include "monitor/SendMessage.h"
#include "response/FrameHandler.h"
#include "sim/DemoRtu.h"
#include "sim/TcpListenLine.h"
#include "support/Pty.h"
#include "ui/ChannelParam.h"
#include "ui/ModeParam.h"
#include "ui/QtShell.h"
#include "ui/QueltDlg.h"
#include "ui/RTUDialog.h"

namespace {


speed_t LineSpeed(const PtyPair& line)
{
    termios tio{};
    tcgetattr(line.MasterFd(), &tio);  // a pty master reads its slave's settings
    return cfgetospeed(&tio);
}

bool IsEngine(int nEntry) { return dynamic_cast<CQueltProtocol*>(g_Channels.pChannel[nEntry].get()) != nullptr; }

}  // namespace

class ParameterDialogTest : public PtyAppTest {};

TEST_F(ParameterDialogTest, ChannelDialogShowsTheLineAndReprogramsOpenPortsOnlyWhenChanged)
{
    RunQuelt([&](CQueltDlg& dlg) {
        QAction* pItem = dlg.MenuAction(32771);
        CProtocol* const channels[2] = {g_Channels.pChannel[0].get(), g_Channels.pChannel[1].get()};
        EXPECT_EQ(LineSpeed(m_Com1), B1200);

        // Unchanged: nothing is re-programmed (a speed set behind its back stays).
        termios tio{};
        tcgetattr(m_Com2.MasterFd(), &tio);
        cfsetspeed(&tio, B4800);
        tcsetattr(m_Com2.MasterFd(), TCSANOW, &tio);
        EXPECT_TRUE(WithModalDialog<CChannelParam>(pItem, [](CChannelParam& channel) {
            EXPECT_EQ(channel.windowTitle().toStdString(), "通道参数");
            const std::pair<int, const char*> shown[] = {{1005, "1200"}, {1006, "8"}, {1007, "NONE"}, {1008, "1"}};
            for (const auto& [nId, text] : shown)
                EXPECT_EQ(Find<QComboBox>(channel, nId)->currentText().toStdString(), text) << nId;
            EXPECT_EQ(Find<QComboBox>(channel, 1005)->count(), 6);
            EXPECT_TRUE(Find<QRadioButton>(channel, 1019)->isChecked());
            EXPECT_FALSE(Find<QRadioButton>(channel, 1018)->isChecked());
            Click(channel, 1);
        }));
        EXPECT_EQ(LineSpeed(m_Com2), B4800);

        // Speed and stop bits: both open ports re-programmed, the channels kept.
        EXPECT_TRUE(WithModalDialog<CChannelParam>(pItem, [](CChannelParam& channel) {
            Find<QComboBox>(channel, 1005)->setCurrentIndex(5);  // 9600
            Find<QComboBox>(channel, 1008)->setCurrentIndex(2);  // two stop bits
            Click(channel, 1);
        }));
        EXPECT_EQ(g_nBaudRate.load(), 9600);
        EXPECT_EQ(g_nStopBits.load(), 2);
        EXPECT_EQ(LineSpeed(m_Com1), B9600);
        EXPECT_EQ(LineSpeed(m_Com2), B9600);
        EXPECT_EQ(g_Channels.pChannel[0].get(), channels[0]);
        EXPECT_EQ(g_Channels.pChannel[1].get(), channels[1]);
        EXPECT_TRUE(channels[0]->IsPortOpen() && channels[1]->IsPortOpen());

        // One and a half stop bits, which no 8-bit line has: kept, shown again, not reported.
        EXPECT_TRUE(WithModalDialog<CChannelParam>(pItem, [](CChannelParam& channel) {
            EXPECT_EQ(Find<QComboBox>(channel, 1008)->currentText().toStdString(), "2");
            Find<QComboBox>(channel, 1008)->setCurrentIndex(1);
            Click(channel, 1);
        }));
        EXPECT_EQ(g_nStopBits.load(), 1);
        EXPECT_TRUE(WithModalDialog<CChannelParam>(pItem, [](CChannelParam& channel) {
            EXPECT_EQ(Find<QComboBox>(channel, 1008)->currentText().toStdString(), "1.5");
            Find<QComboBox>(channel, 1008)->setCurrentIndex(0);
            Click(channel, 2);  // cancel changes nothing
        }));
        EXPECT_EQ(g_nStopBits.load(), 1);
    });
    EXPECT_TRUE(m_MessageBoxes.empty());
}

TEST_F(ParameterDialogTest, PortChangeRebuildsTheChannelsWhileThePollThreadRuns)
{
    RunQuelt([&](CQueltDlg& dlg) {
        // Traffic on both lines all along, so the poll thread is busy when the GUI takes
        // the channel lock.
        std::atomic<bool> bStop{false};
        std::thread far([&] {
            while (!bStop) {
                m_Com1.Write({0x01});
                m_Com2.Write({0x02});
                std::this_thread::sleep_for(std::chrono::milliseconds(3));
            }
        });
        // Until both lines' traffic shows, so the poll thread is in the middle of it.
        ProcessEventsUntil(
            [] {
                const QString recv = g_wndRecv->m_editMsg->toPlainText();
                return recv.contains(QStringLiteral("01 ")) && recv.contains(QStringLiteral("02 "));
            },
            20000);
        EXPECT_TRUE(IsEngine(1));
        EXPECT_TRUE(WithModalDialog<CChannelParam>(dlg.MenuAction(32771), [](CChannelParam& channel) {
            Find<QComboBox>(channel, 1005)->setCurrentIndex(3);  // 2400 as well
            Click(channel, 1018);                                // COM1
            Click(channel, 1);
        }));
        bStop = true;
        far.join();
        EXPECT_EQ(g_nComPort.load(), COM1);
        EXPECT_TRUE(IsEngine(0));
        EXPECT_FALSE(IsEngine(1));
        EXPECT_TRUE(g_Channels.PollThread.joinable());
        EXPECT_EQ(LineSpeed(m_Com1), B2400);  // the new ports open with the new settings
        EXPECT_EQ(LineSpeed(m_Com2), B2400);

        // The engine now resets the link on COM1.
        std::vector<std::uint8_t> sent;
        ProcessEventsUntil(
            [&] {
                const auto more = m_Com1.ReadAll(0);
                sent.insert(sent.end(), more.begin(), more.end());
                return sent.size() >= 10;
            },
            5000);
        const std::vector<std::uint8_t> reset = {0x05, 0x64, 0x05, 0xC0, 0x36, 0x00, 0xAE, 0x0C, 0xA7, 0x07};
        EXPECT_EQ(std::vector<std::uint8_t>(sent.begin(), sent.begin() + std::min<std::size_t>(10, sent.size())), reset);
    });
    EXPECT_TRUE(m_MessageBoxes.empty());
}

// While it runs, the engine's line goes from the serial port to an RTU on TCP and back.
TEST_F(ParameterDialogTest, ChannelDialogSwitchesBetweenSerialAndTcpWhileRunning)
{
    std::string error;
    std::vector<std::string> rtuLog;
    std::mutex mxLog;
    auto line = CTcpListenLine::Listen("127.0.0.1:0", 0, [&](const std::string& l) {
        std::lock_guard lock(mxLog);
        rtuLog.push_back(l);
    }, error);
    ASSERT_NE(line, nullptr) << error;
    const std::string port = std::to_string(line->Port());
    CSimRunner rtu(SimOptions{}, std::move(line));
    rtu.Start();
    const std::string serial = PortDevice(COM2);
    RunQuelt([&](CQueltDlg& dlg) {
        QAction* pItem = dlg.MenuAction(32771);
        EXPECT_TRUE(WithModalDialog<CChannelParam>(pItem, [&](CChannelParam& channel) {
            EXPECT_TRUE(Find<QRadioButton>(channel, 1020)->isChecked());
            EXPECT_FALSE(Find<QLineEdit>(channel, 1022)->isEnabled());
            Click(channel, 1018);  // the engine on COM1, then TCP: COM2 it must be
            Click(channel, 1021);
            EXPECT_FALSE(Find<QComboBox>(channel, 1005)->isEnabled()) << "no line speed on a network";
            EXPECT_FALSE(Find<QRadioButton>(channel, 1018)->isEnabled());
            EXPECT_TRUE(Find<QRadioButton>(channel, 1019)->isChecked());
            const struct {
                const char* host;
                const char* port;
                std::string message;
                int nFocus;
            } bad[] = {
                {"", "20000", "请输入主机名或IP地址", 1022},
                {"rtu 1", "20000", "请输入主机名或IP地址", 1022},
                {"127.0.0.1", "0", "Please enter an integer between 1 and 65535.", 1023},
                {"127.0.0.1", "65536", "Please enter an integer between 1 and 65535.", 1023},
            };
            for (const auto& b : bad) {
                Type(channel, 1022, b.host);
                Type(channel, 1023, b.port);
                m_MessageBoxes.clear();
                Click(channel, 1);
                EXPECT_EQ(m_MessageBoxes, std::vector<std::string>{b.message}) << b.host << " " << b.port;
                EXPECT_TRUE(channel.isVisible());
                EXPECT_EQ(channel.focusWidget(), Find<QLineEdit>(channel, b.nFocus));
            }
            Type(channel, 1022, "127.0.0.1");
            Type(channel, 1023, port.c_str());
            m_MessageBoxes.clear();
            Click(channel, 1);
        }));
        EXPECT_EQ(PortDevice(COM2), "tcp://127.0.0.1:" + port);
        EXPECT_TRUE(ProcessEventsUntil(
            [&] {
                std::lock_guard lock(mxLog);
                return std::any_of(rtuLog.begin(), rtuLog.end(),
                                   [](const std::string& l) { return l.find("read 80.1") != std::string::npos ||
                                                                     l.find("master connected") != std::string::npos; });
            },
            10000));
        EXPECT_TRUE(ProcessEventsUntil([] { return g_EngineStatus.Read().bPortOpen; }, 10000));

        // And back: the serial device it had.
        EXPECT_TRUE(WithModalDialog<CChannelParam>(pItem, [&](CChannelParam& channel) {
            EXPECT_TRUE(Find<QRadioButton>(channel, 1021)->isChecked());
            EXPECT_EQ(Find<QLineEdit>(channel, 1023)->text().toStdString(), port);
            Click(channel, 1020);
            EXPECT_TRUE(Find<QComboBox>(channel, 1005)->isEnabled());
            Click(channel, 1);
        }));
        EXPECT_EQ(PortDevice(COM2), serial);
        EXPECT_TRUE(IsEngine(1));
    });
    rtu.Stop();
    EXPECT_TRUE(m_MessageBoxes.empty());
}

TEST_F(ParameterDialogTest, RtuDialogChoosesTheTimeFormatAndCancelKeepsIt)
{
    RunQuelt([&](CQueltDlg& dlg) {
        const auto choose = [&](int nIndex, int nButton) {
            EXPECT_TRUE(WithModalDialog<CRTUDialog>(dlg.MenuAction(32774), [&](CRTUDialog& rtu) {
                auto* pCombo = Find<QComboBox>(rtu, 1042);
                EXPECT_EQ(pCombo->count(), 2);
                EXPECT_EQ(pCombo->itemText(0).toStdString(), "本月毫秒");
                EXPECT_EQ(pCombo->itemText(1).toStdString(), "IEEE 1815 (UTC)");
                EXPECT_EQ(pCombo->currentIndex(), g_nTimeFormat.load()) << "opens on the current format";
                pCombo->setCurrentIndex(nIndex);
                Click(rtu, nButton);
            }));
        };
        EXPECT_EQ(g_nTimeFormat.load(), TIME_FORMAT_MONTH);
        choose(1, 2);  // cancelled
        EXPECT_EQ(g_nTimeFormat.load(), TIME_FORMAT_MONTH);
        choose(1, 1);
        EXPECT_EQ(g_nTimeFormat.load(), TIME_FORMAT_UTC);
        choose(0, 1);
        EXPECT_EQ(g_nTimeFormat.load(), TIME_FORMAT_MONTH);
    });
    EXPECT_TRUE(m_MessageBoxes.empty());
}

TEST_F(ParameterDialogTest, RtuDialogRefusesOutOfRangeFieldsInOrderAndAppliesTheSix)
{
    RunQuelt([&](CQueltDlg& dlg) {
        g_RtuPoints[0].pYC[100].nValue = 1234;
        const struct {
            int nId;
            const char* low;
            const char* high;
            const char* bounds;
            const char* good;
        } fields[] = {
            {1038, "0", "61", "1 and 60", "60"},      {1029, "0", "65536", "1 and 65535", "65535"},
            {1030, "0", "65536", "1 and 65535", "1"}, {1039, "0", "1025", "1 and 1024", "4"},
            {1041, "0", "1025", "1 and 1024", "1024"}, {1040, "0", "1025", "1 and 1024", "1"},
        };
        EXPECT_TRUE(WithModalDialog<CRTUDialog>(dlg.MenuAction(32774), [&](CRTUDialog& rtu) {
            EXPECT_EQ(rtu.windowTitle().toStdString(), "远动参数");
            const char* shown[] = {"3", "3246", "54", "128", "64", "128"};
            for (std::size_t i = 0; i < std::size(fields); ++i)
                EXPECT_EQ(Find<QLineEdit>(rtu, fields[i].nId)->text().toStdString(), shown[i]);

            // Every field out of range at both ends; the first bad one in order is named.
            for (const auto& f : fields) {
                for (const char* bad : {f.low, f.high, ""}) {
                    Find<QLineEdit>(rtu, f.nId)->setText(QString::fromUtf8(bad));
                    m_MessageBoxes.clear();
                    Click(rtu, 1);
                    const std::string expected = *bad == '\0' ? "Please enter an integer."
                                                              : std::string("Please enter an integer between ") +
                                                                    f.bounds + ".";
                    EXPECT_EQ(m_MessageBoxes, std::vector<std::string>{expected}) << f.nId << " " << bad;
                    EXPECT_TRUE(rtu.isVisible());
                    EXPECT_EQ(rtu.focusWidget(), Find<QLineEdit>(rtu, f.nId));
                }
                Find<QLineEdit>(rtu, f.nId)->setText(QString::fromUtf8(f.good));
                EXPECT_EQ(g_nScanPeriod.load(), 3) << "nothing written before all six pass";
            }
            m_MessageBoxes.clear();
            Click(rtu, 1);
        }));
        EXPECT_TRUE(m_MessageBoxes.empty());
        EXPECT_EQ(g_nScanPeriod.load(), 60);
        EXPECT_EQ(g_nMasterAddress.load(), 65535);
        EXPECT_EQ(g_nRtuAddress.load(), 1);
        EXPECT_EQ(g_nYcPoints.load(), 4);
        EXPECT_EQ(g_nYmPoints.load(), 1024);
        EXPECT_EQ(g_nYxPoints.load(), 1);
        EXPECT_EQ(g_RtuPoints[0].nYCNum, 4);

        g_wndResult->Refresh();
        const QString shown = g_wndResult->m_ResultEdit->toPlainText();
        EXPECT_TRUE(shown.startsWith(QStringLiteral("RTUID=1\nYX Point Number=1\nG00=0\nYC Point Number=4\n")))
            << shown.left(80).toStdString();
        EXPECT_TRUE(shown.contains(QStringLiteral("YM Point Number=1024\n")));

        // Back to more analogs: the values of the points not shown meanwhile are still there.
        EXPECT_TRUE(WithModalDialog<CRTUDialog>(dlg.MenuAction(32774), [](CRTUDialog& rtu) {
            Find<QLineEdit>(rtu, 1039)->setText(QStringLiteral("128"));
            Click(rtu, 1);
        }));
        g_wndResult->Refresh();
        EXPECT_TRUE(g_wndResult->m_ResultEdit->toPlainText().contains(QStringLiteral("P100=+01234 ")));
    });
    g_RtuPoints[0].pYC[100].nValue = 0;
    SetConfigDefaults();
    SetPointCounts();
}

class RunModeTest : public AppTest {};

TEST_F(RunModeTest, SwitchingToAutomaticStartsTheStartupSequenceAgainstTheRtu)
{
    CDemoRtu demo;
    ASSERT_TRUE(demo.Start(SimOptions{}));
    RunQuelt([&](CQueltDlg& dlg) {
        EXPECT_TRUE(WithModalDialog<CModeParam>(dlg.MenuAction(32775), [](CModeParam& mode) {
            EXPECT_EQ(mode.windowTitle().toStdString(), "运行参数");
            EXPECT_TRUE(Find<QRadioButton>(mode, 1004)->isChecked());  // manual
            EXPECT_TRUE(Find<QRadioButton>(mode, 1002)->isChecked());  // by class
            EXPECT_FALSE(Find<QRadioButton>(mode, 1002)->isEnabled());
            EXPECT_FALSE(Find<QRadioButton>(mode, 1003)->isEnabled());
            Click(mode, 1005);  // automatic
            EXPECT_TRUE(Find<QRadioButton>(mode, 1002)->isEnabled());
            EXPECT_TRUE(Find<QRadioButton>(mode, 1003)->isEnabled());
            Click(mode, 1004);  // and back, and forth again
            EXPECT_FALSE(Find<QRadioButton>(mode, 1003)->isEnabled());
            Click(mode, 1005);
            Click(mode, 1003);  // by object
            Click(mode, 1);
        }));
        EXPECT_EQ(g_nAskMode.load(), ASK_AUTO);
        EXPECT_EQ(g_nCallMode.load(), CALL_BY_OBJECT);

        // The first request of the start-up sequence, read IIN (80.1), goes out and then the
        // sequence goes on: disable unsolicited responses for class 3.
        const QRegularExpression readIin(QStringLiteral("=> 05 64 .. C4 36 00 AE 0C .. .. C. C. 01 50 01 06 "));
        const QRegularExpression disable(QStringLiteral("C. C. 15 3C 04 06 "));
        const bool bSeen = ProcessEventsUntil(
            [&] {
                const QString text = g_wndSend->m_editMsg->toPlainText();
                return text.contains(readIin) && text.contains(disable);
            },
            20000);
        EXPECT_TRUE(bSeen) << g_wndSend->m_editMsg->toPlainText().toStdString();
    });
    demo.Stop();
}
