#include "ui/RTUDialog.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "core/Config.h"
#include "dialog/DialogSupport.h"

CRTUDialog::CRTUDialog(QWidget* pParent) : QDialog(pParent)
{
    setObjectName(QString::number(IDD));
    setWindowTitle(QStringLiteral("远动参数"));

    auto* pForm = new QFormLayout;
    auto* pDigits = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this);
    for (int i = 0; i < kRtuFieldCount; ++i) {
        auto* pEdit = WithId(new QLineEdit(this), kRtuFields[i].field.nControlId);
        pEdit->setAlignment(Qt::AlignCenter);
        pEdit->setValidator(pDigits);  // digits only, as typed
        pForm->addRow(new QLabel(QString::fromUtf8(kRtuFields[i].pszLabel), this), pEdit);
        m_pEdits[i] = pEdit;
    }
    m_pTimeFormat = WithId(new QComboBox(this), kTimeFormatControl);
    for (const char* pszName : kTimeFormatNames)
        m_pTimeFormat->addItem(QString::fromUtf8(pszName));
    m_pTimeFormat->setToolTip(QStringLiteral("RTU时钟的计时方式: 本月1日0点起的毫秒数, 或 IEEE 1815 的 UTC 1970年起的毫秒数"));
    pForm->addRow(new QLabel(QStringLiteral("时间格式"), this), m_pTimeFormat);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pForm);
    pLayout->addLayout(ConfirmCancelButtons(this, QStringLiteral("确定"), QStringLiteral("取消")));
}

int CRTUDialog::* const CRTUDialog::kMembers[kRtuFieldCount] = {
    &CRTUDialog::m_nScanPeriod, &CRTUDialog::m_nMasterAddress, &CRTUDialog::m_nRtuAddress,
    &CRTUDialog::m_nYcNum,      &CRTUDialog::m_nYmNum,         &CRTUDialog::m_nYxNum,
};

RtuValues CRTUDialog::Values() const
{
    RtuValues v;
    for (int i = 0; i < kRtuFieldCount; ++i)
        v.n[i] = this->*kMembers[i];
    v.nTimeFormat = m_nTimeFormat;
    return v;
}

void CRTUDialog::SetValues(const RtuValues& values)
{
    for (int i = 0; i < kRtuFieldCount; ++i)
        this->*kMembers[i] = values.n[i];
    m_nTimeFormat = values.nTimeFormat;
}

void CRTUDialog::showEvent(QShowEvent* pEvent)
{
    for (int i = 0; i < kRtuFieldCount; ++i)
        m_pEdits[i]->setText(QString::number(this->*kMembers[i]));
    m_pTimeFormat->setCurrentIndex(m_nTimeFormat == TIME_FORMAT_UTC ? 1 : 0);
    QDialog::showEvent(pEvent);
}

void CRTUDialog::accept()
{
    // Nothing is taken over until every field has passed.
    int values[kRtuFieldCount];
    for (int i = 0; i < kRtuFieldCount; ++i)
        if (!ReadIntegerControl(m_pEdits[i], kRtuFields[i].field, values[i]))
            return;
    for (int i = 0; i < kRtuFieldCount; ++i)
        this->*kMembers[i] = values[i];
    m_nTimeFormat = m_pTimeFormat->currentIndex() == 1 ? TIME_FORMAT_UTC : TIME_FORMAT_MONTH;
    QDialog::accept();
}
