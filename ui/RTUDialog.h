#pragma once
// The RTU dialog (template 142): link addresses, scan period and point counts. Confirm
// checks the six fields in order and stays open on the first bad one.
#include <QDialog>

#include "ui/RtuSettings.h"

class QComboBox;
class QLineEdit;

class CRTUDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 142;
    explicit CRTUDialog(QWidget* pParent = nullptr);

    int m_nScanPeriod = 0;     // edit 1038
    int m_nMasterAddress = 0;  // 1029
    int m_nRtuAddress = 0;     // 1030
    int m_nYcNum = 0;          // 1039
    int m_nYmNum = 0;          // 1041
    int m_nYxNum = 0;          // 1040
    int m_nTimeFormat = 0;     // combo 1042: a TimeFormat

    RtuValues Values() const;
    void SetValues(const RtuValues& values);

    void accept() override;

protected:
    void showEvent(QShowEvent* pEvent) override;

private:
    // The members by RtuField.
    static int CRTUDialog::* const kMembers[kRtuFieldCount];

    QLineEdit* m_pEdits[kRtuFieldCount];
    QComboBox* m_pTimeFormat;
};
