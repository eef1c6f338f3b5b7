#include "commands/QueltCmd.h"

#include <algorithm>

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "commands/CommandQueue.h"
#include "core/Config.h"
#include "dialog/DialogSupport.h"

namespace {

const IntegerField kPointField{1015, 0, 1024};
const IntegerField kRunTimesField{1012, 0, 1024};
const IntegerField kRelayField{1017, 0, 60000};

QLineEdit* NumberEdit(QWidget* pParent, int nId)
{
    auto* pEdit = WithId(new QLineEdit(pParent), nId);
    pEdit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), pEdit));
    return pEdit;
}

}  // namespace

CQueltCmd::CQueltCmd(QWidget* pParent)
    : QDialog(pParent), m_pPoint(NumberEdit(this, kPointField.nControlId)),
      m_pRunTimes(NumberEdit(this, kRunTimesField.nControlId)), m_pQueueMode(new QButtonGroup(this)),
      m_pCloseTrip(WithId(new QComboBox(this), 1016)), m_pRelayMs(NumberEdit(this, kRelayField.nControlId)),
      m_pAutoModeNote(new QLabel(QStringLiteral("当前为自动问答模式, 命令将在切换到人工询问后执行"), this))
{
    setObjectName(QString::number(IDD));
    setWindowTitle(QStringLiteral("人工命令"));

    auto* pModes = new QGroupBox(this);
    auto* pModeColumn = new QVBoxLayout(pModes);
    const char* const modes[2] = {"清除队列中其它命令，仅执行本命令", "将本命令增加到查询队列中"};
    for (int i = 0; i < 2; ++i) {
        auto* pRadio = WithId(new QRadioButton(QString::fromUtf8(modes[i]), pModes), 1013 + i);
        m_pQueueMode->addButton(pRadio, i);
        pModeColumn->addWidget(pRadio);
    }
    m_pCloseTrip->addItems({QStringLiteral("合"), QStringLiteral("分")});

    auto* pFields = new QGridLayout;
    pFields->addWidget(new QLabel(QStringLiteral("遥控对象"), this), 0, 0);
    pFields->addWidget(m_pPoint, 0, 1);
    pFields->addWidget(new QLabel(QStringLiteral("遥控性质"), this), 0, 2);
    pFields->addWidget(m_pCloseTrip, 0, 3);
    pFields->addWidget(new QLabel(QStringLiteral("遥控继电器触点吸合时间"), this), 1, 0, 1, 3);
    pFields->addWidget(m_pRelayMs, 1, 3);
    pFields->addWidget(new QLabel(QStringLiteral("运行次数[0为循环执行]"), this), 2, 0, 1, 3);
    pFields->addWidget(m_pRunTimes, 2, 3);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(pModes);
    pLayout->addLayout(pFields);
    m_pAutoModeNote->setObjectName(QStringLiteral("AutoModeNote"));
    m_pAutoModeNote->setWordWrap(true);
    pLayout->addWidget(m_pAutoModeNote);
    pLayout->addLayout(ConfirmCancelButtons(this, QStringLiteral("确认"), QStringLiteral("取消")));
}

ManualChoice CQueltCmd::Choice() const
{
    ManualChoice c;
    c.nQueueMode = m_nQueueMode;
    c.nRunTimes = m_nRunTimes;
    c.nPoint = m_nPointIdx;
    c.nCloseTrip = m_nCloseTripSel;
    c.lRelayMs = static_cast<std::int32_t>(m_lRelayMs);
    return c;
}

void CQueltCmd::SetChoice(const ManualChoice& c)
{
    m_nQueueMode = c.nQueueMode;
    m_nRunTimes = c.nRunTimes;
    m_nPointIdx = c.nPoint;
    m_nCloseTripSel = c.nCloseTrip;
    m_lRelayMs = c.lRelayMs;
}

void CQueltCmd::showEvent(QShowEvent* pEvent)
{
    setWindowTitle(m_strTitle);
    m_pPoint->setText(QString::number(m_nPointIdx));
    m_pRunTimes->setText(QString::number(m_nRunTimes));
    if (QAbstractButton* pMode = m_pQueueMode->button(m_nQueueMode))
        pMode->setChecked(true);
    m_pCloseTrip->setCurrentIndex(m_nCloseTripSel);
    m_pRelayMs->setText(QString::number(m_lRelayMs));
    for (QWidget* pControl : {static_cast<QWidget*>(m_pPoint), static_cast<QWidget*>(m_pCloseTrip),
                              static_cast<QWidget*>(m_pRelayMs)})
        pControl->setEnabled(m_bCtrlFields != 0);
    m_pAutoModeNote->setVisible(g_nAskMode.load(std::memory_order_relaxed) == ASK_AUTO);
    QDialog::showEvent(pEvent);
}

void CQueltCmd::accept()
{
    // In the order of the data exchange; nothing is taken over until all pass.
    int nPoint = 0;
    int nRunTimes = 0;
    int nRelayMs = 0;
    if (!ReadIntegerControl(m_pPoint, kPointField, nPoint) || !ReadIntegerControl(m_pRunTimes, kRunTimesField, nRunTimes) ||
        !ReadIntegerControl(m_pRelayMs, kRelayField, nRelayMs))
        return;
    // The queue this confirm leaves: the command, after the others when it is added.
    const int nQueueMode = std::max(m_pQueueMode->checkedId(), 0);
    const bool bControls = m_bCtrlFields != 0 || (nQueueMode == 1 && HoldsControl(CommandQueueSnapshot()));
    if (nRunTimes == 0 && bControls && !ConfirmEndlessControls(m_pRunTimes))
        return;  // nothing taken over
    m_nPointIdx = nPoint;
    m_nRunTimes = nRunTimes;
    m_nQueueMode = nQueueMode;
    m_nCloseTripSel = std::max(m_pCloseTrip->currentIndex(), 0);
    m_lRelayMs = nRelayMs;
    QDialog::accept();
}
