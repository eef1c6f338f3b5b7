// The "发送命令" and "捕获数据" commands of the main window: manual commands into the queue,
// the send-queue dialog, capturing a traffic window to a file and showing such a file, and
// recording both lines to pcapng.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileDialog>
#include <QFileIconProvider>

#include "app/Recording.h"
#include "commands/CommandQueue.h"
#include "commands/CommandTable.h"
#include "commands/DispCommand.h"
#include "commands/QueltCmd.h"
#include "core/Notify.h"
#include "dialog/DialogSupport.h"
#include "monitor/CaptureFile.h"
#include "monitor/LoadQueltData.h"
#include "monitor/RecvMessage.h"
#include "monitor/SendMessage.h"
#include "ui/QtShell.h"
#include "ui/QueltDlg.h"

namespace {

// The filters of the platform's dialogs in Qt's form ("*" is every file here).
const QStringList kSaveFilters = {QStringLiteral("DNP3.0 Files (*.dat)"), QStringLiteral("All Files (*)")};
const QStringList kOpenFilters = {QStringLiteral("DNP3.0 Send Files (*.dat)"),
                                  QStringLiteral("DNP3.0 Receive Files(*.dat)"), QStringLiteral("All Files (*)")};

// Qt's own icon provider reads a file to guess its type, and would block for ever on a
// FIFO in the folder shown; the name and the kind are enough to choose a capture file.
class CPlainIconProvider : public QFileIconProvider {
public:
    using QFileIconProvider::icon;
    QIcon icon(const QFileInfo& info) const override { return icon(info.isDir() ? Folder : File); }
    QString type(const QFileInfo& info) const override
    {
        if (info.isDir())
            return QStringLiteral("Folder");
        return info.suffix().isEmpty() ? QStringLiteral("File") : info.suffix() + QStringLiteral(" File");
    }
};

const QStringList kRecordFilters = {QStringLiteral("pcapng (*.pcapng)"), QStringLiteral("All Files (*)")};

// A save dialog (the suffix added to a bare name, replacing a file confirmed) or an open
// dialog, owned by the main window, captioned with the menu item that opened it, in the
// folder last used (at first the home folder). The chosen path, empty when cancelled.
std::string ChooseFile(QWidget* pOwner, bool bSave, const QString& caption, const QStringList& filters,
                       const QString& suffix)
{
    static QString s_LastFolder = QDir::homePath();
    CPlainIconProvider icons;
    QFileDialog dialog(pOwner, caption);
    dialog.setDirectory(s_LastFolder);
    dialog.setIconProvider(&icons);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setAcceptMode(bSave ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(bSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilters(filters);
    if (bSave)
        dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QString chosen = dialog.selectedFiles().constFirst();
    s_LastFolder = QFileInfo(chosen).absolutePath();
    return QFile::encodeName(chosen).toStdString();
}

std::string ChooseCaptureFile(QWidget* pOwner, bool bSave, const QString& caption)
{
    return ChooseFile(pOwner, bSave, caption, bSave ? kSaveFilters : kOpenFilters, QStringLiteral("dat"));
}

}  // namespace

void CQueltDlg::SetUpCommandMenus()
{
    for (const MenuCommand& command : kMenuCommands)
        m_Commands[command.nId] = [this, &command] { OnManualCommand(command); };
    m_Commands[ID_SHOW_QUEUE] = [this] { OnShowQueue(); };
    m_Commands[ID_CAPTURE_RECV] = [this] { OnCapture(g_wndRecv); };
    m_Commands[ID_CAPTURE_SEND] = [this] { OnCapture(g_wndSend); };
    m_Commands[ID_SHOW_CAPTURE] = [this] { OnShowCapture(); };
    m_Commands[ID_RECORD] = [this] { OnRecord(); };
}

void CQueltDlg::OnManualCommand(const MenuCommand& command)
{
    CQueltCmd dlg(this);
    dlg.m_strTitle = QString::fromStdString(CommandCaption(command));
    dlg.m_bCtrlFields = command.kind != CommandKind::Plain ? 1 : 0;
    dlg.SetChoice(ManualChoicePresets(command));
    if (RunDialog(dlg) != QDialog::Accepted)
        return;
    QueueManualCommand(command, dlg.Choice());
}

void CQueltDlg::OnShowQueue()
{
    CDispCommand dlg(this);
    dlg.m_nRunTimes = RunCount();
    if (RunDialog(dlg) != QDialog::Accepted)
        return;  // deletions stay; the run count does not change
    SetRunCount(dlg.m_nRunTimes);
}

void CQueltDlg::OnCapture(CTrafficWindow* pWindow)
{
    if (pWindow == nullptr)
        return;
    const QString caption = pWindow == g_wndRecv ? QStringLiteral("捕获接收数据") : QStringLiteral("捕获发送数据");
    const std::string path = ChooseCaptureFile(this, true, caption);
    if (path.empty())
        return;
    std::string reason;
    if (!WriteCaptureFile(path, CEditTextSink(pWindow->m_editMsg).Text(), reason))
        ShowMessageBox("捕获数据未保存\n" + reason);
}

void CQueltDlg::OnShowCapture()
{
    const std::string path = ChooseCaptureFile(this, false, QStringLiteral("显示捕获数据"));
    if (path.empty() || g_wndCapture == nullptr)
        return;
    std::string text;
    std::string reason;
    if (!ReadCaptureFile(path, text, reason)) {
        ShowMessageBox("无法打开捕获数据文件\n" + reason);
        return;
    }
    g_wndCapture->ShowText(text, QFileInfo(QFile::decodeName(path.c_str())).fileName().toStdString());
}

void CQueltDlg::OnRecord()
{
    if (IsRecording()) {
        StopRecording();
    } else {
        const std::string path = ChooseFile(this, true, QString::fromUtf8(kRecordItemTexts[0]).remove(QStringLiteral("...")),
                                            kRecordFilters, QStringLiteral("pcapng"));
        std::string reason;
        if (!path.empty() && !StartRecording({path, 0, 0}, reason))
            ShowMessageBox("无法开始记录\n" + reason);
    }
    RefreshStatusLine();
}

void CQueltDlg::UpdateRecordItem()
{
    QAction* pAction = MenuAction(ID_RECORD);
    const QString text = QString::fromUtf8(kRecordItemTexts[IsRecording() ? 1 : 0]);
    if (pAction != nullptr && pAction->text() != text)
        pAction->setText(text);
}
