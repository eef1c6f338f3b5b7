#include <gtest/gtest.h>

#include <QPlainTextEdit>

#include <mutex>

#include "core/Locks.h"
#include "core/TrafficLines.h"
#include "monitor/RecvMessage.h"
#include "monitor/SendMessage.h"
#include "support/StateReset.h"

class TrafficWindowTest : public SharedStateTest {};

TEST_F(TrafficWindowTest, EditSinkSpeaksInCrLfLines)
{
    QPlainTextEdit edit;
    CEditTextSink sink(&edit);
    sink.AppendAtEnd("=> 05 64 \r\n<= 0A ");
    EXPECT_EQ(edit.toPlainText().toStdString(), "=> 05 64 \n<= 0A ");
    EXPECT_EQ(sink.Text(), "=> 05 64 \r\n<= 0A ");
    sink.AppendAtEnd("\r");  // a line end split across two ticks
    sink.AppendAtEnd("\n");
    EXPECT_EQ(sink.Text(), "=> 05 64 \r\n<= 0A \r\n");
    sink.RemoveHead(11);  // up to and including the first CR LF
    EXPECT_EQ(sink.Text(), "<= 0A \r\n");
    sink.RemoveHead(0);
    EXPECT_EQ(sink.Text(), "<= 0A \r\n");
    EXPECT_EQ(edit.textCursor().position(), edit.document()->characterCount() - 1);  // caret at end
}

TEST_F(TrafficWindowTest, EachWindowDrainsItsOwnListAndPauseDiscards)
{
    CSendMessage send;
    CRecvMessage recv;
    EXPECT_EQ(send.windowTitle().toStdString(), "发送信息窗口");
    EXPECT_EQ(recv.windowTitle().toStdString(), "接收信息窗口");
    EXPECT_EQ(send.findChild<QPlainTextEdit*>(QStringLiteral("1001")), send.m_editMsg);

    AppendSendText(std::string_view("=> "));
    AppendRecvText(std::uint8_t{0xAB});
    recv.m_bPause = 1;
    send.DrainTraffic();
    recv.DrainTraffic();
    EXPECT_EQ(send.m_editMsg->toPlainText().toStdString(), "=> ");
    EXPECT_EQ(recv.m_editMsg->toPlainText().toStdString(), "");
    recv.m_bPause = 0;
    AppendRecvText(std::uint8_t{0xCD});
    recv.DrainTraffic();
    EXPECT_EQ(recv.m_editMsg->toPlainText().toStdString(), "CD ");
}
