#pragma once
// The manual-command dialog (template 135): replace the queue or add to it, how many runs,
// and for the control commands the point, close or trip, and the relay time.
#include <QDialog>

#include "commands/CommandQueue.h"

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;

class CQueltCmd : public QDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 135;
    explicit CQueltCmd(QWidget* pParent = nullptr);

    int m_nPointIdx = 0;      // edit 1015, 0 to 1024
    int m_nRunTimes = 1;      // edit 1012, 0 to 1024; 0 runs endlessly
    int m_nQueueMode = 0;     // radios 1013 replace (0), 1014 add (1)
    int m_nCloseTripSel = 0;  // list 1016: "合" (0), "分" (1)
    long m_lRelayMs = 0;      // edit 1017, 0 to 60000
    int m_bCtrlFields = 0;    // point, action and relay time usable
    QString m_strTitle;

    ManualChoice Choice() const;
    void SetChoice(const ManualChoice& choice);

    void accept() override;

protected:
    void showEvent(QShowEvent* pEvent) override;

private:
    QLineEdit* m_pPoint;
    QLineEdit* m_pRunTimes;
    QButtonGroup* m_pQueueMode;
    QComboBox* m_pCloseTrip;
    QLineEdit* m_pRelayMs;
    QLabel* m_pAutoModeNote;  // shown in automatic mode, where the queue is kept but not sent
};
