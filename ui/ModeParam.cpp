#include "ui/ModeParam.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

#include "dialog/DialogSupport.h"

namespace {

// A frame with two radios whose button ids are the member's values 0 and 1.
QButtonGroup* RadioPair(QWidget* pParent, QVBoxLayout* pLayout, const QString& frame, QRadioButton* pFirst,
                        QRadioButton* pSecond)
{
    auto* pFrame = new QGroupBox(frame, pParent);
    auto* pColumn = new QVBoxLayout(pFrame);
    pFirst->setParent(pFrame);
    pSecond->setParent(pFrame);
    pColumn->addWidget(pFirst);
    pColumn->addWidget(pSecond);
    auto* pGroup = new QButtonGroup(pParent);
    pGroup->addButton(pFirst, 0);
    pGroup->addButton(pSecond, 1);
    pLayout->addWidget(pFrame);
    return pGroup;
}

}  // namespace

CModeParam::CModeParam(QWidget* pParent)
    : QDialog(pParent), m_pAuto(WithId(new QRadioButton(QStringLiteral("自动问答")), 1005)),
      m_pManual(WithId(new QRadioButton(QStringLiteral("人工询问")), 1004)),
      m_pByClass(WithId(new QRadioButton(QStringLiteral("按类别召唤")), 1002)),
      m_pByObject(WithId(new QRadioButton(QStringLiteral("按对象召唤")), 1003))
{
    setObjectName(QString::number(IDD));
    setWindowTitle(QStringLiteral("运行参数"));
    auto* pLayout = new QVBoxLayout(this);
    QButtonGroup* pAsk = RadioPair(this, pLayout, QStringLiteral("询问方式"), m_pAuto, m_pManual);
    QButtonGroup* pCall = RadioPair(this, pLayout, QStringLiteral("召唤方式"), m_pByClass, m_pByObject);
    connect(pAsk, &QButtonGroup::idClicked, this, [this](int nMode) {
        m_nAskMode = nMode;
        EnableCallMode();
    });
    connect(pCall, &QButtonGroup::idClicked, this, [this](int nMode) { m_nCallMode = nMode; });
    pLayout->addLayout(ConfirmCancelButtons(this, QStringLiteral("确认"), QStringLiteral("取消")));
}

void CModeParam::showEvent(QShowEvent* pEvent)
{
    m_pAuto->setChecked(m_nAskMode == 0);
    m_pManual->setChecked(m_nAskMode == 1);
    m_pByClass->setChecked(m_nCallMode == 0);
    m_pByObject->setChecked(m_nCallMode == 1);
    EnableCallMode();
    QDialog::showEvent(pEvent);
}

void CModeParam::EnableCallMode()
{
    const bool bAutomatic = m_nAskMode == 0;
    m_pByClass->setEnabled(bAutomatic);
    m_pByObject->setEnabled(bAutomatic);
}

void CModeParam::accept()
{
    if (m_pAuto->isChecked() || m_pManual->isChecked())
        m_nAskMode = m_pAuto->isChecked() ? 0 : 1;
    if (m_pByClass->isChecked() || m_pByObject->isChecked())
        m_nCallMode = m_pByClass->isChecked() ? 0 : 1;
    QDialog::accept();
}
