#pragma once
// The channel dialog (template 130): line settings and the port of the DNP3 engine. The
// members hold list positions; the menu handler translates them to and from the words.
#include <QDialog>

#include "ui/ChannelSettings.h"

class QComboBox;
class QRadioButton;

class CChannelParam : public QDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 130;
    explicit CChannelParam(QWidget* pParent = nullptr);

    int m_nBaudIdx = -1;      // drop-down list 1005
    int m_nDataBitsIdx = -1;  // 1006
    int m_nParityIdx = -1;    // 1007
    int m_nStopBitsIdx = -1;  // 1008
    int m_nPort = -1;         // radios 1018 COM1, 1019 COM2

    ChannelChoice Choice() const;
    void SetChoice(const ChannelChoice& choice);

    void accept() override;

protected:
    void showEvent(QShowEvent* pEvent) override;

private:
    // Members to controls (false) or controls to members (true).
    void UpdateData(bool bSave);

    QComboBox* m_pLists[4];
    QRadioButton* m_pCom1;
    QRadioButton* m_pCom2;
};
