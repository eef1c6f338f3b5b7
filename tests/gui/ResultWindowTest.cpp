#include <gtest/gtest.h>

#include <QApplication>
#include <QTextEdit>
#include <QScrollBar>

#include "core/Config.h"
#include "monitor/ResultMessage.h"
#include "response/FrameHandler.h"

TEST(ResultWindowTest, RefreshShowsTheImageHonoursPauseAndKeepsTheScrollPosition)
{
    CFrameHandler handler;
    SetConfigDefaults();
    SetPointCounts();
    CResultMessage window;
    EXPECT_EQ(window.windowTitle().toStdString(), "结果信息窗口");
    window.resize(300, 200);
    window.show();

    g_RtuPoints[0].pYC[1].nValue = -5;
    window.Refresh();
    EXPECT_TRUE(window.m_ResultEdit->toPlainText().contains(QStringLiteral("P001=-00005 ")));
    EXPECT_TRUE(window.m_ResultEdit->toPlainText().startsWith(QStringLiteral("RTUID=54\nYX Point Number=128\n")));

    window.m_bPause = 1;
    g_RtuPoints[0].pYC[1].nValue = 7;
    window.Refresh();
    EXPECT_TRUE(window.m_ResultEdit->toPlainText().contains(QStringLiteral("P001=-00005 ")));
    window.m_bPause = 0;
    window.Refresh();
    EXPECT_TRUE(window.m_ResultEdit->toPlainText().contains(QStringLiteral("P001=+00007 ")));

    QScrollBar* pBar = window.m_ResultEdit->verticalScrollBar();
    QApplication::processEvents();
    ASSERT_GT(pBar->maximum(), 4);
    pBar->setValue(pBar->maximum() / 2);
    const int nMiddle = pBar->value();
    g_RtuPoints[0].pYC[2].nValue = 9;  // a new text, laid out anew
    window.Refresh();
    EXPECT_TRUE(window.m_ResultEdit->toPlainText().contains(QStringLiteral("P002=+00009 ")));
    EXPECT_EQ(pBar->value(), nMiddle);
    EXPECT_TRUE(window.m_ResultEdit->viewport()->updatesEnabled());

    // Nothing new: the text is left alone (no layout, nothing drawn) ...
    QApplication::processEvents();
    const int nRevision = window.m_ResultEdit->document()->revision();
    const QString before = window.m_ResultEdit->toPlainText();
    window.Refresh();
    EXPECT_EQ(window.m_ResultEdit->document()->revision(), nRevision);
    // ... unless the operator typed in it: the next refresh replaces that.
    window.m_ResultEdit->insertPlainText(QStringLiteral("typed"));
    window.Refresh();
    EXPECT_EQ(window.m_ResultEdit->toPlainText(), before);
    g_RtuPoints[0].pYC[1].nValue = 0;
    g_RtuPoints[0].pYC[2].nValue = 0;
}
