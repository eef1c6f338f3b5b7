#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFileDialog>
#include <QMessageBox>
#include <QPlainTextEdit>

#include <sys/stat.h>
#include <unistd.h>


#include "gui/AppRun.h"
#include "monitor/CaptureFile.h"
#include "support/Files.h"
#include "monitor/LoadQueltData.h"
#include "monitor/RecvMessage.h"
#include "monitor/SendMessage.h"
#include "ui/QtShell.h"
#include "ui/QueltDlg.h"

namespace {

// Chooses the command and, in its file dialog, this file name.
bool ChooseFile(CQueltDlg& dlg, int nId, const std::string& name)
{
    return WithModalDialog<QFileDialog>(dlg.MenuAction(nId), [&](QFileDialog& files) {
        files.selectFile(QString::fromStdString(name));
        QMetaObject::invokeMethod(&files, "accept");  // as the Save or Open button does
    });
}

}  // namespace

class CaptureTest : public PtyAppTest {
protected:
    void SetUp() override
    {
        PtyAppTest::SetUp();
        char dir[] = "/tmp/quelt-capture-gui-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        m_Dir = dir;
    }
    void TearDown() override
    {
        std::system(("rm -rf " + m_Dir).c_str());
        PtyAppTest::TearDown();
    }

    std::string m_Dir;
};

TEST_F(CaptureTest, TrafficWindowsAreSavedAsGbkWithCrCrLfAndReadBackInTheViewer)
{
    RunQuelt([&](CQueltDlg& dlg) {
        // Both traffic windows paused, so their text stays as the test leaves it.
        dlg.MenuAction(32786)->trigger();
        g_wndRecv->m_editMsg->clear();
        const std::string empty = m_Dir + "/empty.dat";
        ASSERT_TRUE(ChooseFile(dlg, 32799, empty));
        EXPECT_EQ(access(empty.c_str(), F_OK), 0);
        EXPECT_EQ(ReadOctets(empty), "");

        g_wndSend->m_editMsg->setPlainText(QStringLiteral("=> 05 64 05 C0 36 00 AE 0C A7 07 \n链路层通讯失败 ！\n"));
        ASSERT_TRUE(ChooseFile(dlg, 32788, m_Dir + "/send"));  // ".dat" is added
        const std::string saved = ReadOctets(m_Dir + "/send.dat");
        EXPECT_EQ(saved, EncodeCapture("=> 05 64 05 C0 36 00 AE 0C A7 07 \r\n链路层通讯失败 ！\r\n"));
        EXPECT_EQ(saved.substr(0, 36), "=> 05 64 05 C0 36 00 AE 0C A7 07 \r\r\n");

        // Replacing a file is confirmed first.
        g_wndSend->m_editMsg->appendPlainText(QStringLiteral("<= 05 64 05 00 AE 0C 36 00 FF 2E "));
        bool bAsked = false;
        EXPECT_TRUE(WithModalDialog<QFileDialog>(dlg.MenuAction(32788), [&](QFileDialog& files) {
            files.selectFile(QString::fromStdString(m_Dir + "/send.dat"));
            QTimer::singleShot(0, [&] {
                if (auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                    bAsked = true;
                    pBox->button(QMessageBox::Yes)->click();
                }
            });
            QMetaObject::invokeMethod(&files, "accept");
        }));
        EXPECT_TRUE(bAsked);
        EXPECT_NE(ReadOctets(m_Dir + "/send.dat"), saved);

        // The viewer shows exactly the window's lines.
        ASSERT_TRUE(ChooseFile(dlg, 32789, m_Dir + "/send.dat"));
        EXPECT_TRUE(g_wndCapture->isVisible());
        EXPECT_EQ(g_wndCapture->m_editMsg->toPlainText(), g_wndSend->m_editMsg->toPlainText());
        EXPECT_EQ(g_wndCapture->m_editMsg->textCursor().position(),
                  g_wndCapture->m_editMsg->document()->characterCount() - 1) << "view at the end";

        // Other files, each replacing the last; the viewer comes back after being closed.
        const struct {
            const char* name;
            std::string octets;
            QString shown;
        } files[] = {
            {"crlf.txt", "a \r\nb \r\n", QStringLiteral("a b ")},  // another tool's line ends
            {"nul.dat", std::string("ab\0cd", 5), QStringLiteral("ab")},
            {"long.dat", std::string(9000, 'x'), QString(8192, QLatin1Char('x'))},
        };
        for (const auto& f : files) {
            g_wndCapture->close();
            WriteOctets(m_Dir + "/" + f.name, f.octets);
            ASSERT_TRUE(ChooseFile(dlg, 32789, m_Dir + "/" + f.name));
            EXPECT_TRUE(g_wndCapture->isVisible()) << f.name;
            EXPECT_EQ(g_wndCapture->m_editMsg->toPlainText(), f.shown) << f.name;
        }

        g_wndCapture->resize(500, 300);
        QApplication::processEvents();
        EXPECT_EQ(g_wndCapture->m_editMsg->geometry(), g_wndCapture->rect());
    });
    EXPECT_TRUE(m_MessageBoxes.empty());
}

TEST_F(CaptureTest, FilesThatCannotBeWrittenOrReadAreReported)
{
    RunQuelt([&](CQueltDlg& dlg) {
        // /proc takes no new files, not even from root.
        ASSERT_TRUE(ChooseFile(dlg, 32788, "/proc/quelt-capture.dat"));
        ASSERT_EQ(m_MessageBoxes.size(), 1u);
        EXPECT_EQ(m_MessageBoxes[0].rfind("捕获数据未保存\n/proc/quelt-capture.dat: ", 0), 0u) << m_MessageBoxes[0];
        EXPECT_NE(access("/proc/quelt-capture.dat", F_OK), 0);

        g_wndCapture->m_editMsg->setPlainText(QStringLiteral("kept"));
        const std::string fifo = m_Dir + "/line.dat";
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        m_MessageBoxes.clear();
        ASSERT_TRUE(ChooseFile(dlg, 32789, fifo));
        EXPECT_EQ(m_MessageBoxes, std::vector<std::string>{"无法打开捕获数据文件\n" + fifo + ": 不是普通文件"});
        EXPECT_EQ(g_wndCapture->m_editMsg->toPlainText().toStdString(), "kept");
    });
}

TEST_F(CaptureTest, DialogsStartInTheFolderLastUsedAndTheViewerNamesItsFile)
{
    RunQuelt([&](CQueltDlg& dlg) {
        dlg.MenuAction(32786)->trigger();  // paused: the window's text stays put
        std::string caption;
        EXPECT_TRUE(WithModalDialog<QFileDialog>(dlg.MenuAction(32799), [&](QFileDialog& files) {
            caption = files.windowTitle().toStdString();
            files.reject();
        }));
        EXPECT_EQ(caption, "捕获接收数据");  // which window's text is saved
        ASSERT_TRUE(ChooseFile(dlg, 32788, m_Dir + "/first.dat"));
        std::string folder;
        EXPECT_TRUE(WithModalDialog<QFileDialog>(dlg.MenuAction(32789), [&](QFileDialog& files) {
            caption = files.windowTitle().toStdString();
            folder = files.directory().absolutePath().toStdString();
            files.selectFile(QString::fromStdString(m_Dir + "/first.dat"));
            QMetaObject::invokeMethod(&files, "accept");
        }));
        EXPECT_EQ(caption, "显示捕获数据");
        EXPECT_EQ(folder, m_Dir);
        EXPECT_EQ(g_wndCapture->windowTitle().toStdString(), "显示捕获数据 - first.dat");
    });
}
