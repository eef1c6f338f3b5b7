#include "ui/ChannelParam.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include "dialog/DialogSupport.h"

namespace {

struct ListControl {
    int nId;
    const char* pszLabel;
    const char* const* ppszEntries;
    int nEntries;
};

const ListControl kLists[4] = {
    {1005, "波特率[&B]", kBaudEntries, 6},
    {1006, "数据位[&D]", kDataBitsEntries, 4},
    {1007, "校验位[&P]", kParityEntries, 3},
    {1008, "停止位[&S]", kStopBitsEntries, 3},
};

}  // namespace

CChannelParam::CChannelParam(QWidget* pParent) : QDialog(pParent)
{
    setObjectName(QString::number(IDD));
    setWindowTitle(QStringLiteral("通道参数"));

    auto* pForm = new QFormLayout;
    for (int i = 0; i < 4; ++i) {
        const ListControl& list = kLists[i];
        auto* pList = WithId(new QComboBox(this), list.nId);  // unsorted, not editable
        for (int e = 0; e < list.nEntries; ++e)
            pList->addItem(QString::fromUtf8(list.ppszEntries[e]));
        auto* pLabel = new QLabel(QString::fromUtf8(list.pszLabel), this);
        pLabel->setBuddy(pList);
        pForm->addRow(pLabel, pList);
        m_pLists[i] = pList;
    }

    auto* pFrame = new QGroupBox(QStringLiteral("端口选择"), this);
    m_pCom1 = WithId(new QRadioButton(QStringLiteral("COM1"), pFrame), 1018);
    m_pCom2 = WithId(new QRadioButton(QStringLiteral("COM2"), pFrame), 1019);
    auto* pPorts = new QButtonGroup(this);
    pPorts->addButton(m_pCom1, 0);
    pPorts->addButton(m_pCom2, 1);
    connect(pPorts, &QButtonGroup::idClicked, this, [this](int nPort) { m_nPort = nPort; });
    auto* pPortRow = new QHBoxLayout(pFrame);
    pPortRow->addWidget(m_pCom1);
    pPortRow->addWidget(m_pCom2);

    auto* pColumns = new QHBoxLayout;
    pColumns->addLayout(pForm);
    pColumns->addWidget(pFrame);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pColumns);
    pLayout->addLayout(ConfirmCancelButtons(this, QStringLiteral("确认"), QStringLiteral("取消")));
}

ChannelChoice CChannelParam::Choice() const
{
    return {m_nBaudIdx, m_nDataBitsIdx, m_nParityIdx, m_nStopBitsIdx, m_nPort};
}

void CChannelParam::SetChoice(const ChannelChoice& c)
{
    m_nBaudIdx = c.nBaudIdx;
    m_nDataBitsIdx = c.nDataBitsIdx;
    m_nParityIdx = c.nParityIdx;
    m_nStopBitsIdx = c.nStopBitsIdx;
    m_nPort = c.nPort;
}

void CChannelParam::showEvent(QShowEvent* pEvent)
{
    UpdateData(false);
    QDialog::showEvent(pEvent);
}

void CChannelParam::accept()
{
    UpdateData(true);
    QDialog::accept();
}

void CChannelParam::UpdateData(bool bSave)
{
    int* const members[4] = {&m_nBaudIdx, &m_nDataBitsIdx, &m_nParityIdx, &m_nStopBitsIdx};
    for (int i = 0; i < 4; ++i) {
        if (bSave)
            *members[i] = m_pLists[i]->currentIndex();
        else
            m_pLists[i]->setCurrentIndex(*members[i]);
    }
    if (bSave) {
        m_nPort = m_pCom1->isChecked() ? 0 : m_pCom2->isChecked() ? 1 : -1;
    } else {
        m_pCom1->setChecked(m_nPort == 0);
        m_pCom2->setChecked(m_nPort == 1);
    }
}
