#pragma once
// Runs Quelt as main() does, on the offscreen platform, and lets a test act as the
// operator once the main window is up.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <string>

#include "support/Pty.h"
#include "support/StateReset.h"

class CQueltDlg;

class AppTest : public SharedStateTest {
protected:
    // Start-up, the body, exit. The body ends the run (the exit item, Escape...); if it
    // does not, the run is ended after it.
    void RunQuelt(const std::function<void(CQueltDlg&)>& body);
};

// The same with COM1 and COM2 on ptys whose far ends the test holds.
class PtyAppTest : public AppTest {
protected:
    void SetUp() override;

    PtyPair m_Com1, m_Com2;
};

// A control of a dialog, found by its numeric id as the operator would find it by sight.
template <class Control>
Control* Find(QWidget& dialog, int nId)
{
    auto* pControl = dialog.findChild<Control*>(QString::number(nId));
    EXPECT_NE(pControl, nullptr) << nId;
    return pControl;
}

inline void Click(QWidget& dialog, int nId) { Find<QAbstractButton>(dialog, nId)->click(); }

inline void Type(QWidget& dialog, int nId, const char* text)
{
    Find<QLineEdit>(dialog, nId)->setText(QString::fromUtf8(text));
}

// What a message box asked, with the text of its default button.
struct AskedBox {
    std::string text;
    std::string defaultButton;
};

// Answers the message box that the next step opens (within its own modal loop) with the
// button of this text, noting what it asked.
inline void AnswerNextBox(const QString& button, AskedBox& asked)
{
    QTimer::singleShot(0, [button, &asked] {
        auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (pBox == nullptr)
            return;
        asked.text = pBox->text().toStdString();
        asked.defaultButton = pBox->defaultButton() != nullptr ? pBox->defaultButton()->text().toStdString() : "";
        for (QAbstractButton* pButton : pBox->buttons())
            if (pButton->text() == button)
                pButton->click();
    });
}

// Chooses a menu command whose modal dialog the work then handles and closes. False when
// no such dialog came up.
template <class Dialog>
bool WithModalDialog(QAction* pAction, const std::function<void(Dialog&)>& work)
{
    bool bSeen = false;
    QTimer::singleShot(0, [&] {
        QWidget* pModal = QApplication::activeModalWidget();
        if (auto* pDialog = qobject_cast<Dialog*>(pModal)) {
            bSeen = true;
            work(*pDialog);
            pModal = QApplication::activeModalWidget();
        }
        if (pModal != nullptr && pModal->isVisible()) {
            ADD_FAILURE() << "the dialog is still open";
            pModal->close();
        }
    });
    pAction->trigger();
    return bSeen;
}
