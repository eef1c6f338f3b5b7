#pragma once
// The channel dialog (template 130): line settings and the port of the DNP3 engine, or a
// TCP line in its place (the engine on COM2, host, port and keep-alive). The members hold
// list positions; the menu handler translates them to and from the words.
#include <QDialog>

#include "ui/ChannelSettings.h"

#include <string>

class QComboBox;
class QLineEdit;
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
    bool m_bTcp = false;      // radios 1020 "串口", 1021 "TCP"
    std::string m_Host;       // edit 1022
    int m_nTcpPort = 20000;   // edit 1023
    int m_nKeepAlive = 60;    // edit 1024, seconds

    ChannelChoice Choice() const;
    void SetChoice(const ChannelChoice& choice);

    void accept() override;

protected:
    void showEvent(QShowEvent* pEvent) override;

private:
    // Members to controls (false) or controls to members (true).
    void UpdateData(bool bSave);
    // Serial settings for a serial line, network settings for TCP; TCP is COM2's.
    void EnableForLineType();
    // The TCP fields on confirm; false (with the message, the focus on the field) when one
    // is not valid.
    bool ReadTcpFields(std::string& host, int& nPort, int& nKeepAlive);

    QComboBox* m_pLists[4];
    QRadioButton* m_pCom1;
    QRadioButton* m_pCom2;
    QRadioButton* m_pSerial;
    QRadioButton* m_pTcp;
    QLineEdit* m_pHost;
    QLineEdit* m_pTcpPort;
    QLineEdit* m_pKeepAlive;
};
