#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTableView>
#include <QTreeWidget>

#include <atomic>
#include <string>
#include <vector>

#include "app/Quelt.h"
#include "app/RunState.h"
#include "commands/CommandQueue.h"
#include "commands/CommandTable.h"
#include "core/Config.h"
#include "decode/input/Inputs.h"
#include "gui/EventLoop.h"
#include "monitor/AnalysisWindow.h"
#include "monitor/FrameTableModel.h"
#include "sim/DemoRtu.h"
#include "support/Files.h"
#include "support/StateReset.h"
#include "ui/MainMenu.h"
#include "ui/QtShell.h"
#include "ui/QueltDlg.h"

class AnalysisWindowTest : public SharedStateTest {};

namespace {

std::string Cell(const CFrameTableModel& model, int nRow, FrameColumn column)
{
    return model.data(model.index(nRow, column), Qt::DisplayRole).toString().toStdString();
}

// The first row whose summary starts so, or -1.
int RowOf(const CFrameTableModel& model, const std::string& summary)
{
    for (int r = 0; r < model.rowCount(); ++r)
        if (Cell(model, r, COL_SUMMARY).rfind(summary, 0) == 0)
            return r;
    return -1;
}

// The summaries of the rows that answer the request in this row.
std::vector<std::string> AnswersTo(const CFrameTableModel& model, int nRequest)
{
    std::vector<std::string> answers;
    for (int r = nRequest + 1; r < model.rowCount(); ++r)
        if (model.FrameAt(r)->nAnswers == model.FrameAt(nRequest)->nNumber) {
            answers.push_back(Cell(model, r, COL_SUMMARY));
            EXPECT_FALSE(Cell(model, r, COL_RESPONSE).empty()) << answers.back();
        }
    return answers;
}

// Ends the run however the test body leaves (an ASSERT returns early): a main window
// left open would keep the test waiting for ever.
struct EndsTheRun {
    CQueltDlg& dlg;
    ~EndsTheRun() { dlg.reject(); }
};

}  // namespace

