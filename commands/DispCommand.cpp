#include "commands/DispCommand.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "commands/CommandQueue.h"
#include "commands/DescribeCommand.h"
#include "dialog/DialogSupport.h"

namespace {

const IntegerField kRunTimesField{1012, 0, 1024};

}  // namespace

CDispCommand::CDispCommand(QWidget* pParent)
    : QDialog(pParent), m_listCmd(WithId(new QListWidget(this), 1007)),
      m_pRunTimes(WithId(new QLineEdit(this), kRunTimesField.nControlId)),
      m_pDelete(WithId(new QPushButton(QStringLiteral("删除命令"), this), 1009)),
      m_pDeleteAll(WithId(new QPushButton(QStringLiteral("全部删除"), this), 1010))
{
    setObjectName(QString::number(IDD));
    setWindowTitle(QStringLiteral("发送命令列表"));
    m_listCmd->setSelectionMode(QAbstractItemView::SingleSelection);
    m_listCmd->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_listCmd->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_listCmd->setMinimumSize(260, 280);
    m_pRunTimes->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_pRunTimes));
    auto* pOk = WithId(new QPushButton(QStringLiteral("发送命令"), this), IDOK);
    auto* pCancel = WithId(new QPushButton(QStringLiteral("取消"), this), IDCANCEL);
    pOk->setDefault(true);
    connect(pOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(pCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_pDelete, &QPushButton::clicked, this, &CDispCommand::OnDeleteCommand);
    connect(m_pDeleteAll, &QPushButton::clicked, this, &CDispCommand::OnDeleteAll);

    auto* pButtons = new QVBoxLayout;
    for (QPushButton* pButton : {m_pDelete, m_pDeleteAll, pOk, pCancel})
        pButtons->addWidget(pButton);
    pButtons->addStretch();
    auto* pLayout = new QGridLayout(this);
    pLayout->addWidget(m_listCmd, 0, 0, 1, 2);
    pLayout->addLayout(pButtons, 0, 2);
    pLayout->addWidget(new QLabel(QStringLiteral("运行次数[0为循环执行]"), this), 1, 0);
    pLayout->addWidget(m_pRunTimes, 1, 1);
}

void CDispCommand::showEvent(QShowEvent* pEvent)
{
    m_pRunTimes->setText(QString::number(m_nRunTimes));
    m_listCmd->clear();
    for (const CommandItem& item : CommandQueueSnapshot())
        m_listCmd->addItem(QString::fromStdString(DescribeCommand(item)));
    const int nCount = m_listCmd->count();
    m_listCmd->setCurrentRow(nCount - 1);  // none with an empty queue
    EnableDeleteButtons(nCount > 0);
    QDialog::showEvent(pEvent);
}

void CDispCommand::EnableDeleteButtons(bool bEnable)
{
    m_pDelete->setEnabled(bEnable);
    m_pDeleteAll->setEnabled(bEnable);
}

void CDispCommand::OnDeleteCommand()
{
    const QListWidgetItem* pSelected = m_listCmd->currentItem();
    if (pSelected == nullptr || !pSelected->isSelected())
        return;
    const int nSelected = m_listCmd->row(pSelected);
    const int nLeft = DeleteCommand(nSelected);
    delete m_listCmd->takeItem(nSelected);
    if (nLeft == 0)
        EnableDeleteButtons(false);
    else
        m_listCmd->setCurrentRow(nLeft - 1);
}

void CDispCommand::OnDeleteAll()
{
    if (m_listCmd->count() == 0)
        return;
    m_listCmd->clear();
    DeleteAllCommands();
    EnableDeleteButtons(false);
}

void CDispCommand::accept()
{
    int nRunTimes = 0;
    if (!ReadIntegerControl(m_pRunTimes, kRunTimesField, nRunTimes))
        return;
    if (nRunTimes == 0 && HoldsControl(CommandQueueSnapshot()) && !ConfirmEndlessControls(m_pRunTimes))
        return;  // nothing taken over
    m_nRunTimes = nRunTimes;
    QDialog::accept();
}
