#include "ui/ChannelParam.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "channel/TcpEndpoint.h"
#include "core/Notify.h"
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

    auto* pNetwork = new QGroupBox(QStringLiteral("线路类型"), this);
    m_pSerial = WithId(new QRadioButton(QStringLiteral("串口"), pNetwork), 1020);
    m_pTcp = WithId(new QRadioButton(QStringLiteral("TCP"), pNetwork), 1021);
    auto* pTypes = new QButtonGroup(this);
    pTypes->addButton(m_pSerial, 0);
    pTypes->addButton(m_pTcp, 1);
    connect(pTypes, &QButtonGroup::idClicked, this, [this](int) { EnableForLineType(); });
    auto* pDigits = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this);
    m_pHost = WithId(new QLineEdit(pNetwork), 1022);
    m_pHost->setPlaceholderText(QStringLiteral("10.0.0.5, rtu.example, fe80::1"));
    m_pTcpPort = WithId(new QLineEdit(pNetwork), 1023);
    m_pTcpPort->setValidator(pDigits);
    m_pKeepAlive = WithId(new QLineEdit(pNetwork), 1024);
    m_pKeepAlive->setValidator(pDigits);
    auto* pTypeRow = new QHBoxLayout;
    pTypeRow->addWidget(m_pSerial);
    pTypeRow->addWidget(m_pTcp);
    pTypeRow->addStretch();
    auto* pNetworkForm = new QFormLayout(pNetwork);
    pNetworkForm->addRow(pTypeRow);
    pNetworkForm->addRow(new QLabel(QStringLiteral("主机"), pNetwork), m_pHost);
    pNetworkForm->addRow(new QLabel(QStringLiteral("端口"), pNetwork), m_pTcpPort);
    pNetworkForm->addRow(new QLabel(QStringLiteral("保活周期(秒)"), pNetwork), m_pKeepAlive);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pColumns);
    pLayout->addWidget(pNetwork);
    pLayout->addLayout(ConfirmCancelButtons(this, QStringLiteral("确认"), QStringLiteral("取消")));
}

ChannelChoice CChannelParam::Choice() const
{
    return {m_nBaudIdx, m_nDataBitsIdx, m_nParityIdx, m_nStopBitsIdx, m_nPort, m_bTcp, m_Host, m_nTcpPort, m_nKeepAlive};
}

void CChannelParam::SetChoice(const ChannelChoice& c)
{
    m_nBaudIdx = c.nBaudIdx;
    m_nDataBitsIdx = c.nDataBitsIdx;
    m_nParityIdx = c.nParityIdx;
    m_nStopBitsIdx = c.nStopBitsIdx;
    m_nPort = c.nPort;
    m_bTcp = c.bTcp;
    m_Host = c.Host;
    m_nTcpPort = c.nTcpPort;
    m_nKeepAlive = c.nKeepAliveSeconds;
}

void CChannelParam::showEvent(QShowEvent* pEvent)
{
    UpdateData(false);
    QDialog::showEvent(pEvent);
}

void CChannelParam::accept()
{
    std::string host = m_Host;
    int nPort = m_nTcpPort;
    int nKeepAlive = m_nKeepAlive;
    // The network fields count only for TCP: a serial line is never refused for them.
    if (m_pTcp->isChecked() && !ReadTcpFields(host, nPort, nKeepAlive))
        return;
    UpdateData(true);
    if (m_bTcp) {
        m_Host = host;
        m_nTcpPort = nPort;
        m_nKeepAlive = nKeepAlive;
    }
    QDialog::accept();
}

bool CChannelParam::ReadTcpFields(std::string& host, int& nPort, int& nKeepAlive)
{
    host = m_pHost->text().trimmed().toStdString();
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);  // an IPv6 address as URLs write it
    if (!IsValidHost(host)) {
        ShowMessageBox("请输入主机名或IP地址");
        m_pHost->setFocus();
        m_pHost->selectAll();
        return false;
    }
    return ReadIntegerControl(m_pTcpPort, {1023, 1, 65535}, nPort) &&
           ReadIntegerControl(m_pKeepAlive, {1024, 1, 3600}, nKeepAlive);
}

void CChannelParam::EnableForLineType()
{
    const bool bTcp = m_pTcp->isChecked();
    for (QComboBox* pList : m_pLists)
        pList->setEnabled(!bTcp);
    m_pCom1->setEnabled(!bTcp);
    if (bTcp)
        m_pCom2->setChecked(true);
    m_pHost->setEnabled(bTcp);
    m_pTcpPort->setEnabled(bTcp);
    m_pKeepAlive->setEnabled(bTcp);
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
        m_bTcp = m_pTcp->isChecked();
    } else {
        m_pCom1->setChecked(m_nPort == 0);
        m_pCom2->setChecked(m_nPort == 1);
        m_pSerial->setChecked(!m_bTcp);
        m_pTcp->setChecked(m_bTcp);
        m_pHost->setText(QString::fromStdString(m_Host));
        m_pTcpPort->setText(QString::number(m_nTcpPort));
        m_pKeepAlive->setText(QString::number(m_nKeepAlive));
        EnableForLineType();
    }
}