// The demo's traffic, against an RTU that spoils every fourth frame, as an operator meets
// it in the window: from the menu, the list of meanings, a frame's layers and octets, the
// spoilt frames found with one filter and exported, the pause.
TEST_F(AnalysisWindowTest, TheDemosTrafficIsListedExplainedFilteredExportedAndPaused)
{
    QSettings().remove(QStringLiteral("AnalysisWindow"));  // the layout a first run has
    SimOptions options = CDemoRtu::DemoOptions();
    options.nCorruptEvery = 4;
    CDemoRtu demo;
    ASSERT_TRUE(demo.Start(options));
    SetAutoStart(true);
    CQtShell shell;
    shell.OnMainDialogUp = [&](CQueltDlg& dlg) {
        const EndsTheRun end{dlg};
        ASSERT_NE(g_wndAnalysis, nullptr);
        EXPECT_FALSE(g_wndAnalysis->isVisible());
        dlg.MenuAction(ID_WND_ANALYSIS)->trigger();
        EXPECT_TRUE(g_wndAnalysis->isVisible());
        EXPECT_TRUE(dlg.MenuAction(ID_WND_ANALYSIS)->isChecked());
        CAnalysisWindow& w = *g_wndAnalysis;
        const CFrameTableModel& model = *w.Model();

        // The link reset and its ACK, then the start-up sequence up to the read of the
        // analogs, and a spoilt frame.
        ASSERT_TRUE(ProcessEventsUntil(
            [&] { return RowOf(model, "读 30.2") >= 0 && RowOf(model, "链路 用户数据 54→3246  CRC错") >= 0; }, 60000));
        const int nReset = RowOf(model, "链路 复位 3246→54");
        ASSERT_EQ(nReset, 0);
        EXPECT_EQ(Cell(model, 0, COL_DIRECTION), "发送");
        EXPECT_EQ(Cell(model, 0, COL_PORT), "COM2");
        EXPECT_EQ(Cell(model, 1, COL_SUMMARY), "链路 确认 54→3246");
        EXPECT_EQ(Cell(model, 1, COL_DIRECTION), "接收");
        EXPECT_FALSE(Cell(model, 1, COL_RESPONSE).empty());  // answered: its time is there
        EXPECT_EQ(model.FrameAt(1)->nAnswers, model.FrameAt(0)->nNumber);
        EXPECT_TRUE(Cell(model, 0, COL_RESPONSE).empty());

        // A read: its layers, and the application header marked among its octets.
        auto* pTable = w.findChild<QTableView*>(QString::number(CAnalysisWindow::ID_TABLE));
        auto* pTree = w.findChild<QTreeWidget*>(QString::number(CAnalysisWindow::ID_DETAIL));
        auto* pHex = w.findChild<QPlainTextEdit*>(QString::number(CAnalysisWindow::ID_HEX));
        const int nRead = RowOf(model, "读 30.2");
        pTable->selectRow(nRead);
        ASSERT_EQ(pTree->topLevelItemCount(), 1);
        QTreeWidgetItem* pApplication = nullptr;
        for (QTreeWidgetItemIterator it(pTree); *it != nullptr; ++it)
            if ((*it)->text(0).startsWith(QStringLiteral("应用层")))
                pApplication = *it;
        ASSERT_NE(pApplication, nullptr);
        EXPECT_TRUE(pApplication->text(0).startsWith(QStringLiteral("应用层  功能码 读  application")));
        EXPECT_TRUE(pApplication->text(0).contains(QStringLiteral("READ (1)")));
        EXPECT_EQ(pHex->toPlainText().left(6), QStringLiteral("0000  "));
        const int nCrcMarks = pHex->extraSelections().size();
        EXPECT_EQ(nCrcMarks, 4);  // header CRC and one block's
        pTree->setCurrentItem(pApplication);
        const QList<QTextEdit::ExtraSelection> marks = pHex->extraSelections();
        ASSERT_EQ(marks.size(), nCrcMarks + 2);  // application control and function
        EXPECT_EQ(marks.back().cursor.selectedText(), QStringLiteral("01"));  // READ

        // One filter finds the spoilt frames.
        w.findChild<QCheckBox*>(QString::number(CAnalysisWindow::ID_FAULTS))->setChecked(true);
        ASSERT_GT(model.rowCount(), 0);
        for (int r = 0; r < model.rowCount(); ++r)
            EXPECT_TRUE(model.FrameAt(r)->d.bFault) << Cell(model, r, COL_SUMMARY);
        EXPECT_NE(Cell(model, 0, COL_CRC), "正确");
        const int nFaults = model.rowCount();
        const std::string csv = TempPath("faults.csv");
        const std::string pcapng = TempPath("faults.pcapng");
        std::string reason;
        ASSERT_TRUE(w.Export(CAnalysisWindow::EXPORT_CSV, csv, false, reason)) << reason;
        ASSERT_TRUE(w.Export(CAnalysisWindow::EXPORT_PCAPNG, pcapng, false, reason)) << reason;
        EXPECT_EQ(LineCount(ReadOctets(csv)), nFaults + 1);
        std::vector<qdec::LineRecord> records;
        ASSERT_TRUE(qdec::ReadRecords(ReadOctets(pcapng), records, reason)) << reason;
        ASSERT_EQ(static_cast<int>(records.size()), nFaults);
        EXPECT_EQ(records[0].Octets, model.FrameAt(0)->d.Record.Octets);
        std::remove(csv.c_str());
        std::remove(pcapng.c_str());
        w.findChild<QCheckBox*>(QString::number(CAnalysisWindow::ID_FAULTS))->setChecked(false);
        w.findChild<QLineEdit*>(QString::number(CAnalysisWindow::ID_SEARCH))->setText(QStringLiteral("60.2"));
        for (int r = 0; r < model.rowCount(); ++r)
            EXPECT_NE(model.FrameAt(r)->d.App.ObjectSummary.find("60.2"), std::string::npos);
        w.findChild<QLineEdit*>(QString::number(CAnalysisWindow::ID_SEARCH))->clear();
        w.findChild<QComboBox*>(QString::number(CAnalysisWindow::ID_PORT))->setCurrentIndex(1);  // COM1: silent
        EXPECT_EQ(model.rowCount(), 0);
        w.findChild<QComboBox*>(QString::number(CAnalysisWindow::ID_PORT))->setCurrentIndex(0);

        // Paused, nothing new is listed however many ticks pass; continued, it comes.
        dlg.MenuAction(32834)->trigger();
        EXPECT_EQ(w.m_bPause, 1);
        const int nRows = model.rowCount();
        EventCounter ticks(&w, QEvent::Timer);
        EXPECT_TRUE(ProcessEventsUntil([&] { return ticks.nCount >= 6; }, 20000));
        EXPECT_EQ(model.rowCount(), nRows);
        dlg.MenuAction(32834)->trigger();
        EXPECT_TRUE(ProcessEventsUntil([&] { return model.rowCount() > nRows; }, 20000));
    };
    theApp.InitInstance(shell);
    theApp.ExitInstance();
    SetAutoStart(false);
    demo.Stop();
}

// The layout the operator chose comes back in the next run: splitters, shown columns,
// filters.
TEST_F(AnalysisWindowTest, TheChosenLayoutIsKeptBetweenRuns)
{
    QSettings().remove(QStringLiteral("AnalysisWindow"));
    {
        CAnalysisWindow w;
        w.findChild<QComboBox*>(QString::number(CAnalysisWindow::ID_DIRECTION))->setCurrentIndex(2);
        w.findChild<QCheckBox*>(QString::number(CAnalysisWindow::ID_FAULTS))->setChecked(true);
        w.findChild<QLineEdit*>(QString::number(CAnalysisWindow::ID_SEARCH))->setText(QStringLiteral("SELECT"));
        w.findChild<QTableView*>(QString::number(CAnalysisWindow::ID_TABLE))->setColumnHidden(COL_INTERVAL, true);
    }
    {
        CAnalysisWindow again;
        EXPECT_EQ(again.findChild<QComboBox*>(QString::number(CAnalysisWindow::ID_DIRECTION))->currentIndex(), 2);
        EXPECT_TRUE(again.findChild<QCheckBox*>(QString::number(CAnalysisWindow::ID_FAULTS))->isChecked());
        EXPECT_EQ(again.findChild<QLineEdit*>(QString::number(CAnalysisWindow::ID_SEARCH))->text(),
                  QStringLiteral("SELECT"));
        const auto* pTable = again.findChild<QTableView*>(QString::number(CAnalysisWindow::ID_TABLE));
        EXPECT_TRUE(pTable->isColumnHidden(COL_INTERVAL));
        EXPECT_FALSE(pTable->isColumnHidden(COL_SUMMARY));
        const FrameFilter& filter = again.Model()->Filter();
        EXPECT_EQ(filter.nDirection, 1);
        EXPECT_TRUE(filter.bFaultsOnly);
        EXPECT_EQ(filter.Text, "SELECT");
    }  // it keeps its layout as it goes; the next test starts afresh
    QSettings().remove(QStringLiteral("AnalysisWindow"));
}

// A select-and-execute as the list shows it: each request with the echo that answers it,
// timed.
TEST_F(AnalysisWindowTest, ASelectAndExecuteIsListedWithEachEchoAnsweringItsRequest)
{
    QSettings().remove(QStringLiteral("AnalysisWindow"));
    CDemoRtu demo;
    ASSERT_TRUE(demo.Start(CDemoRtu::DemoOptions()));
    CQtShell shell;
    shell.OnMainDialogUp = [&](CQueltDlg& dlg) {
        const EndsTheRun end{dlg};
        dlg.MenuAction(ID_WND_ANALYSIS)->trigger();
        const CFrameTableModel& model = *g_wndAnalysis->Model();
        g_nScanPeriod = 1;
        ManualChoice choice;
        choice.nPoint = 5;
        choice.lRelayMs = 500;
        QueueManualCommand(*FindMenuCommand(32817), choice);  // 遥控(选点并执行)命令, once
        ASSERT_TRUE(ProcessEventsUntil(
            [&] {
                const int nOperate = RowOf(model, "执行 12.1×1");
                return nOperate >= 0 && AnswersTo(model, nOperate).size() >= 2;
            },
            30000));
        for (const char* pszRequest : {"选择 12.1×1", "执行 12.1×1"}) {
            const int nRequest = RowOf(model, pszRequest);
            ASSERT_GE(nRequest, 0) << pszRequest;
            // Sent as confirmed data: the link's ACK answers the frame, the echo the request.
            const std::vector<std::string> answers = AnswersTo(model, nRequest);
            ASSERT_EQ(answers.size(), 2u) << pszRequest;
            EXPECT_EQ(answers[0], "链路 确认 54→3246") << pszRequest;
            EXPECT_EQ(answers[1].rfind("响应 seq", 0), 0u) << answers[1];
            EXPECT_NE(answers[1].find("12.1×1"), std::string::npos) << answers[1];  // the echo
        }
    };
    theApp.InitInstance(shell);
    theApp.ExitInstance();
    demo.Stop();
}
